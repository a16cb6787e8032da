"""podcastfeed page: the show page a person opens in a browser, read back as
a browser reads it, with the feed it must agree with beside it."""
import json
import subprocess
import urllib.request
import xml.etree.ElementTree as ET
from html.parser import HTMLParser
from urllib.parse import quote

import pytest

from serving import served

ITUNES = "{http://www.itunes.com/dtds/podcast-1.0.dtd}"
ATOM = "{http://www.w3.org/2005/Atom}"

# Sidecar titles, one a media file in name order: each must reach the page
# escaped and read back exactly.
TITLES = ['Tom & Jerry <live>', 'She said "hi"', "It's 5 > 3 & 2 < 4", "</h3><script>alert('x')</script>"]
SHOW_TITLE = 'Walks & Talks <"Home">'
MEDIA = (".mp3", ".m4a", ".mp4")


class Dom(HTMLParser):
    """What a browser builds of the page, as far as the tests look: every
    element with its attributes and its own text, in document order."""

    def __init__(self, html):
        super().__init__(convert_charrefs=True)
        self.elements, self.open = [], []
        self.feed(html)
        self.close()

    def handle_starttag(self, tag, attrs):
        element = {"tag": tag, "attrs": dict(attrs), "text": ""}
        self.elements.append(element)
        if tag == "source" and self.open:
            self.open[-1].setdefault("sources", []).append(element["attrs"].get("src"))
        elif tag not in ("meta", "link", "img", "input", "br"):
            self.open.append(element)

    def handle_endtag(self, tag):
        while self.open:
            if self.open.pop()["tag"] == tag:
                break

    def handle_data(self, data):
        if self.open:
            self.open[-1]["text"] += data

    def all(self, tag):
        return [e for e in self.elements if e["tag"] == tag]

    def texts(self):
        return {e["text"].strip() for e in self.elements}

    def urls(self):
        return [v for e in self.elements for k, v in e["attrs"].items() if k in ("src", "href", "poster") and v]


@pytest.fixture
def titled_show(show):
    """The example show with a cover, awkward titles and artwork from sidecars,
    a configuration and a file that is no episode, published at its own file
    URL so that a browser finds every picture and recording."""
    cover = show / "cover.jpg"
    subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", "gradients=s=600x600:c0=0xff7f50:c1=0x8a2be2:seed=3",
                    "-frames:v", "1", str(cover)], check=True)
    media = sorted(f for f in show.iterdir() if f.suffix in MEDIA)
    for f, title in zip(media, TITLES):
        sidecar = f.with_suffix(".json")
        meta = json.loads(sidecar.read_text()) if sidecar.exists() else {}
        meta.update(title=title, thumbnail=cover.as_uri())
        sidecar.write_text(json.dumps(meta))
    (show / "podcast.json").write_text(json.dumps({
        "title": SHOW_TITLE, "author": "Ada & 'Friends'", "base_url": show.as_uri(),
        "description": "Two friends walk somewhere new every week and talk about what they see on the way."}))
    (show / "notes.txt").write_text("not an episode")
    return show


def feed_of(tool, folder):
    r = tool("scan", folder, "-o", "-")
    assert r.code == 0, r.err
    return ET.fromstring(r.out).find("channel")


def page_of(tool, folder, tmp_path, *args):
    out = tmp_path / "index.html"
    r = tool("page", folder, "-o", out, *args)
    assert r.code == 0, r.err
    return out.read_text()


def test_the_page_shows_the_feeds_episodes_players_artwork_and_address(tool, titled_show, tmp_path):
    channel = feed_of(tool, titled_show)
    items = channel.findall("item")
    feed_url = channel.find(ATOM + "link").get("href")
    artwork = channel.find(ITUNES + "image").get("href")
    html = page_of(tool, titled_show, tmp_path)
    dom = Dom(html)

    assert [i.find("title").text for i in items] == TITLES
    assert set(TITLES) | {SHOW_TITLE, "Ada & 'Friends'"} <= dom.texts()
    assert dom.all("title")[0]["text"] == SHOW_TITLE
    # One player per episode, in feed order, of the item's kind, playing its enclosure.
    players = [e for e in dom.elements if e["tag"] in ("audio", "video")]
    assert [(p["tag"], p.get("sources")) for p in players] == [
        ("video" if i.find("enclosure").get("type").startswith("video/") else "audio", [i.find("enclosure").get("url")])
        for i in items]
    assert artwork in [i["attrs"]["src"] for i in dom.all("img")]
    assert feed_url in [a["attrs"].get("href") for a in dom.all("a")]
    assert "podcast://" + feed_url.split("://", 1)[1] in [a["attrs"].get("href") for a in dom.all("a")]
    assert feed_url in [i["attrs"].get("value") for i in dom.all("input")]

    # Nothing but the feed's own URLs, and no script or style from anywhere.
    own = {feed_url, "podcast://" + feed_url.split("://", 1)[1], artwork}
    own |= {i.find("enclosure").get("url") for i in items} | {i.find(ITUNES + "image").get("href") for i in items}
    assert set(dom.urls()) <= own
    assert [s["attrs"] for s in dom.all("script")] == [{}]
    assert not [link for link in dom.all("link") if link["attrs"].get("rel") == "stylesheet"]
    # Not a listing: no other file of the folder is named.
    named = {i.find("enclosure").get("url").rsplit("/", 1)[1] for i in items} | {artwork.rsplit("/", 1)[1]}
    for f in titled_show.iterdir():
        if quote(f.name) not in named:
            assert f.name not in html and quote(f.name) not in html, f.name


