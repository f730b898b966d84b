"""The trkfile module against what the tests write, the translator's ZRP
output, trk_dump's listing and the translator's messages.

CTest runs these with the built module on PYTHONPATH, the programs in
TRK_TO_ZRP, TRK_DUMP and TRK_MAKE, and cmake and the build folder in CMAKE
and TRK_BUILD_DIR."""

import errno
import gzip
import io
import json
import os
import random
import re
import signal
import struct
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import trkfile

TRK_TO_ZRP = os.environ["TRK_TO_ZRP"]
TRK_DUMP = os.environ["TRK_DUMP"]
TRK_MAKE = os.environ["TRK_MAKE"]
CMAKE = os.environ["CMAKE"]
TRK_BUILD_DIR = os.environ["TRK_BUILD_DIR"]

FORMATS = {"Unsigned4": "<I", "Float4": "<f", "Float8": "<d", "Vector<3,Float4>": "<3f", "Vector<3,Float8>": "<3d"}
MAX_INDEX = 4294967295
TRAILING = b"}not a block"


def text(value):
    """The property text of a value."""
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, str):
        return "'" + value + "'"
    if isinstance(value, list):
        return "[" + ", ".join(text(v) for v in value) + "]"
    return "{" + ", ".join(f"'{k}': {text(v)}" for k, v in value.items()) + "}"


def variable(name, kind, data_type, data_size=None, tag=None):
    descriptor = {"DataSize": data_size or struct.calcsize(FORMATS[data_type]), "DataType": data_type, "Type": kind}
    if name is not None:
        descriptor["Name"] = name
    if tag is not None:
        descriptor["Tag"] = tag
    return descriptor


def stored(data_type, value):
    """The value as the file holds it: a float, or a tuple for a vector."""
    values = struct.unpack(FORMATS[data_type], struct.pack(FORMATS[data_type], *np.atleast_1d(value)))
    return values if len(values) == 3 else values[0]


def block(chunk_id, name, variables, size, steady=True):
    return text({"ClassName": "TrackChunk", "Id": chunk_id, "Name": name, "Size": size, "Steady": steady,
                 "Variables": variables}).encode()


def chunk_bytes(chunk_id, name, variables, points):
    """A steady chunk: its block, the separator, each variable's column."""
    data = b""
    for v, descriptor in enumerate(variables):
        for point in points:
            packed = struct.pack(FORMATS[descriptor["DataType"]], *np.atleast_1d(point[v]))
            data += packed.ljust(descriptor["DataSize"], b"\0")
    return block(chunk_id, name, variables, len(points)) + b"\n" + data


# Two layouts of the same written variables: the first chunk's scalars
# "Spin-u", "-v", "-w" are a vector "Spin" in the second; a scalar shares the
# vector "Velocity"'s name; Diameter is padded to 8 bytes in LAYOUT_A; the
# last variable of LAYOUT_A is neither written nor named.
LAYOUT_A = [variable("Parcel Index", 0, "Unsigned4", tag="ParcelId"), variable("Position", 3, "Vector<3,Float4>"),
            variable("Diameter", 0, "Float4", 8), variable("Temperature", 0, "Float4"),
            variable("Velocity", 2, "Vector<3,Float8>"), variable("Velocity", 0, "Unsigned4"),
            variable("Spin-u", 0, "Float4"), variable("Spin-v", 0, "Float4"), variable("Spin-w", 0, "Float4"),
            variable(None, 1, "Float4")]
LAYOUT_B = [variable("Parcel Index", 0, "Unsigned4"), variable("Position", 3, "Vector<3,Float8>"),
            variable("Diameter", 0, "Float4"), variable("Temperature", 0, "Float8"),
            variable("Velocity", 2, "Vector<3,Float8>"), variable("Velocity", 0, "Unsigned4"),
            variable("Spin", 2, "Vector<3,Float8>")]
