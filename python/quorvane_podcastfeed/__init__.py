"""quorvane_podcastfeed: the quorvane-podcastfeed library for Python hosts.

The library turns a folder of media files into a podcast feed (RSS 2.0 with
the iTunes podcast and Atom extensions), then checks, summarises and compares
that feed. There is one function here for each exported C function, named
without its ``feed_`` prefix (``media_probe`` is ``probe``).

One feed per process: the library keeps a single feed in process-wide state,
so every caller in the process, in every thread, works on the same feed. The
functions here serialise their calls with one lock, ``lock``, so threads may
share the library safely. Each call is atomic on its own; a host that needs a
sequence of calls to see no other thread's changes (a scan, then the feed it
gives) holds ``lock`` around the sequence, which it may, as the lock is
reentrant.

Conversions:

- Texts go in and come out as ``str``, in UTF-8. Bytes that are not UTF-8
  (a file name from an old system) come out as surrogate escapes, as
  ``os.fsdecode`` gives them, so no byte is lost and ``os.fsencode`` gives
  them back.
- Paths are ``str``, ``bytes`` or ``os.PathLike``, encoded by
  ``os.fsencode``, so names that are not UTF-8 work.
- JSON arguments are a JSON text (``str``) or any value ``json.dumps``
  takes; JSON results come back as dicts and lists.
- A failure raises ``PodcastFeedError`` carrying the library's last-error
  text; a text or path holding a NUL raises ``ValueError``, an index beyond
  the C ``int`` range ``OverflowError``.

The library is opened on first use: from the path given to ``load()``, else
from the file named by ``QUORVANE_PODCASTFEED_LIB``, else by its installed
name (``libquorvane-podcastfeed.so.0``; ``quorvane-podcastfeed.dll`` on
Windows).
"""
from __future__ import annotations

import json
import operator
import os
import threading
from collections.abc import Mapping
from typing import Any, Callable, Optional, Union

from ._library import INSTALLED_NAME, LIBRARY_VARIABLE, PodcastFeedError, open_library

__all__ = [
    "INSTALLED_NAME", "LIBRARY_VARIABLE", "PodcastFeedError", "lock", "load",
    "last_error", "channel_set", "channel_json", "channel_reset",
    "episode_count", "episode_add", "episode_set", "episode_remove", "episode_move", "episode_field",
    "url_base", "url_override", "probe", "episode_scan", "sidecar_write", "sidecar_read",
    "generate", "generate_to", "validate", "validate_report_json", "stats_json", "diff",
]

__version__ = "0.1.0"

PathArg = Union[str, bytes, os.PathLike]
JsonArg = Any

lock = threading.RLock()

_lib = None
_lib_name: Union[str, bytes, None] = None

_INT_MIN, _INT_MAX = -(2 ** 31), 2 ** 31 - 1


def load(path: Optional[PathArg] = None) -> Union[str, bytes]:
    """Opens the library, unless it is open already, and returns the name it
    was opened by.

    ``path`` names the library file; without it the file named by
    ``QUORVANE_PODCASTFEED_LIB`` is opened, and without that the installed
    library. A library that was named is the only one tried. Raises
    ``PodcastFeedError`` saying what was tried when it cannot be opened, and
    when asked for another file than the one already open: one process holds
    one feed, so it opens the library once.
    """
    global _lib, _lib_name
    with lock:
        if _lib is None:
            _lib, _lib_name = open_library(path)
        elif path is not None and os.fspath(path) != _lib_name:
            raise PodcastFeedError("load", f"load: {_lib_name!r} is open already; cannot also open {os.fspath(path)!r}")
        return _lib_name


def _opened():
    if _lib is None:
        load()
    return _lib


# ---- Conversions -------------------------------------------------------------

def _no_nul(data: bytes, what: str) -> bytes:
    # ctypes would pass the text only up to the NUL, silently naming another
    # file or value than the one given.
    if b"\0" in data:
        raise ValueError(f"{what}: embedded null byte")
    return data


def _text(value: str, what: str) -> bytes:
    if not isinstance(value, str):
        raise TypeError(f"{what} must be str, not {type(value).__name__}")
    return _no_nul(value.encode("utf-8", "surrogateescape"), what)


def _path(value: PathArg, what: str) -> bytes:
    return _no_nul(os.fsencode(value), what)


