"""The VTK PolyData output as VTK's own XML reader sees it, against the values
the test's track files hold, bit for bit."""

import os

import numpy as np
import pytest
from vtkmodules.util.numpy_support import vtk_to_numpy
from vtkmodules.vtkIOXML import vtkXMLPolyDataReader

from tracks import Chunk, DATA_TYPES, paths, track_bytes, translate

F4, F8, U4, V4, V8 = "Float4", "Float8", "Unsigned4", "Vector<3,Float4>", "Vector<3,Float8>"
TOP = 4294967295


def several_groups(rng):
    # Sparse indexes, paths of one point, a name XML must escape.
    variables = [("Temperature <\"&'>", 0, F8), ("Count", 0, U4), ("Velocity", 2, V4), ("Mass", 0, F4)]
    return [Chunk(rng, "inlet", [TOP, 0, 7, 0], V4, variables), Chunk(rng, "outlet", [0, 5], V4, variables),
            Chunk(rng, "inlet", [7, TOP, 3], V4, variables)]


def float8(rng):
    variables = [("Velocity", 2, V8), ("Mass", 0, F8)]
    return [Chunk(rng, "A", [1, 2, 1], V8, variables), Chunk(rng, "B", [2], V8, variables),
            Chunk(rng, "A", [2, 2], V8, variables)]


def types_that_differ_between_chunks(rng):
    return [Chunk(rng, "A", [0, 1], V4, [("T", 0, F4), ("N", 0, U4), ("U", 0, U4), ("V", 2, V4)]),
            Chunk(rng, "B", [0], V8, [("T", 0, F8), ("N", 0, F4), ("U", 0, U4), ("V", 2, V8)])]


def scalar_then_vector_position(rng):
    return [Chunk(rng, "only", [5, 6], F4, [("T", 0, F4)]), Chunk(rng, "only", [5], V4, [("T", 0, F4)])]


def unsigned_position_and_no_variable(rng):
    return [Chunk(rng, "only", [0, 1, 0], U4)]


CASES = [several_groups, float8, types_that_differ_between_chunks, scalar_then_vector_position,
         unsigned_position_and_no_variable]


def read_vtp(path):
    reader = vtkXMLPolyDataReader()
    complaints = []
    for event in ("ErrorEvent", "WarningEvent"):
        reader.AddObserver(event, lambda caller, name: complaints.append(name))
    reader.SetFileName(str(path))
    reader.Update()
    assert complaints == []
    return reader.GetOutput()


def array_type(data_types, position=False):
    """Each array keeps its type unless the chunks disagree; then, as for an
    unsigned position, Float64 holds every value exactly."""
    kinds = {DATA_TYPES[t][0] for t in data_types}
    if kinds == {np.dtype("<f4")} or (kinds == {np.dtype("<u4")} and not position):
        return kinds.pop()
    return np.dtype("<f8")


def assert_same_bits(got, want):
    assert got.dtype == want.dtype
    assert got.shape == want.shape
    assert got.tobytes() == want.tobytes()


