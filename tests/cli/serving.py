"""Runs `podcastfeed serve` for a test, on a free 127.0.0.1 port, and stops it
whatever happens.

    from serving import served

    with served(tool.path, folder, "--title", "Demo") as server:
        urllib.request.urlopen(server.url)   # the feed URL the command printed
        urllib.request.urlopen(server.base)  # the folder URL, ending in "/"
        assert any(" 200 " in line for line in server.stderr_lines())

The object yielded has:
  .url             the feed URL, the first line of standard output
  .base            the folder URL (the feed URL less "feed.xml"), ending in "/"
  .proc            the subprocess.Popen of the server
  .stderr_lines()  the lines of standard error so far (the request log)
  .stdout_lines()  the lines of standard output so far (the URL, a QR code)
  .wait_for_stderr(text, timeout)  the first stderr line holding text, or None
  .stop()          SIGTERM, then SIGKILL after a timeout; returns the exit status

Both output streams are drained all the time, so a long request log never
blocks the server. The server is stopped when the block ends, also on errors.
"""
import os
import signal
import subprocess
import threading
import time
from contextlib import contextmanager

START_TIMEOUT = 30
STOP_TIMEOUT = 10


class Served:
    def __init__(self, proc):
        self.proc = proc
        self.url = None
        self.base = None
        self._lines = {"stdout": [], "stderr": []}
        self._changed = threading.Condition()
        self._readers = [threading.Thread(target=self._drain, args=(name,), daemon=True)
                         for name in self._lines]
        for reader in self._readers:
            reader.start()

    def _drain(self, name):
        for raw in getattr(self.proc, name):
            with self._changed:
                self._lines[name].append(raw.decode("utf-8", "surrogateescape").rstrip("\n"))
                self._changed.notify_all()
        with self._changed:
            self._lines[name].append(None)  # end of stream
            self._changed.notify_all()

    def _wait_line(self, name, test, timeout):
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                for line in self._lines[name]:
                    if line is None:
                        return None
                    if test(line):
                        return line
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._changed.wait(left)

    def stdout_lines(self):
        with self._changed:
            return [line for line in self._lines["stdout"] if line is not None]

    def stderr_lines(self):
        with self._changed:
            return [line for line in self._lines["stderr"] if line is not None]

    def wait_for_stderr(self, text, timeout=5):
        return self._wait_line("stderr", lambda line: text in line, timeout)

    def _started(self):
        self.url = self._wait_line("stdout", lambda line: line.startswith("http"), START_TIMEOUT)
        if self.url is None:
            raise RuntimeError("podcastfeed serve printed no feed URL; stderr:\n" + "\n".join(self.stderr_lines()))
        self.base = self.url[: self.url.rindex("/") + 1]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(STOP_TIMEOUT)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for reader in self._readers:
            reader.join(STOP_TIMEOUT)
        return self.proc.returncode


@contextmanager
def served(tool_path, folder, *args, env=None):
    """Serves folder with the extra command-line args (a --listen among them
    replaces the free port)."""
    listen = [] if "--listen" in args else ["--listen", "127.0.0.1:0"]
    proc = subprocess.Popen([os.fspath(tool_path), "serve", os.fspath(folder), *listen, *map(os.fspath, args)],
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    server = None
    try:
        server = Served(proc)
        server._started()
        yield server
    finally:
        if server is not None:
            server.stop()
        else:
            proc.kill()
            proc.wait()