def _json_text(value: JsonArg, what: str) -> bytes:
    if not isinstance(value, str):
        value = json.dumps(value, ensure_ascii=False, separators=(",", ":"))
    return _text(value, what)


def _int(value: int, what: str) -> int:
    # ctypes would wrap a larger number silently, so that index 2**32 + 1
    # reached episode 1.
    number = operator.index(value)
    if not _INT_MIN <= number <= _INT_MAX:
        raise OverflowError(f"{what} {number} does not fit a C int")
    return number


def _str(result: bytes) -> str:
    return result.decode("utf-8", "surrogateescape")


def _json(function: str, result: bytes) -> Any:
    try:
        return json.loads(_str(result))
    except ValueError as error:
        # The library cuts a result that outgrows its buffer.
        raise PodcastFeedError(function, f"{function}: the result is not JSON ({error})") from None


def _failed_status(result: int) -> bool:
    return result != 0


def _empty(result: bytes) -> bool:
    return not result


def _call(function: str, *args: Any, failed: Optional[Callable[[Any], bool]] = None) -> Any:
    """Calls the C function; when failed says the result is a failure,
    raises with the last-error text, read before any other call can
    replace it."""
    with lock:
        lib = _opened()
        result = getattr(lib, function)(*args)
        if failed is not None and failed(result):
            raise PodcastFeedError(function, _str(lib.feed_last_error()))
        return result


# ---- Last error --------------------------------------------------------------

def last_error() -> str:
    """The library's last-error text, or "" when none is on record.

    The functions here raise with the text of their own failure, so a host
    rarely needs this; several successful calls leave an earlier text in
    place, and ``sidecar_read`` leaves one of its own.
    """
    return _str(_call("feed_last_error"))


# ---- Channel settings --------------------------------------------------------

def channel_set(key: str, value: str) -> None:
    """Sets one channel key (title, description, language, author, category,
    explicit, artwork, lastBuildDate) to value (at most 4095 bytes)."""
    _call("feed_channel_set", _text(key, "key"), _text(value, "value"), failed=_failed_status)


def channel_json() -> dict[str, str]:
    """All channel settings, in the order keys were first set."""
    return _json("feed_channel_json", _call("feed_channel_json"))


def channel_reset() -> None:
    """Empties the channel settings; episodes and URL settings stay."""
    _call("feed_channel_reset")


# ---- Episode table -----------------------------------------------------------

def episode_count() -> int:
    """The number of episodes (0 to 4096)."""
    return _call("feed_episode_count")


def episode_add(episode: JsonArg) -> None:
    """Appends an episode from a JSON object ("file" is required, and may be
    a path of any kind); the file's size and probed facts are filled in when
    it exists."""
    if isinstance(episode, Mapping) and isinstance(episode.get("file"), (bytes, os.PathLike)):
        episode = {**episode, "file": os.fsdecode(episode["file"])}
    _call("feed_episode_add", _json_text(episode, "episode"), failed=_failed_status)


def episode_set(index: int, key: str, value: Union[str, PathArg]) -> None:
    """Sets one text or number field of the episode at index; the value of
    "file" may be a path of any kind. Setting "url" fixes the enclosure URL
    against later derivation."""
    encoded = _path(value, "value") if key == "file" else _text(value, "value")
    _call("feed_episode_set", _int(index, "index"), _text(key, "key"), encoded, failed=_failed_status)


def episode_remove(index: int) -> None:
    """Removes the episode at index; later episodes move one place forward."""
    _call("feed_episode_remove", _int(index, "index"), failed=_failed_status)


def episode_move(i: int, j: int) -> None:
    """Moves the episode at position i so that it ends at position j."""
    _call("feed_episode_move", _int(i, "i"), _int(j, "j"), failed=_failed_status)


def episode_field(index: int, field: str) -> str:
    """One field of the episode at index as text: numbers in decimal,
    "duration" as a clock text, "url" and "guid" derived as the feed would
    carry them. "" for an unknown field name."""
    return _str(_call("feed_episode_field", _int(index, "index"), _text(field, "field"),
                      failed=lambda result: result is None))


# ---- Enclosure URLs ----------------------------------------------------------

def url_base(base: str, local_root: Optional[PathArg] = None) -> None:
    """Sets the public base URL and the local folder it maps, from which
    episode enclosure URLs are derived."""
    root = None if local_root is None else _path(local_root, "local_root")
    _call("feed_url_base", _text(base, "base"), root, failed=_failed_status)


