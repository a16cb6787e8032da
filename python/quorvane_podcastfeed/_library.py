"""Finding and opening the shared library, and the C signature of each of its
exported functions."""
from __future__ import annotations

import ctypes
import os
import sys
from typing import Union

LIBRARY_VARIABLE = "QUORVANE_PODCASTFEED_LIB"

# The name the installed library answers to: the SONAME on ELF systems, which
# stays the same across compatible releases, and the DLL's name on Windows.
INSTALLED_NAME = "quorvane-podcastfeed.dll" if sys.platform == "win32" else "libquorvane-podcastfeed.so.0"

_TEXT = ctypes.c_char_p
_INT = ctypes.c_int

# Every exported function: (result type, argument types). Without these,
# ctypes takes every result for an int and passes a Python str as a wide
# string, of which the library sees only the first letter.
SIGNATURES = {
    "feed_last_error": (_TEXT, ()),
    "feed_channel_set": (_INT, (_TEXT, _TEXT)),
    "feed_channel_json": (_TEXT, ()),
    "feed_channel_reset": (_INT, ()),
    "feed_episode_count": (_INT, ()),
    "feed_episode_add": (_INT, (_TEXT,)),
    "feed_episode_set": (_INT, (_INT, _TEXT, _TEXT)),
    "feed_episode_remove": (_INT, (_INT,)),
    "feed_episode_move": (_INT, (_INT, _INT)),
    "feed_episode_field": (_TEXT, (_INT, _TEXT)),
    "feed_url_base": (_INT, (_TEXT, _TEXT)),
    "feed_url_override": (_INT, (_TEXT, _TEXT)),
    "media_probe": (_TEXT, (_TEXT,)),
    "feed_episode_scan": (_INT, (_TEXT, _TEXT)),
    "feed_sidecar_write": (_INT, (_TEXT, _TEXT)),
    "feed_sidecar_read": (_TEXT, (_TEXT,)),
    "feed_generate": (_TEXT, ()),
    "feed_generate_to": (_INT, (_TEXT,)),
    "feed_validate": (_INT, ()),
    "feed_validate_report_json": (_TEXT, ()),
    "feed_stats_json": (_TEXT, ()),
    "feed_diff": (_TEXT, (_TEXT,)),
}


class PodcastFeedError(Exception):
    """A call into the library failed, or the library could not be loaded.

    ``message`` is the library's last-error text for the failed call (it
    begins with the C function's name), ``function`` that C function's name,
    or "load" when the library could not be opened.
    """

    def __init__(self, function: str, message: str) -> None:
        self.function = function
        self.message = message or f"{function}: failed without giving a reason"
        super().__init__(self.message)


def chosen_library(path: Union[str, bytes, os.PathLike, None]) -> tuple[Union[str, bytes], str]:
    """The library to open and where that choice came from. A path that was
    named is the only one tried: falling back to another copy would leave the
    host running a build it did not ask for."""
    if path is not None:
        return os.fspath(path), "the path given"
    named = os.environ.get(LIBRARY_VARIABLE)
    if named:
        return named, LIBRARY_VARIABLE
    return INSTALLED_NAME, "the installed library"


def open_library(path: Union[str, bytes, os.PathLike, None] = None) -> tuple[ctypes.CDLL, Union[str, bytes]]:
    """Opens the library with every signature declared; returns it and the
    name it was opened by."""
    where, source = chosen_library(path)
    try:
        lib = ctypes.CDLL(where)
    except OSError as error:
        raise PodcastFeedError(
            "load",
            f"load: cannot load the quorvane-podcastfeed library; tried {where!r} ({source}): {error}"
            f" (pass a path to load() or set {LIBRARY_VARIABLE})") from None
    for name, (restype, argtypes) in SIGNATURES.items():
        function = getattr(lib, name, None)
        if function is None:
            raise PodcastFeedError("load", f"load: {where!r} ({source}) is not the quorvane-podcastfeed library:"
                                   f" it has no {name}")
        function.restype = restype
        function.argtypes = argtypes
    return lib, where
