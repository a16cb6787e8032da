# Real media files made by ffmpeg and sox, and what ffprobe says about them.
# Every file is generated once per run into one temporary folder and shared
# by all tests; the long ones are silence at low rates so that an hour of
# play time costs a few seconds to make.
import functools
import json
import os
import shutil
import struct
import subprocess
import tempfile
from dataclasses import dataclass

FFMPEG = ("ffmpeg", "-nostdin", "-v", "error", "-y")
TOOLS = ("ffmpeg", "ffprobe", "sox", "xmllint")

SHORT = "4.05"
MINUTE = "59.98"
OVER_AN_HOUR = "3661.2"


def tone(seconds, rate=44100):
    return ("-f", "lavfi", "-i", f"sine=frequency=440:sample_rate={rate}:duration={seconds}")


def silence(seconds, rate=8000):
    return ("-f", "lavfi", "-i", f"anullsrc=r={rate}:cl=mono", "-t", seconds)


def picture(seconds, size="64x64", fps=10):
    return ("-f", "lavfi", "-i", f"testsrc=size={size}:rate={fps}:duration={seconds}")


# Cover art embedded the way taggers do it: one still picture.
COVER = ("-f", "lavfi", "-i", "color=c=red:size=64x64:rate=1:duration=1", "-map", "0", "-map", "1", "-c:v", "png")

# Chapter marks in ffmpeg's metadata format, written into the folder before
# any file is made; an audio file with chapters ends with a text track.
CHAPTERS_NAME = "chapters.ffmeta"
CHAPTERS_TEXT = """;FFMETADATA1
title=Chaptered
[CHAPTER]
TIMEBASE=1/1000
START=0
END=2000
title=Intro
[CHAPTER]
TIMEBASE=1/1000
START=2000
END=4050
title=Main
"""


@dataclass(frozen=True)
class Kind:
    name: str        # file name in the generated folder; its extension picks the reader
    family: str      # "mp3", "iso" or "wav": decides the duration tolerance and expected codec
    command: tuple   # the program and arguments that write the file; None stands for the output path
    piped: bool = False  # the program writes to a pipe instead, and cannot go back to fill in sizes

    def make(self, folder):
        path = os.path.join(folder, self.name)
        argv = [path if part is None else part for part in self.command]
        done = subprocess.run(argv, capture_output=True, cwd=folder, timeout=300)
        if done.returncode == 0 and self.piped:
            with open(path, "wb") as f:
                f.write(done.stdout)
        if done.returncode != 0 or not os.path.isfile(path):
            raise RuntimeError(f"making {self.name} failed: {' '.join(argv)}\n{done.stderr.decode()}")
        return path


def ffmpeg(*options):
    return FFMPEG + tuple(options) + (None,)


LAME_128 = ("-c:a", "libmp3lame", "-b:a", "128k")
NO_ID3 = ("-id3v2_version", "0")

