# A scanned show's feed, read by parsers nobody here wrote: xmllint,
# feedparser and the podcast client library podcastparser.
import calendar
import os
import subprocess
import tempfile
import unittest
import urllib.parse

import feedparser
import podcastparser

import quorvane_podcastfeed as pf
import show

SHOW_TITLE = 'Night & Day "Sessions" <Live> — Ünï'
TITLES = {
    "01 Café & Croissants.mp3": "01 Café & Croissants",
    '02 "Quoted" Talk (Official Audio).m4a': '02 "Quoted" Talk',
    "03 Rock 'n' Roll [a1B2c3-D4].mp4": "03 Rock 'n' Roll",
    "04 Ελληνικά — ünïcode.mp3": "04 Ελληνικά — ünïcode",
    "05 Long Night.m4a": "05 Long Night",
    "06 Bell\x07 and caf\udce9.mp3": "06 Bell and caf\ufffd",
    "Show & Tell.m4a": "Show & Tell",
    "Show & Tell.mp3": "Show & Tell",
}
MIME_BY_EXTENSION = {".mp3": "audio/mpeg", ".m4a": "audio/x-m4a", ".mp4": "video/mp4"}


def as_the_document_carries(text):
    """A stored text as a well-formed document can carry it: bytes that are
    not UTF-8 become U+FFFD, and C0 controls, which XML cannot hold, are
    left out."""
    readable = os.fsencode(text).decode("utf-8", "replace")
    return "".join(c for c in readable if c >= " " or c in "\t\n\r")


class ScannedShowFeed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="pf-interop-feed-")
        cls.folder = os.path.join(cls.work.name, "Night & Day #1? ünï")
        os.mkdir(cls.folder)
        cls.names = show.build(cls.folder)
        pf.episode_scan(cls.folder, {"playlist_name": SHOW_TITLE})
        cls.feed_path = os.path.join(cls.work.name, "feed.xml")
        pf.generate_to(cls.feed_path)
        cls.channel = pf.channel_json()
        cls.episodes = show.episodes()
        cls.report = pf.validate_report_json()
        cls.diff = pf.diff(cls.feed_path)

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def test_the_library_took_every_episode_file_and_nothing_else(self):
        self.assertEqual([os.path.basename(e["file"]) for e in self.episodes], self.names)
        for name, episode in zip(self.names, self.episodes):
            with self.subTest(name):
                self.assertEqual(episode["size"], os.path.getsize(os.path.join(self.folder, name)))
                self.assertEqual(episode["mime"], MIME_BY_EXTENSION[os.path.splitext(name)[1]])
                # Without a base URL the enclosure's path is the file's own, so
                # serving the file system root publishes every episode.
                url = urllib.parse.urlsplit(episode["url"])
                self.assertEqual((url.scheme, url.query, url.fragment), ("http", "", ""))
                self.assertEqual(urllib.parse.unquote_to_bytes(url.path), os.fsencode(episode["file"]))
                self.assertGreater(episode["duration_s"], 0)

    def test_the_library_reads_its_own_feed_as_the_parsers_do(self):
        # Its validator passes what the parsers accept, and comparing the show
        # with the feed just written finds every item under the GUID it has,
        # even where the document had to replace bytes of a name.
        self.assertEqual([r for r in self.report if not r["ok"]], [])
        self.assertEqual({k: self.diff[k] for k in ("added", "removed", "changed", "unchanged")},
                         {"added": 0, "removed": 0, "changed": 0, "unchanged": len(self.names)})

    def test_xmllint_accepts_the_document(self):
        done = subprocess.run(["xmllint", "--noout", self.feed_path], capture_output=True, text=True)
        self.assertEqual((done.returncode, done.stderr), (0, ""))

    def test_feedparser_reads_channel_and_every_item_without_complaint(self):
        parsed = feedparser.parse(self.feed_path)
        self.assertFalse(parsed.bozo, parsed.get("bozo_exception"))
        self.assertEqual(parsed.feed.title, SHOW_TITLE)
        self.assertEqual(parsed.feed.author, self.channel["author"])
        self.assertEqual(parsed.feed.image.href, show.CHANNEL_ARTWORK)
        self.assertEqual([t.term for t in parsed.feed.tags], [self.channel["category"]])
        self.assertEqual(len(parsed.entries), len(self.names))
        for name, episode, entry in zip(self.names, self.episodes, parsed.entries):
            with self.subTest(name):
                self.assertEqual(entry.title, TITLES[name])
                self.assertEqual(entry.id, as_the_document_carries(episode["guid"]))
                enclosure, = entry.enclosures
                self.assertEqual(enclosure.href, episode["url"])
                self.assertEqual(int(enclosure.length), os.path.getsize(os.path.join(self.folder, name)))
                self.assertEqual(enclosure.type, episode["mime"])
                self.assertEqual(calendar.timegm(entry.published_parsed), show.modification_time(name))
                sidecar = show.sidecar_of(name)
                if "thumbnail" in sidecar:
                    self.assertEqual(entry.image.href, sidecar["thumbnail"])
                if "author" in sidecar:
                    self.assertEqual(entry.author, sidecar["author"])

    def test_podcastparser_sees_every_episode_with_enclosure_and_play_time(self):
        with open(self.feed_path, "rb") as f:
            parsed = podcastparser.parse("http://127.0.0.1/feed.xml", f)
        self.assertEqual(parsed["title"], SHOW_TITLE)
        self.assertEqual(parsed["itunes_author"], self.channel["author"])
        self.assertEqual(parsed["cover_url"], show.CHANNEL_ARTWORK)
        self.assertEqual(parsed["itunes_categories"], [[self.channel["category"]]])
        by_guid = {e["guid"]: e for e in parsed["episodes"]}
        self.assertEqual(len(by_guid), len(self.names), "every episode once, under a GUID of its own")
        for name, episode in zip(self.names, self.episodes):
            with self.subTest(name):
                seen = by_guid[as_the_document_carries(episode["guid"])]
                self.assertEqual(seen["title"], TITLES[name])
                self.assertEqual(seen["enclosures"], [{
                    "url": episode["url"], "file_size": episode["size"], "mime_type": episode["mime"]}])
                self.assertEqual(seen["total_time"], episode["duration_s"])
                self.assertEqual(seen["published"], show.modification_time(name))
                sidecar = show.sidecar_of(name)
                self.assertEqual(seen.get("episode_art_url"), sidecar.get("thumbnail"))
                self.assertEqual(seen.get("itunes_author"), sidecar.get("author"))


if __name__ == "__main__":
    unittest.main()
