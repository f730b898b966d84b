"""trkfile.paths against trkfile.read, within small budgets and with its
spill files.

CTest runs these as it runs test_trkfile.py, whose files and helpers they
share."""

import contextlib
import gzip
import io
import os
import subprocess
import sys

import numpy as np
import pytest

import trkfile
from test_trkfile import TRK_MAKE, TRK_TO_ZRP, ChangingFile, block, chunk_bytes, run, variable, written


@pytest.fixture(scope="module")
def made(tmp_path_factory):
    """60,000 points of 9,000 paths in three groups: 2 MB of values, which
    a budget of 1M holds in several windows."""
    path = tmp_path_factory.mktemp("made") / "made.trk"
    assert run(TRK_MAKE, "--chunks", "12", "--points", "5000", "--groups", "A,B,C", "--parcels", "3000", "--spread",
               str(path)).returncode == 0
    return path


@pytest.fixture(scope="module")
def named_like_the_position(tmp_path_factory):
    """A written scalar that bears the position's name, as read() keys it."""
    layout = [variable("Parcel Index", 0, "Unsigned4"), variable("Position", 3, "Vector<3,Float4>"),
              variable("Position", 0, "Float4")]
    path = tmp_path_factory.mktemp("named") / "named.trk"
    path.write_bytes(chunk_bytes(1, "A", layout, [[2, (1, 2, 3), 4], [1, (5, 6, 7), 8], [2, (9, 10, 11), 12]]))
    return path


@pytest.fixture
def spill(tmp_path, monkeypatch):
    """The folder spill files go to."""
    folder = tmp_path / "spill"
    folder.mkdir()
    monkeypatch.setenv("TMPDIR", str(folder))
    return folder


WALKS = [  # the file, how it is handed over, the budget, whether its points go through a spill file
    ("written", str, None, False),
    ("named_like_the_position", str, None, False),
    ("made", lambda path: path, "1M", True),
    ("made", lambda path: open(path, "rb"), "1M", True),
    ("made", lambda path: gzip.open(io.BytesIO(gzip.compress(path.read_bytes()))), 4 << 20, False),
]
WALK_IDS = ["written-str", "named-like-the-position", "made-1M-Path", "made-1M-open", "made-4MiB-gzip"]


@pytest.mark.parametrize("name, opener, memory, spills", WALKS, ids=WALK_IDS)
def test_the_paths_concatenate_to_what_read_gives(request, spill, name, opener, memory, spills):
    track = request.getfixturevalue(name)
    track = track[0] if name == "written" else track
    with pytest.warns(trkfile.TrackWarning) if name == "written" else contextlib.nullcontext():
        walk = trkfile.paths(opener(track), memory=memory)
        first = next(walk)
        assert bool(os.listdir(spill)) == spills
        # The parser is free while paths are handed out.
        tracks = trkfile.read(track)
    paths = [first, *walk]
    assert os.listdir(spill) == []

    offsets = tracks.path_offsets
    assert [len(p) for p in paths] == np.diff(offsets).tolist()
    assert [p.tag for p in paths] == tracks.tag[offsets[:-1]].tolist()
    assert [p.tag_name for p in paths] == [tracks.tag_names[p.tag - 1] for p in paths]
    assert [p.parcel for p in paths] == tracks.parcel[offsets[:-1]].tolist()
    position = np.concatenate([p.position for p in paths])
    assert position.dtype == tracks.position.dtype and np.array_equal(position, tracks.position)
    assert all(list(p.variables) == list(tracks.variables) for p in paths)
    for key, values in tracks.variables.items():
        walked = np.concatenate([p.variables[key] for p in paths])
        assert walked.dtype == values.dtype and np.array_equal(walked, values), key


def changing():
    """1,000 paths of 100 points (1.2 MB of values), whose file gains a point
    between the passes, as in test_trkfile."""
    layout = [variable("P", 0, "Unsigned4", tag="ParcelId"), variable("Position", 3, "Vector<3,Float4>")]
    parcels = np.arange(100000, dtype="<u4") % 1000
    first = block(1, "A", layout, len(parcels)) + b"\n" + parcels.tobytes() + np.zeros((len(parcels), 3), "<f4").tobytes()
    after = first + chunk_bytes(2, "B", layout, [[5, (1, 2, 3)]])
    before = (first + chunk_bytes(2, "B", layout, [])).ljust(len(after), b" ")
    return io.BufferedReader(ChangingFile(before, after))


class Escaped(Exception):
    pass


def broken_off(track):
    for k, _ in enumerate(trkfile.paths(track, memory="1M")):
        if k == 3:
            break


def raised_in_the_loop(track):
    for k, _ in enumerate(trkfile.paths(track, memory="1M")):
        if k == 3:
            raise Escaped


def closed(track):
    with trkfile.paths(track, memory="1M") as walk:
        next(walk)
    return walk


def changed(track):
    walk = trkfile.paths(changing(), memory="1M")
    with pytest.raises(trkfile.TrackError, match="^the input changed while it was being read.$"):
        next(walk)
    return walk


ENDINGS = [broken_off, raised_in_the_loop, closed, changed]


@pytest.mark.parametrize("ending", ENDINGS, ids=[e.__name__ for e in ENDINGS])
def test_a_walk_that_ends_early_leaves_no_spill_file(spill, made, ending):
    try:
        walk = ending(made)
    except Escaped:
        walk = None
    assert os.listdir(spill) == []
    # The iteration has ended.
    if walk is not None:
        assert list(walk) == []


@pytest.fixture(scope="module")
def many_paths(tmp_path_factory):
    path = tmp_path_factory.mktemp("many") / "many.trk"
    assert run(TRK_MAKE, "--chunks", "1", "--points", "100000", "--parcels", "100000", str(path)).returncode == 0
    return path


BUDGETS = [  # memory; what paths() raises
    ("1M", trkfile.TrackError),  # the index of 100,000 paths alone does not fit
    ("64X", ValueError),
    (1000, ValueError),
    (1.5, TypeError),
]


@pytest.mark.parametrize("memory, raises", BUDGETS)
def test_budgets_that_cannot_be_kept_are_refused(many_paths, memory, raises):
    with pytest.raises(raises) as raised:
        next(trkfile.paths(many_paths, memory=memory))
    if raises is trkfile.TrackError:
        assert run(TRK_TO_ZRP, "--memory", memory, str(many_paths)).stderr == f"Error:  {raised.value}\n"


CHILD = """import resource, sys
import numpy, trkfile
def peak():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
imported, points = peak(), 0
for path in trkfile.paths(sys.argv[1], memory=sys.argv[2]):
    points += len(path)
print(imported, peak(), points)
"""
# Measured from after the imports (numpy too, which the module imports with
# its first array). Besides the budget: the arrays of the path being handed
# out and their Python objects, pages of the module's code first run, the
# threads' stacks.
ALLOWANCE = 8 << 20


def test_walking_a_large_file_stays_within_its_budget(big):
    child = subprocess.run([sys.executable, "-c", CHILD, str(big), "64M"], capture_output=True, text=True, check=True)
    imported, peak, points = map(int, child.stdout.split())
    assert points == 5000000
    assert peak - imported <= (64 << 20) + ALLOWANCE, f"{(peak - imported) / 2**20:.1f} MiB above the import"
