#!/usr/bin/env bash
# Drives the podcastfeed command as a user would and checks exit statuses and
# the forms of its output. Usage: cli_test.sh PODCASTFEED EXAMPLE_SHOW_DIR
set -uo pipefail
tool=$1
show=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# check STATUS STREAM PATTERN ARGS...: runs the command with ARGS, expects the
# exit STATUS and an extended regular expression PATTERN on STREAM (out|err);
# an empty PATTERN expects STREAM to stay empty.
check() {
  local want=$1 stream=$2 pattern=$3
  shift 3
  "$tool" "$@" >"$work/out" 2>"$work/err"
  local got=$?
  local seen=0
  if [ -z "$pattern" ]; then
    [ -s "$work/$stream" ] || seen=1
  elif grep -Eq -- "$pattern" "$work/$stream"; then
    seen=1
  fi
  # Under the sanitizers a fault must not hide behind an expected status.
  if grep -Eq 'Sanitizer|runtime error' "$work/err"; then
    seen=0
  fi
  if [ "$got" -ne "$want" ] || [ "$seen" -eq 0 ]; then
    failures=$((failures + 1))
    echo "FAIL: podcastfeed $* -> status $got (want $want), $stream lacks /$pattern/" >&2
    sed 's/^/  out: /' "$work/out" | head -5 >&2
    sed 's/^/  err: /' "$work/err" | head -5 >&2
  fi
}

# Usage errors exit 2 and say what is wrong.
check 2 err 'missing command'
check 2 err "unknown command 'frobnicate'" frobnicate
check 2 err 'scan: missing arguments' scan
check 2 err "scan: unknown option '--bogus'" scan "$show" --bogus
check 2 err "scan: unknown option '--json'" scan "$show" --json
check 2 err 'scan: --title needs a value' scan "$show" --title
check 2 err "stats: unexpected argument 'extra'" stats "$show" extra
check 2 err 'diff: missing arguments' diff "$show"
check 2 err "sidecar: unknown action 'put'" sidecar put x.mp3
check 2 err 'sidecar: get takes MEDIA only' sidecar get x.mp3 '{}'
check 2 err "help: no such command 'nope'" help nope

# Help and version.
check 0 out '^podcastfeed [0-9]+\.[0-9]+\.[0-9]+$' --version
for command in scan probe validate stats diff sidecar; do
  check 0 out "^  $command " --help
  check 0 out "^Usage: podcastfeed $command" "$command" --help
  check 0 out "^Usage: podcastfeed $command" help "$command"
done

# Failed jobs exit 1 with the library's reason.
check 1 err "^podcastfeed: feed_episode_scan: cannot open dir $work/missing\$" scan "$work/missing"
check 1 err 'feed_episode_scan: config_json is not an object' scan "$show" --config '[1]'
check 1 err 'feed_episode_scan: config_json is not an object' stats "$show" --config '{"a":' --title T
check 1 err "feed_diff: cannot open $work/old.xml" diff "$show" "$work/old.xml"
check 1 err "media_probe\\($work/none.mp3\\)" probe "$work/none.mp3"
check 1 out '^\{"error":"stat failed' probe "$work/none.mp3"

# The main job: a feed file and the summary on standard error.
check 0 err 'rules passed +21 of 21' scan "$show" -o "$work/feed.xml"
check 0 err '^  episodes +4$' scan "$show" --output="$work/feed.xml"
check 0 err 'total play time +0:10' scan "$show" -o "$work/feed.xml"
check 0 err 'feed type +video' scan "$show" -o "$work/feed.xml"
check 0 err 'probe failed +none' scan "$show" -o "$work/feed.xml"
if command -v xmllint >/dev/null && ! xmllint --noout "$work/feed.xml"; then
  failures=$((failures + 1))
  echo "FAIL: the written feed is not well-formed XML" >&2
fi
check 0 out '^<\?xml version="1.0"' scan "$show"