# Each written variable's array: its key, dtype and, per layout, its values of a point.
OUTPUTS = [("Diameter", np.float32, lambda p: p[2], lambda p: p[2]),
           ("Temperature", np.float64, lambda p: p[3], lambda p: p[3]),
           ("Velocity", np.float64, lambda p: p[4], lambda p: p[4]),
           ("variable 6", np.uint32, lambda p: p[5], lambda p: p[5]),
           ("Spin-u", np.float64, lambda p: p[6], lambda p: p[6][0]),
           ("Spin-v", np.float64, lambda p: p[7], lambda p: p[6][1]),
           ("Spin-w", np.float64, lambda p: p[8], lambda p: p[6][2])]


def points_of(layout, parcels, rng):
    """Points of random values, as stored."""
    points = []
    for parcel in parcels:
        point = [parcel]
        for descriptor in layout[1:]:
            data_type = descriptor["DataType"]
            if data_type == "Unsigned4":
                value = rng.randrange(MAX_INDEX + 1)
            elif data_type.startswith("Vector"):
                value = tuple(rng.uniform(-1e3, 1e3) for _ in range(3))
            else:
                value = rng.uniform(-1e3, 1e3)
            point.append(stored(data_type, value))
        points.append(point)
    return points


@pytest.fixture(scope="module")
def written(tmp_path_factory):
    """A file of three tag groups, one chunk without points, an unsteady
    record and bytes that do not parse at its end; with what it holds."""
    rng = random.Random(7)
    chunks = [(1, "A", LAYOUT_A, points_of(LAYOUT_A, [7, MAX_INDEX, 0, 7], rng)),
              (2, "B", LAYOUT_B, points_of(LAYOUT_B, [5, 5], rng)),
              (3, "A", LAYOUT_A, points_of(LAYOUT_A, [0, MAX_INDEX, 12], rng)),
              (4, "C", LAYOUT_A, [])]
    data = chunk_bytes(*chunks[0]) + block(9, "A", LAYOUT_A, 2, steady=False)
    for chunk in chunks[1:]:
        data += chunk_bytes(*chunk)
    path = tmp_path_factory.mktemp("written") / "written.trk"
    path.write_bytes(data + TRAILING)
    return path, chunks


def zrp_order(chunks):
    """(group number, parcel, layout, point) in ZRP order: groups by first
    appearance, parcels ascending, points in file order."""
    groups = list(dict.fromkeys(name for _, name, _, _ in chunks))
    points = [(groups.index(name) + 1, point[0], layout, point) for _, name, layout, chunk in chunks for point in chunk]
    return sorted(points, key=lambda p: p[:2])


def path_offsets(order):
    starts = [k for k in range(len(order)) if k == 0 or order[k][:2] != order[k - 1][:2]]
    return starts + [len(order)]


def run(*command):
    return subprocess.run(command, capture_output=True, text=True)


def test_read_gives_the_written_values_in_zrp_order(written):
    path, chunks = written
    with pytest.warns(trkfile.TrackWarning) as caught:
        tracks = trkfile.read(path)
    # The warning is the translator's, without its "Warning:  ".
    assert run(TRK_TO_ZRP, str(path)).stderr == f"Warning:  {caught[0].message}\n"

    order = zrp_order(chunks)
    assert tracks.tag_names == ["A", "B", "C"]
    assert tracks.tag.dtype == np.int32 and tracks.tag.tolist() == [p[0] for p in order]
    assert tracks.parcel.dtype == np.uint32 and tracks.parcel.tolist() == [p[1] for p in order]
    assert tracks.path_offsets.dtype == np.int64 and tracks.path_offsets.tolist() == path_offsets(order)
    # Float4 positions in one chunk and Float8 in another: float64, exact.
    assert tracks.position.dtype == np.float64
    assert np.array_equal(tracks.position, [p[3][1] for p in order])
    assert list(tracks.variables) == [key for key, _, _, _ in OUTPUTS]
    for key, dtype, of_a, of_b in OUTPUTS:
        expected = np.array([(of_a if layout is LAYOUT_A else of_b)(p) for _, _, layout, p in order], dtype=dtype)
        assert tracks.variables[key].dtype == dtype, key
        assert np.array_equal(tracks.variables[key], expected), key


