#!/usr/bin/env bash
# Makes the benchmark media with ffmpeg into a cache folder (argument 1) and
# keeps them between runs: each file is written under a temporary name and
# renamed when complete, so an interrupted run never leaves a half file that
# a later run would take for finished. Prints nothing when all is cached.
#
# Every file's exact duration is known from what was generated (the sample
# count of the source), and is written to expected.tsv beside it, so the suite
# can compare each tool's duration with the truth.
set -euo pipefail -o noglob

cache=$1
mkdir -p "$cache/probe" "$cache/variants"

ff() { ffmpeg -nostdin -v error -y "$@"; }

# make OUT ARGS...: runs ffmpeg ARGS... into OUT unless OUT exists.
make() {
  local out=$1
  shift
  [ -e "$out" ] && return 0
  echo "making $out (once)" >&2
  local ext=${out##*.}
  ff "$@" "$out.partial.$ext"
  mv "$out.partial.$ext" "$out"
}

# Silence then noise: a VBR encoder spends few bits on the first part and
# many on the second, so any estimate from the first frame and the file size
# is far off unless the file carries an Info frame.
quiet_then_loud() {  # seconds_quiet seconds_loud rate
  echo "-f lavfi -i anullsrc=r=$3:cl=mono:d=$1 -f lavfi -i anoisesrc=r=$3:d=$2:a=0.3 \
-filter_complex [0:a][1:a]concat=n=2:v=0:a=1"
}

# The probing set: one hour each, but the video (ten minutes).
make "$cache/probe/hour_cbr_info.mp3" -f lavfi -i sine=frequency=440:duration=3600 -c:a libmp3lame -b:a 128k
make "$cache/probe/hour_cbr_noinfo.mp3" -f lavfi -i sine=frequency=440:duration=3600 -c:a libmp3lame -b:a 128k \
  -write_xing 0
# shellcheck disable=SC2046
make "$cache/probe/hour_vbr_noinfo.mp3" $(quiet_then_loud 1200 2400 44100) -c:a libmp3lame -q:a 4 -write_xing 0
make "$cache/probe/hour.m4a" -f lavfi -i sine=frequency=440:duration=3600 -c:a aac -b:a 96k
make "$cache/probe/ten_minutes.mp4" -f lavfi -i testsrc=size=320x240:rate=10:duration=600 \
  -f lavfi -i sine=frequency=440:duration=600 -c:v libx264 -preset ultrafast -c:a aac -b:a 64k -shortest
make "$cache/probe/ten_minutes.wav" -f lavfi -i sine=frequency=440:duration=600 -c:a pcm_s16le

# Distinct short sources for the folders; the folders hold copies of them
# under other names (encoding 5,000 files one by one would take longer than
# every benchmark together). Mono at a low rate keeps the copies small, but
# the frames are real: each file is walked frame by frame like any other.
# name, duration, what
variants=(
  "cbr_info 180 -f lavfi -i sine=frequency=300:r=16000:duration=180 -ac 1 -c:a libmp3lame -b:a 24k"
  "cbr_noinfo 181 -f lavfi -i sine=frequency=300:r=16000:duration=181 -ac 1 -c:a libmp3lame -b:a 24k -write_xing 0"
  "vbr_info 182 $(quiet_then_loud 60 122 16000) -c:a libmp3lame -q:a 6"
  "vbr_noinfo_a 183 $(quiet_then_loud 90 93 16000) -c:a libmp3lame -q:a 6 -write_xing 0"
  "vbr_noinfo_b 179 $(quiet_then_loud 30 149 16000) -c:a libmp3lame -q:a 6 -write_xing 0"
  "short_cbr 12 -f lavfi -i sine=frequency=300:r=16000:duration=12 -ac 1 -c:a libmp3lame -b:a 24k"
  "short_vbr 11 $(quiet_then_loud 5 6 16000) -c:a libmp3lame -q:a 6 -write_xing 0"
  "short_aac 10 -f lavfi -i sine=frequency=300:r=16000:duration=10 -ac 1 -c:a aac -b:a 24k"
)
for v in "${variants[@]}"; do
  read -r name _ args <<<"$v"
  ext=mp3
  [ "$name" = short_aac ] && ext=m4a
  # shellcheck disable=SC2086
  make "$cache/variants/$name.$ext" $args
done

# copies FOLDER COUNT VARIANT...: COUNT files cycling through the variants.
copies() {
  local folder=$1 count=$2
  shift 2
  [ -e "$folder/.complete" ] && return 0
  echo "making $folder (once)" >&2
  rm -rf "$folder"
  mkdir -p "$folder"
  local i=0 v
  while [ $i -lt "$count" ]; do
    for v in "$@"; do
      [ $i -lt "$count" ] || break
      printf -v n '%04d' $i
      cp "$cache/variants/$v" "$folder/Episode $n - ${v%.*}.${v##*.}"
      i=$((i + 1))
    done
  done
  touch "$folder/.complete"
}
copies "$cache/folder_1000" 1000 cbr_info.mp3 cbr_noinfo.mp3 vbr_info.mp3 vbr_noinfo_a.mp3 vbr_noinfo_b.mp3 \
  cbr_info.mp3
copies "$cache/folder_4096" 4096 short_cbr.mp3 short_vbr.mp3 short_cbr.mp3 short_aac.m4a
# A show of a few episodes: what the library costs a host that loads it for
# a small folder, its memory above all.
copies "$cache/folder_10" 10 short_cbr.mp3 short_vbr.mp3 short_cbr.mp3 short_aac.m4a

# Exact whole seconds per source, from the sample counts generated.
{
  printf 'hour_cbr_info.mp3\t3600\nhour_cbr_noinfo.mp3\t3600\nhour_vbr_noinfo.mp3\t3600\n'
  printf 'hour.m4a\t3600\nten_minutes.mp4\t600\nten_minutes.wav\t600\n'
  for v in "${variants[@]}"; do
    read -r name seconds _ <<<"$v"
    printf '%s\t%s\n' "$name" "$seconds"
  done
} >"$cache/expected.tsv"