# Reports: JSON with --json, a table otherwise.
check 0 out '^\[\{"rule":"xml_generated","ok":true,"detail":"ok"\},' validate "$show" --json
check 0 out '^21 of 21 rules passed$' validate "$show"
check 0 out '^\{"episodes":4,"total_bytes":[0-9]+,.*"feed_type":"video","title":"Show"\}$' stats "$show" --json
check 0 out 'total size +[0-9.]+ KiB \([0-9]+ bytes\)' stats "$show"
check 0 out '"added":0,"removed":0,"changed":0,"unchanged":4,' diff "$show" "$work/feed.xml" --json
check 0 out '^  changed +4$' diff "$show" "$work/feed.xml" --base-url https://cdn.example.org/show
check 0 out '^\{"duration_s":3,.*"codec":"mp3"\}$' probe "$show/01 - Welcome to the Show.mp3"

# Scan options: each option wins over the same member of --config, and texts
# with quotes survive the trip through the configuration object.
check 0 out '"title":"From config"' stats "$show" --json --config ' { "playlist_name" : "From config" } '
check 0 out '"title":"Say \\"hi\\""' stats "$show" --json --config '{"playlist_name":"From config"}' --title 'Say "hi"'
check 0 out '"title":"Only flag"' stats "$show" --json --config '{ }' --title 'Only flag'
check 0 out '"title":"Show"' stats "$show" --json --title ''

# A file that cannot be probed is still an episode, and the summary names it.
mkdir "$work/mixed"
cp "$show/01 - Welcome to the Show.mp3" "$work/mixed/good.mp3"
printf 'not audio at all' >"$work/mixed/bad.mp3"
check 0 err '^    bad\.mp3: no valid MP3 frames$' scan "$work/mixed" -o "$work/mixed.xml"
check 0 err 'probe failed +1$' scan "$work/mixed" -o "$work/mixed.xml"

# A link whose target is gone still lists as an episode, but its feed item has
# no enclosure: validation fails and says which rule, while scan still writes.
ln -s "$work/nowhere.mp3" "$work/mixed/gone.mp3"
check 1 out '^enclosure_present +FAIL +every item has <enclosure>$' validate "$work/mixed"
check 1 err 'validation failed: 1 of 21 rules failed' validate "$work/mixed" --json
check 1 out '"rule":"enclosure_present","ok":false' validate "$work/mixed" --json
check 0 err 'failed rule +enclosure_present: every item has <enclosure>' scan "$work/mixed" -o "$work/mixed.xml"
check 0 err '^    gone\.mp3: stat failed' scan "$work/mixed" -o "$work/mixed.xml"
rm "$work/mixed/gone.mp3"

# Tables show decoded texts.
check 0 out '^  title +Say "hi" \\ and ü$' stats "$show" --title 'Say "hi" \ and ü'

# Sidecars: written compactly, read back as stored.
check 0 out '' sidecar set "$work/mixed/good.mp3" '{ "author" : "Ann", "thumbnail": "https://example.com/a.jpg" }'
check 0 out '^\{"author":"Ann","thumbnail":"https://example.com/a.jpg"\}$' sidecar get "$work/mixed/good.mp3"
check 1 err 'feed_sidecar_write: meta_json is not a JSON object' sidecar set "$work/mixed/good.mp3" '[1]'
check 1 err "no sidecar beside $work/mixed/bad.mp3" sidecar get "$work/mixed/bad.mp3"
check 0 out '"author":"Ann"' sidecar get "$work/mixed/good.mp3"

# Output that cannot be written is a failure, not a success.
if [ -w /dev/full ]; then
  "$tool" scan "$show" >/dev/full 2>"$work/err"
  status=$?
  if [ "$status" -ne 1 ] || ! grep -q 'cannot write to standard output' "$work/err" ||
    grep -q 'feed written' "$work/err"; then
    failures=$((failures + 1))
    echo "FAIL: a feed written to a full device reported status $status" >&2
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "cli test: $failures failed" >&2
  exit 1
fi
echo "cli test: passed"