POSITION_CASES = [  # position data types of the chunks, points per chunk, the array's dtype and width
    (["Float8", "Float4"], 2, np.float64, 1),
    (["Unsigned4", "Vector<3,Float4>"], 2, np.float64, 3),  # y = z = 0 for the scalar chunk
    (["Vector<3,Float4>", "Float8"], 0, np.float64, 3),  # no points: the declared types
]


@pytest.mark.parametrize("types, points, dtype, width", POSITION_CASES)
def test_the_position_array_follows_the_chunks(tmp_path, types, points, dtype, width):
    rng = random.Random(3)
    chunks = []
    for k, data_type in enumerate(types):
        layout = [variable("Parcel Index", 0, "Unsigned4"), variable("Position", 3, data_type),
                  variable("T", 0, "Float4")]
        chunks.append((k + 1, "A", layout, points_of(layout, [2 * k + 1, 0][:points], rng)))
    path = tmp_path / "positions.trk"
    path.write_bytes(b"".join(chunk_bytes(*chunk) for chunk in chunks))
    tracks = trkfile.read(path)

    expected = [np.pad(np.atleast_1d(p[1]), (0, width - np.size(p[1]))) for _, _, _, p in zrp_order(chunks)]
    assert tracks.position.dtype == dtype
    assert tracks.position.shape == ((len(expected), 3) if width == 3 else (len(expected),))
    assert np.array_equal(tracks.position.reshape(-1, width), np.reshape(expected, (-1, width)))
    assert tracks.variables["T"].dtype == np.float32
    assert tracks.path_offsets.tolist() == path_offsets(zrp_order(chunks))


def read_zrp(path):
    """(tag names, variable names, [(group number, rows of values)])."""
    lines = path.read_text().split("\n")
    assert lines[:2] == ["ZRPARTICLES 2 1", "Tag Names"]
    tag_count = int(lines[2])
    tags, at = lines[3:3 + tag_count], 3 + tag_count
    assert lines[at] == "Variable Names"
    names, at = lines[at + 2:at + 2 + int(lines[at + 1])], at + 2 + int(lines[at + 1])
    paths = []
    while lines[at]:
        count, group = int(lines[at]), int(lines[at + 1]) if tag_count else 1
        at += 2 if tag_count else 1
        paths.append((group, [[float(v) for v in line.split()] for line in lines[at:at + count]]))
        at += count
    return tags, names, paths


@pytest.mark.parametrize("groups", ["inlet,outlet,wall", "A"])
def test_read_agrees_with_the_translators_zrp_output(tmp_path, groups):
    track, zrp = tmp_path / "made.trk", tmp_path / "made.zrp"
    assert run(TRK_MAKE, "--chunks", "7", "--points", "60", "--parcels", "45", "--groups", groups, "--spread",
               "--seed", "4", str(track)).returncode == 0
    assert run(TRK_TO_ZRP, str(track), str(zrp)).returncode == 0
    tags, names, paths = read_zrp(zrp)
    tracks = trkfile.read(track)

    assert tracks.tag_names == groups.split(",") and tags == (tracks.tag_names if len(tags) > 1 else [])
    keys = [key + suffix for key, values in tracks.variables.items()
            for suffix in (["-u", "-v", "-w"] if values.ndim == 2 else [""])]
    assert names == keys
    offsets = tracks.path_offsets
    assert [(group, len(rows)) for group, rows in paths] == list(zip(tracks.tag[offsets[:-1]], np.diff(offsets)))
    ours = np.column_stack([tracks.position] + list(tracks.variables.values())).astype(np.float64)
    # %.6g: within half a unit of the sixth significant digit.
    np.testing.assert_allclose([row for _, rows in paths for row in rows], ours, rtol=5e-6, atol=0)