def url_override(file: PathArg, url: str) -> None:
    """Gives the episode whose file (full path or base name) equals file this
    enclosure URL; the first override set for a file wins."""
    _call("feed_url_override", _path(file, "file"), _text(url, "url"), failed=_failed_status)


# ---- Media probing -----------------------------------------------------------

def probe(path: PathArg) -> dict[str, Any]:
    """Probes one media file (.mp4 .m4a .m4v .mov .mp3 .wav .wave): its
    "duration_s", "size", "mime", "bitrate_kbps" and "codec". Raises when the
    file cannot be probed."""
    result = _call("media_probe", _path(path, "path"),
                   failed=lambda text: "error" in _json("media_probe", text))
    return _json("media_probe", result)


# ---- Folder scan and sidecars ------------------------------------------------

def episode_scan(folder: PathArg, config: Optional[JsonArg] = None) -> None:
    """Replaces the whole feed with the .mp3/.m4a/.mp4 files of folder, with
    channel defaults and URL settings derived from it. config may hold
    "playlist_name", "base_url" and "local_root"."""
    settings = None if config is None else _json_text(config, "config")
    _call("feed_episode_scan", _path(folder, "folder"), settings, failed=_failed_status)


def sidecar_write(media_path: PathArg, meta: JsonArg) -> None:
    """Stores meta (a JSON object) as the sidecar of media_path, replacing
    the old sidecar whole."""
    _call("feed_sidecar_write", _path(media_path, "media_path"), _json_text(meta, "meta"), failed=_failed_status)


def sidecar_read(media_path: PathArg) -> Optional[str]:
    """The stored sidecar text of media_path, as another program may have
    written it, or None when there is none.

    The library answers "" both for a missing sidecar, leaving the last-error
    text as it was, and for one it cannot read, setting the text; so the text
    is first set to the library's own answer for an empty path, and a missing
    sidecar leaves that answer in ``last_error()``.
    """
    encoded = _path(media_path, "media_path")
    with lock:
        lib = _opened()
        lib.feed_sidecar_read(b"")
        primed = lib.feed_last_error()
        if not encoded:
            raise PodcastFeedError("feed_sidecar_read", _str(primed))
        text = lib.feed_sidecar_read(encoded)
        if text:
            return _str(text)
        reason = lib.feed_last_error()
        if reason != primed:
            raise PodcastFeedError("feed_sidecar_read", _str(reason))
        return None


# ---- Feed output -------------------------------------------------------------

def generate() -> str:
    """The whole RSS document."""
    return _str(_call("feed_generate", failed=_empty))


def generate_to(path: PathArg) -> None:
    """Renders the feed and replaces the file at path with it; on failure the
    old file is left as it was."""
    _call("feed_generate_to", _path(path, "path"), failed=_failed_status)


# ---- Feed checks -------------------------------------------------------------

def validate() -> dict[str, Any]:
    """Renders the feed and checks it rule by rule.

    Returns ``{"ok": bool, "rules": [...]}``: "ok" is True when every rule
    passed, and "rules" the report of ``validate_report_json``. Raises when
    the feed cannot be rendered.
    """
    with lock:
        verdict = _call("feed_validate", failed=lambda result: result < 0)
        return {"ok": verdict == 0, "rules": validate_report_json()}


def validate_report_json() -> list[dict[str, Any]]:
    """Validates the feed and returns the outcome of every rule, in order, as
    {"rule", "ok", "detail"} dicts. A feed that cannot be rendered gives one
    failed "xml_generated" rule."""
    return _json("feed_validate_report_json", _call("feed_validate_report_json"))


def stats_json() -> dict[str, Any]:
    """A summary of the feed: "episodes", "total_bytes", "newest_pubDate",
    "feed_type" ("audio" or "video") and the channel "title"."""
    return _json("feed_stats_json", _call("feed_stats_json"))


def diff(old_feed_path: PathArg) -> dict[str, Any]:
    """Compares the current feed with an earlier feed file: the counts of
    "added", "removed", "changed" and "unchanged" items, and the current
    "newest_pubDate"."""
    return _json("feed_diff", _call("feed_diff", _path(old_feed_path, "old_feed_path"), failed=_empty))
