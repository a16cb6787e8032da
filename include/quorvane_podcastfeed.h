/* quorvane-podcastfeed: turns a folder of media files into a podcast feed
 * (RSS 2.0 with the iTunes podcast and Atom extensions), then checks,
 * summarises and compares that feed.
 *
 * The library holds one feed in process-wide state. Every function runs to
 * completion on the caller's thread; the library is not reentrant, so a host
 * that calls it from several threads serialises the calls itself. No call
 * needs more than PF_MAX_STACK_KIB of the caller's stack.
 *
 * Conventions:
 *  - An int status is 0 on success and -1 on failure; the reason is then in
 *    feed_last_error(). Each function below lists its failure texts, with
 *    <...> standing for the value put in, and says whether a success
 *    "empties the last error" (leaves "") or "leaves the last error" (keeps
 *    whatever an earlier call put there, so a host judges that call by its
 *    result alone).
 *  - Every returned text is NUL-terminated, lives in a buffer the library owns
 *    and stays valid until the next call that writes the same buffer (named
 *    for each function). The caller never frees it. Only feed_episode_field
 *    returns NULL, and only on failure.
 *  - Capacities count the terminating NUL. A text stored into a field of that
 *    capacity is cut, without notice, to at most one byte less, never inside a
 *    UTF-8 character. Result buffers are sized so that their JSON is never
 *    cut.
 *  - Paths are narrow (byte) strings; both '/' and '\' separate components.
 *  - "(win err <n>)" carries the system's error number: a Win32 error code on
 *    Windows, an errno value elsewhere.
 */
#ifndef QUORVANE_PODCASTFEED_H
#define QUORVANE_PODCASTFEED_H

/* The library's version, the one place it is written: the build reads it from
 * here for the shared library's name and the packages. A host compiled
 * against this header may compare it with what it needs. */
#define PF_VERSION_MAJOR 0
#define PF_VERSION_MINOR 1
#define PF_VERSION_PATCH 0

#if defined(_WIN32)
#  if defined(PF_BUILDING_LIBRARY)
#    define PF_API __declspec(dllexport)
#  else
#    define PF_API __declspec(dllimport)
#  endif
#else
#  define PF_API __attribute__((visibility("default")))
#endif

/* Artwork used when neither the channel nor any sidecar names one. It lies on
 * the domain reserved for examples, so hosts and directories recognise it as a
 * placeholder to be replaced. */
#define PF_DEFAULT_ARTWORK_URL "https://example.com/artwork.png"

/* Origin of the public enclosure URLs when a scan is given no base_url: the
 * scanned folder's path (below /data/dist/ when it lies there, else whole),
 * each segment percent-encoded, is appended to it, so serving that root on
 * port 8080 of the same machine makes every enclosure downloadable. */
#define PF_DEFAULT_ORIGIN "http://localhost:8080"

/* The most episodes the feed holds; a scan leaves out the files past it. */
#define PF_MAX_EPISODES 4096

/* The stack, in KiB, that any one call needs at most beyond what the host's
 * thread itself uses: a worker thread of this size runs every call. The
 * deepest call, feed_episode_scan, was measured at 22 KiB (a thread of 24 KiB
 * is too small once the thread's own start-up and thread-local storage are
 * counted; 32 KiB suffices), so the bound leaves room to grow. */
#define PF_MAX_STACK_KIB 64

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Last error ---------------------------------------------------------- */

/* The reason for the latest failure, or "" when none is on record. Never NULL.
 * The buffer holds 2048 bytes: a longer message is cut to 2047. Overwritten
 * by every call that sets or empties it; this call changes nothing. */
PF_API const char *feed_last_error(void);

/* ---- Channel settings ---------------------------------------------------- */

/* Sets one channel key (title, description, language, author, category,
 * explicit, artwork, lastBuildDate) to value (at most 4095 bytes, never cut).
 * Empties the last error. Fails with
 *   "feed_channel_set: NULL args"                    (key NULL or "", value NULL)
 *   "feed_channel_set: unknown key '<key>'"
 *   "feed_channel_set: value too long for '<key>'"  (4096 bytes or more)
 *   "feed_channel_set: too many keys" */
PF_API int feed_channel_set(const char *key, const char *value);

/* All channel settings as one compact JSON object, in the order keys were
 * first set; "{}" when empty or when a value is not valid UTF-8. The buffer
 * (262144 bytes) holds every object whole. Valid until the next
 * feed_channel_json. Never fails; leaves the last error. */
PF_API const char *feed_channel_json(void);

/* Empties the channel settings (episodes and URL settings stay). Always 0;
 * empties the last error. */
PF_API int feed_channel_reset(void);

/* ---- Episode table ------------------------------------------------------- */