@pytest.mark.parametrize("through_a_pipe", [False, True])
def test_chunks_match_trk_dumps_listing(tmp_path, written, through_a_pipe):
    path, chunks = written
    listing = run(TRK_DUMP, str(path)).stdout
    steady = [(int(m[1]), int(m[2]), int(m[3]), m[4], int(m[5])) for m in re.finditer(
        r"^record (\d+) at byte (\d+): ClassName 'TrackChunk', Steady true, Id (\d+), Name '(.*)', Size (\d+)$",
        listing, re.M)]
    source = path
    if through_a_pipe:
        source = tmp_path / "pipe"
        os.mkfifo(source)
        writer = threading.Thread(target=lambda: source.write_bytes(path.read_bytes()))
        writer.start()
    with pytest.warns(trkfile.TrackWarning, match="reading stopped at byte"):
        streamed = list(trkfile.chunks(source))
    if through_a_pipe:
        writer.join()

    assert len(steady) == 4
    assert [(c.record, c.offset, c.id, c.name, c.size) for c in streamed] == steady
    first, points = streamed[0].variables, chunks[0][3]
    assert list(first) == ["Parcel Index", "Position", "Diameter", "Temperature", "Velocity", "variable 6",
                           "Spin-u", "Spin-v", "Spin-w", "variable 10"]
    assert first["Position"].dtype == np.float32 and np.array_equal(first["Position"], [p[1] for p in points])
    assert first["Diameter"].dtype == np.float32 and np.array_equal(first["Diameter"], [p[2] for p in points])
    assert first["Velocity"].shape == (4, 3) and first["variable 6"].dtype == np.uint32
    assert first["variable 10"] == struct.pack("<4f", *[p[9] for p in points])


def test_bytes_that_are_not_utf8_stay_in_names_and_show_in_messages(tmp_path):
    layout = [variable("Parcel Index", 0, "Unsigned4"), variable("Position", 3, "Vector<3,Float4>"),
              variable("T~", 0, "Float4")]
    path = tmp_path / "odd.trk"
    path.write_bytes(chunk_bytes(1, "g~", layout, [[1, (1.0, 2.0, 3.0), 4.0]]).replace(b"~", b"\xff") + b"\xff")
    translator = subprocess.run([TRK_TO_ZRP, path], capture_output=True).stderr.decode("utf-8", "backslashreplace")

    with pytest.warns(trkfile.TrackWarning) as caught:
        tracks = trkfile.read(path)
    assert translator == f"Warning:  {caught[0].message}\n"
    assert [os.fsencode(name) for name in tracks.tag_names] == [b"g\xff"]
    assert [os.fsencode(key) for key in tracks.variables] == [b"T\xff"]
    assert repr(tracks) == "<trkfile.Tracks: 1 point, 1 path, 1 tag group, variables T\\xff>"
    with pytest.warns(trkfile.TrackWarning):
        chunk, = trkfile.chunks(path)
    assert os.fsencode(chunk.name) == b"g\xff" and os.fsencode(list(chunk.variables)[2]) == b"T\xff"
    assert repr(chunk) == "<trkfile.Chunk: record 1 at byte 0, Id 1, Name 'g\\xff', Size 1>"

    # A message with such a byte, from the file's name.
    unsteady = tmp_path / os.fsdecode(b"unsteady\xff.trk")
    unsteady.write_bytes(block(1, "A", layout, 0, steady=False))
    translator = subprocess.run([TRK_TO_ZRP, unsteady], capture_output=True).stderr.decode("utf-8", "backslashreplace")
    with pytest.raises(trkfile.TrackError) as raised:
        trkfile.read(unsteady)
    assert translator == f"Error:  {raised.value}\n"


def cut_inside_chunk_2(written):
    data = written[0].read_bytes()
    return data[:data.index(b"\n", data.index(b"'Id': 2")) + 20]


def mismatched(written):
    later = [dict(v, Name="Temp") if v.get("Name") == "Temperature" else v for v in LAYOUT_A]
    return chunk_bytes(1, "A", LAYOUT_A, []) + chunk_bytes(2, "A", later, [])


