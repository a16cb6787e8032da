/* podcastfeed: the library's whole job from a shell (scan a folder into a
 * feed, probe files, validate, summarise, compare, edit sidecars). Written in
 * plain C against the public header alone, so it also proves that the header
 * is all a host needs. */
#include <stdarg.h>
#include <limits.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "json_reader.h"
#include "quorvane_podcastfeed.h"

#ifndef PF_TOOL_VERSION
#define PF_TOOL_VERSION "unknown"
#endif

enum { EXIT_DONE = 0, EXIT_JOB_FAILED = 1, EXIT_USAGE = 2 };

/* ---- Messages ------------------------------------------------------------ */

static int usage_error(const char *command, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

/* Says what is wrong with the command line and where to read how it goes. */
static int usage_error(const char *command, const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    fprintf(stderr, "podcastfeed: %s%s", command ? command : "", command ? ": " : "");
    vfprintf(stderr, fmt, args);
    va_end(args);
    fprintf(stderr, "\nTry 'podcastfeed %s%s--help'.\n", command ? command : "", command ? " " : "");
    return EXIT_USAGE;
}

/* The library's own text says what went wrong; the context only stands in
 * when a call failed without leaving one. */
static int job_failed(const char *context) {
    const char *reason = feed_last_error();
    fprintf(stderr, "podcastfeed: %s\n", reason[0] ? reason : context);
    return EXIT_JOB_FAILED;
}

/* ---- Growing text -------------------------------------------------------- */

typedef struct text {
    char *s;
    size_t len, cap;
    int out_of_memory;
} text;

static void text_add(text *t, const char *s, size_t n) {
    if (t->out_of_memory) return;
    if (t->len + n + 1 > t->cap) {
        size_t cap = t->cap ? t->cap : 256;
        while (t->len + n + 1 > cap) cap *= 2;
        char *grown = realloc(t->s, cap);
        if (!grown) {
            t->out_of_memory = 1;
            return;
        }
        t->s = grown;
        t->cap = cap;
    }
    memcpy(t->s + t->len, s, n);
    t->len += n;
    t->s[t->len] = '\0';
}

static void text_add_str(text *t, const char *s) { text_add(t, s, strlen(s)); }

/* Option values are arbitrary bytes from the shell; escaping keeps the
 * configuration object well-formed whatever a title contains. */
static void text_add_json_string(text *t, const char *s) {
    text_add_str(t, "\"");
    for (; *s; ++s) {
        unsigned char c = (unsigned char)*s;
        char escaped[8];
        if (c == '"' || c == '\\') {
            snprintf(escaped, sizeof escaped, "\\%c", c);
            text_add_str(t, escaped);
        } else if (c < 0x20) {
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            text_add_str(t, escaped);
        } else {
            text_add(t, s, 1);
        }
    }
    text_add_str(t, "\"");
}

/* ---- Human forms --------------------------------------------------------- */

static void format_size(char *out, size_t cap, long long bytes) {
    static const char *const units[] = {"KiB", "MiB", "GiB", "TiB"};
    double scaled = (double)bytes;
    int unit = -1;
    while (scaled >= 1024.0 && unit < 3) {
        scaled /= 1024.0;
        ++unit;
    }
    if (unit < 0) snprintf(out, cap, "%lld bytes", bytes);
    else snprintf(out, cap, "%.1f %s (%lld bytes)", scaled, units[unit], bytes);
}

static void format_play_time(char *out, size_t cap, long long seconds) {
    if (seconds >= 3600)
        snprintf(out, cap, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        snprintf(out, cap, "%lld:%02lld", seconds / 60, seconds % 60);
}

static long long episode_number(int index, const char *field) {
    const char *value = feed_episode_field(index, field);
    return value ? strtoll(value, NULL, 10) : 0;
}

/* Durations come from untrusted files, so the sum saturates rather than
 * overflow. */
static long long total_play_time(void) {
    long long total = 0;
    for (int i = 0; i < feed_episode_count(); ++i) {
        long long seconds = episode_number(i, "duration_s");
        if (seconds > 0) total = seconds > LLONG_MAX - total ? LLONG_MAX : total + seconds;
    }
    return total;
}

static const char *base_name(const char *path) {
    const char *name = path;
    for (const char *p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

static void print_row(FILE *to, const char *label, const char *value) {
    fprintf(to, "  %-16s %s\n", label, value);
}

static void print_stats_table(FILE *to, const char *stats) {
    char value[4096];
    char formatted[128];
    snprintf(formatted, sizeof formatted, "%lld", json_number(stats, "episodes"));
    print_row(to, "episodes", formatted);
    format_size(formatted, sizeof formatted, json_number(stats, "total_bytes"));
    print_row(to, "total size", formatted);
    format_play_time(formatted, sizeof formatted, total_play_time());
    print_row(to, "total play time", formatted);
    json_member(stats, "feed_type", value, sizeof value);
    print_row(to, "feed type", value);
    json_member(stats, "newest_pubDate", value, sizeof value);
    if (value[0]) print_row(to, "newest pubDate", value);
    if (json_member(stats, "title", value, sizeof value)) print_row(to, "title", value);
}

/* ---- The validation report ----------------------------------------------- */

typedef struct verdict {
    int rules, passed;
} verdict;

/* Walks the report; with a table stream it prints every rule, with a
 * failures stream only the failed ones. */
static verdict read_report(const char *report, FILE *table, FILE *failures) {
    verdict v = {0, 0};
    const char *cursor = report;
    const char *element;
    while ((element = json_next_element(&cursor)) != NULL) {
        char rule[256], ok[8], detail[512];
        json_member(element, "rule", rule, sizeof rule);
        json_member(element, "detail", detail, sizeof detail);
        int passed = json_member(element, "ok", ok, sizeof ok) && strcmp(ok, "true") == 0;
        ++v.rules;
        v.passed += passed;
        if (table) fprintf(table, "%-18s %-6s %s\n", rule, passed ? "pass" : "FAIL", detail);
        if (failures && !passed) fprintf(failures, "  %-16s %s: %s\n", "failed rule", rule, detail);
    }
    return v;
}

/* The first rule only fails when no document could be rendered at all. */
static int rendering_failed(const char *report) {
    char ok[8];
    const char *cursor = report;
    const char *first = json_next_element(&cursor);
    if (!first) return 1;
    json_member(first, "ok", ok, sizeof ok);
    return strcmp(ok, "true") != 0;
}

/* ---- Command line -------------------------------------------------------- */

enum {
    OPT_OUTPUT = 1 << 0,
    OPT_JSON = 1 << 1,
    OPT_TITLE = 1 << 2,
    OPT_BASE_URL = 1 << 3,
    OPT_LOCAL_ROOT = 1 << 4,
    OPT_CONFIG = 1 << 5,
    OPTS_SCAN = OPT_TITLE | OPT_BASE_URL | OPT_LOCAL_ROOT | OPT_CONFIG,
};

typedef struct arguments {
    const char **positional; /* room for every word of the command line */
    int positional_n;
    const char *output, *title, *base_url, *local_root, *config;
    int json, help;
} arguments;

typedef struct option_def {
    const char *long_name, *short_name;
    int bit;
    int takes_value;
} option_def;

static const option_def OPTIONS[] = {
    {"--output", "-o", OPT_OUTPUT, 1},
    {"--title", NULL, OPT_TITLE, 1},
    {"--base-url", NULL, OPT_BASE_URL, 1},
    {"--local-root", NULL, OPT_LOCAL_ROOT, 1},
    {"--config", NULL, OPT_CONFIG, 1},
    {"--json", NULL, OPT_JSON, 0},
};

/* Where the value of an option that takes one goes. */

static const char **option_value(arguments *args, int bit) {
    switch (bit) {
    case OPT_OUTPUT: return &args->output;
    case OPT_TITLE: return &args->title;
    case OPT_BASE_URL: return &args->base_url;
    case OPT_LOCAL_ROOT: return &args->local_root;
    case OPT_CONFIG:
    default: return &args->config;
    }
}

typedef struct command {
    const char *name;
    const char *synopsis;
    const char *summary;
    const char *details;
    int options;
    int min_positional, max_positional;
    int (*run)(const arguments *args);
} command;

static const char SCAN_OPTION_HELP[] =
    "  --title T          channel title (default: from the folder name)\n"
    "  --base-url URL     public URL the folder is served under\n"
    "                     (default: " PF_DEFAULT_ORIGIN "/ followed by the folder path)\n"
    "  --local-root DIR   local folder that --base-url maps (default: DIR)\n"
    "  --config JSON      scan configuration object with \"playlist_name\",\n"
    "                     \"base_url\", \"local_root\"; the options above win over it\n";

static const char *find_option(const char *arg, int allowed, const option_def **def) {
    for (size_t i = 0; i < sizeof OPTIONS / sizeof OPTIONS[0]; ++i) {
        const option_def *o = &OPTIONS[i];
        if (!(allowed & o->bit)) continue;
        size_t n = strlen(o->long_name);
        if (strncmp(arg, o->long_name, n) == 0 && (arg[n] == '\0' || (arg[n] == '=' && o->takes_value))) {
            *def = o;
            return arg[n] == '=' ? arg + n + 1 : NULL;
        }
        if (o->short_name && strcmp(arg, o->short_name) == 0) {
            *def = o;
            return NULL;
        }
    }
    *def = NULL;
    return NULL;
}

/* Fills args from argv (the words after the command name) into positional
 * room the caller gave; returns 0 or the usage exit status after saying what
 * is wrong. */
static int parse_arguments(const command *cmd, int argc, char **argv, arguments *args) {
    int options_done = 0;
    for (int i = 0; i < argc; ++i) {
        const char *arg = argv[i];
        if (!options_done && (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0)) {
            args->help = 1;
            return 0;
        }
        if (!options_done && strcmp(arg, "--") == 0) {
            options_done = 1;
            continue;
        }
        if (options_done || arg[0] != '-' || arg[1] == '\0') {
            if (args->positional_n >= cmd->max_positional)
                return usage_error(cmd->name, "unexpected argument '%s'", arg);
            args->positional[args->positional_n++] = arg;
            continue;
        }
        const option_def *def;
        const char *value = find_option(arg, cmd->options, &def);
        if (!def) return usage_error(cmd->name, "unknown option '%s'", arg);
        if (!def->takes_value) {
            args->json = 1;
            continue;
        }
        if (!value) {
            if (i + 1 >= argc) return usage_error(cmd->name, "%s needs a value", arg);
            value = argv[++i];
        }
        *option_value(args, def->bit) = value;
    }
    if (args->positional_n < cmd->min_positional)
        return usage_error(cmd->name, "missing arguments (%s)", cmd->synopsis);
    return 0;
}

/* ---- Scanning ------------------------------------------------------------ */

static void add_member(text *members, const char *key, const char *value) {
    if (!value) return;
    if (members->len) text_add_str(members, ",");
    text_add_json_string(members, key);
    text_add_str(members, ":");
    text_add_json_string(members, value);
}

/* The scan takes the first member of each name, so placing the options'
 * members at the front of the given object lets them win. A text that is no
 * object is passed on untouched for the library to refuse; splicing never
 * turns an invalid object into a valid one or the reverse. */
static int build_config(const arguments *args, text *config) {
    text members = {0};
    add_member(&members, "playlist_name", args->title);
    add_member(&members, "base_url", args->base_url);
    add_member(&members, "local_root", args->local_root);
    const char *given = args->config;
    const char *brace = given ? json_skip_space(given) : NULL;
    if (members.len == 0 || (brace && *brace != '{')) {
        if (given) text_add_str(config, given);
    } else {
        const char *rest = brace ? brace + 1 : "}";
        text_add_str(config, "{");
        text_add(config, members.s, members.len);
        if (*json_skip_space(rest) != '}') text_add_str(config, ",");
        text_add_str(config, rest);
    }
    int out_of_memory = members.out_of_memory || config->out_of_memory;
    free(members.s);
    return out_of_memory ? -1 : 0;
}

static int scan_folder(const arguments *args) {
    text config = {0};
    if (build_config(args, &config) != 0) {
        free(config.s);
        fprintf(stderr, "podcastfeed: out of memory\n");
        return EXIT_JOB_FAILED;
    }
    int status = feed_episode_scan(args->positional[0], config.s);
    free(config.s);
    return status == 0 ? EXIT_DONE : job_failed("feed_episode_scan failed");
}

/* A feed cut short by a full disk or a closed pipe must not pass for done. */
static int flush_stdout(void) {
    if (fflush(stdout) == 0 && !ferror(stdout)) return EXIT_DONE;
    fprintf(stderr, "podcastfeed: cannot write to standard output\n");
    return EXIT_JOB_FAILED;
}

static int write_feed(const char *output) {
    if (output) return feed_generate_to(output) == 0 ? EXIT_DONE : job_failed("feed_generate_to failed");
    const char *feed = feed_generate();
    if (!feed[0]) return job_failed("feed_generate failed");
    fputs(feed, stdout);
    return flush_stdout();
}

/* A scan keeps an episode whose probe failed, with an empty codec, and says
 * nothing about it: probing that file again recovers the reason. */
static int probe_failed(int index) {
    const char *codec = feed_episode_field(index, "codec");
    return codec && !codec[0];
}

static void print_probe_failures(FILE *to) {
    int failures = 0;
    for (int i = 0; i < feed_episode_count(); ++i) failures += probe_failed(i);
    char count[32];
    snprintf(count, sizeof count, "%d", failures);
    print_row(to, "probe failed", failures ? count : "none");
    for (int i = 0; i < feed_episode_count(); ++i) {
        if (!probe_failed(i)) continue;
        const char *file = feed_episode_field(i, "file");
        char reason[1024];
        json_member(media_probe(file), "error", reason, sizeof reason);
        fprintf(to, "    %s: %s\n", base_name(file), reason);
    }
}

static int run_scan(const arguments *args) {
    int status = scan_folder(args);
    if (status == EXIT_DONE) status = write_feed(args->output);
    if (status != EXIT_DONE) return status;

    const char *report = feed_validate_report_json();
    fprintf(stderr, "Scanned %s: feed written to %s\n", args->positional[0],
            args->output ? args->output : "standard output");
    print_stats_table(stderr, feed_stats_json());
    verdict v = read_report(report, NULL, NULL);
    char passed[64];
    snprintf(passed, sizeof passed, "%d of %d", v.passed, v.rules);
    print_row(stderr, "rules passed", passed);
    read_report(report, NULL, stderr);
    print_probe_failures(stderr);
    return EXIT_DONE;
}

static int run_validate(const arguments *args) {
    int status = scan_folder(args);
    if (status != EXIT_DONE) return status;
    const char *report = feed_validate_report_json();
    if (rendering_failed(report)) return job_failed("the feed could not be rendered");
    verdict v;
    if (args->json) {
        puts(report);
        v = read_report(report, NULL, NULL);
    } else {
        printf("%-18s %-6s %s\n", "RULE", "RESULT", "DETAIL");
        v = read_report(report, stdout, NULL);
        printf("%d of %d rules passed\n", v.passed, v.rules);
    }
    if (v.passed == v.rules) return EXIT_DONE;
    fprintf(stderr, "podcastfeed: validation failed: %d of %d rules failed\n", v.rules - v.passed, v.rules);
    return EXIT_JOB_FAILED;
}

static int run_stats(const arguments *args) {
    int status = scan_folder(args);
    if (status != EXIT_DONE) return status;
    const char *stats = feed_stats_json();
    if (args->json) puts(stats);
    else print_stats_table(stdout, stats);
    return EXIT_DONE;
}

static int run_diff(const arguments *args) {
    int status = scan_folder(args);
    if (status != EXIT_DONE) return status;
    const char *diff = feed_diff(args->positional[1]);
    if (!diff[0]) return job_failed("feed_diff failed");
    if (args->json) {
        puts(diff);
        return EXIT_DONE;
    }
    static const char *const counts[] = {"added", "removed", "changed", "unchanged"};
    for (size_t i = 0; i < sizeof counts / sizeof counts[0]; ++i) {
        char value[32];
        snprintf(value, sizeof value, "%lld", json_number(diff, counts[i]));
        print_row(stdout, counts[i], value);
    }
    char newest[128];
    json_member(diff, "newest_pubDate", newest, sizeof newest);
    if (newest[0]) print_row(stdout, "newest pubDate", newest);
    return EXIT_DONE;
}

static int run_probe(const arguments *args) {
    int status = EXIT_DONE;
    for (int i = 0; i < args->positional_n; ++i) {
        char reason[1024];
        const char *result = media_probe(args->positional[i]);
        puts(result);
        if (json_member(result, "error", reason, sizeof reason)) status = job_failed("media_probe failed");
    }
    return status;
}

static int run_sidecar(const arguments *args) {
    const char *action = args->positional[0];
    const char *media = args->positional[1];
    if (strcmp(action, "set") == 0) {
        if (args->positional_n != 3) return usage_error("sidecar", "set takes MEDIA and JSON");
        return feed_sidecar_write(media, args->positional[2]) == 0 ? EXIT_DONE
                                                                   : job_failed("feed_sidecar_write failed");
    }
    if (strcmp(action, "get") != 0) return usage_error("sidecar", "unknown action '%s' (get or set)", action);
    if (args->positional_n != 2) return usage_error("sidecar", "get takes MEDIA only");
    const char *stored = feed_sidecar_read(media);
    if (stored[0]) {
        puts(stored);
        return EXIT_DONE;
    }
    /* A missing sidecar leaves the last error as it was, and this process made
     * no call before that could have set it. */
    if (feed_last_error()[0]) return job_failed("feed_sidecar_read failed");
    fprintf(stderr, "podcastfeed: no sidecar beside %s\n", media);
    return EXIT_JOB_FAILED;
}

static const command COMMANDS[] = {
    {"scan", "scan DIR [-o FILE] [scan options]", "scan a folder, write its feed and summarise it",
     "Scans the media files (.mp3 .m4a .mp4) of DIR into a feed and writes the\n"
     "RSS document to FILE, or to standard output without -o. Then validates the\n"
     "feed and prints a summary on standard error: episodes, total size, total\n"
     "play time, feed type, rules passed and the files whose probe failed.\n"
     "A failed rule shows in the summary but does not fail the command; use\n"
     "validate for a status that does.\n\n"
     "  -o, --output FILE  write the feed to FILE (replaced whole, or left as it\n"
     "                     was when writing fails)\n",
     OPT_OUTPUT | OPTS_SCAN, 1, 1, run_scan},
    {"probe", "probe FILE...", "print the technical facts of media files",
     "Probes each FILE (.mp4 .m4a .m4v .mov .mp3 .wav .wave) and prints one JSON\n"
     "object per line: duration_s, size, mime, bitrate_kbps and codec, or error.\n"
     "Exits 1 when any file could not be probed.\n",
     0, 1, INT_MAX, run_probe},
    {"validate", "validate DIR [--json] [scan options]", "scan a folder and check its feed rule by rule",
     "Scans DIR and checks the rendered feed against every rule: a table of the\n"
     "rules, or with --json the report as one JSON array. Exits 1 when a rule\n"
     "failed.\n\n"
     "  --json             print the report JSON instead of the table\n",
     OPT_JSON | OPTS_SCAN, 1, 1, run_validate},
    {"stats", "stats DIR [--json] [scan options]", "scan a folder and summarise its feed",
     "Scans DIR and prints the feed's statistics: episodes, total size, play\n"
     "time, feed type, newest publication date and title.\n\n"
     "  --json             print the statistics JSON instead of the table\n",
     OPT_JSON | OPTS_SCAN, 1, 1, run_stats},
    {"diff", "diff DIR OLD_FEED [--json] [scan options]", "compare a folder with a feed published earlier",
     "Scans DIR and compares its episodes, by GUID, with the items of the feed\n"
     "file OLD_FEED: how many were added, removed, changed and left unchanged.\n"
     "Give the same scan options as when OLD_FEED was made, so that GUIDs and\n"
     "enclosure URLs are derived alike.\n\n"
     "  --json             print the comparison JSON instead of the table\n",
     OPT_JSON | OPTS_SCAN, 2, 2, run_diff},
    {"sidecar", "sidecar get MEDIA | sidecar set MEDIA JSON",
     "read or write the metadata file beside a media file",
     "get prints the sidecar of MEDIA (the .json file named like it) as stored;\n"
     "exits 1 when there is none. set stores the JSON object as that sidecar,\n"
     "compacted; \"thumbnail\" and \"author\" become the episode's image and author\n"
     "in later scans, other members are kept but unused.\n",
     0, 2, 3, run_sidecar},
};

enum { COMMAND_N = sizeof COMMANDS / sizeof COMMANDS[0] };

static const command *find_command(const char *name) {
    for (int i = 0; i < COMMAND_N; ++i)
        if (strcmp(COMMANDS[i].name, name) == 0) return &COMMANDS[i];
    return NULL;
}

static void print_command_help(const command *cmd) {
    printf("Usage: podcastfeed %s\n\n%s", cmd->synopsis, cmd->details);
    if (cmd->options & OPTS_SCAN) printf("\nScan options:\n%s", SCAN_OPTION_HELP);
    printf("\nExit status: 0 done, 1 the job failed (the reason on standard error),\n"
           "2 the command line is wrong.\n");
}

static void print_help(void) {
    printf("Usage: podcastfeed COMMAND [ARGUMENTS]\n\n"
           "Turns a folder of media files into a podcast feed and checks it.\n\nCommands:\n");
    for (int i = 0; i < COMMAND_N; ++i) printf("  %-44s %s\n", COMMANDS[i].synopsis, COMMANDS[i].summary);
    printf("  %-44s %s\n  %-44s %s\n", "help [COMMAND]", "show this help or a command's",
           "--version", "show the version");
    printf("\nScan options (scan, validate, stats, diff):\n%s", SCAN_OPTION_HELP);
    printf("\nRun 'podcastfeed COMMAND --help' for the details of a command.\n"
           "Exit status: 0 done, 1 the job failed (the reason on standard error),\n"
           "2 the command line is wrong.\n");
}

static int run_help(int argc, char **argv) {
    if (argc == 0) {
        print_help();
        return EXIT_DONE;
    }
    const command *cmd = find_command(argv[0]);
    if (argc > 1 || !cmd) return usage_error("help", "no such command '%s'", argv[0]);
    print_command_help(cmd);
    return EXIT_DONE;
}

static int dispatch(int argc, char **argv) {
    if (argc < 2) return usage_error(NULL, "missing command");
    const char *name = argv[1];
    if (strcmp(name, "--help") == 0 || strcmp(name, "-h") == 0 || strcmp(name, "help") == 0)
        return run_help(argc - 2, argv + 2);
    if (strcmp(name, "--version") == 0) {
        printf("podcastfeed %s\n", PF_TOOL_VERSION);
        return EXIT_DONE;
    }
    const command *cmd = find_command(name);
    if (!cmd) return usage_error(NULL, "unknown command '%s'", name);
    arguments args = {0};
    args.positional = malloc(sizeof *args.positional * (size_t)argc);
    if (!args.positional) {
        fprintf(stderr, "podcastfeed: out of memory\n");
        return EXIT_JOB_FAILED;
    }
    int status = parse_arguments(cmd, argc - 2, argv + 2, &args);
    if (status == 0 && args.help) print_command_help(cmd);
    else if (status == 0) status = cmd->run(&args);
    free(args.positional);
    return status;
}

int main(int argc, char **argv) {
    int status = dispatch(argc, argv);
    return status == EXIT_DONE ? flush_stdout() : status;
}