/* The number of episodes (0 to PF_MAX_EPISODES). Leaves the last error. */
PF_API int feed_episode_count(void);

/* Appends an episode from a JSON object text ("file" is required); the file's
 * size and probed facts are filled in when it exists and its path fits the
 * file field whole. Texts are cut to the field capacities listed at
 * feed_episode_field. Overwrites the media_probe result when the file exists.
 * Empties the last error, also of what the probe put there. Fails with
 *   "feed_episode_add: NULL json"          (NULL or "")
 *   "feed_episode_add: invalid JSON object"
 *   "feed_episode_add: missing 'file'"     (absent, not a string, or "")
 *   "feed_episode_add: too many episodes"  (PF_MAX_EPISODES held)
 *   "out of memory" */
PF_API int feed_episode_add(const char *json);

/* Sets one text or number field of the episode at index (texts cut to the
 * field's capacity). Setting "url" fixes the enclosure URL against later
 * derivation. Empties the last error. Fails with
 *   "feed_episode_set: bad args"           (index out of range, key or value NULL)
 *   "feed_episode_set: unknown key '<key>'"
 *   "out of memory"                        (the field is left as it was) */
PF_API int feed_episode_set(int index, const char *key, const char *value);

/* Removes the episode at index; later episodes move one place forward.
 * Empties the last error. Fails with
 *   "feed_episode_remove: bad index <index>" */
PF_API int feed_episode_remove(int index);

/* Moves the episode at position i so that it ends at position j. Empties the
 * last error. Fails with
 *   "feed_episode_move: bad index i=<i> j=<j>" */
PF_API int feed_episode_move(int i, int j);

/* One field of the episode at index as text (numbers in decimal, "duration"
 * as a clock text, "url" and "guid" derived on demand). Points into the
 * episode record: valid until the episode table changes. "" for an unknown
 * field name. Field capacities: file 1024, title 1024, description 4096,
 * image 2048, author 1024, keywords 2048, pubDate 64, url 4096, guid 2048,
 * mime 64, codec 32, duration 32. Leaves the last error on success; NULL on
 * failure, with
 *   "feed_episode_field: index <index> out of range"
 *   "feed_episode_field: NULL field"
 *   "out of memory"                    (the URL could not be derived) */
PF_API const char *feed_episode_field(int index, const char *field);

/* ---- Enclosure URLs ------------------------------------------------------ */

/* Sets the public base URL and the local folder it maps (local_root may be
 * NULL) from which episode enclosure URLs are derived; both are kept whole,
 * at any length. Both change or, on failure, neither. Empties the last error.
 * Fails with
 *   "feed_url_base: NULL base"  (NULL or "")
 *   "out of memory" */
PF_API int feed_url_base(const char *base, const char *local_root);

/* Gives the episode whose file (full path or base name) equals file this
 * enclosure URL; the first override set for a file wins. Holds 4096
 * overrides; file is cut to 1023 bytes and url to 2047. Empties the last
 * error. Fails with
 *   "feed_url_override: NULL args"
 *   "feed_url_override: too many" */
PF_API int feed_url_override(const char *file, const char *url);

/* ---- Media probing ------------------------------------------------------- */

/* Probes one media file (.mp4 .m4a .m4v .mov .mp3 .wav .wave). Returns a JSON
 * object text: {"duration_s","size","mime","bitrate_kbps","codec"} on success,
 * {"error",...} on failure (with "size" but for a NULL path or a lack of
 * memory). Never NULL. The buffer holds 2048 bytes, enough for every result
 * whole. Valid until the next probe (also run by feed_episode_add and
 * feed_episode_scan). Empties the last error on success. On failure:
 *   "error" member                                 last error
 *   "null path"                                    "media_probe: NULL or empty path"
 *   "stat failed: <reason>"                        "media_probe(<path>): <reason>"
 *   "unsupported extension <.ext or (none)>"       "media_probe(<path>): unsupported extension"
 *   "open failed"                                  "media_probe(<path>): cannot open"
 *   "no mvhd/moov found (not an ISO media file?)"  "media_probe(<path>): no mvhd/moov"
 *   "no valid MP3 frames"                          "media_probe(<path>): no valid MP3 frames"
 *   "not a RIFF/WAVE file"                         "media_probe(<path>): not a WAV"
 *   "WAV: missing fmt chunk"                       "media_probe(<path>): WAV fmt missing"
 *   "out of memory"                                "out of memory"
 * where <reason> is the system's text for why the file has no status. */
PF_API const char *media_probe(const char *path);

/* ---- Folder scan and sidecars -------------------------------------------- */

