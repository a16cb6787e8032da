"""The podcastfeed command as a user runs it: what they type, the exit status
and what they see. One table per rule."""
import json
import os
import re
import struct
import subprocess
import zlib
from pathlib import Path

import pytest

MP3 = "01 - Welcome to the Show.mp3"


def png(path, width, height):
    """A grey PNG of the given size, written byte by byte."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + b"\x80" * width for _ in range(height))
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
                           + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def guids_and_urls(feed_xml):
    return re.findall(r"<guid[^>]*>([^<]*)</guid>", feed_xml), re.findall(r'<enclosure url="([^"]*)"', feed_xml)


USAGE = [
    # args (SHOW is the example show)                 what stderr says
    ([],                                               "A subcommand is required"),
    (["frobnicate"],                                   "unknown command 'frobnicate'"),
    (["scan"],                                         "scan: DIR is required"),
    (["scan", "SHOW", "--bogus"],                      "--bogus"),
    (["scan", "SHOW", "--title"],                      "--title"),
    (["scan", "SHOW", "--explicit", "maybe"],          "--explicit"),
    (["scan", "SHOW", "--order", "sideways"],          "--order"),
    (["scan", "SHOW", "--title", b"caf\xe9"],          "not valid UTF-8"),
    (["scan", "SHOW", "--config", ""],                 "--config needs a file or a JSON object"),
    (["scan", "SHOW", "--config", "[1]"],              "--config: not a JSON object"),
    (["scan", "SHOW", "--config", '{"titel":"x"}'],    'unknown member "titel"'),
    (["scan", "SHOW", "--config", '{"explicit":"no"}'], '"explicit" must be true or false'),
    (["scan", "SHOW", "--config", '{"order":"size"}'], '"order" must be name, newest or oldest'),
    (["scan", "SHOW", "--local-root", "/"],            "local_root needs base_url"),
    (["scan", "SHOW", "--artwork-file", "/etc/hostname"], "is not a file in"),
    (["scan", "SHOW", "--base-url", "https://x.org", "--local-root", "/proc"], "does not hold the folder"),
    (["stats", "SHOW", "extra"],                       "extra"),
    (["diff", "SHOW"],                                 "OLD_FEED is required"),
    (["diff", "SHOW", "SHOW"],                         "is a folder; give the feed file"),
    (["diff", "SHOW", "SHOW/01 - Welcome to the Show.json"], "is not an RSS feed"),
    (["validate", "SHOW/01 - Welcome to the Show.mp3"], "is not a folder"),
    (["sidecar", "put", "x.mp3"],                      "unknown command 'put'"),
    (["sidecar", "get", "x.mp3", "{}"],                "{}"),
    (["help", "nope"],                                 "help: no such command 'nope'"),
]


@pytest.mark.parametrize("args,says", USAGE)
def test_a_wrong_command_line_exits_2_and_says_what_is_wrong(tool, show, args, says):
    r = tool(*[str(show) + a[4:] if isinstance(a, str) and a.startswith("SHOW") else a for a in args])
    assert r.code == 2, r.err
    assert says in r.err
    assert r.out == ""


COMMANDS = ["init", "scan", "check", "serve", "page", "probe", "validate", "stats", "diff", "sidecar"]


def options_of(help_text):
    return set(re.findall(r"(?<![\w-])(--[a-z][a-z-]+)", help_text)) - {"--help"}


def test_help_manual_and_completion_list_the_same_options(tool, generated):
    top = tool("--help")
    assert top.code == 0 and all(re.search(rf"^  {c} ", top.out, re.M) for c in COMMANDS)
    assert re.match(r"^podcastfeed \d+\.\d+\.\d+$", tool("--version").out)
    manual = Path(generated["manual"]).read_text().replace("\\-", "-")
    completion = Path(generated["completion"]).read_text()
    for command in COMMANDS:
        helped = tool(command, "--help")
        assert helped.code == 0 and f"podcastfeed {command}" in helped.out
        assert tool("help", command).out == helped.out
        section = manual.split(f".SS {command}\n")[1].split(".SS ")[0]
        case = re.search(rf"^      {command}\) words=\"([^\"]*)\"", completion, re.M).group(1).split()
        want = options_of(helped.out) - {"--"}
        assert want <= options_of(section), command
        assert want <= set(case), command


def test_every_folder_spelling_gives_the_same_guids_and_urls(tool, show):
    parent = show.parent
    (parent / "elsewhere").mkdir()
    spellings = [(show, None), (f"./{show.name}/", parent), (f"../{show.name}", parent / "elsewhere"), (".", show)]
    feeds = [tool("scan", d, cwd=cwd) for d, cwd in spellings]
    assert all(f.code == 0 for f in feeds)
    first = guids_and_urls(feeds[0].out)
    assert len(first[0]) == 4 and all(guids_and_urls(f.out) == first for f in feeds)
    assert "<title>My Show</title>" in feeds[3].out


def test_a_local_root_above_the_folder_gives_urls_with_real_slashes(tool, show):
    r = tool("scan", show, "--base-url", "https://cdn.example.org/pod/", "--local-root", show.parent.parent)
    urls = guids_and_urls(r.out)[1]
    assert urls and all(u.startswith(f"https://cdn.example.org/pod/{show.parent.name}/My%20Show/") for u in urls)
    assert not any("%2F" in u for u in urls)


def test_init_then_edit_then_check_then_scan_publishes_the_file_values(tool, show, tmp_path):
    assert tool("init", show).code == 0
    assert tool("init", show).code == 1
    config = json.loads((show / "podcast.json").read_text())
    before = guids_and_urls(tool("scan", show).out)[0]
    blocked = tool("check", show)
    assert blocked.code == 1 and "error: base_url" in blocked.out
    config.update(base_url="https://pod.example.org/show", description="Talk", author="Ann", category="Arts",
                  explicit=True, language="de", artwork="https://pod.example.org/art.jpg")
    (show / "podcast.json").write_text(json.dumps(config))
    ready = tool("check", show)
    assert ready.code == 0, ready.out
    # Moved elsewhere, the folder keeps its GUIDs: the file pinned the prefix.
    moved = tmp_path / "moved"
    show.rename(moved)
    feed = tool("scan", moved, "-o", moved / "feed.xml")
    xml = (moved / "feed.xml").read_text()
    assert feed.code == 0 and guids_and_urls(xml)[0] == before
    for text in ["<description>Talk</description>", "<itunes:author>Ann</itunes:author>", 'text="Arts"',
                 "<itunes:explicit>true</itunes:explicit>", "<language>de</language>", "https://pod.example.org/art.jpg",
                 'url="https://pod.example.org/show/01%20-%20Welcome']:
        assert text in xml, text


def test_sidecar_details_and_order(tool, show):
    details = {
        MP3: {"title": "First <&\"'> one", "pubDate": "2024-01-02T03:04:05Z"},
        "02 - A Short Tone [a1B2c3].mp3": {"pubDate": "Wed, 03 Jan 2024 00:00:00 GMT", "guid": "pinned-2"},
        "03 - Interview (Official Audio).m4a": {"pubDate": "yesterday"},
    }
    for name, members in details.items():
        assert tool("sidecar", "set", show / name, json.dumps(members)).code == 0
    ordered = {}
    for order in ["name", "newest", "oldest"]:
        r = tool("scan", show, "--order", order)
        ordered[order] = re.findall(r"<item>\s*<title>([^<]*)</title>", r.out)
    assert ordered["name"][0] == "First &lt;&amp;&quot;&apos;&gt; one"
    assert "<pubDate>Tue, 02 Jan 2024 03:04:05 GMT</pubDate>" in r.out
    assert ">pinned-2</guid>" in r.out
    assert ordered["oldest"][:2] == ordered["name"][:2]
    assert ordered["newest"][-2:] == ordered["name"][1::-1]
    assert 'sidecar pubDate "yesterday"' in tool("check", show).out


def test_sidecar_set_merges_unless_told_to_replace(tool, show):
    media = show / MP3
    original = json.loads(tool("sidecar", "get", media).out)
    steps = [
        (["sidecar", "set", media, '{"title":"T"}'], 0, {**original, "title": "T"}),
        (["sidecar", "set", media, '{"author":"Bo"}'], 0, {**original, "author": "Bo", "title": "T"}),
        (["sidecar", "set", media, '{"title":"U"}', "--replace"], 0, {"title": "U"}),
        (["sidecar", "set", show / "missing.mp3", '{"a":1}'], 1, {"title": "U"}),
        (["sidecar", "set", media, "[1]"], 2, {"title": "U"}),
    ]
    for args, code, stored in steps:
        assert tool(*args).code == code, args
        assert json.loads(tool("sidecar", "get", media).out) == stored


def test_check_names_what_stands_in_the_way(tool, show):
    (show / "broken.mp3").write_bytes(b"not audio at all")
    (show / "._01 - Welcome.mp3").write_bytes(b"\0" * 64)
    (show / "sub").mkdir()
    subprocess.run(["ffmpeg", "-v", "quiet", "-f", "lavfi", "-i", "sine=d=1", str(show / "raw.wav")], check=True)
    png(show / "cover.png", 1000, 800)
    r = tool("check", show, "--base-url", "https://pod.example.org/s")
    findings = [
        "error: broken.mp3: cannot be read as media (no valid MP3 frames)",
        "warning: ._01 - Welcome.mp3: is a macOS companion file",
        "warning: folder: 1 media file(s) of a type the scan leaves out",
        "warning: folder: 1 sub-folder(s)",
        "warning: description: still the scan's default",
        "warning: cover.png: is 1000x800; podcast directories want a square image",
        "warning: cover.png: is 1000x800; podcast directories want 1400 to 3000 pixels a side",
    ]
    assert r.code == 1
    for f in findings:
        assert f in r.out, f
    scanned = tool("scan", show, "--base-url", "https://pod.example.org/s", "--skip-broken")
    assert scanned.code == 0 and "broken.mp3" not in scanned.out and "left out" in scanned.err
    assert '<itunes:image href="https://pod.example.org/s/cover.png"' in scanned.out


def test_outputs_and_failures_say_where(tool, show, tmp_path):
    feed = tmp_path / "feed.xml"
    cases = [
        # args                                            exit  stream  pattern
        (["scan", show, "-o", "-"],                          0, "out", r"^<\?xml version"),
        (["scan", show, "-o", feed],                         0, "err", r"rules passed +21 of 21"),
        (["scan", tmp_path / "missing"],                     1, "err", r"cannot open folder .*missing"),
        (["validate", show],                                 0, "out", r"^21 of 21 rules passed$"),
        (["validate", show, "--json"],                       0, "out", r'^\[\{"rule":"xml_generated","ok":true'),
        (["stats", show, "--json", "--title", 'Say "hi"'],   0, "out", r'"title":"Say \\"hi\\""'),
        (["stats", show, "--config", '{"playlist_name":"Old name"}'], 0, "out", r"title +Old name"),
        (["diff", show, feed, "--json"],                     0, "out", r'"unchanged":4'),
        (["scan", show, "--config", tmp_path / "none.json"], 1, "err", r"cannot read configuration .*none.json"),
        (["diff", show, tmp_path / "none.xml"],              1, "err", r"cannot read .*none.xml"),
        (["probe", show / MP3],                              0, "out", r'^\{"file":"[^"]*01 - Welcome[^"]*","duration_s":3,'),
        (["probe", tmp_path / "none.mp3"],                   1, "out", r'^\{"file":"[^"]*none.mp3","error":"stat failed'),
        (["scan", show, "-o", tmp_path / "no" / "feed.xml"], 1, "err", r"feed_generate_to: cannot open .*: No such file or directory$"),
        (["scan", show, "-o", "/dev/full"],                  1, "err", r"feed_generate_to: short write to /dev/full: No space left on device$"),
    ]
    for args, code, stream, pattern in cases:
        r = tool(*args)
        assert r.code == code and re.search(pattern, getattr(r, stream), re.M), (args, r)
    with open("/dev/full", "wb") as full:
        p = subprocess.run([tool.path, "scan", show], stdout=full, stderr=subprocess.PIPE)
    assert p.returncode == 1 and b"cannot write to standard output: No space left on device" in p.stderr


def test_files_past_the_episode_limit_are_named(tool, show, tmp_path):
    folder = tmp_path / "full"
    folder.mkdir()
    for i in range(4097):
        os.link(show / MP3, folder / f"ep{i:04}.mp3")
    r = tool("check", folder)
    assert "warning: ep4096.mp3: is left out: the feed holds at most 4096 episodes" in r.out
    assert "ep4095.mp3: is left out" not in r.out
