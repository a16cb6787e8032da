#!/usr/bin/env python3
"""The benchmark suite: runs the library's bench programs and the tools people
use today on the same cached workloads in the same run, and prints one table
of medians, ratios, durations against the exact ones, and the targets.

usage: suite.py BUILD_DIR CACHE_DIR [SECTION...]

SECTION is any of probe, folders, jobs, documents (all when none is given);
jobs alone prints the folder-to-feed table of whole processes.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time
import xml.etree.ElementTree as ET
from urllib.parse import unquote

import mutagen

ROUNDS = 15
JOB_ROUNDS = 7
GETID3 = "/usr/share/php/getid3/getid3.php"
ITUNES = "{http://www.itunes.com/dtds/podcast-1.0.dtd}"
BASE_URL = "https://media.example.com/show"


def wall_ms(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000


def output(cmd):
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


def bench_rows(cmd):
    """The ROW lines of one bench program: (section, subject, what) -> (ms, value)."""
    rows = {}
    for line in output(cmd).splitlines():
        if line.startswith("ROW\t"):
            _, section, subject, what, ms, value = line.split("\t")
            rows[(section, subject, what)] = (float(ms), value)
    return rows


def seconds_or_none(text):
    try:
        return float(text)
    except ValueError:
        return None


# Each peer gives (median ms per file, duration in seconds or None).
def ffprobe(path, rounds=5):
    cmd = ["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path]
    duration = seconds_or_none(output(cmd).strip())
    return statistics.median(wall_ms(cmd) for _ in range(rounds)), duration


def mediainfo(path, repeat=20):
    """One process probing the file `repeat` times, less one probing it once:
    the cost of a probe without the command's start-up."""
    cmd = ["mediainfo", "--Inform=General;%Duration%\\n"]
    ms = statistics.median(wall_ms(cmd + [path] * repeat) for _ in range(5))
    once = statistics.median(wall_ms(cmd + [path]) for _ in range(5))
    text = output(cmd + [path]).strip()
    return max(ms - once, 0) / (repeat - 1), (float(text) / 1000 if text else None)


def mutagen_probe(path):
    times = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        audio = mutagen.File(path)
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times), (audio.info.length if audio is not None else None)


def driver(cmd, paths, paired=None):
    """A peer driver that prints path, median ms and duration per line, and,
    when it times media_probe in the same rounds, that median too (kept in
    paired by path)."""
    result = {}
    for line in output(cmd + [str(ROUNDS)] + paths).splitlines():
        path, ms, seconds, *ours = line.split("\t")
        value = float(seconds)
        result[path] = (float(ms), value if value >= 0 else None)
        if ours and paired is not None:
            paired[path] = float(ours[0])
    return result


def expected_seconds(cache):
    table = {}
    with open(os.path.join(cache, "expected.tsv"), encoding="utf-8") as f:
        for line in f:
            name, seconds = line.split()
            table[name] = int(seconds)
    return table


def exact_of(name, expected):
    """The exact whole seconds of a probe file or of a folder copy of a variant."""
    if name in expected:
        return expected[name]
    return expected[os.path.splitext(name)[0].split(" - ")[-1]]


def feed_durations(feed):
    """Item file names (from the enclosure URL) and their clock-text durations in seconds."""
    result = {}
    for item in ET.parse(feed).getroot().iter("item"):
        url = item.find("enclosure").get("url")
        name = unquote(url.rsplit("/", 1)[-1])
        clock = item.find(ITUNES + "duration").text
        seconds = 0
        for part in clock.split(":"):
            seconds = seconds * 60 + int(part)
        result[name] = seconds
    return result


def wrong_durations(feed, expected):
    wrong, worst = 0, 0
    durations = feed_durations(feed)
    for name, seconds in durations.items():
        error = abs(seconds - exact_of(name, expected))
        wrong += error != 0
        worst = max(worst, error)
    return len(durations), wrong, worst


def fmt_duration(seconds, exact):
    if seconds is None:
        return "none"
    mark = "" if int(seconds) == exact else " WRONG"
    return f"{seconds:.1f}{mark}"


def line(*cells):
    widths = (34, 28, 11, 16, 30)
    print("  ".join(str(c).ljust(w) for c, w in zip(cells, widths)).rstrip())


def verdict(ok):
    return "met" if ok else "NOT MET"


