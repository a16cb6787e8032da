# The probe's facts about files made by real encoders, against ffprobe.
import math
import os
import unittest

import media
import quorvane_podcastfeed as pf

MIME_BY_EXTENSION = {
    ".mp3": "audio/mpeg",
    ".m4a": "audio/x-m4a",
    ".mp4": "video/mp4",
    ".mov": "video/quicktime",
    ".wav": "audio/wav",
}

# Sample entry types the encoders write, by the label the probe gives them.
ISO_CODEC_BY_TAG = {"mp4a": "mp4a", "alac": "alac", "avc1": "h264", "hvc1": "h265"}
WAV_CODEC_BY_TAG = {0x0001: "pcm", 0xFFFE: "extensible"}

# Layer III bitrates a frame may carry, per MPEG version.
MPEG1_KBPS = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}
MPEG2_KBPS = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}


def mp3_frame_seconds(sample_rate):
    samples = 1152 if sample_rate >= 32000 else 576
    return samples / sample_rate


def duration_tolerance(kind, audio):
    """How far the probe's play time, before truncation, may lie below and
    above ffprobe's format duration, in seconds.

    WAV: none either way; both divide the bytes of the data chunk by the
    byte rate (a streamed file's placeholder size gives way to the bytes
    present in both).
    ISO: none either way; both take the movie header's duration over its
    timescale.
    MP3: up to one frame above. The probe adds up every frame it walks, the
    Info/Xing frame included, which carries no audio; ffprobe counts the
    audio frames the Info header declares, or, without a usable one,
    estimates from the size at the constant bitrate, which gives the same
    frame count. Both include the encoder's delay and padding, so neither
    goes below."""
    if kind.family == "mp3":
        return 0.0, mp3_frame_seconds(int(audio["sample_rate"]))
    return 0.0, 0.0


def first_audio(info):
    return next(s for s in info["streams"] if s["codec_type"] == "audio")


def expected_codec(kind, path, info):
    if kind.family == "mp3":
        return "mp3"
    if kind.family == "wav":
        return WAV_CODEC_BY_TAG[media.wav_format_tag(path)]
    # The last sound or picture track in file order decides, and ffprobe
    # numbers tracks in that order; chapter tracks are data to it, and cover
    # art stored as a tag shows as a picture stream that is no track.
    tracks = [s for s in info["streams"]
              if s["codec_type"] in ("audio", "video") and not s["disposition"]["attached_pic"]]
    return ISO_CODEC_BY_TAG[tracks[-1]["codec_tag_string"]]


class MediaFacts(unittest.TestCase):
    def probe(self, path):
        result = pf.probe(path)
        self.assertEqual(list(result), ["duration_s", "size", "mime", "bitrate_kbps", "codec"])
        return result

    def test_duration_agrees_with_ffprobe_within_the_kind_tolerance(self):
        for kind in media.KINDS:
            with self.subTest(kind.name):
                path = media.generated(kind.name)
                info = media.ffprobe(path)
                seconds = float(info["format"]["duration"])
                below, above = duration_tolerance(kind, first_audio(info) if kind.family == "mp3" else None)
                got = self.probe(path)["duration_s"]
                self.assertGreaterEqual(got, math.floor(seconds - below), f"ffprobe {seconds}")
                self.assertLessEqual(got, math.floor(seconds + above), f"ffprobe {seconds}")

    def test_size_mime_and_codec_follow_the_file(self):
        for kind in media.KINDS:
            with self.subTest(kind.name):
                path = media.generated(kind.name)
                result = self.probe(path)
                self.assertEqual(result["size"], os.path.getsize(path))
                self.assertEqual(result["mime"], MIME_BY_EXTENSION[os.path.splitext(path)[1]])
                self.assertEqual(result["codec"], expected_codec(kind, path, media.ffprobe(path)))

    def test_bitrate_follows_the_reader_rules(self):
        for kind in media.KINDS:
            with self.subTest(kind.name):
                path = media.generated(kind.name)
                result = self.probe(path)
                info = media.ffprobe(path)
                if kind.family == "iso":
                    # Containers carry none: it is the file's average over its whole seconds.
                    seconds = math.floor(float(info["format"]["duration"]))
                    want = os.path.getsize(path) * 8 // seconds // 1000 if seconds else 0
                    self.assertEqual(result["bitrate_kbps"], want)
                elif kind.family == "wav":
                    self.assertEqual(result["bitrate_kbps"], int(first_audio(info)["bit_rate"]) // 1000)
                else:
                    self.assert_mp3_bitrate(kind, result, first_audio(info))

    def assert_mp3_bitrate(self, kind, result, audio):
        # The bitrate of the last frame walked: the nominal rate of a constant
        # bitrate file; for a variable one, a rate its MPEG version allows.
        if "vbr" in kind.name:
            allowed = MPEG1_KBPS if int(audio["sample_rate"]) >= 32000 else MPEG2_KBPS
            self.assertIn(result["bitrate_kbps"], allowed)
        else:
            self.assertEqual(result["bitrate_kbps"], int(audio["bit_rate"]) // 1000)


if __name__ == "__main__":
    unittest.main()
