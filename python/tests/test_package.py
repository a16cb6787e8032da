# The package as a host uses it: every exported function reached through its
# wrapper, each conversion between Python values and the library's texts, and
# one lock shared by threads.
import ctypes
import os
import pathlib
import re
import shutil
import threading

import pytest

import quorvane_podcastfeed as pf
from quorvane_podcastfeed._library import SIGNATURES
from conftest import SOURCE_DIR

HEADER = os.path.join(SOURCE_DIR, "include", "quorvane_podcastfeed.h")
C_TYPES = {"int": ctypes.c_int, "const char *": ctypes.c_char_p}

WELCOME = "01 - Welcome to the Show.mp3"
TONE = "02 - A Short Tone [a1B2c3].mp3"
INTERVIEW = "03 - Interview (Official Audio).m4a"
PATTERN = "04 - Test Pattern.mp4"


def declared_functions():
    """name -> (result type, argument types) of every function in the header."""
    declared = {}
    with open(HEADER, encoding="utf-8") as f:
        for result, name, params in re.findall(r"^PF_API (.+?)\s*\b(\w+)\((.*)\);$", f.read(), re.M):
            args = [] if params == "void" else [re.sub(r"\s*\w+$", "", p.strip()) for p in params.split(",")]
            declared[name] = (C_TYPES[result], tuple(C_TYPES[a] for a in args))
    return declared


def wrapper_name(c_name):
    return "probe" if c_name == "media_probe" else c_name.removeprefix("feed_")


def test_every_header_function_is_declared_as_the_header_says_and_wrapped():
    declared = declared_functions()
    assert len(declared) == 22
    assert SIGNATURES == declared
    missing = [name for name in declared if not callable(getattr(pf, wrapper_name(name), None))]
    assert missing == []


def test_every_function_once_through_the_package(show, tmp_path):
    feed = tmp_path / "feed.xml"
    welcome, tone = str(show / WELCOME), str(show / TONE)
    # (call, what to read afterwards, what it must give), in order: each
    # step builds on the feed the steps before it left.
    steps = [
        (lambda: pf.episode_scan(show, {"playlist_name": "Demo"}),
         lambda: (pf.episode_count(), pf.channel_json()["title"]), (4, "Demo")),
        # A fixed build date lets the file written and a later rendering agree.
        (lambda: pf.channel_set("lastBuildDate", "Mon, 01 Jan 2024 00:00:00 GMT"),
         lambda: pf.channel_json()["lastBuildDate"], "Mon, 01 Jan 2024 00:00:00 GMT"),
        (lambda: pf.episode_set(0, "title", "Hello"), lambda: pf.episode_field(0, "title"), "Hello"),
        (lambda: pf.episode_move(0, 3), lambda: pf.episode_field(3, "title"), "Hello"),
        (lambda: pf.episode_remove(3), pf.episode_count, 3),
        (lambda: pf.url_base("https://cdn.example.net/show", show), None, None),
        (lambda: pf.episode_add({"file": pathlib.Path(welcome), "title": "Again"}),
         lambda: pf.episode_field(3, "url"), "https://cdn.example.net/show/01%20-%20Welcome%20to%20the%20Show.mp3"),
        (lambda: pf.url_override(TONE, "https://other.example.net/tone.mp3"),
         lambda: pf.episode_field(0, "url"), "https://other.example.net/tone.mp3"),
        (None, lambda: pf.probe(show / PATTERN)["mime"], "video/mp4"),
        (lambda: pf.sidecar_write(tone, {"author": "Zoë"}), lambda: pf.sidecar_read(tone), '{"author":"Zoë"}'),
        (None, lambda: pf.sidecar_read(show / INTERVIEW), None),
        (lambda: pf.generate_to(feed), lambda: feed.read_text(encoding="utf-8") == pf.generate(), True),
        (None, lambda: [rule["ok"] for rule in pf.validate_report_json()], [True] * 21),
        (None, lambda: pf.validate() == {"ok": True, "rules": pf.validate_report_json()}, True),
        (None, lambda: pf.stats_json()["episodes"], 4),
        (None, lambda: pf.diff(feed)["unchanged"], 4),
        (pf.channel_reset, pf.channel_json, {}),
        (None, pf.last_error, ""),
    ]
    for number, (call, read, expected) in enumerate(steps):
        if call is not None:
            assert call() is None, f"step {number}"
        if read is not None:
            assert read() == expected, f"step {number}"


