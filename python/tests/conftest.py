"""What the test modules share."""

import os
import subprocess

import pytest


@pytest.fixture(scope="session")
def big(tmp_path_factory):
    """200 MB: 5,000,000 points of 200,000 paths in four groups, which read()
    takes more than a second to read."""
    path = tmp_path_factory.mktemp("big") / "big.trk"
    subprocess.run([os.environ["TRK_MAKE"], "--chunks", "100", "--points", "50000", "--groups", "A,B,C,D",
                    "--parcels", "200000", str(path)], check=True)
    yield path
    path.unlink()