/* Replaces the whole feed with the .mp3/.m4a/.mp4 files of dir (up to
 * PF_MAX_EPISODES, in byte order of their names), with channel defaults and
 * URL settings derived from the folder. config_json may be NULL, "" or an
 * object with "playlist_name", "base_url", "local_root". Overwrites the
 * media_probe result; URL overrides stay. Files that cannot be read become
 * episodes without facts, never a failure. Empties the last error. Fails with
 *   "feed_episode_scan: NULL dir"                     (NULL or "")
 *   "feed_episode_scan: config_json is not an object"
 *   "feed_episode_scan: cannot open dir <dir>"        (also for a folder path of
 *                                                      2048 bytes or more)
 *   "feed_episode_scan: out of memory"
 * The table is untouched by the first three; after the listing (out of
 * memory) the episode table is already empty. */
PF_API int feed_episode_scan(const char *dir, const char *config_json);

/* Stores meta_json (a JSON object) as the sidecar of media_path: the file
 * named like the media file with ".json" in place of its extension, written
 * compact. The old sidecar is replaced whole or left untouched. Empties the
 * last error. Fails with
 *   "feed_sidecar_write: NULL args"                       (either NULL or "")
 *   "feed_sidecar_write: meta_json is not a JSON object"
 *   "feed_sidecar_write: out of memory"
 *   "feed_sidecar_write: cannot write <sidecar> (win err <n>)"  (also for a
 *                                          sidecar name of 3072 bytes or more)
 *   "feed_sidecar_write: short write" */
PF_API int feed_sidecar_write(const char *media_path, const char *meta_json);

/* The stored sidecar text of media_path (at most 65535 bytes, in a buffer of
 * 65536), or "". Valid until the next feed_sidecar_read. A sidecar read
 * empties the last error; a missing one returns "" and leaves it. A failure
 * returns "" with
 *   "feed_sidecar_read: NULL path"   (NULL or "")
 *   "feed_sidecar_read: bad size"    (an empty file, or one over 65535 bytes)
 *   "feed_sidecar_read: read error"
 *   "feed_sidecar_read: out of memory" */
PF_API const char *feed_sidecar_read(const char *media_path);

/* ---- Feed output --------------------------------------------------------- */

/* Renders the whole RSS document; "" on failure. The buffer starts at 65536
 * bytes and doubles until the document fits, so it is never cut. Valid until
 * the next feed_generate, feed_generate_to, feed_validate or
 * feed_validate_report_json (each renders again, and the buffer may move).
 * Leaves the last error on success, except that an attempt that outgrew the
 * buffer on the way leaves "feed_build: buffer overflow". Fails with
 *   "feed_generate: buffer growth failed"
 *   "out of memory" */
PF_API const char *feed_generate(void);

/* Renders the feed and replaces the file at path with it. On failure the old
 * file is left as it was. Empties the last error. Fails with
 *   "feed_generate_to: NULL path"                          (NULL or "")
 *   "feed_generate_to: generate failed: <feed_generate's message>"
 *   "feed_generate_to: cannot open <path> for write (win err <n>)"
 *   "feed_generate_to: short write to <path>"
 *   "feed_generate_to: out of memory" */
PF_API int feed_generate_to(const char *path);

/* ---- Feed checks --------------------------------------------------------- */

/* Renders the feed and checks it rule by rule: 0 when every rule passed, 1
 * when one failed, -1 when the feed could not be rendered (with
 * feed_generate's message). The last error as for feed_generate. */
PF_API int feed_validate(void);

/* Validates as feed_validate does and returns the outcome of every rule as a
 * JSON array text of {"rule","ok","detail"} objects; "[]" when an outcome
 * cannot be written as JSON. The buffer (65536 bytes) holds every report
 * whole. Valid until the next feed_validate_report_json. The last error as
 * for feed_generate. */
PF_API const char *feed_validate_report_json(void);

/* A JSON summary of the feed: "episodes", "total_bytes", "newest_pubDate",
 * "feed_type" ("audio" or "video") and the channel "title". The buffer
 * (32768 bytes) holds every summary whole. Never fails; leaves the last
 * error. Valid until the next feed_stats_json. */
PF_API const char *feed_stats_json(void);

/* Compares the current feed with an earlier feed file and returns the counts
 * of "added", "removed", "changed" and "unchanged" items and the current
 * "newest_pubDate" as a JSON object text (buffer of 1024 bytes, never cut);
 * "" on failure. Valid until the next feed_diff. Empties the last error.
 * Fails with
 *   "feed_diff: NULL path"         (NULL or "")
 *   "feed_diff: cannot open <path>"
 *   "feed_diff: empty file"
 *   "feed_diff: read error"        (also when memory runs out) */
PF_API const char *feed_diff(const char *old_feed_path);

#ifdef __cplusplus
}
#endif

#endif
