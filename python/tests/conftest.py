# The package from this source tree, against the library named by
# QUORVANE_PODCASTFEED_LIB; every test starts from a feed of its own.
import os
import shutil
import sys

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE_DIR = os.path.dirname(HERE)
SOURCE_DIR = os.path.dirname(PACKAGE_DIR)
EXAMPLE_SHOW = os.path.join(SOURCE_DIR, "examples", "show")

sys.path.insert(0, PACKAGE_DIR)

import quorvane_podcastfeed as pf  # noqa: E402


@pytest.fixture
def empty_feed(tmp_path):
    """A feed with no episodes: scanning an empty folder replaces the whole
    feed, which is as close to a fresh library as a process gets."""
    folder = tmp_path / "empty"
    folder.mkdir()
    pf.episode_scan(folder)
    return folder


@pytest.fixture
def show(tmp_path):
    """A copy of the example show, free to be written to."""
    return shutil.copytree(EXAMPLE_SHOW, tmp_path / "show")