@pytest.mark.parametrize("width", [360, 1280])
def test_a_browser_renders_every_episode_without_sideways_scrolling(tool, titled_show, tmp_path, browser, artefacts,
                                                                     capsys, width):
    page = tmp_path / "index.html"
    page.write_text(page_of(tool, titled_show, tmp_path))
    browser.open(page.as_uri(), width, 800)
    dom = Dom(browser.evaluate("document.documentElement.outerHTML"))
    assert set(TITLES) <= dom.texts()
    assert len(dom.all("audio") + dom.all("video")) == len(TITLES)
    assert browser.evaluate("innerWidth") == width
    assert browser.evaluate("document.documentElement.scrollWidth") <= width, "the page scrolls sideways"
    # Its script shows the copy button.
    assert "hidden" not in next(b for b in dom.all("button") if b["attrs"].get("id") == "copy")["attrs"]

    picture = artefacts / ("show-page-%d.png" % width)
    picture.unlink(missing_ok=True)
    browser.screenshot(picture)
    assert picture.read_bytes()[16:20] == width.to_bytes(4, "big")
    with capsys.disabled():
        print("\nshow page at %d px wide: %s" % (width, picture))


# Every player loads its recording and seeks to its middle, which takes the
# server's byte ranges; a media error or a stall ends the wait instead.
PLAY_ALL = """Promise.all([...document.querySelectorAll("audio, video")].map(m => new Promise(done => {
  const give = result => done([m.currentSrc].concat(result));
  m.addEventListener("loadedmetadata", () => { m.currentTime = m.duration / 2; }, {once: true});
  m.addEventListener("seeked", () => give([m.duration, m.currentTime]), {once: true});
  m.addEventListener("error", () => give(["error", m.error.code]), {once: true});
  setTimeout(() => give(["stalled", m.readyState]), 20000);
  m.preload = "auto";
  m.load();
})))"""


def test_served_every_episode_plays_and_seeks_in_a_browser(tool, show, browser):
    if "not in this build" in tool("serve", "--help").out:
        pytest.skip("this build has no serve")
    with served(tool.path, show) as server:
        channel = ET.fromstring(urllib.request.urlopen(server.url, timeout=30).read()).find("channel")
        enclosures = [i.find("enclosure").get("url") for i in channel.findall("item")]
        browser.open(server.base, 360, 800)
        played = browser.page("Runtime.evaluate", expression=PLAY_ALL, awaitPromise=True,
                              returnByValue=True)["result"]["value"]
    assert [p[0] for p in played] == enclosures
    for src, duration, at in played:
        assert isinstance(duration, (int, float)) and duration > 0 and abs(at - duration / 2) < 0.5, (src, duration, at)


@pytest.mark.parametrize("base_url,page_url", [
    ("https://example.org/shows/walks", "https://example.org/shows/walks/"),
    ("https://example.org/shows/walks/", "https://example.org/shows/walks/"),
    (None, "http://localhost:8080{}/"),
])
def test_the_qr_code_reads_back_as_the_pages_url(tool, show, tmp_path, base_url, page_url):
    code = tmp_path / "code.png"
    args = ["--base-url", base_url] if base_url else []
    page_of(tool, show, tmp_path, "--qr-png", code, *args)
    read = subprocess.run(["zbarimg", "--quiet", "--raw", str(code)], capture_output=True, timeout=60)
    assert read.stdout.decode().strip() == page_url.format(quote(str(show))), read.stderr


USAGE = [
    # args after DIR                     exit  what the user sees
    ([],                                  0,   "<!DOCTYPE html>"),
    (["-o", "-"],                         0,   "<!DOCTYPE html>"),
    (["--qr-png", "-"],                   2,   "cannot both go to standard output"),
    (["-o", "-", "--qr-png", "-"],        2,   "cannot both go to standard output"),
]


@pytest.mark.parametrize("args,code,says", USAGE)
def test_the_page_goes_to_standard_output_unless_a_file_is_named(tool, show, args, code, says):
    r = tool("page", show, *args)
    assert r.code == code, r.err
    assert says in (r.out if code == 0 else r.err)


def test_a_folder_without_episodes_says_so(tool, tmp_path):
    r = tool("page", tmp_path)
    assert r.code == 0, r.err
    dom = Dom(r.out)
    assert "No episodes yet." in dom.texts() and not dom.all("audio") + dom.all("video")
