<?php
// Folder to podcast feed with getID3, the way a PHP site does it: getID3
// reads each file's play time, plain string building writes the RSS. The
// same document as bench/mutagen_feed.py writes.
//
// usage: php getid3_feed.php FOLDER BASE_URL FEED_FILE
require_once '/usr/share/php/getid3/getid3.php';

const TYPES = ['mp3' => 'audio/mpeg', 'm4a' => 'audio/x-m4a', 'mp4' => 'video/mp4'];

function clock($seconds) {
    $seconds = (int)$seconds;
    $hours = intdiv($seconds, 3600);
    $minutes = intdiv($seconds % 3600, 60);
    $secs = $seconds % 60;
    return $hours ? sprintf('%d:%02d:%02d', $hours, $minutes, $secs) : sprintf('%d:%02d', $minutes, $secs);
}

function esc($text) { return htmlspecialchars($text, ENT_XML1 | ENT_QUOTES, 'UTF-8'); }

[$folder, $base_url, $feed_file] = array_slice($argv, 1, 3);
$names = array_values(array_filter(scandir($folder), function ($n) use ($folder) {
    return isset(TYPES[strtolower(pathinfo($n, PATHINFO_EXTENSION))]) && is_file("$folder/$n");
}));
sort($names, SORT_STRING);
$getid3 = new getID3();
$parts = [sprintf('<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0" xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd" xmlns:atom="http://www.w3.org/2005/Atom">
  <channel>
    <title>%s</title>
    <link>%s</link>
    <description>Personal audio playlist</description>
    <language>en</language>
    <lastBuildDate>%s</lastBuildDate>
    <itunes:author>My Music</itunes:author>
    <itunes:explicit>false</itunes:explicit>
', esc(basename(realpath($folder))), esc($base_url), gmdate('D, d M Y H:i:s \G\M\T'))];
foreach ($names as $name) {
    $path = "$folder/$name";
    $stat = stat($path);
    $info = $getid3->analyze($path);
    $length = $info['playtime_seconds'] ?? 0;
    $parts[] = sprintf('    <item>
      <title>%s</title>
      <enclosure url="%s" type="%s" length="%d" />
      <guid isPermaLink="false">%s</guid>
      <pubDate>%s</pubDate>
      <itunes:duration>%s</itunes:duration>
    </item>
', esc(pathinfo($name, PATHINFO_FILENAME)), esc($base_url . '/' . rawurlencode($name)),
        TYPES[strtolower(pathinfo($name, PATHINFO_EXTENSION))], $stat['size'], esc($path),
        gmdate('D, d M Y H:i:s \G\M\T', $stat['mtime']), clock($length));
}
$parts[] = "  </channel>\n</rss>\n";
file_put_contents($feed_file, implode('', $parts));