def probe_section(build, cache, expected, targets):
    folder = os.path.join(cache, "probe")
    paths = sorted(os.path.join(folder, n) for n in os.listdir(folder) if ".partial." not in n)
    ours = bench_rows([os.path.join(build, "bench", "probe_bench")] + paths)
    taglib_bin = os.path.join(build, "bench", "taglib_driver")
    paired = {}
    taglib = driver([taglib_bin], paths, paired) if os.path.exists(taglib_bin) else {}
    getid3 = driver(["php", os.path.join(os.path.dirname(__file__), "getid3_driver.php")], paths)
    print("\n== Probing: ms per file (median), duration in s; ratio = tool / media_probe")
    line("file (exact duration)", "tool", "ms/file", "duration", "ratio")
    for path in paths:
        name = os.path.basename(path)
        exact = exact_of(name, expected)
        ours_ms, ours_value = ours[("probe", path, "media_probe")]
        touch_ms = ours[("probe", path, "page-touch floor")][0]
        read_ms = ours[("probe", path, "read floor")][0]
        peers = [("ffprobe, per file", ffprobe(path)), ("mediainfo, in one process", mediainfo(path)),
                 ("mutagen", mutagen_probe(path)), ("taglib", taglib.get(path, (None, None))),
                 ("getID3", getid3.get(path, (None, None)))]
        label = f"{name} ({exact} s)"
        stride_ms = ours[("probe", path, "417-byte touch floor")][0]
        is_mp3 = name.endswith(".mp3")
        line(label, "media_probe", f"{ours_ms:.3f}", fmt_duration(float(ours_value), exact), "1")
        if is_mp3:
            line("", "page-touch floor", f"{touch_ms:.3f}", "", f"media_probe/floor {ours_ms / touch_ms:.2f}")
            line("", "417-byte touch floor", f"{stride_ms:.3f}", "", f"media_probe/floor {ours_ms / stride_ms:.2f}")
            line("", "read floor", f"{read_ms:.3f}", "", f"media_probe/floor {ours_ms / read_ms:.2f}")
        elif path in paired:
            # Rounds beside reads of the whole file leave the caches cold for a
            # reader of a few headers; beside TagLib they do not.
            ours_ms = paired[path]
            line("", "media_probe, beside taglib", f"{ours_ms:.3f}", "", "1")
        for tool, (ms, value) in peers:
            if ms is None:
                line("", tool, "not run")
                continue
            line("", tool, f"{ms:.3f}", fmt_duration(value, exact), f"{ms / ours_ms:.2f}")
        targets.append((f"{name}: duration exact", int(float(ours_value)) == exact))
        if is_mp3:
            targets.append((f"{name}: walk <= 1.2 x page-touch floor ({ours_ms / touch_ms:.2f})",
                            ours_ms <= 1.2 * touch_ms))
            targets.append((f"{name}: walk <= 1.2 x 417-byte touch floor ({ours_ms / stride_ms:.2f})",
                            ours_ms <= 1.2 * stride_ms))
        elif path in paired:
            targets.append((f"{name}: faster than TagLib ({ours_ms:.3f} vs {taglib[path][0]:.3f} ms)",
                            ours_ms < taglib[path][0]))


