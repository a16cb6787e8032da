<?php
// The getID3 side of the probing comparison: each file named after the round
// count is analysed that many times in this one process, so start-up is not
// what is measured. One line per file: the path, the median milliseconds of
// one analysis and the play time getID3 gives.
require_once '/usr/share/php/getid3/getid3.php';

$rounds = (int)$argv[1];
$getid3 = new getID3();
foreach (array_slice($argv, 2) as $path) {
    $times = [];
    $seconds = -1;
    for ($i = 0; $i < $rounds; $i++) {
        $start = hrtime(true);
        $info = $getid3->analyze($path);
        $times[] = (hrtime(true) - $start) / 1e6;
        $seconds = $info['playtime_seconds'] ?? -1;
    }
    sort($times);
    printf("%s\t%.4f\t%.3f\n", $path, $times[intdiv(count($times), 2)], $seconds);
}
