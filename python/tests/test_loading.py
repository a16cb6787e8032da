# Where the package finds the library, and the package installed both ways a
# machine without internet installs it. Every case runs in an interpreter of
# its own, since a process opens the library once.
import os
import re
import shutil
import subprocess
import sys

import pytest

from conftest import PACKAGE_DIR, SOURCE_DIR

LIBRARY = os.environ["QUORVANE_PODCASTFEED_LIB"]
LIBRARY_DIR = os.path.dirname(LIBRARY)
BUILD_DIR = os.environ.get("PF_BUILD_DIR")
CHOOSING = ("QUORVANE_PODCASTFEED_LIB", "LD_LIBRARY_PATH", "PYTHONPATH")


def python(code, pythonpath, **env):
    """Runs code with only the given library choices; its output, stripped."""
    environment = {k: v for k, v in os.environ.items() if k not in CHOOSING}
    environment.update(PYTHONPATH=pythonpath, PYTHONDONTWRITEBYTECODE="1", **env)
    done = subprocess.run([sys.executable, "-c", code], env=environment, cwd=SOURCE_DIR,
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout.strip()


def loading(*paths):
    calls = "".join(f"    print(pf.load({path!r}))\n" for path in paths) or "    print(pf.load())\n"
    return f"import quorvane_podcastfeed as pf\ntry:\n{calls}except pf.PodcastFeedError as e:\n    print(e)\n"


# (paths given to load(), environment, last line printed)
CHOICES = [
    ((LIBRARY,), {}, LIBRARY),
    ((), {"QUORVANE_PODCASTFEED_LIB": LIBRARY}, LIBRARY),
    ((), {"LD_LIBRARY_PATH": LIBRARY_DIR}, "libquorvane-podcastfeed.so.0"),
    # A library that was named is never traded for another one.
    (("/nowhere/lib.so",), {"QUORVANE_PODCASTFEED_LIB": LIBRARY},
     "load: cannot load the quorvane-podcastfeed library; tried '/nowhere/lib.so' (the path given): "),
    ((), {"QUORVANE_PODCASTFEED_LIB": "/nowhere/lib.so", "LD_LIBRARY_PATH": LIBRARY_DIR},
     "load: cannot load the quorvane-podcastfeed library; tried '/nowhere/lib.so' (QUORVANE_PODCASTFEED_LIB): "),
    ((), {}, "load: cannot load the quorvane-podcastfeed library;"
             " tried 'libquorvane-podcastfeed.so.0' (the installed library): "),
    (("libc.so.6",), {}, "load: 'libc.so.6' (the path given) is not the quorvane-podcastfeed library:"
                         " it has no feed_last_error"),
    ((LIBRARY, "/other/lib.so"), {}, f"load: {LIBRARY!r} is open already; cannot also open '/other/lib.so'"),
]


@pytest.mark.parametrize("paths, env, printed", CHOICES)
def test_the_library_comes_from_the_path_then_the_variable_then_the_installed_name(paths, env, printed):
    assert python(loading(*paths), PACKAGE_DIR, **env).splitlines()[-1].startswith(printed)


def readme_example():
    """The example of the package's README, which the project's README shows too."""
    with open(os.path.join(PACKAGE_DIR, "README.md"), encoding="utf-8") as f:
        example = re.search(r"```python\n(.*?)```", f.read(), re.S).group(1)
    with open(os.path.join(PACKAGE_DIR, os.pardir, "README.md"), encoding="utf-8") as f:
        assert example in f.read()
    return example


def cmake_install(work):
    subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", work / "prefix", "--component", "python"],
                   check=True, capture_output=True)
    return work / "prefix" / "lib" / "python3" / "dist-packages"


def pip_install(work):
    # From a copy, since setuptools builds in the source folder.
    source = shutil.copytree(PACKAGE_DIR, work / "source", ignore=shutil.ignore_patterns("tests", "__pycache__"))
    subprocess.run([sys.executable, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--no-deps",
                    "--quiet", "--target", work / "site", source], check=True, capture_output=True)
    return work / "site"


@pytest.mark.skipif(not BUILD_DIR, reason="PF_BUILD_DIR names no build tree")
@pytest.mark.parametrize("install", [cmake_install, pip_install], ids=["cmake", "pip"])
def test_the_installed_package_runs_the_readme_example_on_the_installed_library(tmp_path, install):
    site = install(tmp_path)
    code = "import quorvane_podcastfeed\nprint(quorvane_podcastfeed.__file__)\n" + readme_example()
    printed = python(code, str(site), LD_LIBRARY_PATH=LIBRARY_DIR).splitlines()
    assert printed[0].startswith(str(site))
    assert printed[1:2] + printed[3:] == ["Example Show: 4 episodes, 41903 bytes, video feed", "valid"]