def folder_section(build, cache, expected, targets, folder_name, ffprobe_sample=40):
    folder = os.path.join(cache, folder_name)
    ours_feed = os.path.join(cache, folder_name + ".library.xml")
    theirs_feed = os.path.join(cache, folder_name + ".mutagen.xml")
    rows = bench_rows([os.path.join(build, "bench", "scan_bench"), folder, ours_feed])
    script = [sys.executable, os.path.join(os.path.dirname(__file__), "mutagen_feed.py"), folder, BASE_URL,
              theirs_feed]
    mutagen_ms = statistics.median(wall_ms(script) for _ in range(5))
    command = [os.path.join(build, "tools", "podcastfeed"), "scan", folder, "-o", ours_feed + ".command"]
    command_ms = statistics.median(wall_ms(command) for _ in range(5))
    # The same job as the library row: scan and write the feed, no summary.
    quiet_ms = statistics.median(wall_ms(command + ["--quiet"]) for _ in range(5))
    names = sorted(n for n in os.listdir(folder) if n.endswith((".mp3", ".m4a")))
    sample = names[:: max(1, len(names) // ffprobe_sample)]
    ffprobe_ms = statistics.mean(ffprobe(os.path.join(folder, n), rounds=1)[0] for n in sample) * len(names)
    get = lambda what: rows[("scan", folder, what)][0]
    job_ms = get("scan + feed_generate_to")
    count, ours_wrong, ours_worst = wrong_durations(ours_feed, expected)
    _, theirs_wrong, theirs_worst = wrong_durations(theirs_feed, expected)
    print(f"\n== Folder to feed: {folder_name} ({count} files), ms for the whole folder (median)")
    line("what", "tool", "ms", "wrong durations", "ratio")
    line(folder_name, "page-touch floor", f"{get('page-touch floor'):.1f}")
    line("", "read floor", f"{get('read floor'):.1f}")
    line("", "media_probe on each file", f"{get('media_probe each'):.1f}", "",
         f"walk/touch floor {get('media_probe each') / get('page-touch floor'):.2f}")
    line("", "feed_episode_scan", f"{get('feed_episode_scan'):.1f}")
    line("", "scan + feed_generate_to", f"{job_ms:.1f}", f"{ours_wrong} (max {ours_worst} s)", "1")
    line("", "podcastfeed scan --quiet", f"{quiet_ms:.1f}", "", f"{quiet_ms / job_ms:.2f}")
    line("", "podcastfeed scan command (*)", f"{command_ms:.1f}", "", f"{command_ms / job_ms:.2f}")
    line("", "mutagen script", f"{mutagen_ms:.1f}", f"{theirs_wrong} (max {theirs_worst} s)",
         f"{mutagen_ms / job_ms:.2f}")
    line("", f"ffprobe per file ({len(sample)} timed)", f"{ffprobe_ms:.0f}", "", f"{ffprobe_ms / job_ms:.1f}")
    print("  (*) the command also validates the feed and prints its summary and findings")
    targets.append((f"{folder_name}: every duration exact", ours_wrong == 0))
    targets.append((f"{folder_name}: the command {mutagen_ms / command_ms:.1f} x faster than the script",
                    mutagen_ms > command_ms))
    if folder_name == "folder_4096":
        targets.append((f"{folder_name}: the command adds {100 * (quiet_ms / job_ms - 1):.0f}% to the library (target 10%)",
                        quiet_ms <= 1.1 * job_ms))
    need = 5 if folder_name == "folder_4096" else 1
    targets.append((f"{folder_name}: {mutagen_ms / job_ms:.1f} x faster than mutagen (target {need})",
                    mutagen_ms / job_ms >= need))
    targets.append((f"{folder_name}: {ffprobe_ms / job_ms:.0f} x faster than ffprobe per file (target 50)",
                    ffprobe_ms / job_ms >= 50))
    if folder_name == "folder_1000":
        ratio = get("media_probe each") / get("page-touch floor")
        targets.append((f"{folder_name}: walk <= 1.2 x page-touch floor ({ratio:.2f})", ratio <= 1.2))


def measured_run(build, cmd):
    """One run of cmd as a child of the small measuring program: wall, user and
    system ms and its peak RSS in KiB."""
    measure = os.path.join(build, "bench", "measure_posix_bench")
    # The last line is the measurement; the command may print before it.
    wall, user, system, rss = output([measure] + cmd).splitlines()[-1].split()
    return float(wall), float(user), float(system), int(rss)


def measured_medians(build, commands, rounds=JOB_ROUNDS):
    """Medians of (wall, user, system, peak RSS) per command, from rounds that
    run every command in turn after one untimed run of each (warm caches, and
    the feeds each leaves behind)."""
    for cmd in commands:
        measured_run(build, cmd)
    runs = [[] for _ in commands]
    for _ in range(rounds):
        for i, cmd in enumerate(commands):
            runs[i].append(measured_run(build, cmd))
    return [tuple(statistics.median(r[k] for r in rs) for k in range(4)) for rs in runs]


def markdown_row(*cells):
    print("| " + " | ".join(str(c) for c in cells) + " |")


def media_count(folder):
    return len([n for n in os.listdir(folder) if n.endswith((".mp3", ".m4a"))])


def job_section(build, cache, expected, targets, folder_name, small_folder="folder_10"):
    """The whole job, folder to feed file, one process per run: the floor of
    its system calls, the library as a host loads it, the peers' scripts, and
    the library on a small show and merely loaded, for the memory it costs a
    host."""
    here = os.path.dirname(__file__)
    bench = lambda program: os.path.join(build, "bench", program)

    def job(key, label, folder, make_cmd):
        feed = os.path.join(cache, f"{folder}.job-{key}.xml")
        return key, label, feed, make_cmd(os.path.join(cache, folder), feed)

    jobs = [job("floor", "floor: the system calls alone", folder_name,
                lambda folder, feed: [bench("floor_posix_bench"), folder, feed]),
            job("library", "library: scan + feed_generate_to", folder_name,
                lambda folder, feed: [bench("feed_job_bench"), folder, feed]),
            job("mutagen", "mutagen script", folder_name,
                lambda folder, feed: [sys.executable, os.path.join(here, "mutagen_feed.py"), folder, BASE_URL, feed])]
    if shutil.which("php") and os.path.exists(GETID3):
        jobs.append(job("getID3", "getID3 script", folder_name,
                        lambda folder, feed: ["php", os.path.join(here, "getid3_feed.php"), folder, BASE_URL, feed]))
    small_count = media_count(os.path.join(cache, small_folder))
    jobs.append(job("small", f"library alone, {small_folder} ({small_count} files)", small_folder,
                    lambda folder, feed: [bench("feed_job_bench"), folder, feed]))
    jobs.append(job("loaded", "library loaded, no job", small_folder,
                    lambda folder, feed: [bench("feed_job_bench"), "--loaded-only"]))
    results = dict(zip([key for key, *_ in jobs], measured_medians(build, [cmd for *_, cmd in jobs])))

    print(f"\n== Folder to feed as whole processes: {folder_name} ({media_count(os.path.join(cache, folder_name))} "
          f"files), medians of {JOB_ROUNDS} rounds taken in turn\n")
    markdown_row("job", "median ms", "user ms", "system ms", "peak RSS MiB", "feed KiB", "wrong durations")
    markdown_row(*["---"] * 7)
    for key, label, feed, _ in jobs:
        wall, user, system, rss = results[key]
        # The floor writes no durations, and the small show is there for its memory.
        wrong = ("" if key in ("floor", "small", "loaded")
                 else "{1} (max {2} s)".format(*wrong_durations(feed, expected)))
        size = f"{os.path.getsize(feed) / 1024:.0f}" if key != "loaded" else ""
        markdown_row(label, f"{wall:.1f}", f"{user:.1f}", f"{system:.1f}", f"{rss / 1024:.1f}", size, wrong)
    pairs = [("library", "floor"), ("mutagen", "library")] + ([("getID3", "library")] if "getID3" in results else [])
    for top, bottom in pairs:
        ratios = [f"{a / b:.2f}" if b > 0 else "-" for a, b in zip(results[top], results[bottom])]
        markdown_row(f"ratio {top} / {bottom}", *ratios, "", "")
    wall, rss = (lambda key: results[key][0]), (lambda key: results[key][3] / 1024)
    targets.append((f"{folder_name}: job within 1.5 x the floor ({wall('library') / wall('floor'):.2f})",
                    wall("library") <= 1.5 * wall("floor")))
    targets.append((f"{folder_name}: job 8 x faster than mutagen ({wall('mutagen') / wall('library'):.1f})",
                    wall("mutagen") >= 8 * wall("library")))
    targets.append((f"{folder_name}: peak RSS below mutagen's ({rss('library'):.1f} vs {rss('mutagen'):.1f} MiB)",
                    rss("library") < rss("mutagen")))
    targets.append((f"{small_folder}: peak RSS within 5 MiB of the library loaded "
                    f"({rss('small'):.1f} vs {rss('loaded'):.1f} MiB)", rss("small") <= rss("loaded") + 5))


def documents_section(build, targets):
    rows = {}
    for program in ("render_bench", "checks_bench"):
        rows.update(bench_rows([os.path.join(build, "bench", program)]))
    print("\n== Rendering, validating, diffing 4096 episodes: ms (best of rounds); ratio = / snprintf floor")
    line("document", "work", "ms", "", "ratio")
    for section in ("render", "checks"):
        keys = [k for k in rows if k[0] == section]
        floor = next(rows[k][0] for k in keys if k[2] == "snprintf floor")
        rendering = next(rows[k][0] for k in keys if k[2] == "feed_generate")
        for key in keys:
            ms = rows[key][0]
            line(f"{section}: {key[1]}", key[2], f"{ms:.2f}", "", f"{ms / floor:.2f}")
            # A rendering is held to the plain formatting of the same bytes;
            # a check, which renders once and then reads the document, to one
            # rendering of its own document.
            if section == "render" and key[2] == "feed_generate":
                targets.append((f"feed_generate within 3 x snprintf ({ms / floor:.2f})", ms <= 3 * floor))
            elif key[2] in ("feed_validate", "feed_diff"):
                targets.append((f"{key[2]} within 1.5 x feed_generate ({ms / rendering:.2f})", ms <= 1.5 * rendering))


def main():
    build, cache = sys.argv[1:3]
    known = ["probe", "folders", "jobs", "documents"]
    sections = sys.argv[3:] or known
    if not set(sections) <= set(known):
        sys.exit(f"suite.py: sections are {', '.join(known)}")
    expected = expected_seconds(cache)
    targets = []
    if "probe" in sections:
        probe_section(build, cache, expected, targets)
    if "folders" in sections:
        folder_section(build, cache, expected, targets, "folder_1000")
        folder_section(build, cache, expected, targets, "folder_4096")
    if "jobs" in sections:
        job_section(build, cache, expected, targets, "folder_4096")
    if "documents" in sections:
        documents_section(build, targets)
    if targets:
        print("\n== Targets")
        for text, ok in targets:
            print(f"  {verdict(ok):8} {text}")


if __name__ == "__main__":
    main()
