"""podcastfeed serve: the answers podcast apps and players rely on, real
clients (curl, ffprobe, gPodder) against it, and hostile or idle clients that
must get nothing from outside the feed and must not stop it serving others.
Every server listens on a free 127.0.0.1 port and is stopped by the helper."""
import os
import re
import resource
import shutil
import signal
import socket
import subprocess
import threading
import time
import xml.etree.ElementTree as ET
from urllib.parse import urlsplit

import pytest

from serving import served

MP3 = "01 - Welcome to the Show.mp3"
MP3_URL = "01%20-%20Welcome%20to%20the%20Show.mp3"
SIDECAR_URL = "01%20-%20Welcome%20to%20the%20Show.json"
LOOK_INTERVAL = 1.2  # a little more than the server's once a second


def curl(url, *args, source="127.0.0.1"):
    """(status, headers in lower case, body) of one request, sent as given."""
    p = subprocess.run(["curl", "-s", "-S", "-i", "--path-as-is", "--max-time", "20", "--interface", source, *args,
                        url], capture_output=True, timeout=30)
    assert p.returncode in (0, 18), p.stderr  # 18: a HEAD's body left out, as asked
    head, _, body = p.stdout.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return int(lines[0].split()[1]), headers, body


def target_of(url):
    return urlsplit(url).path


def media_folder(show):
    """The example show plus files only a hostile client would ask for."""
    (show / ".htaccess").write_text("Deny from all\n")
    (show / "podcast.json").write_text('{"title": "Served Show"}\n')
    os.symlink("/etc/passwd", show / "passwd.mp3")
    return show


@pytest.fixture
def server(tool, show):
    with served(tool.path, media_folder(show), "--idle-timeout", "2") as s:
        yield s


# ---- what apps and players see ---------------------------------------------

# what, path under the folder, curl arguments, status, headers, body as a slice of the file ("" none)
ANSWERS = [
    ("feed", "feed.xml", [], 200, {"content-type": "application/rss+xml", "etag": "{feed_etag}",
                                   "accept-ranges": "bytes"}, None),
    ("feed, HEAD", "feed.xml", ["-I"], 200, {"content-length": "{feed_length}"}, ""),
    ("media whole", MP3_URL, [], 200, {"content-type": "audio/mpeg", "content-length": "{size}",
                                       "accept-ranges": "bytes", "etag": "{etag}"}, slice(None)),
    ("media, HEAD", MP3_URL, ["-I"], 200, {"content-length": "{size}", "last-modified": "{modified}"}, ""),
    ("first bytes", MP3_URL, ["-r", "0-9"], 206, {"content-range": "bytes 0-9/{size}", "content-length": "10"},
     slice(0, 10)),
    ("last bytes", MP3_URL, ["-r", "-10"], 206, {"content-range": "bytes {size_less_10}-{last}/{size}"},
     slice(-10, None)),
    ("from an offset", MP3_URL, ["-r", "100-"], 206, {"content-range": "bytes 100-{last}/{size}"},
     slice(100, None)),
    ("past the end", MP3_URL, ["-r", "{size}-"], 416, {"content-range": "bytes */{size}"}, None),
    ("empty suffix", MP3_URL, ["-r", "-0"], 416, {"content-range": "bytes */{size}"}, None),
    ("several ranges: whole", MP3_URL, ["-r", "0-1,4-5"], 200, {}, slice(None)),
    ("If-Range holds", MP3_URL, ["-r", "0-9", "-H", "If-Range: {etag}"], 206, {}, slice(0, 10)),
    ("If-Range stale", MP3_URL, ["-r", "0-9", "-H", 'If-Range: "old"'], 200, {}, slice(None)),
    ("If-None-Match", MP3_URL, ["-H", "If-None-Match: {etag}"], 304, {"etag": "{etag}"}, slice(0, 0)),
    ("If-None-Match, feed", "feed.xml", ["-H", 'If-None-Match: "x", {feed_etag}'], 304, {}, None),
    ("If-None-Match other", MP3_URL, ["-H", 'If-None-Match: "other"'], 200, {}, slice(None)),
    ("If-Modified-Since", MP3_URL, ["-H", "If-Modified-Since: {modified}"], 304, {}, slice(0, 0)),
    ("If-Modified-Since, feed", "feed.xml", ["-H", "If-Modified-Since: {feed_modified}"], 304, {}, None),
    ("modified since 1990", MP3_URL, ["-H", "If-Modified-Since: Mon, 01 Jan 1990 00:00:00 GMT"], 200, {},
     slice(None)),
    ("POST", MP3_URL, ["-X", "POST", "-d", "x"], 405, {"allow": "GET, HEAD"}, None),
    ("PUT feed", "feed.xml", ["-X", "PUT", "-d", "x"], 405, {"allow": "GET, HEAD"}, None),
    ("show page", "", [], 200, {"content-type": "text/html; charset=utf-8"}, None),
    ("show page by name", "index.html", [], 200, {"content-type": "text/html; charset=utf-8"}, None),
    ("no such file", "06%20-%20Nothing.mp3", [], 404, {}, None),
]