# (key, value given, bytes the library stores): texts are UTF-8 and keep
# surrogate escapes as the bytes they stand for; paths are os.fsencode's.
STORED = [
    ("title", 'Ünï "&" \\', 'Ünï "&" \\'.encode("utf-8")),
    ("title", "caf\udce9", b"caf\xe9"),
    ("file", b"/media/caf\xe9.mp3", b"/media/caf\xe9.mp3"),
    ("file", pathlib.PurePosixPath("/media/x.mp3"), b"/media/x.mp3"),
]


@pytest.mark.parametrize("key, value, stored", STORED)
def test_a_value_is_stored_as_its_bytes_and_read_back_as_given(empty_feed, key, value, stored):
    pf.episode_add({"file": "placeholder.mp3"})
    pf.episode_set(0, key, value)
    assert os.fsencode(pf.episode_field(0, key)) == stored


@pytest.mark.parametrize("spell", [str, os.fsencode, pathlib.Path], ids=["str", "bytes", "PathLike"])
def test_a_path_of_every_kind_reaches_a_file_whose_name_is_not_utf8(show, tmp_path, spell):
    path = os.path.join(os.fsencode(tmp_path), b"caf\xe9.mp3")
    shutil.copyfile(show / WELCOME, path)
    assert pf.probe(spell(os.fsdecode(path)))["size"] == os.path.getsize(path)


@pytest.mark.parametrize("meta", ['{"a":[1,true]}', {"a": [1, True]}], ids=["JSON text", "dict"])
def test_a_json_argument_is_a_text_or_a_value(show, meta):
    pf.sidecar_write(show / TONE, meta)
    assert pf.sidecar_read(show / TONE) == '{"a":[1,true]}'


# (call, exception): arguments the package refuses before the library sees
# them, since ctypes would cut the text at the NUL or wrap the number.
REFUSED = [
    (lambda: pf.channel_set("title", "a\0b"), ValueError),
    (lambda: pf.probe("a\0.mp3"), ValueError),
    (lambda: pf.channel_set(b"title", "x"), TypeError),
    (lambda: pf.episode_remove(2 ** 32), OverflowError),
]


@pytest.mark.parametrize("call, exception", REFUSED)
def test_an_argument_the_library_would_misread_is_refused(empty_feed, call, exception):
    pf.episode_add({"file": "kept.mp3"})
    with pytest.raises(exception):
        call()
    assert (pf.episode_count(), pf.channel_json()["title"]) == (1, "Empty")


# (call, C function, last-error text): one failure of each form the library
# reports, -1, NULL, the empty text, an error object and a failed read.
FAILURES = [
    (lambda tmp: pf.episode_remove(5), "feed_episode_remove", "feed_episode_remove: bad index 5"),
    (lambda tmp: pf.episode_field(5, "file"), "feed_episode_field", "feed_episode_field: index 5 out of range"),
    (lambda tmp: pf.diff(tmp / "old.xml"), "feed_diff", "feed_diff: cannot open {tmp}/old.xml"),
    (lambda tmp: pf.probe(tmp / "gone.mp3"), "media_probe", "media_probe({tmp}/gone.mp3): No such file or directory"),
    (lambda tmp: (tmp / "empty.json").touch() or pf.sidecar_read(tmp / "empty.mp3"), "feed_sidecar_read",
     "feed_sidecar_read: bad size"),
    (lambda tmp: pf.sidecar_read(""), "feed_sidecar_read", "feed_sidecar_read: NULL path"),
]


@pytest.mark.parametrize("call, function, message", FAILURES, ids=[f[1] for f in FAILURES])
def test_a_failure_raises_with_the_last_error_text(empty_feed, tmp_path, call, function, message):
    with pytest.raises(pf.PodcastFeedError) as raised:
        call(tmp_path)
    assert (raised.value.function, str(raised.value)) == (function, message.format(tmp=tmp_path))


def test_a_missing_sidecar_is_none_even_after_a_failed_read(tmp_path):
    (tmp_path / "empty.json").touch()
    for _ in range(2):
        with pytest.raises(pf.PodcastFeedError):
            pf.sidecar_read(tmp_path / "empty.mp3")
        assert pf.sidecar_read(tmp_path / "none.mp3") is None


def test_threads_sharing_the_library_each_see_their_own_failure(empty_feed):
    wrong = []

    def failing():
        for _ in range(3000):
            try:
                pf.episode_remove(4000)
            except pf.PodcastFeedError as error:
                if error.message != "feed_episode_remove: bad index 4000":
                    wrong.append(error.message)

    def succeeding():
        # Each success empties the last-error text that a failing call in
        # another thread is about to read.
        for _ in range(3000):
            pf.channel_set("title", "x")

    threads = [threading.Thread(target=work) for work in (failing, succeeding) * 2]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert wrong == []
