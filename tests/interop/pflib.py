# The library as a host sees it: the shared object loaded through ctypes,
# with the handful of calls the interoperability tests drive.
import ctypes
import json
import os

LIBRARY_PATH_VARIABLE = "PF_LIBRARY"

_SIGNATURES = {
    "feed_last_error": (ctypes.c_char_p, []),
    "media_probe": (ctypes.c_char_p, [ctypes.c_char_p]),
    "feed_episode_scan": (ctypes.c_int, [ctypes.c_char_p, ctypes.c_char_p]),
    "feed_episode_count": (ctypes.c_int, []),
    "feed_episode_field": (ctypes.c_char_p, [ctypes.c_int, ctypes.c_char_p]),
    "feed_channel_json": (ctypes.c_char_p, []),
    "feed_generate_to": (ctypes.c_int, [ctypes.c_char_p]),
    "feed_validate_report_json": (ctypes.c_char_p, []),
    "feed_diff": (ctypes.c_char_p, [ctypes.c_char_p]),
}

# Record fields as the library hands them back, and how each is read. Texts
# are the bytes stored, which file names may fill with anything but UTF-8:
# they are decoded as os.fsdecode does, so no byte is lost.
_EPISODE_FIELDS = {
    "file": os.fsdecode,
    "title": os.fsdecode,
    "url": os.fsdecode,
    "guid": os.fsdecode,
    "image": os.fsdecode,
    "author": os.fsdecode,
    "mime": os.fsdecode,
    "size": int,
    "duration_s": int,
}


class LibraryError(Exception):
    pass


class Library:
    def __init__(self, path=None):
        path = path or os.environ.get(LIBRARY_PATH_VARIABLE)
        if not path:
            raise LibraryError(f"set {LIBRARY_PATH_VARIABLE} to the built shared library")
        self._lib = ctypes.CDLL(path)
        for name, (restype, argtypes) in _SIGNATURES.items():
            function = getattr(self._lib, name)
            function.restype = restype
            function.argtypes = argtypes

    def last_error(self):
        return self._lib.feed_last_error().decode("utf-8", "replace")

    def probe(self, path):
        return json.loads(self._lib.media_probe(os.fsencode(path)).decode("utf-8"))

    def scan(self, folder, config=None):
        config_text = json.dumps(config).encode("utf-8") if config is not None else None
        if self._lib.feed_episode_scan(os.fsencode(folder), config_text) != 0:
            raise LibraryError(f"scan of {folder}: {self.last_error()}")

    def channel(self):
        return json.loads(self._lib.feed_channel_json().decode("utf-8"))

    def episodes(self):
        """Every episode as a dict of the fields above; reading url and guid
        derives them exactly as rendering does."""
        result = []
        for index in range(self._lib.feed_episode_count()):
            episode = {}
            for name, read in _EPISODE_FIELDS.items():
                value = self._lib.feed_episode_field(index, name.encode("ascii"))
                if value is None:
                    raise LibraryError(f"episode {index} field {name}: {self.last_error()}")
                episode[name] = read(value)
            result.append(episode)
        return result

    def generate_to(self, path):
        if self._lib.feed_generate_to(os.fsencode(path)) != 0:
            raise LibraryError(f"feed to {path}: {self.last_error()}")

    def validation_report(self):
        """The outcome of every rule, as the validator reports it."""
        return json.loads(self._lib.feed_validate_report_json().decode("utf-8"))

    def diff(self, old_feed_path):
        text = self._lib.feed_diff(os.fsencode(old_feed_path)).decode("utf-8")
        if not text:
            raise LibraryError(f"diff against {old_feed_path}: {self.last_error()}")
        return json.loads(text)