DAMAGES = [  # (what, the file's bytes from the written file, whether chunks() meets it too)
    ("cut inside its data", cut_inside_chunk_2, True),
    ("variable names that do not match", mismatched, False),
    ("no steady chunk", lambda written: block(1, "A", LAYOUT_A, 0, steady=False), False),
]


@pytest.mark.parametrize("damage, make, streamed", DAMAGES, ids=[d[0] for d in DAMAGES])
def test_damaged_files_raise_the_translators_message(tmp_path, written, damage, make, streamed):
    path = tmp_path / "damaged.trk"
    path.write_bytes(make(written))
    stderr = run(TRK_TO_ZRP, str(path)).stderr
    with pytest.raises(trkfile.TrackError) as raised:
        trkfile.read(str(path))
    assert isinstance(raised.value, ValueError)
    assert stderr == f"Error:  {raised.value}\n"
    if streamed:
        with pytest.raises(trkfile.TrackError, match=re.escape(str(raised.value))):
            list(trkfile.chunks(path))


def test_files_that_cannot_be_read_raise_os_errors(tmp_path):
    with pytest.raises(FileNotFoundError):
        trkfile.read(tmp_path / "missing.trk")
    with pytest.raises(FileNotFoundError):
        trkfile.chunks(tmp_path / "missing.trk")
    with pytest.raises(IsADirectoryError):
        trkfile.read(tmp_path)
    # Reads of /proc/self/mem fail (EIO) and it cannot seek: neither may end
    # the interpreter, as a failed stream under the property lexer would.
    chunks = trkfile.chunks("/proc/self/mem")
    with pytest.raises(OSError) as raised:
        next(chunks)
    assert raised.value.errno == errno.EIO
    assert list(chunks) == []
    with pytest.raises(OSError) as raised:
        trkfile.read("/proc/self/mem")
    assert raised.value.errno == errno.ESPIPE


def assert_same_tracks(tracks, expected):
    for name in ["tag_names", "tag", "parcel", "path_offsets", "position"]:
        assert np.array_equal(getattr(tracks, name), getattr(expected, name)), name
    assert list(tracks.variables) == list(expected.variables)
    assert all(np.array_equal(tracks.variables[k], v) for k, v in expected.variables.items())


def listed(chunks):
    return [(c.record, c.offset, c.name, c.size, [v.tobytes() for v in c.variables.values()]) for c in chunks]


FILE_OBJECTS = [  # how the file's bytes are handed over; what read() and chunks() raise, None where they read
    ("open file", lambda path: open(path, "rb"), None, None),
    ("gzip", lambda path: gzip.open(io.BytesIO(gzip.compress(path.read_bytes()))), None, None),
    ("bytes", lambda path: io.BytesIO(path.read_bytes()), None, None),
    ("pipe", lambda path: subprocess.Popen(["cat", path], stdout=subprocess.PIPE).stdout,
     io.UnsupportedOperation, None),
    # Whatever the file object raises, here for a cut gzip stream.
    ("cut gzip", lambda path: gzip.open(io.BytesIO(gzip.compress(path.read_bytes())[:-40])), EOFError, EOFError),
    ("text file", lambda path: open(path), TypeError, TypeError),
]


@pytest.mark.parametrize("source, opener, read_raises, chunks_raises", FILE_OBJECTS, ids=[f[0] for f in FILE_OBJECTS])
def test_file_objects_read_as_their_files_do(tmp_path, source, opener, read_raises, chunks_raises):
    track = tmp_path / "made.trk"
    assert run(TRK_MAKE, "--chunks", "5", "--points", "40", "--groups", "A,B", str(track)).returncode == 0
    with opener(track) as file:
        if read_raises:
            with pytest.raises(read_raises):
                trkfile.read(file)
        else:
            assert_same_tracks(trkfile.read(file), trkfile.read(track))
    with opener(track) as file:
        if chunks_raises:
            with pytest.raises(chunks_raises):
                list(trkfile.chunks(file))
        else:
            assert listed(trkfile.chunks(file)) == listed(trkfile.chunks(track))


