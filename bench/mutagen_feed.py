#!/usr/bin/env python3
"""Folder to podcast feed the way people do it today: mutagen reads each
file's length, the standard library writes the RSS.

usage: mutagen_feed.py FOLDER BASE_URL FEED_FILE
"""
import os
import sys
import time
import urllib.parse
from email.utils import formatdate
from xml.sax.saxutils import escape, quoteattr

import mutagen

TYPES = {".mp3": "audio/mpeg", ".m4a": "audio/x-m4a", ".mp4": "video/mp4"}


def clock(seconds):
    seconds = int(seconds)
    hours, rest = divmod(seconds, 3600)
    minutes, secs = divmod(rest, 60)
    return f"{hours}:{minutes:02d}:{secs:02d}" if hours else f"{minutes}:{secs:02d}"


def item(folder, name, base_url):
    path = os.path.join(folder, name)
    stat = os.stat(path)
    audio = mutagen.File(path)
    length = audio.info.length if audio is not None else 0
    title = os.path.splitext(name)[0]
    url = base_url + "/" + urllib.parse.quote(name)
    return f"""    <item>
      <title>{escape(title)}</title>
      <enclosure url={quoteattr(url)} type="{TYPES[os.path.splitext(name)[1].lower()]}" length="{stat.st_size}" />
      <guid isPermaLink="false">{escape(path)}</guid>
      <pubDate>{formatdate(stat.st_mtime, usegmt=True)}</pubDate>
      <itunes:duration>{clock(length)}</itunes:duration>
    </item>
"""


def main():
    folder, base_url, feed_file = sys.argv[1:4]
    names = sorted(n for n in os.listdir(folder) if os.path.splitext(n)[1].lower() in TYPES)
    title = os.path.basename(os.path.abspath(folder))
    parts = [f"""<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0" xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd" xmlns:atom="http://www.w3.org/2005/Atom">
  <channel>
    <title>{escape(title)}</title>
    <link>{escape(base_url)}</link>
    <description>Personal audio playlist</description>
    <language>en</language>
    <lastBuildDate>{formatdate(time.time(), usegmt=True)}</lastBuildDate>
    <itunes:author>My Music</itunes:author>
    <itunes:explicit>false</itunes:explicit>
"""]
    parts.extend(item(folder, name, base_url) for name in names)
    parts.append("  </channel>\n</rss>\n")
    with open(feed_file, "w", encoding="utf-8") as out:
        out.write("".join(parts))


if __name__ == "__main__":
    main()
