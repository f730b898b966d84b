"""The VTK HDF output as VTK's vtkHDFReader (what ParaView uses) and h5py see
it, against the values the test's track files hold, bit for bit."""

import os

import h5py
import numpy as np
import pytest
from vtkmodules.util.numpy_support import vtk_to_numpy
from vtkmodules.vtkIOHDF import vtkHDFReader

from tracks import (F4, F8, V4, V8, VTK_CASES, Chunk, assert_same_bits, paths, point_arrays, read_vtk, several_groups,
                    track_bytes, translate)


def many_points(rng):
    # 40,000 points of 56 bytes, 2.2 MB: several windows within --memory 1M.
    return [Chunk(rng, "AB"[c % 2], rng.integers(0, 3000, size=4000), V8, [("T", 0, F8), ("V", 2, V8)])
            for c in range(10)]


# (track, --memory, whether the input comes through a pipe)
CASES = [(case, None, False) for case in VTK_CASES] + [(many_points, "1M", False), (many_points, "1M", True)]


@pytest.mark.parametrize("case, memory, pipe", CASES,
                         ids=lambda value: getattr(value, "__name__", None) or str(value))
def test_readers_see_the_stored_values(tmp_path, case, memory, pipe):
    chunks = case(np.random.default_rng(7))
    track = track_bytes(chunks)
    (tmp_path / "in.trk").write_bytes(track)
    source = "/dev/stdin" if pipe else tmp_path / "in.trk"
    output = tmp_path / "out.hdf"
    result = translate("vtkhdf", source, output, memory=memory, stdin=track if pipe else None)
    assert (result.returncode, result.stdout, result.stderr) == (0, f"{output} written.\n".encode(), b"")

    order = paths(chunks)
    positions, variables = point_arrays(chunks)
    sizes = np.array([len(path[3]) for path in order])
    offsets = np.concatenate([[0], np.cumsum(sizes)]).astype("<i8")
    types = np.where(sizes == 1, 1, 4).astype("u1")  # a vertex, or a polyline
    cell_data = {"Parcel Index": np.array([path[2] for path in order], dtype="<u4"),
                 "Tag Group": np.array([path[0] for path in order], dtype="<i4")}
    tags = list(dict.fromkeys(c.group for c in chunks))
    points, cells = len(positions), len(order)

    with h5py.File(output, "r") as file:
        root = file["VTKHDF"]
        assert root.attrs["Version"].tolist() == [1, 0]
        assert root.attrs["Type"] == b"UnstructuredGrid"
        assert not root.attrs.get_id("Type").get_type().is_variable_str()  # the reader wants a fixed length
        assert [root[count][()].tolist() for count in ("NumberOfPoints", "NumberOfCells", "NumberOfConnectivityIds")] \
            == [[points], [cells], [points]]
        assert_same_bits(root["Points"][()], positions)
        assert sorted(root["PointData"]) == sorted(variables)
        for name, want in variables.items():
            assert_same_bits(root["PointData"][name][()], want)
        assert_same_bits(root["Connectivity"][()], np.arange(points, dtype="<i8"))
        assert_same_bits(root["Offsets"][()], offsets)
        assert_same_bits(root["Types"][()], types)
        assert sorted(root["CellData"]) == sorted(cell_data)
        for name, want in cell_data.items():
            assert_same_bits(root["CellData"][name][()], want)
        assert root["FieldData/Tag Names"][()].tolist() == [tag.encode() for tag in tags]

    grid = read_vtk(vtkHDFReader(), output)
    assert_same_bits(vtk_to_numpy(grid.GetPoints().GetData()), positions)
    point_data = grid.GetPointData()
    assert point_data.GetNumberOfArrays() == len(variables)
    for name, want in variables.items():
        assert_same_bits(vtk_to_numpy(point_data.GetArray(name)), want)
    # The reader keeps the cells in integers of its own choosing.
    assert np.array_equal(vtk_to_numpy(grid.GetCells().GetConnectivityArray()), np.arange(points))
    assert np.array_equal(vtk_to_numpy(grid.GetCells().GetOffsetsArray()), offsets)
    assert_same_bits(vtk_to_numpy(grid.GetCellTypesArray()), types)
    for name, want in cell_data.items():
        assert_same_bits(vtk_to_numpy(grid.GetCellData().GetArray(name)), want)
    names = grid.GetFieldData().GetAbstractArray("Tag Names")
    assert [names.GetValue(i) for i in range(names.GetNumberOfValues())] == tags


def test_failures_write_nothing(tmp_path):
    rng = np.random.default_rng(5)
    good = track_bytes(several_groups(rng))
    (tmp_path / "out.hdf").write_bytes(b"kept")
    expected = [
        (good[:-5], "out.hdf", translate("zrp", "/dev/stdin", stdin=good[:-5]).stderr),
        (track_bytes([Chunk(rng, "A", [0], F4, [("a/b", 0, F4)])]), "out.hdf",
         b'Error:  the variable name "a/b" cannot name an array of a VTK HDF file: HDF5 takes a / in it for a path.\n'),
        (track_bytes([Chunk(rng, "A", [0], V4, [("v", 2, V4), ("v", 0, F4)])]), "out.hdf",
         b'Error:  two variables are named "v": a VTK file would keep only one point array of that name.\n'),
        (good, "/dev/full", b"Error:  could not write output file: No space left on device\n"),
    ]
    for track, output, message in expected:
        (tmp_path / "in.trk").write_bytes(track)
        result = translate("vtkhdf", tmp_path / "in.trk", tmp_path / output)
        assert (result.returncode, result.stdout, result.stderr) == (1, b"", message)
        assert message.startswith(b"Error:  ")
    assert (tmp_path / "out.hdf").read_bytes() == b"kept"
    assert sorted(os.listdir(tmp_path)) == ["in.trk", "out.hdf"]
