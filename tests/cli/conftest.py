"""What every test of the podcastfeed command shares: the built command, the
example show copied where a test may change it, and a run helper that fails on
any sanitizer report even when the exit status is right."""
import os
import shutil
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

import pytest


def pytest_addoption(parser):
    parser.addoption("--podcastfeed", required=True, help="the built command")
    parser.addoption("--show", required=True, help="the example show folder")
    parser.addoption("--manual", default="", help="the generated manual page")
    parser.addoption("--completion", default="", help="the generated bash completion")


@dataclass
class Result:
    code: int
    out: str
    err: str


class Tool:
    def __init__(self, path):
        self.path = path

    def __call__(self, *args, cwd=None, timeout=120, env=None):
        p = subprocess.run([self.path, *map(os.fsdecode, args)], cwd=cwd, capture_output=True, timeout=timeout,
                           env=env)
        out = p.stdout.decode("utf-8", "surrogateescape")
        err = p.stderr.decode("utf-8", "surrogateescape")
        assert "Sanitizer" not in err and "runtime error" not in err, err
        return Result(p.returncode, out, err)


@pytest.fixture(scope="session")
def tool(request):
    return Tool(os.path.abspath(request.config.getoption("--podcastfeed")))


@pytest.fixture(scope="session")
def example_show(request):
    return Path(request.config.getoption("--show"))


@pytest.fixture
def show(tmp_path, example_show):
    """A copy of the example show, dated an hour ago so that no file looks
    like it is still being copied."""
    folder = tmp_path / "My Show"
    shutil.copytree(example_show, folder)
    past = time.time() - 3600
    for f in folder.iterdir():
        os.utime(f, (past, past))
    return folder


@pytest.fixture(scope="session")
def generated(request):
    return {"manual": request.config.getoption("--manual"), "completion": request.config.getoption("--completion")}
