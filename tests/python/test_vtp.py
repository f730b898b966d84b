"""The VTK PolyData output as VTK's own XML reader sees it, against the values
the test's track files hold, bit for bit."""

import os

import numpy as np
import pytest
from vtkmodules.util.numpy_support import vtk_to_numpy
from vtkmodules.vtkIOXML import vtkXMLPolyDataReader

from tracks import (F4, F8, V4, V8, VTK_CASES, Chunk, assert_same_bits, paths, point_arrays, read_vtk, several_groups,
                    track_bytes, translate)


@pytest.mark.parametrize("case", VTK_CASES, ids=lambda case: case.__name__)
def test_reader_sees_the_stored_values(tmp_path, case):
    chunks = case(np.random.default_rng(7))
    (tmp_path / "in.trk").write_bytes(track_bytes(chunks))
    result = translate("vtp", tmp_path / "in.trk", tmp_path / "out.vtp")
    assert (result.returncode, result.stderr) == (0, b"")
    data = read_vtk(vtkXMLPolyDataReader(), tmp_path / "out.vtp")
    order = paths(chunks)
    positions, variables = point_arrays(chunks)
    assert_same_bits(vtk_to_numpy(data.GetPoints().GetData()), positions)

    point_data = data.GetPointData()
    assert point_data.GetNumberOfArrays() == len(variables)
    for name, want in variables.items():
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
    assert read_vtk(vtkXMLPolyDataReader(), tmp_path / "whole.vtp").GetNumberOfPoints() == 40000


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
