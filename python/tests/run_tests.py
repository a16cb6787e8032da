# Runs the package's tests with pytest, as CTest does:
#   QUORVANE_PODCASTFEED_LIB=path/to/libquorvane-podcastfeed.so python3 run_tests.py [pytest options]
# PF_BUILD_DIR, the build tree, adds the installation tests.
import os
import sys

# The source tree stays free of compiled caches.
sys.dont_write_bytecode = True

import pytest  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    code = pytest.main(["-p", "no:cacheprovider", "-q", HERE, *sys.argv[1:]])
    # Collecting nothing means the suite was not found or not importable: a
    # failure, never a pass.
    if code == pytest.ExitCode.NO_TESTS_COLLECTED:
        print("run_tests.py: no tests collected", file=sys.stderr)
        code = 1
    sys.exit(int(code))


if __name__ == "__main__":
    main()
