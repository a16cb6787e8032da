/* quorvane-podcastfeed: turns a folder of media files into a podcast feed
 * (RSS 2.0 with the iTunes podcast and Atom extensions), then checks,
 * summarises and compares that feed.
 *
 * The library holds one feed in process-wide state. Every function runs to
 * completion on the caller's thread; the library is not reentrant, so a host
 * that calls it from several threads serialises the calls itself.
 *
 * Conventions:
 *  - An int status is 0 on success and -1 on failure; the reason is then in
 *    feed_last_error().
 *  - Every returned text is NUL-terminated, lives in a buffer the library owns
 *    and stays valid until the next call that writes the same buffer (named
 *    for each function). The caller never frees it. Only feed_episode_field
 *    returns NULL, and only on failure.
 *  - Paths are narrow (byte) strings; both '/' and '\' separate components.
 */
#ifndef QUORVANE_PODCASTFEED_H
#define QUORVANE_PODCASTFEED_H

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

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Last error ---------------------------------------------------------- */

/* The reason for the latest failure, or "" when none is on record. Never NULL.
 * Overwritten by every call that sets or empties it. */
PF_API const char *feed_last_error(void);

/* ---- Channel settings ---------------------------------------------------- */

/* Sets one channel key (title, description, language, author, category,
 * explicit, artwork, lastBuildDate) to value (at most 4095 bytes). */
PF_API int feed_channel_set(const char *key, const char *value);

/* All channel settings as one compact JSON object, in the order keys were
 * first set; "{}" when empty. Valid until the next feed_channel_json. */
PF_API const char *feed_channel_json(void);

/* Empties the channel settings (episodes and URL settings stay). Always 0. */
PF_API int feed_channel_reset(void);

/* ---- Episode table ------------------------------------------------------- */

/* The number of episodes (0 to 4096). */
PF_API int feed_episode_count(void);

/* Appends an episode from a JSON object text ("file" is required); the file's
 * size and probed facts are filled in when it exists. Overwrites the
 * media_probe result when the file exists. */
PF_API int feed_episode_add(const char *json);

/* Sets one text or number field of the episode at index. Setting "url" fixes
 * the enclosure URL against later derivation. */
PF_API int feed_episode_set(int index, const char *key, const char *value);

/* Removes the episode at index; later episodes move one place forward. */
PF_API int feed_episode_remove(int index);

/* Moves the episode at position i so that it ends at position j. */
PF_API int feed_episode_move(int i, int j);

/* One field of the episode at index as text (numbers in decimal, "duration"
 * as a clock text, "url" and "guid" derived on demand). Points into the
 * episode record: valid until the episode table changes. "" for an unknown
 * field name; NULL for a bad index or NULL field. */
PF_API const char *feed_episode_field(int index, const char *field);

/* ---- Enclosure URLs ------------------------------------------------------ */

/* Sets the public base URL and the local folder it maps (local_root may be
 * NULL) from which episode enclosure URLs are derived. */
PF_API int feed_url_base(const char *base, const char *local_root);

/* Gives the episode whose file (full path or base name) equals file this
 * enclosure URL; the first override set for a file wins. */
PF_API int feed_url_override(const char *file, const char *url);

/* ---- Media probing ------------------------------------------------------- */

/* Probes one media file (.mp4 .m4a .m4v .mov .mp3 .wav .wave). Returns a JSON
 * object text: {"duration_s","size","mime","bitrate_kbps","codec"} on success,
 * {"error",...} on failure. Never NULL. Valid until the next probe (also run by
 * feed_episode_add and feed_episode_scan). */
PF_API const char *media_probe(const char *path);

/* ---- Folder scan and sidecars -------------------------------------------- */

/* Replaces the whole feed with the .mp3/.m4a/.mp4 files of dir (up to 4096, in
 * byte order of their names), with channel defaults and URL settings derived
 * from the folder. config_json may be NULL, "" or an object with
 * "playlist_name", "base_url", "local_root". Overwrites the media_probe result;
 * URL overrides stay. On a failure after the listing the episode table is
 * already empty. */
PF_API int feed_episode_scan(const char *dir, const char *config_json);

/* Stores meta_json (a JSON object) as the sidecar of media_path: the file
 * named like the media file with ".json" in place of its extension. The old
 * sidecar is replaced whole or left untouched. */
PF_API int feed_sidecar_write(const char *media_path, const char *meta_json);

/* The stored sidecar text of media_path, or "" when there is none. Valid
 * until the next feed_sidecar_read. */
PF_API const char *feed_sidecar_read(const char *media_path);

/* ---- Feed output --------------------------------------------------------- */

/* Renders the whole RSS document; "" on failure. Valid until the next
 * feed_generate, feed_generate_to, feed_validate or feed_validate_report_json
 * (each renders again, and the buffer may move). */
PF_API const char *feed_generate(void);

/* Renders the feed and replaces the file at path with it. On failure the old
 * file is left as it was. */
PF_API int feed_generate_to(const char *path);

/* ---- Feed checks --------------------------------------------------------- */

/* Renders the feed and checks it rule by rule: 0 when every rule passed, 1
 * when one failed, -1 when the feed could not be rendered. */
PF_API int feed_validate(void);

/* Validates as feed_validate does and returns the outcome of every rule as a
 * JSON array text of {"rule","ok","detail"} objects. Valid until the next
 * feed_validate_report_json. */
PF_API const char *feed_validate_report_json(void);

/* A JSON summary of the feed: "episodes", "total_bytes", "newest_pubDate",
 * "feed_type" ("audio" or "video") and the channel "title". Never fails.
 * Valid until the next feed_stats_json. */
PF_API const char *feed_stats_json(void);

/* Compares the current feed with an earlier feed file and returns the counts
 * of added, removed, changed and unchanged items as a JSON object text; ""
 * on failure. Valid until the next feed_diff. */
PF_API const char *feed_diff(const char *old_feed_path);

#ifdef __cplusplus
}
#endif

#endif
