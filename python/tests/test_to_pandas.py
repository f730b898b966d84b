"""Tracks.to_pandas against the CSV output read by pandas, and the module
without pandas."""

import pathlib
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest

import trkfile
from test_trkfile import TRK_MAKE, TRK_TO_ZRP, chunk_bytes, run, variable


def made_small(tmp_path):
    """Three groups; Float4 positions and vectors, Float4 and Float8 scalars."""
    path = tmp_path / "made.trk"
    assert run(TRK_MAKE, "--chunks", "6", "--points", "40", "--parcels", "30", "--groups", "inlet,outlet,wall",
               "--spread", str(path)).returncode == 0
    return path


def scalar_positions(tmp_path):
    """Two groups and a third without points; a scalar Float4 position (x,
    with y and z 0), an Unsigned4 scalar, a Float8 vector."""
    layout = [variable("Parcel Index", 0, "Unsigned4"), variable("Position", 3, "Float4"),
              variable("N", 0, "Unsigned4"), variable("V", 2, "Vector<3,Float8>")]
    rng = np.random.default_rng(5)
    points = [[int(p), float(rng.normal()), int(rng.integers(2**32)), tuple(rng.normal(size=3) * 1e10)]
              for p in rng.integers(0, 6, size=40)]
    path = tmp_path / "scalar.trk"
    path.write_bytes(chunk_bytes(1, "A", layout, points[:25]) + chunk_bytes(2, "B", layout, points[25:]) +
                     chunk_bytes(3, "C", layout, []))
    return path


# Files whose every array keeps one stored type, so that the CSV's text reads
# back as the stored value once cast to that type.
FRAMES = [made_small, scalar_positions]


@pytest.mark.parametrize("make", FRAMES, ids=[f.__name__ for f in FRAMES])
def test_to_pandas_equals_the_csv_output(tmp_path, make):
    track = make(tmp_path)
    assert run(TRK_TO_ZRP, "--format", "csv", str(track), str(tmp_path / "out.csv")).returncode == 0
    tracks = trkfile.read(track)
    frame = tracks.to_pandas()

    csv = pd.read_csv(tmp_path / "out.csv", float_precision="round_trip")
    # The CSV's columns in the types read() keeps: a vector's three in its type.
    types = [pd.CategoricalDtype(tracks.tag_names), np.uint32, np.int64] + [tracks.position.dtype] * 3
    for values in tracks.variables.values():
        types += [values.dtype] * (values.shape[1] if values.ndim == 2 else 1)
    stored = csv.astype(dict(zip(csv.columns, types)))
    pd.testing.assert_frame_equal(frame.drop(columns="path"), stored, check_exact=True)
    assert frame.groupby("path").size().tolist() == np.diff(tracks.path_offsets).tolist()
    assert frame.path.is_monotonic_increasing


WITHOUT_PANDAS = """import sys
sys.modules["pandas"] = None
import trkfile
tracks = trkfile.read(sys.argv[1])
try:
    tracks.to_pandas()
except ImportError:
    print("read, and to_pandas needs pandas")
"""


def test_the_module_imports_without_pandas():
    example = pathlib.Path(__file__).parents[2] / "examples" / "particles.trk"
    child = subprocess.run([sys.executable, "-c", WITHOUT_PANDAS, example], capture_output=True, text=True)
    assert child.stdout == "read, and to_pandas needs pandas\n", child.stderr
