#!/usr/bin/env bash
# Regenerates the media files of examples/show: a few seconds of tones and a
# test pattern, at low bitrates so the committed files stay small. The files
# are committed, so the demo itself never needs ffmpeg; run this only to change
# them. Bit-exact flags and stripped metadata keep the output identical from
# one run to the next, so regenerating causes no spurious changes.
set -euo pipefail
cd "$(dirname "$0")/show"

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
exact=(-map_metadata -1 -fflags +bitexact -flags:a +bitexact -flags:v +bitexact)

ff -f lavfi -i "sine=frequency=440:duration=3:sample_rate=22050" \
   -ac 1 -c:a libmp3lame -b:a 32k "${exact[@]}" "01 - Welcome to the Show.mp3"

ff -f lavfi -i "sine=frequency=660:duration=2:sample_rate=22050" \
   -ac 1 -c:a libmp3lame -b:a 24k "${exact[@]}" "02 - A Short Tone [a1B2c3].mp3"

ff -f lavfi -i "sine=frequency=330:duration=3:sample_rate=22050" \
   -ac 1 -c:a aac -b:a 32k "${exact[@]}" "03 - Interview (Official Audio).m4a"

ff -f lavfi -i "testsrc=size=96x64:rate=5:duration=2" \
   -f lavfi -i "sine=frequency=550:duration=2:sample_rate=22050" \
   -c:v libx264 -preset veryslow -crf 40 -pix_fmt yuv420p \
   -ac 1 -c:a aac -b:a 24k -shortest "${exact[@]}" "04 - Test Pattern.mp4"

# The sidecar gives the first episode its image and author; the scan also
# makes that thumbnail the channel artwork.
printf '%s' '{"thumbnail":"https://example.com/show/welcome.jpg","author":"Quorvane Demo Crew","note":"kept in the file, ignored by the feed"}' \
  > "01 - Welcome to the Show.json"

ls -l