@pytest.mark.parametrize("case", CASES, ids=lambda case: case.__name__)
def test_reader_sees_the_stored_values(tmp_path, case):
    chunks = case(np.random.default_rng(7))
    (tmp_path / "in.trk").write_bytes(track_bytes(chunks))
    result = translate("vtp", tmp_path / "in.trk", tmp_path / "out.vtp")
    assert (result.returncode, result.stderr) == (0, b"")
    data = read_vtp(tmp_path / "out.vtp")
    order = paths(chunks)
    points = [point for path in order for point in path[3]]

    position_type = array_type([c.position_type for c in chunks], position=True)

    def xyz(chunk, row):
        value = chunk.position[row].astype(position_type)
        return value if chunk.position.ndim == 2 else [value, 0, 0]

    positions = np.array([xyz(chunks[c], row) for c, row in points], dtype=position_type)
    assert_same_bits(vtk_to_numpy(data.GetPoints().GetData()), positions)

    point_data = data.GetPointData()
    assert point_data.GetNumberOfArrays() == len(chunks[0].variables)
    for k, (name, kind, _, _) in enumerate(chunks[0].variables):
        want_type = array_type([c.variables[k][2] for c in chunks])
        want = np.array([chunks[c].variables[k][3][row].astype(want_type) for c, row in points], dtype=want_type)
        assert_same_bits(vtk_to_numpy(point_data.GetArray(name)), want)

    connectivity, offsets, first = [], [0], 0
    for _, _, _, members in order:
        line = list(range(first, first + len(members)))
        connectivity += line if len(line) > 1 else line * 2
        offsets.append(len(connectivity))
        first += len(members)
    lines = data.GetLines()
    assert_same_bits(vtk_to_numpy(lines.GetConnectivityArray()), np.array(connectivity, dtype="<i8"))
    assert_same_bits(vtk_to_numpy(lines.GetOffsetsArray()), np.array(offsets, dtype="<i8"))
    cells = data.GetCellData()
    assert_same_bits(vtk_to_numpy(cells.GetArray("Parcel Index")), np.array([p[2] for p in order], dtype="<u4"))
    assert_same_bits(vtk_to_numpy(cells.GetArray("Tag Group")), np.array([p[0] for p in order], dtype="<i4"))

    tags = data.GetFieldData().GetAbstractArray("Tag Names")
    groups = list(dict.fromkeys(c.group for c in chunks))
    assert [tags.GetValue(i) for i in range(tags.GetNumberOfValues())] == groups


def test_windows_pipes_and_standard_output_give_the_same_bytes(tmp_path):
    rng = np.random.default_rng(3)
    # 40,000 points of 56 bytes: three windows at the smallest budget, one
    # of them across two arrays.
    chunks = [Chunk(rng, "AB"[c % 2], rng.integers(0, 3000, size=4000), V8, [("T", 0, F8), ("V", 2, V8)])
              for c in range(10)]
    track = track_bytes(chunks)
    (tmp_path / "in.trk").write_bytes(track)
    assert translate("vtp", tmp_path / "in.trk", tmp_path / "whole.vtp").returncode == 0
    assert translate("vtp", tmp_path / "in.trk", tmp_path / "windows.vtp", memory="1M").returncode == 0
    piped = translate("vtp", "/dev/stdin", memory="1M", stdin=track)
    assert (piped.returncode, piped.stderr) == (0, b"")
    whole = (tmp_path / "whole.vtp").read_bytes()
    assert (tmp_path / "windows.vtp").read_bytes() == whole
    assert piped.stdout == whole
    assert read_vtp(tmp_path / "whole.vtp").GetNumberOfPoints() == 40000


def test_failures_write_nothing(tmp_path):
    rng = np.random.default_rng(5)
    good = track_bytes(several_groups(rng))
    clash = track_bytes([Chunk(rng, "A", [0], V4, [("v", 2, V4), ("v", 0, F4)])])
    control = track_bytes([Chunk(rng, "A", [0], V4, [("a\x01", 0, F4)])])
    (tmp_path / "out.vtp").write_bytes(b"kept")
    expected = [
        (good[:-5], translate("zrp", "/dev/stdin", stdin=good[:-5]).stderr),
        (clash, b'Error:  two variables are named "v": a VTK file would keep only one point array of that name.\n'),
        (control, b'Error:  the variable name "a\\x01" cannot be written in a VTK XML file: it holds a control character.\n'),
    ]
    for track, message in expected:
        (tmp_path / "in.trk").write_bytes(track)
        result = translate("vtp", tmp_path / "in.trk", tmp_path / "out.vtp")
        assert (result.returncode, result.stdout, result.stderr) == (1, b"", message)
        assert message.startswith(b"Error:  ")
    assert (tmp_path / "out.vtp").read_bytes() == b"kept"
    assert sorted(os.listdir(tmp_path)) == ["in.trk", "out.vtp"]
