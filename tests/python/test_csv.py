"""The CSV output through Python's csv module and numpy: the header, the rows
in ZRP path order, every value read back equal to the stored one."""

import csv
import os

import numpy as np

from tracks import Chunk, paths, track_bytes, translate

F4, F8, U4, V4, V8 = "Float4", "Float8", "Unsigned4", "Vector<3,Float4>", "Vector<3,Float8>"


def test_rows_read_back_exactly(tmp_path):
    rng = np.random.default_rng(11)
    chunks = [
        Chunk(rng, 'in,"let"', [4294967295, 0, 4294967295], F4,
              [("T", 0, F4), ("N", 0, U4), ("V", 2, V4), ('say "hi"', 0, F8)]),
        Chunk(rng, "out", [0], V8, [("T", 0, F8), ("N", 0, U4), ("V", 2, V8), ('say "hi"', 0, F8)]),
    ]
    # The shortest text of a float is that of the float, not of its double;
    # NaN and the infinities are written so that numpy reads them back.
    chunks[0].variables[0][3][:] = [0.1, np.nan, -np.inf]
    (tmp_path / "in.trk").write_bytes(track_bytes(chunks))
    result = translate("csv", tmp_path / "in.trk", tmp_path / "out.csv")
    assert (result.returncode, result.stderr) == (0, b"")
    text = (tmp_path / "out.csv").read_bytes().decode()
    assert text.count("\r\n") == text.count("\n") == 5
    assert text.startswith('tag,parcel,point,x,y,z,T,N,V-u,V-v,V-w,"say ""hi"""\r\n"in,""let""",0,0,')
    assert ",0.1," in text

    rows = list(csv.reader(open(tmp_path / "out.csv", newline="")))
    assert rows[0] == ["tag", "parcel", "point", "x", "y", "z", "T", "N", "V-u", "V-v", "V-w", 'say "hi"']
    expected = [(tag, parcel, k, c, row) for _, tag, parcel, members in paths(chunks)
                for k, (c, row) in enumerate(members)]
    assert len(rows) == 1 + len(expected)
    for fields, (tag, parcel, k, c, row) in zip(rows[1:], expected):
        chunk = chunks[c]
        assert fields[:3] == [tag, str(parcel), str(k)]
        position = np.atleast_1d(chunk.position[row])
        if position.size == 1:
            position = np.concatenate([position, np.zeros(2, position.dtype)])
        values = list(position) + [value for _, _, _, v in chunk.variables for value in np.atleast_1d(v[row])]
        assert len(fields) == 3 + len(values)
        for field, value in zip(fields[3:], values):
            back = np.array(field).astype(value.dtype)
            assert back.tobytes() == value.tobytes(), (field, value)


def test_a_variable_named_like_a_column_is_refused(tmp_path):
    rng = np.random.default_rng(2)
    (tmp_path / "in.trk").write_bytes(track_bytes([Chunk(rng, "A", [0], V4, [("T", 0, F4), ("x", 0, F4)])]))
    (tmp_path / "out.csv").write_bytes(b"kept")
    result = translate("csv", tmp_path / "in.trk", tmp_path / "out.csv")
    assert (result.returncode, result.stdout) == (1, b"")
    assert result.stderr == b'Error:  the variable name "x" repeats a column of the CSV header (tag, parcel, point, x, y, z).\n'
    assert (tmp_path / "out.csv").read_bytes() == b"kept"
    assert sorted(os.listdir(tmp_path)) == ["in.trk", "out.csv"]
