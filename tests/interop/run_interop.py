# Runs every *_test.py of this folder against one built shared library,
# loaded through the project's Python package:
#   python3 run_interop.py path/to/libquorvane-podcastfeed.so
# The outside tools and parsers must be installed (scripts/install-deps.sh
# installs them); a missing one fails the run rather than skipping it, so a
# machine without them cannot pass for a tested one.
import importlib.util
import os
import sys
import unittest

# The modules beside this script are imported from the source tree, which
# stays free of compiled caches.
sys.dont_write_bytecode = True

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE_DIR = os.path.join(HERE, os.pardir, os.pardir, "python")
PYTHON_MODULES = ("feedparser", "podcastparser")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: run_interop.py LIBRARY")
    sys.path[:0] = [HERE, PACKAGE_DIR]
    import media
    import quorvane_podcastfeed

    try:
        quorvane_podcastfeed.load(os.path.abspath(sys.argv[1]))
    except quorvane_podcastfeed.PodcastFeedError as error:
        sys.exit(str(error))

    missing = media.missing_tools() + [m for m in PYTHON_MODULES if importlib.util.find_spec(m) is None]
    if missing:
        sys.exit(f"missing: {', '.join(missing)} (run scripts/install-deps.sh)")
    suite = unittest.defaultTestLoader.discover(HERE, pattern="*_test.py", top_level_dir=HERE)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
