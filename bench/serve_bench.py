#!/usr/bin/env python3
"""The serve benchmark, not a test: podcastfeed serve beside nginx (static
files) and python3 -m http.server, in the same run on the same folder, each on
a free 127.0.0.1 port: eight parallel downloads of a 100 MB episode, and feed
requests per second over kept-alive connections. Ratios are against nginx;
the target is at least 0.7 of its download throughput.

usage: serve_bench.py BUILD_DIR CACHE_DIR
"""
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

BIG_MB = 100
DOWNLOADS = 8
FEED_CLIENTS = 4
FEED_REQUESTS = 2000  # per client
ROUNDS = 3
SMALL_EPISODES = 99
TARGET = 0.7


def make_folder(cache):
    """A show of one 100 MB episode and 99 small ones, its feed written beside
    them for the static servers (podcastfeed serve never serves that file)."""
    folder = os.path.join(cache, "serve", "Bench Show")
    big = os.path.join(folder, "000 - Big.mp3")
    if not os.path.exists(big):
        os.makedirs(folder, exist_ok=True)
        # Silence at 320 kb/s runs to 100 MB in about 44 minutes of audio.
        seconds = BIG_MB * 1024 * 1024 * 8 // 320000
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo", "-t",
                        str(seconds), "-b:a", "320k", big + ".partial.mp3"], check=True)
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=5", "-b:a", "64k",
                        os.path.join(folder, "small.partial.mp3")], check=True)
        for i in range(1, SMALL_EPISODES + 1):
            shutil.copy(os.path.join(folder, "small.partial.mp3"), os.path.join(folder, f"{i:03d} - Episode.mp3"))
        os.remove(os.path.join(folder, "small.partial.mp3"))
        os.rename(big + ".partial.mp3", big)
    return folder, big


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_listening(port, proc, timeout=60):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            raise RuntimeError(f"server on port {port} ended with {proc.returncode}")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError(f"nothing listens on port {port}")


class Server:
    def __init__(self, name, cmd, port):
        self.name, self.port = name, port
        self.proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     stdin=subprocess.DEVNULL)
        wait_listening(port, self.proc)

    def origin(self):
        return f"http://127.0.0.1:{self.port}"

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def nginx(tmp, port):
    conf = os.path.join(tmp, "nginx.conf")
    with open(conf, "w") as f:
        f.write(f"""worker_processes 2;
daemon off;
pid {tmp}/nginx.pid;
error_log {tmp}/error.log;
events {{ worker_connections 1024; }}
http {{
  access_log off;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 100000;
  client_body_temp_path {tmp}/body;
  proxy_temp_path {tmp}/proxy;
  fastcgi_temp_path {tmp}/fastcgi;
  uwsgi_temp_path {tmp}/uwsgi;
  scgi_temp_path {tmp}/scgi;
  types {{ application/rss+xml xml; audio/mpeg mp3; }}
  server {{ listen 127.0.0.1:{port}; root /; }}
}}
""")
    return Server("nginx (static files)", ["nginx", "-c", conf, "-p", tmp], port)


def timed(cmds):
    """Seconds from starting every command to the last one ending."""
    start = time.perf_counter()
    procs = [subprocess.Popen(c, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) for c in cmds]
    for p in procs:
        if p.wait() != 0:
            raise RuntimeError(f"{p.args[0]} failed with {p.returncode}")
    return time.perf_counter() - start


def download_mb_per_s(url, size):
    seconds = statistics.median(timed([["curl", "-s", "-f", "-o", "/dev/null", url]] * DOWNLOADS)
                                for _ in range(ROUNDS))
    return DOWNLOADS * size / seconds / 1e6


def feed_per_s(url, tmp):
    config = os.path.join(tmp, "feed.curlrc")
    with open(config, "w") as f:
        f.write(f'url = "{url}"\noutput = "/dev/null"\n' * FEED_REQUESTS)
    cmd = ["curl", "-s", "-f", "-K", config]
    seconds = statistics.median(timed([cmd] * FEED_CLIENTS) for _ in range(ROUNDS))
    return FEED_CLIENTS * FEED_REQUESTS / seconds


def main():
    build, cache = sys.argv[1:3]
    tool = os.path.join(build, "tools", "podcastfeed")
    folder, big = make_folder(cache)
    size = os.path.getsize(big)
    results = {}
    with tempfile.TemporaryDirectory() as tmp:
        ours_port = free_port()
        ours = Server("podcastfeed serve", [tool, "serve", folder, "--listen", f"127.0.0.1:{ours_port}"], ours_port)
        try:
            # The static servers get the same feed, at the same path.
            subprocess.run(["curl", "-s", "-f", "-o", os.path.join(folder, "feed.xml"),
                            f"{ours.origin()}{folder.replace(' ', '%20')}/feed.xml"], check=True)
        except Exception:
            ours.stop()
            raise
        servers = [ours]
        try:
            servers.append(nginx(tmp, free_port()))
            port = free_port()
            servers.append(Server("python3 -m http.server", [sys.executable, "-m", "http.server", str(port), "--bind",
                                                             "127.0.0.1", "--directory", "/"], port))
            path = folder.replace(" ", "%20")
            for s in servers:
                results[s.name] = (download_mb_per_s(f"{s.origin()}{path}/000%20-%20Big.mp3", size),
                                   feed_per_s(f"{s.origin()}{path}/feed.xml", tmp))
        finally:
            for s in servers:
                s.stop()
            os.remove(os.path.join(folder, "feed.xml"))

    base_mb, base_rps = results["nginx (static files)"]
    print(f"\n== Serving: {DOWNLOADS} parallel downloads of {size / 1e6:.0f} MB, feed requests over "
          f"{FEED_CLIENTS} kept-alive connections (median of {ROUNDS}); ratio = / nginx")
    print(f"{'server':26}  {'MB/s':>8}  {'ratio':>6}  {'feeds/s':>8}  {'ratio':>6}")
    for name, (mb, rps) in results.items():
        print(f"{name:26}  {mb:8.0f}  {mb / base_mb:6.2f}  {rps:8.0f}  {rps / base_rps:6.2f}")
    ours_mb = results["podcastfeed serve"][0]
    verdict = "met" if ours_mb >= TARGET * base_mb else "NOT MET"
    print(f"\n  {verdict:8} serve downloads at {ours_mb / base_mb:.2f} of nginx's throughput (target {TARGET})")


if __name__ == "__main__":
    main()
