# A show folder as a listener's files tend to look: names with blanks,
# quotes, ampersands and letters beyond ASCII (and one that is not UTF-8 at
# all), sidecars written by another program (indented, UTF-8), and files
# that are not episodes. Names are str as os.fsdecode gives them.
import json
import os
import shutil

import media
import quorvane_podcastfeed as pf

# Episode file name -> the generated file it is a copy of.
EPISODES = {
    "01 Café & Croissants.mp3": "cbr128_info.mp3",
    '02 "Quoted" Talk (Official Audio).m4a': "aac.m4a",
    "03 Rock 'n' Roll [a1B2c3-D4].mp4": "h264_aac.mp4",
    "04 Ελληνικά — ünïcode.mp3": "id3v24.mp3",
    "05 Long Night.m4a": "aac_hour.m4a",
    # A control character and a Latin-1 byte, as files copied from old systems carry.
    "06 Bell\x07 and caf\udce9.mp3": "cbr128_no_info.mp3",
    "Show & Tell.m4a": "alac.m4a",
    "Show & Tell.mp3": "vbr_q4.mp3",
}

# Files the scan lists but never makes episodes of.
NOT_EPISODES = {
    "clip.mov": "h264.mov",
    "take.wav": "u8_mono.wav",
}

# Sidecar name -> content. "Show & Tell.json" belongs to both files of that name.
SIDECARS = {
    "01 Café & Croissants.json": {
        "thumbnail": "https://img.example.net/covers/cafe.jpg?w=600&h=600",
        "author": 'Zoë & "The Crew" <live>',
        "comment": "kept by the library, read by nobody",
    },
    "03 Rock 'n' Roll [a1B2c3-D4].json": {"thumbnail": "https://img.example.net/rock'n'roll.png"},
    "Show & Tell.json": {"author": "Ann O'Neil", "thumbnail": "https://img.example.net/show&tell.png"},
}

# Episode fields the tests compare, and how each is read: texts come as
# os.fsdecode gives them, so no byte of a file name is lost.
EPISODE_FIELDS = {
    "file": str,
    "title": str,
    "url": str,
    "guid": str,
    "image": str,
    "author": str,
    "mime": str,
    "size": int,
    "duration_s": int,
}

# Modification times, which become publication dates; the newest file with a
# thumbnail gives the channel its artwork.
BASE_TIME = 1_700_000_000
NEWEST_WITH_THUMBNAIL = "03 Rock 'n' Roll [a1B2c3-D4].mp4"
CHANNEL_ARTWORK = SIDECARS["03 Rock 'n' Roll [a1B2c3-D4].json"]["thumbnail"]


def modification_time(name):
    if name == NEWEST_WITH_THUMBNAIL:
        return BASE_TIME + 86_400 * 30
    return BASE_TIME + 86_400 * sorted(EPISODES).index(name)


def build(folder):
    """Fills folder with the show; returns the episode file names in the
    order the library keeps them (byte order of the names)."""
    for name, source in {**EPISODES, **NOT_EPISODES}.items():
        shutil.copyfile(media.generated(source), os.path.join(folder, name))
    for name, content in SIDECARS.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            json.dump(content, f, ensure_ascii=False, indent=2)
    with open(os.path.join(folder, "notes.txt"), "w", encoding="utf-8") as f:
        f.write("not an episode\n")
    for name in EPISODES:
        stamp = modification_time(name)
        os.utime(os.path.join(folder, name), (stamp, stamp))
    return sorted(EPISODES, key=os.fsencode)


def sidecar_of(name):
    return SIDECARS.get(os.path.splitext(name)[0] + ".json", {})


def episodes():
    """Every episode of the library's feed as a dict of EPISODE_FIELDS;
    reading url and guid derives them exactly as rendering does."""
    return [{name: read(pf.episode_field(index, name)) for name, read in EPISODE_FIELDS.items()}
            for index in range(pf.episode_count())]