def test_answers_follow_http_as_podcast_apps_use_it(server, show):
    _, feed_headers, feed = curl(server.url)
    _, media_headers, _ = curl(server.base + MP3_URL, "-I")
    data = (show / MP3).read_bytes()
    values = {"feed_etag": feed_headers["etag"], "feed_modified": feed_headers["last-modified"],
              "feed_length": str(len(feed)), "etag": media_headers["etag"], "modified": media_headers["last-modified"],
              "size": str(len(data)), "size_less_10": str(len(data) - 10), "last": str(len(data) - 1)}
    for what, path, args, status, headers, body in ANSWERS:
        got_status, got_headers, got_body = curl(server.base + path, *(a.format(**values) for a in args))
        assert got_status == status, what
        for name, value in headers.items():
            assert got_headers.get(name) == value.format(**values), (what, name)
        if body == "":
            assert got_body == b"", what
        elif body is not None:
            assert got_body == data[body], what
    # The folder's URL without its slash leads to the page.
    status, headers, _ = curl(server.base.rstrip("/"))
    assert (status, headers["location"]) == (301, target_of(server.base))


def test_each_enclosure_is_served_with_the_feed_type_and_length(server):
    _, _, feed = curl(server.url)
    enclosures = list(ET.fromstring(feed).iter("enclosure"))
    assert len(enclosures) == 4  # the link to /etc/passwd is left out
    for e in enclosures:
        status, headers, _ = curl(e.get("url"), "-I")
        assert (status, headers["content-type"], headers["content-length"]) == (200, e.get("type"), e.get("length"))
    assert server.wait_for_stderr("passwd.mp3: left out, it leads out of the folder")
    assert server.wait_for_stderr("GET " + target_of(server.url) + " 200 " + str(len(feed)))


# ---- hostile requests ------------------------------------------------------

# request target ({base}: the folder's path, ending in /), curl arguments, status
HOSTILE = [
    ("{base}../../../../../../../etc/passwd", [], 404),
    ("{base}%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/etc/passwd", [], 404),
    ("{base}%2E%2E%2F%2E%2E%2F%2E%2E%2F%2E%2E%2Fetc%2Fpasswd", [], 404),
    ("{base}feed.xml%00.mp3", [], 400),
    ("{base}" + MP3_URL + "%00", [], 400),
    ("{base}%zz", [], 400),
    ("/etc/passwd", [], 404),
    ("//etc/passwd", [], 404),
    ("http://127.0.0.1/etc/passwd", [], 404),
    ("{base}..\\..\\..\\..\\..\\etc\\passwd", [], 404),
    ("{base}passwd.mp3", [], 404),
    ("{base}.htaccess", [], 404),
    ("{base}podcast.json", [], 404),
    ("{base}" + SIDECAR_URL, [], 404),
    ("{base}" + "a" * 20000, [], 414),
    ("{base}feed.xml", ["-H", "X-Padding: " + "p" * 20000], 431),
    ("{base}feed.xml", [arg for i in range(300) for arg in ("-H", f"X-Header-{i}: {'h' * 60}")], 431),
]


def test_hostile_requests_get_an_error_and_nothing_from_outside_the_feed(server, show):
    secrets = [open("/etc/passwd", "rb").read()[:32], b"Deny from all", b"Served Show\"",
               (show / "01 - Welcome to the Show.json").read_bytes()[:40]]
    origin = server.url[: server.url.index("/", len("http://"))]
    for target, args, status in HOSTILE:
        target = target.format(base=target_of(server.base))
        got, _, body = curl(origin + "/", "--request-target", target, *args)
        assert got == status, target[:80]
        assert not any(s in body for s in secrets), target[:80]
        assert curl(server.url)[0] == 200