KINDS = (
    Kind("cbr128_info.mp3", "mp3", ffmpeg(*tone(SHORT), *LAME_128, *NO_ID3)),
    Kind("cbr128_info_minute.mp3", "mp3", ffmpeg(*tone(MINUTE), *LAME_128, *NO_ID3)),
    Kind("cbr128_no_info.mp3", "mp3", ffmpeg(*tone(SHORT), *LAME_128, *NO_ID3, "-write_xing", "0")),
    Kind("vbr_q4.mp3", "mp3", ffmpeg(*tone(MINUTE), "-c:a", "libmp3lame", "-q:a", "4", *NO_ID3)),
    Kind("mpeg2_22050.mp3", "mp3", ffmpeg(*tone(SHORT, rate=22050), "-c:a", "libmp3lame", "-b:a", "64k", *NO_ID3)),
    Kind("mpeg25_8000.mp3", "mp3", ffmpeg(*tone(SHORT, rate=8000), "-c:a", "libmp3lame", "-b:a", "16k", *NO_ID3)),
    Kind("mpeg25_8000_hour.mp3", "mp3", ffmpeg(*silence(OVER_AN_HOUR), "-c:a", "libmp3lame", "-b:a", "8k", *NO_ID3)),
    # Broadcast archives keep Layer II audio under the same extension.
    Kind("layer2_192.mp3", "mp3", ffmpeg(*tone(SHORT), "-c:a", "mp2", "-b:a", "192k", "-f", "mp2")),
    Kind("id3v23.mp3", "mp3", ffmpeg(*tone(SHORT), *LAME_128, "-id3v2_version", "3",
                                     "-metadata", "title=Tagged three", "-metadata", "artist=Ann")),
    Kind("id3v24.mp3", "mp3", ffmpeg(*tone(SHORT), *LAME_128, "-id3v2_version", "4",
                                     "-metadata", "title=Tagged four", "-metadata", "artist=Ann")),
    Kind("id3v23_cover.mp3", "mp3", ffmpeg(*tone(SHORT), *COVER, *LAME_128, "-id3v2_version", "3")),
    Kind("id3v1.mp3", "mp3", ffmpeg(*tone(SHORT), *LAME_128, *NO_ID3, "-write_id3v1", "1",
                                    "-metadata", "title=Tagged one")),
    Kind("cbr128_piped.mp3", "mp3", FFMPEG + tone(SHORT) + LAME_128 + NO_ID3 + ("-f", "mp3", "-"), piped=True),
    Kind("aac.m4a", "iso", ffmpeg(*tone(SHORT), "-c:a", "aac")),
    Kind("aac_faststart.m4a", "iso", ffmpeg(*tone(SHORT), "-c:a", "aac", "-movflags", "+faststart")),
    Kind("aac_minute.m4a", "iso", ffmpeg(*tone(MINUTE), "-c:a", "aac")),
    Kind("aac_hour.m4a", "iso", ffmpeg(*silence(OVER_AN_HOUR), "-c:a", "aac", "-b:a", "8k")),
    Kind("aac_chapters.m4a", "iso", ffmpeg(*tone(SHORT), "-i", CHAPTERS_NAME, "-map_metadata", "1", "-c:a", "aac")),
    Kind("aac_cover.m4a", "iso", ffmpeg(*tone(SHORT), *COVER, "-c:a", "aac", "-disposition:v", "attached_pic")),
    Kind("alac.m4a", "iso", ffmpeg(*tone(SHORT), "-c:a", "alac")),
    Kind("h264_aac.mp4", "iso", ffmpeg(*picture(SHORT), *tone(SHORT), "-c:v", "libx264", "-c:a", "aac")),
    Kind("h264_aac_hour.mp4", "iso", ffmpeg(*picture(OVER_AN_HOUR, size="16x16", fps=1), *silence(OVER_AN_HOUR),
                                            "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-b:a", "8k")),
    Kind("hevc_hvc1.mp4", "iso", ffmpeg(*picture(SHORT), "-c:v", "libx265", "-x265-params", "log-level=error",
                                        "-tag:v", "hvc1")),
    Kind("h264.mov", "iso", ffmpeg(*picture(SHORT), "-c:v", "libx264")),
    Kind("u8_mono.wav", "wav", ("sox", "-n", "-r", "8000", "-b", "8", "-c", "1", None,
                                "synth", SHORT, "sine", "440")),
    Kind("u8_mono_hour.wav", "wav", ffmpeg(*silence(OVER_AN_HOUR), "-c:a", "pcm_u8")),
    Kind("s16_stereo.wav", "wav", ("sox", "-n", "-r", "44100", "-b", "16", "-c", "2", None,
                                   "synth", MINUTE, "sine", "440")),
    Kind("s24.wav", "wav", ffmpeg(*tone(SHORT), "-c:a", "pcm_s24le")),
    Kind("s16_mono_piped.wav", "wav", FFMPEG + tone(SHORT) + ("-c:a", "pcm_s16le", "-f", "wav", "-"), piped=True),
    Kind("s16_mono_piped_sox.wav", "wav", ("sox", "-n", "-r", "22050", "-b", "16", "-c", "1", "-t", "wav", "-",
                                           "synth", SHORT, "sine", "440"), piped=True),
    Kind("s16_six_channels.wav", "wav", ffmpeg(*tone(SHORT), "-ac", "6", "-c:a", "pcm_s16le")),
)


def missing_tools():
    return [tool for tool in TOOLS if shutil.which(tool) is None]


_keep_alive = []


@functools.cache
def generated_folder():
    """The folder holding one file of every kind, made on first use and
    removed when the test process ends."""
    holder = tempfile.TemporaryDirectory(prefix="pf-interop-media-")
    _keep_alive.append(holder)
    with open(os.path.join(holder.name, CHAPTERS_NAME), "w", encoding="utf-8") as f:
        f.write(CHAPTERS_TEXT)
    for kind in KINDS:
        kind.make(holder.name)
    return holder.name


def generated(name):
    return os.path.join(generated_folder(), name)


@functools.cache
def ffprobe(path):
    """ffprobe's format and streams of one file, as parsed JSON."""
    done = subprocess.run(["ffprobe", "-v", "error", "-show_format", "-show_streams", "-of", "json", path],
                          capture_output=True, text=True, check=True)
    return json.loads(done.stdout)


def wav_format_tag(path):
    """The format tag of the first "fmt " chunk, read straight from the RIFF
    layout, so that the expected codec does not come from the code under
    test (ffprobe reports the sub-format of an extensible file instead)."""
    with open(path, "rb") as f:
        riff, _, wave = struct.unpack("<4sI4s", f.read(12))
        if riff != b"RIFF" or wave != b"WAVE":
            raise ValueError(f"{path} is not RIFF/WAVE")
        while header := f.read(8):
            chunk, size = struct.unpack("<4sI", header)
            if chunk == b"fmt ":
                return struct.unpack("<H", f.read(2))[0]
            f.seek(size + (size & 1), os.SEEK_CUR)
    raise ValueError(f"{path} has no fmt chunk")
