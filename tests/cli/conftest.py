"""What every test of the podcastfeed command shares: the built command, the
example show copied where a test may change it, and a run helper that fails on
any sanitizer report even when the exit status is right."""
import base64
import json
import os
import select
import shutil
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

import pytest


def pytest_addoption(parser):
    parser.addoption("--podcastfeed", required=True, help="the built command")
    parser.addoption("--show", required=True, help="the example show folder")
    parser.addoption("--manual", default="", help="the generated manual page")
    parser.addoption("--completion", default="", help="the generated bash completion")


@dataclass
class Result:
    code: int
    out: str
    err: str


class Tool:
    def __init__(self, path):
        self.path = path

    def __call__(self, *args, cwd=None, timeout=120, env=None):
        p = subprocess.run([self.path, *map(os.fsdecode, args)], cwd=cwd, capture_output=True, timeout=timeout,
                           env=env)
        out = p.stdout.decode("utf-8", "surrogateescape")
        err = p.stderr.decode("utf-8", "surrogateescape")
        assert "Sanitizer" not in err and "runtime error" not in err, err
        return Result(p.returncode, out, err)


@pytest.fixture(scope="session")
def tool(request):
    return Tool(os.path.abspath(request.config.getoption("--podcastfeed")))


@pytest.fixture(scope="session")
def example_show(request):
    return Path(request.config.getoption("--show"))


@pytest.fixture
def show(tmp_path, example_show):
    """A copy of the example show, dated an hour ago so that no file looks
    like it is still being copied."""
    folder = tmp_path / "My Show"
    shutil.copytree(example_show, folder)
    past = time.time() - 3600
    for f in folder.iterdir():
        os.utime(f, (past, past))
    return folder


@pytest.fixture(scope="session")
def generated(request):
    return {"manual": request.config.getoption("--manual"), "completion": request.config.getoption("--completion")}


@pytest.fixture(scope="session")
def artefacts(tool):
    """Where tests leave pictures and files for people to look at after the
    run: $PF_TEST_ARTEFACTS, else test-artefacts in the build tree."""
    folder = Path(os.environ.get("PF_TEST_ARTEFACTS") or Path(tool.path).resolve().parent.parent / "test-artefacts")
    folder.mkdir(parents=True, exist_ok=True)
    return folder


class Browser:
    """Headless Chromium driven over its DevTools pipe. Its --window-size
    cannot go below a desktop window's smallest width, so a phone's screen is
    emulated instead, and the page is measured and pictured as it lays out."""

    def __init__(self, profile):
        to_browser, self.commands = os.pipe()
        self.replies, from_browser = os.pipe()

        def give_pipes():  # the DevTools pipe is fds 3 (commands) and 4 (replies)
            os.dup2(to_browser, 3)
            os.dup2(from_browser, 4)

        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync", "--hide-scrollbars",
             "--remote-debugging-pipe", "--user-data-dir=" + str(profile), "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=give_pipes, close_fds=False)
        os.close(to_browser)
        os.close(from_browser)
        self.next_id, self.pending, self.events = 0, b"", []
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]

    def _read(self, timeout=60):
        while b"\0" not in self.pending:
            if not select.select([self.replies], [], [], timeout)[0]:
                raise TimeoutError("Chromium does not answer")
            chunk = os.read(self.replies, 1 << 16)
            if not chunk:
                raise EOFError("Chromium has gone")
            self.pending += chunk
        message, self.pending = self.pending.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, session=None, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.commands, json.dumps(message).encode() + b"\0")
        while True:
            reply = self._read()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply["result"]
            self.events.append(reply)

    def page(self, method, **params):
        return self.call(method, self.session, **params)

    def wait_for(self, event):
        while True:
            for e in self.events:
                if e.get("method") == event:
                    self.events.clear()
                    return
            self.events.append(self._read())

    def evaluate(self, expression):
        return self.page("Runtime.evaluate", expression=expression, returnByValue=True)["result"]["value"]

    def open(self, url, width, height):
        """Loads url on a screen width by height CSS pixels, as a phone (or
        a desktop at 1000 px and over) shows it."""
        self.page("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1,
                  mobile=width < 1000)
        self.page("Page.enable")
        self.events.clear()
        self.page("Page.navigate", url=url)
        self.wait_for("Page.loadEventFired")

    def screenshot(self, path):
        """The whole page, as tall as it is, written to path as a PNG."""
        size = self.page("Page.getLayoutMetrics")["cssContentSize"]
        clip = {"x": 0, "y": 0, "width": size["width"], "height": size["height"], "scale": 1}
        data = self.page("Page.captureScreenshot", format="png", captureBeyondViewport=True, clip=clip)["data"]
        Path(path).write_bytes(base64.b64decode(data))

    def close(self):
        try:
            self.call("Browser.close")
        except (EOFError, OSError, TimeoutError):
            pass
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.commands)
        os.close(self.replies)


@pytest.fixture
def browser(tmp_path):
    """A fresh headless Chromium with its own empty profile."""
    b = Browser(tmp_path / "chromium-profile")
    yield b
    b.close()