def test_silent_and_trickling_clients_cost_a_slot_each_and_others_are_served(tool, show):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, 4096)), hard))
    idle, trickle_answer = [], []
    with served(tool.path, show, "--idle-timeout", "5") as server:
        host, port = urlsplit(server.url).hostname, urlsplit(server.url).port

        def trickle():
            with socket.create_connection((host, port), timeout=30, source_address=("127.0.0.3", 0)) as t:
                for byte in b"GET / HTTP/1.0\r\n\r\n":
                    t.sendall(bytes([byte]))
                    time.sleep(1)
                trickle_answer.append(t.recv(200))

        def closed_by_server(s):
            try:
                return s.recv(1) == b""
            except BlockingIOError:
                return False
            except ConnectionResetError:
                return True

        trickler = threading.Thread(target=trickle)
        try:
            trickler.start()
            for _ in range(1000):  # from one address, as an attacker's would be
                s = socket.create_connection((host, port), timeout=5, source_address=("127.0.0.2", 0))
                s.setblocking(False)
                idle.append(s)
            # Past the limit for one address they are refused at once, long before the idle timeout.
            deadline = time.monotonic() + 2
            while sum(map(closed_by_server, idle)) < 1000 - 32 and time.monotonic() < deadline:
                time.sleep(0.1)
            assert sum(map(closed_by_server, idle)) >= 1000 - 32
            started = time.monotonic()
            while time.monotonic() - started < 15:
                assert curl(server.url)[0] == 200
                time.sleep(0.5)
            trickler.join(30)
            assert trickle_answer and trickle_answer[0].split(b"\r\n")[0].endswith(b" 404 Not Found")
            assert all(map(closed_by_server, idle))  # the rest dropped after the idle timeout
        finally:
            for s in idle:
                s.close()
            trickler.join(30)


def test_stalled_aborted_and_vanished_downloads_cost_nothing(tool, show):
    big = show / "05 - Big.mp3"
    big.write_bytes((show / MP3).read_bytes())
    os.truncate(big, 64 << 20)
    with served(tool.path, show, "--idle-timeout", "2") as s:
        host, port = urlsplit(s.url).hostname, urlsplit(s.url).port
        request = f"GET {target_of(s.base)}05%20-%20Big.mp3 HTTP/1.1\r\nHost: x\r\n\r\n".encode()
        stalled = socket.socket()
        stalled.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        stalled.connect((host, port))
        stalled.sendall(request)
        with socket.create_connection((host, port)) as gone:
            gone.sendall(request)
            gone.recv(65536)
        assert s.wait_for_stderr("(cut short)", timeout=10)  # the reader that left
        time.sleep(3)
        received, stalled_end = 0, time.monotonic() + 20
        stalled.settimeout(5)
        while time.monotonic() < stalled_end:
            chunk = stalled.recv(1 << 20)
            if not chunk:
                break
            received += len(chunk)
        stalled.close()
        assert 0 < received < 64 << 20
        assert len([line for line in s.stderr_lines() if line.endswith("(cut short)")]) == 2

        os.remove(show / MP3)
        assert curl(s.base + MP3_URL)[0] == 404  # before any rescan
        assert curl(s.url)[0] == 200


# ---- changes on disk -------------------------------------------------------

def test_the_feed_changes_only_when_the_folder_does(tool, show):
    with served(tool.path, show) as s:
        _, first, _ = curl(s.url)
        time.sleep(LOOK_INTERVAL)
        _, again, _ = curl(s.url)
        assert (again["etag"], again["last-modified"]) == (first["etag"], first["last-modified"])
        shutil.copy(show / MP3, show / "05 - New.mp3")
        time.sleep(LOOK_INTERVAL)
        _, changed, feed = curl(s.url)
        assert changed["etag"] != first["etag"] and changed["last-modified"] != first["last-modified"]
        assert b"05%20-%20New.mp3" in feed
        assert curl(s.base + "05%20-%20New.mp3")[0] == 200


# ---- real clients ----------------------------------------------------------

