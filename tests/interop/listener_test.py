# End to end as a listener meets the show: the folder is served over HTTP on
# the loopback interface, the feed is fetched and read by a podcast client's
# parser, and every enclosure is downloaded through its URL and compared with
# the file it was made from.
import functools
import http.server
import io
import os
import tempfile
import threading
import unittest
import urllib.parse
import urllib.request

import feedparser
import podcastparser

import quorvane_podcastfeed as pf
import show


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass

    def translate_path(self, path):
        # A file name that is not UTF-8 arrives percent-encoded byte by byte;
        # the stock handler would decode it as UTF-8 and miss the file.
        relative = urllib.parse.unquote_to_bytes(urllib.parse.urlsplit(path).path).lstrip(b"/")
        return os.path.join(self.directory, os.fsdecode(relative))


def serve(folder):
    """A server for folder on a free loopback port, already answering."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(QuietHandler, directory=folder))
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    return server, thread


def stop(server, thread):
    server.shutdown()
    server.server_close()
    thread.join()


# Only loopback traffic: a proxy configured in the environment must not see it.
OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))


def fetch(url):
    with OPENER.open(url, timeout=30) as response:
        return response.read()


class Listener(unittest.TestCase):
    def setUp(self):
        work = tempfile.TemporaryDirectory(prefix="pf-interop-listener-")
        self.addCleanup(work.cleanup)
        self.folder = work.name
        self.names = show.build(self.folder)
        server, thread = serve(self.folder)
        self.addCleanup(stop, server, thread)
        self.base_url = "http://127.0.0.1:%d" % server.server_address[1]

    def test_every_enclosure_downloads_as_the_file_it_was_made_from(self):
        pf.episode_scan(self.folder, {"base_url": self.base_url, "local_root": self.folder})
        pf.generate_to(os.path.join(self.folder, "feed.xml"))
        feed_url = self.base_url + "/feed.xml"
        document = fetch(feed_url)
        # Clients follow the self link when they refresh the subscription.
        self_links = [link.href for link in feedparser.parse(document).feed.links if link.rel == "self"]
        self.assertEqual(self_links, [feed_url])
        parsed = podcastparser.parse(feed_url, io.BytesIO(document))

        local_by_url = {e["url"]: e["file"] for e in show.episodes()}
        self.assertEqual(sorted(os.path.basename(f) for f in local_by_url.values()), sorted(self.names))
        self.assertEqual(len(parsed["episodes"]), len(self.names))
        for episode in parsed["episodes"]:
            with self.subTest(episode["title"]):
                enclosure, = episode["enclosures"]
                self.assertTrue(enclosure["url"].startswith(self.base_url + "/"), enclosure["url"])
                with open(local_by_url[enclosure["url"]], "rb") as f:
                    local = f.read()
                downloaded = fetch(enclosure["url"])
                self.assertEqual(len(downloaded), enclosure["file_size"])
                self.assertTrue(downloaded == local, "downloaded bytes differ from the local file")


if __name__ == "__main__":
    unittest.main()