CHILD = """import sys, trkfile
call, source = sys.argv[1:]
print("reading", flush=True)
if call == "read":
    trkfile.read(source)
elif call == "read an open file":
    trkfile.read(open(source, "rb"))
elif call == "paths":
    for path in trkfile.paths(source, memory="64M"):
        pass
else:
    for chunk in trkfile.chunks(source):
        pass
"""
INTERRUPTED = ["read", "read an open file", "paths", "chunks of a pipe that stalls"]


@pytest.mark.parametrize("call", INTERRUPTED)
def test_ctrl_c_stops_a_read_at_once(tmp_path, big, call):
    source = big
    if call.endswith("stalls"):
        source = tmp_path / "pipe"
        os.mkfifo(source)
        done = threading.Event()

        def feed():  # the start of the file, then nothing until the child is done
            with open(source, "wb") as pipe, open(big, "rb") as whole:
                try:
                    pipe.write(whole.read(1 << 20))
                except BrokenPipeError:
                    pass
                done.wait()

        threading.Thread(target=feed, daemon=True).start()
    child = subprocess.Popen([sys.executable, "-c", CHILD, call, str(source)], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "reading\n"
        time.sleep(0.2)
        assert child.poll() is None
        child.send_signal(signal.SIGINT)
        sent = time.monotonic()
        stderr = child.communicate(timeout=10)[1]
        elapsed = time.monotonic() - sent
    finally:
        child.kill()
        if call.endswith("stalls"):
            done.set()
    assert stderr.rstrip().endswith("KeyboardInterrupt") and child.returncode != 0
    assert elapsed < 0.5


def test_threads_reading_at_once_get_what_one_gets_alone(tmp_path):
    track = tmp_path / "threads.trk"
    assert run(TRK_MAKE, "--chunks", "30", "--points", "3000", "--groups", "A,B", str(track)).returncode == 0
    alone = trkfile.read(track)
    sizes = [chunk.size for chunk in trkfile.chunks(track)]
    results = [None] * 4

    def work(k):
        results[k] = trkfile.read(track) if k % 2 == 0 else [chunk.size for chunk in trkfile.chunks(track)]

    threads = [threading.Thread(target=work, args=(k,)) for k in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for tracks in results[0::2]:
        assert_same_tracks(tracks, alone)
    assert results[1::2] == [sizes, sizes]


PREFIXES = [  # the install prefix; whether this Python searches it already (else PYTHONPATH, as the README says)
    ("/usr/local", True),  # installed under DESTDIR: nothing outside the test's folder changes
    ("prefix", False),
]


@pytest.mark.parametrize("prefix, searched", PREFIXES)
def test_install_puts_the_module_where_python_looks(tmp_path, prefix, searched):
    clean = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    root = tmp_path / "destdir" if searched else tmp_path
    prefix = prefix if searched else str(tmp_path / prefix)
    subprocess.run([CMAKE, "--install", TRK_BUILD_DIR, "--component", "python", "--prefix", prefix],
                   env=dict(clean, DESTDIR=str(root)) if searched else clean, check=True, capture_output=True)
    installed, = root.rglob("trkfile*.so")
    folder = "/" + str(installed.parent.relative_to(root)) if searched else str(installed.parent)
    if searched:
        path = subprocess.run([sys.executable, "-c", "import json, sys; print(json.dumps(sys.path))"], env=clean,
                              capture_output=True, text=True, check=True).stdout
        assert folder in json.loads(path)
    else:
        assert folder == f"{prefix}/lib/python{sys.version_info[0]}.{sys.version_info[1]}/site-packages"
    imported = subprocess.run([sys.executable, "-c", "import trkfile; print(trkfile.__file__)"],
                              env=dict(clean, PYTHONPATH=str(installed.parent)), cwd=tmp_path, capture_output=True,
                              text=True)
    assert imported.stdout == f"{installed}\n"


def velocity_chunk(chunk_id, vector, scale):
    """Parcels 1 and 2 with a velocity of three scalars V-u, V-v, V-w, or one vector V."""
    layout = [variable("P", 0, "Unsigned4", tag="ParcelId"), variable("Position", 3, "Vector<3,Float4>")]
    layout += [variable("V", 2, "Vector<3,Float4>")] if vector else [variable(n, 0, "Float4") for n in ("V-u", "V-v", "V-w")]
    points = []
    for parcel in (1, 2):
        velocity = (scale * parcel, -scale, 0.5)
        points.append([parcel, (parcel, scale, 0)] + ([velocity] if vector else list(velocity)))
    return chunk_bytes(chunk_id, "A", layout, points)


@pytest.mark.parametrize("vector_first", [False, True])
def test_a_vector_and_its_scalars_in_another_chunk_are_read_by_every_output(tmp_path, vector_first):
    path = tmp_path / "split.trk"
    path.write_bytes(velocity_chunk(1, vector_first, 1) + velocity_chunk(2, not vector_first, 2))
    tracks = trkfile.read(path)
    velocity = np.column_stack([tracks.variables[k] for k in ("V-u", "V-v", "V-w")]) if not vector_first \
        else tracks.variables["V"]
    assert velocity.tolist() == [[1, -1, 0.5], [2, -2, 0.5], [2, -1, 0.5], [4, -2, 0.5]]
    for form in ("zrp", "csv", "vtp"):
        result = run(TRK_TO_ZRP, "--format", form, str(path), str(tmp_path / ("out." + form)))
        assert (result.returncode, result.stderr) == (0, ""), form
    from vtkmodules.vtkIOXML import vtkXMLPolyDataReader
    from vtkmodules.util.numpy_support import vtk_to_numpy
    reader = vtkXMLPolyDataReader()
    reader.SetFileName(str(tmp_path / "out.vtp"))
    reader.Update()
    data = reader.GetOutput().GetPointData()
    names = ["V"] if vector_first else ["V-u", "V-v", "V-w"]
    read_back = np.column_stack([vtk_to_numpy(data.GetArray(n)) for n in names])
    assert read_back.tolist() == velocity.tolist()


class ChangingFile(io.RawIOBase):
    """One track while it is first read, another once it is read again from its start."""

    def __init__(self, first, second):
        self.data, self.next, self.at, self.read_to_end = first, second, 0, False

    def readable(self):
        return True

    def seekable(self):
        return True

    def readinto(self, buffer):
        piece = self.data[self.at:self.at + len(buffer)]
        buffer[:len(piece)] = piece
        self.at += len(piece)
        self.read_to_end = self.read_to_end or not piece
        return len(piece)

    def seek(self, offset, whence=io.SEEK_SET):
        base = {io.SEEK_SET: 0, io.SEEK_CUR: self.at, io.SEEK_END: len(self.data)}[whence]
        if base + offset == 0 and self.read_to_end and self.next is not None:
            self.data, self.next = self.next, None
        self.at = base + offset
        return self.at

    def tell(self):
        return self.at


def test_a_file_that_changes_between_the_passes_raises(tmp_path):
    # A group whose chunk has no point in the first pass gains one: the same
    # length. The first chunk is larger than what a file object's reader
    # keeps, so that the second pass reads the object again.
    layout = [variable("P", 0, "Unsigned4", tag="ParcelId"), variable("Position", 3, "Vector<3,Float4>")]
    parcels = np.arange(100000, dtype="<u4")
    first = block(1, "A", layout, len(parcels)) + b"\n" + parcels.tobytes() + np.zeros((len(parcels), 3), "<f4").tobytes()
    after = first + chunk_bytes(2, "B", layout, [[5, (1, 2, 3)]])
    before = (first + chunk_bytes(2, "B", layout, [])).ljust(len(after), b" ")
    with pytest.raises(trkfile.TrackError, match="^the input changed while it was being read.$"):
        trkfile.read(io.BufferedReader(ChangingFile(before, after)))