def test_ffprobe_reads_and_seeks_served_mp3_and_mp4(tool, show):
    long_files = {"long.mp3": ["-f", "lavfi", "-i", "sine=frequency=440:duration=30", "-b:a", "64k"],
                  "long.mp4": ["-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=30",
                               "-g", "10", "-pix_fmt", "yuv420p"]}
    for name, args in long_files.items():
        subprocess.run(["ffmpeg", "-v", "error", "-y", *args, str(show / name)], check=True, timeout=120)
    with served(tool.path, show) as s:
        for name in long_files:
            p = subprocess.run(["ffprobe", "-v", "error", "-read_intervals", "20%+2", "-show_entries",
                                "packet=pts_time:format=duration", "-of", "csv=p=0", s.base + name],
                               capture_output=True, text=True, timeout=60)
            assert p.returncode == 0, p.stderr
            times = [float(v) for v in p.stdout.split() if re.fullmatch(r"[0-9.]+", v)]
            assert any(19 <= t <= 23 for t in times), (name, p.stdout[:200])
            assert s.wait_for_stderr(f"{name} 206 "), name  # it asked for a part


def gpo(home, *args):
    env = dict(os.environ, GPODDER_HOME=str(home), GPODDER_DOWNLOAD_DIR=str(home / "downloads"))
    p = subprocess.run(["gpo", *args], capture_output=True, text=True, timeout=120, env=env)
    assert p.returncode == 0, p.stdout + p.stderr
    return p.stdout


def episode_titles(home, url):
    return [line.split("*", 1)[-1].strip() for line in gpo(home, "episodes", url).splitlines()
            if re.match(r"\s+\d+\.", line)]


def test_gpodder_subscribes_downloads_every_episode_and_follows_changes(tool, show, tmp_path):
    home = tmp_path / "gpodder"
    with served(tool.path, show) as s:
        gpo(home, "subscribe", s.url)
        gpo(home, "download")
        downloads = home / "downloads"
        got = {f.name: f.read_bytes() for f in downloads.rglob("*") if f.is_file()}
        media = {f.name: f.read_bytes() for f in show.iterdir() if f.suffix in (".mp3", ".m4a", ".mp4")}
        assert got == media

        shutil.copy(show / MP3, show / "05 - Added.mp3")
        time.sleep(LOOK_INTERVAL)
        gpo(home, "update", s.url)
        titles = episode_titles(home, s.url)
        assert len(titles) == 5 and "05 - Added" in titles
        gpo(home, "download")
        assert (next(downloads.rglob("05 - Added.mp3"))).read_bytes() == (show / MP3).read_bytes()

        os.remove(show / "02 - A Short Tone [a1B2c3].mp3")
        time.sleep(LOOK_INTERVAL)
        gpo(home, "update", s.url)
        titles = episode_titles(home, s.url)
        assert len(titles) == len(set(titles)) == 5


# ---- the command -----------------------------------------------------------

def test_listen_mistakes_are_usage_errors_and_a_taken_port_fails_the_job(tool, show):
    taken = socket.socket()
    taken.bind(("127.0.0.1", 0))
    taken.listen()
    with taken:
        cases = [
            (["--listen", "127.0.0.1"], 2, "no port"),
            (["--listen", "127.0.0.1:70000"], 2, "0 to 65535"),
            (["--listen", "::1:8080"], 2, "brackets"),
            (["--listen", "no-such-host.invalid:8080"], 2, "unknown host"),
            (["--listen", f"127.0.0.1:{taken.getsockname()[1]}"], 1, "in use"),
        ]
        for args, code, text in cases:
            r = tool("serve", show, *args, timeout=30)
            assert (r.code, text in r.err) == (code, True), (args, r.err)


@pytest.mark.parametrize("stop", [signal.SIGINT, signal.SIGTERM])
def test_a_stop_signal_ends_it_cleanly(tool, show, stop):
    with served(tool.path, show) as s:
        assert s.url.startswith("http://127.0.0.1:") and s.url.endswith("/My%20Show/feed.xml")
        s.proc.send_signal(stop)
        assert s.proc.wait(10) == 0
        assert not any("Sanitizer" in line or "runtime error" in line for line in s.stderr_lines())


def test_a_base_url_of_its_own_is_served_under_its_path_and_a_qr_code_follows_the_url(tool, show, tmp_path):
    png = tmp_path / "show.png"
    with served(tool.path, show, "--base-url", "https://media.example.com/casts/show", "--qr",
                "--qr-png", png) as s:
        assert s.url == "https://media.example.com/casts/show/feed.xml"
        origin = re.search(r" on (http://\S+); ", s.wait_for_stderr(" on http://")).group(1)
        assert curl(origin + "/casts/show/feed.xml")[0] == 200
        assert curl(origin + "/casts/show/" + MP3_URL, "-I")[0] == 200
        time.sleep(0.2)
        assert len(s.stdout_lines()) > 10  # the code's rows
        assert png.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
