// A host's worst day: a seeded random sequence of calls of every exported
// function with valid, boundary and hostile arguments, and after each call the
// promises a host builds on: texts never NULL where promised, the status
// convention and the last-error text that goes with it, counts that follow the
// calls, JSON results that parse, and a feed that xmllint accepts.
// PF_SOAK_SEED and PF_SOAK_CALLS in the environment replay or lengthen a run.
#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "../../channel/channel.h"
#include "../../episodes/episodes.h"
#include "quorvane_podcastfeed.h"
#include "support/media_builders.h"
#include "support/temp_dir.h"

namespace {

using namespace pf_test;

constexpr int kMaxEpisodes = PF_MAX_EPISODES;
constexpr int kMaxOverrides = 4096;
constexpr std::size_t kErrorCapacity = 2048;
constexpr std::size_t kValueCapacity = pf::kChannelValueCapacity;

// The names the interface knows, as the library's own tables hold them.
using Names = std::vector<const char *>;
const Names kChannelKeys = [] {
    Names names;
    for (const pf::pf_channel_key &k : pf::PF_CHANNEL_KEYS) names.push_back(k.key);
    return names;
}();
Names episode_fields(bool pf::pf_field::*which) {
    Names names;
    for (const pf::pf_field &f : pf::PF_EPISODE_FIELDS)
        if (f.*which) names.push_back(f.name);
    return names;
}
const Names kEpisodeKeys = episode_fields(&pf::pf_field::host_sets);
const Names kFieldNames = episode_fields(&pf::pf_field::host_reads);

// JSON a hostile or careless host may send where an object is expected.
const char *const kHostileJson[] = {
    "", "{", "}", "[]", "null", "0", "\"file\"", "{\"file\":null}", "{\"file\":\"\"}", "{\"file\":7}",
    "{\"file\":\"a.mp3\",}", "{'file':'a.mp3'}", "{\"file\":\"a.mp3\"} trailing",
    "{\"file\":\"\\ud800.mp3\"}", "{\"file\":\"a\\u0000b.mp3\"}", "{\"file\":\"\xff\xfe.mp3\"}",
    "{\"file\":\"a.mp3\",\"episode\":1e999}", "{\"file\":\"a.mp3\",\"season\":-1e300}",
    "{\"file\":\"a.mp3\",\"file\":[1]}", "{\"playlist_name\":{\"a\":1},\"base_url\":[]}",
    "{\"thumbnail\":\"x\",\"author\":\"y\"}",
    "{\"file\":\"a.mp3\",\"season\":1111.1111111111111111111111111111111e-333}",
    "{\"file\":\"a.mp3\",\"title\":\"\xF0",
};

// The folder the soak works in: media files built byte by byte, a sidecar,
// a folder to scan, an empty folder and a place for output files.
struct Workspace {
    TempDir tmp;
    std::string show = tmp.file("show");
    std::string empty = tmp.file("empty");
    std::string out = tmp.file("out");
    std::vector<std::string> media;      // inside show, each a media file the scan takes
    std::vector<std::string> paths;      // any path a call may be handed
    std::vector<std::string> out_paths;  // paths the library may write to
    int scanned = 0;                     // media files a scan of show keeps

    Workspace() {
        std::filesystem::create_directories(show);
        std::filesystem::create_directories(empty);
        std::filesystem::create_directories(out);
        add_media("01 - Opening.mp3", mpeg_frames(MpegFrame{}, 40), true);
        add_media("02 - Talk [x1Y2z3].m4a", iso_file(44100, 441000, {"mp4a"}, 256), true);
        add_media("03 - Picture (Official Video).mp4", iso_file(600, 6000, {"avc1", "mp4a"}, 256), true);
        add_media("04 - Broken.mp3", std::string(300, '\x5A'), true);
        add_media("05 - Tone.wav", pcm_wav(1, 8000, 16, 1600), false);
        write_file(show + "/01 - Opening.json", R"({"thumbnail":"https://img.example.com/1.jpg","author":"Host"})");
        write_file(show + "/notes.txt", "not media");
        out_paths = {out + "/feed.xml", out + "/a.mp3", out + "/b.m4a", out, tmp.file("missing/feed.xml")};
        paths = media;
        paths.insert(paths.end(), out_paths.begin(), out_paths.end());
        paths.insert(paths.end(), {"", show, empty, tmp.file("missing.mp3"), show + "\\01 - Opening.mp3",
                                   "/dev/null", std::string(5000, 'p') + ".mp3"});
    }

    void add_media(const std::string &name, const std::string &bytes, bool taken_by_scan) {
        media.push_back(show + "/" + name);
        write_file(media.back(), bytes);
        scanned += taken_by_scan ? 1 : 0;
    }
};

// Random arguments, boundary values among them far more often than chance.
class Arguments {
public:
    Arguments(std::uint32_t seed, const Workspace &ws) : rng_(seed), ws_(ws) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool chance(int percent) { return below(100) < percent; }

    template <typename T, std::size_t N>
    const T &pick(const T (&items)[N]) { return items[below(static_cast<int>(N))]; }
    const char *pick(const Names &items) {
        return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
    }
    const std::string &pick(const std::vector<std::string> &items) {
        return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
    }

    // A text argument: NULL, empty, plain, capacity and capacity + 1, markup
    // and invalid UTF-8.
    const char *text() {
        switch (below(10)) {
            case 0: return nullptr;
            case 1: return "";
            case 2: return hold(std::string(kValueCapacity - 1, 'c'));
            case 3: return hold(std::string(kValueCapacity, 'd') + "\xC3\xA9");
            case 4: return "<b>&amp; \"quoted\" 'x' ]]> </item></channel>";
            case 5: return "\xff\xfe\xC3 broken \xE2\x82";
            case 6: return "Tue, 14 Nov 2023 22:13:20 GMT";
            case 7: return "https://cdn.example.com/a b/%41?x=1&y=<2>";
            default: return hold("word" + std::to_string(below(1000)));
        }
    }

    const char *key(const Names &valid) { return chance(80) ? pick(valid) : text(); }

    int index(int count) {
        switch (below(8)) {
            case 0: return -1;
            case 1: return INT_MIN;
            case 2: return INT_MAX;
            case 3: return count;
            case 4: return count - 1;
            default: return count > 0 ? below(count) : 0;
        }
    }

    const char *path() {
        return chance(5) ? nullptr : pick(ws_.paths).c_str();
    }

    const char *out_path() {
        return chance(5) ? nullptr : pick(ws_.out_paths).c_str();
    }

    // Mostly a sound episode object naming one of the media files (or one
    // that does not exist), sometimes hostile JSON.
    const char *episode_json() {
        if (chance(15)) return pick(kHostileJson);
        const std::string file = chance(70) ? pick(ws_.media) : ws_.tmp.file("gone" + std::to_string(below(50)) + ".mp3");
        return hold("{\"file\":\"" + file + "\",\"title\":\"Episode " + std::to_string(below(100)) +
                " & <more>\",\"episode\":" + std::to_string(below(300) - 100) +
                ",\"pubDate\":\"Mon, 0" + std::to_string(1 + below(9)) + " Jan 2024 10:00:00 GMT\"}");
    }

    const char *config_json() {
        switch (below(5)) {
            case 0: return nullptr;
            case 1: return "";
            case 2: return pick(kHostileJson);
            case 3: return R"({"playlist_name":"Soak & <Show>","base_url":"https://cdn.example.com/soak/"})";
            default: return R"({"local_root":"/data/dist"})";
        }
    }

    const char *meta_json() {
        return chance(50) ? R"({"thumbnail":"https://img.example.com/s.jpg","author":"Soak Host","n":[1,2]})"
                          : pick(kHostileJson);
    }

    std::mt19937 &rng() { return rng_; }

private:
    // Keeps a built argument alive for the call it goes to: one call takes at
    // most three texts, so a ring of eight is never reused too early.
    const char *hold(std::string text) {
        held_next_ = (held_next_ + 1) % 8;
        held_[held_next_] = std::move(text);
        return held_[held_next_].c_str();
    }

    std::mt19937 rng_;
    const Workspace &ws_;
    std::string held_[8];
    int held_next_ = 0;
};

bool parses_as(const char *text, rapidjson::Type type) {
    rapidjson::Document doc;
    doc.Parse<rapidjson::kParseValidateEncodingFlag>(text);
    return !doc.HasParseError() && doc.GetType() == type;
}

std::uint32_t env_number(const char *name, std::uint32_t fallback) {
    const char *v = std::getenv(name);
    return v && *v ? static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10)) : fallback;
}

class Soak {
public:
    Soak(std::uint32_t seed, Workspace &ws) : args_(seed, ws), ws_(ws), pick_call_(kWeights, kWeights + 22) {}

    // One random call and its checks; false once a promise was broken.
    bool step(int n) {
        step_ = n;
        const int which = pick_call_(args_.rng());
        calls_[which] += 1;
        (this->*kCalls[which])();
        expect(feed_last_error() != nullptr, "feed_last_error returned NULL");
        expect(std::strlen(feed_last_error()) < kErrorCapacity, "the last error overran its buffer");
        expect(feed_episode_count() == count_, "the episode count does not follow the calls");
        if (count_ > peak_) peak_ = count_;
        if (feed_last_error()[0] == '\0') successes_ += 1;
        return !failed_;
    }

    // Every 2500 calls: the feed as a file, checked by a real XML parser.
    bool checkpoint() {
        const std::string path = ws_.out + "/checkpoint.xml";
        status("feed_generate_to", feed_generate_to(path.c_str()));
        if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
            const std::string cmd = "xmllint --noout '" + path + "'";
            expect(std::system(cmd.c_str()) == 0, "xmllint rejected the rendered feed");
        }
        return !failed_;
    }

    // Fills the table to its capacity, then asks for one more.
    void fill_to_capacity() {
        feed_channel_reset();
        while (count_ < kMaxEpisodes && !failed_) {
            const std::string json = "{\"file\":\"" + ws_.tmp.file("f" + std::to_string(count_) + ".mp3") + "\"}";
            expect(status("feed_episode_add", feed_episode_add(json.c_str())) == 0, "an add below capacity failed");
            count_ += 1;
        }
        expect(status("feed_episode_add", feed_episode_add(R"({"file":"one-too-many.mp3"})")) == -1,
               "an add past capacity succeeded");
        check_feed(feed_generate());
        checkpoint();
        expect(parses_json(feed_stats_json(), rapidjson::kObjectType), "stats of a full table");
        // The random calls start from an empty table: a full one would make
        // every rendering slow and every add fail.
        expect(status("feed_episode_scan", feed_episode_scan(ws_.empty.c_str(), nullptr)) == 0, "scan of empty");
        count_ = feed_episode_count();
    }

    // Overrides are never cleared, so this runs last: appends until the table
    // refuses, which it must do exactly at its capacity, then renders the feed
    // that now walks a full table for every episode.
    void fill_overrides() {
        int added = 0;
        while (added <= kMaxOverrides && !failed_) {
            const std::string file = "override-" + std::to_string(added) + ".mp3";
            if (status("feed_url_override", feed_url_override(file.c_str(), "https://o.example.com/x.mp3")) != 0) break;
            added += 1;
        }
        // The loop ends at the first failure, or after one append more than
        // the capacity, which must not have succeeded.
        expect(std::string_view(feed_last_error()) == "feed_url_override: too many",
               "the override table did not refuse at its capacity");
        checkpoint();
    }

    const int *calls() const { return calls_; }
    int peak() const { return peak_; }
    int successes() const { return successes_; }

private:
    using Call = void (Soak::*)();

    void expect(bool ok, const char *what) {
        if (ok || failed_) return;
        failed_ = true;
        ADD_FAILURE() << what << " (call " << step_ << "; last error \"" << feed_last_error() << "\")";
    }

    bool parses_json(const char *text, rapidjson::Type type) { return text && parses_as(text, type); }

    // The status convention: 0 with the last error emptied, or -1 with a
    // message naming the function (or one of the two shared messages).
    int status(const char *fn, int s) {
        expect(s == 0 || s == -1, "a status other than 0 and -1");
        const std::string_view err = feed_last_error();
        if (s == 0) expect(err.empty(), "a success left a last error");
        if (s == -1)
            expect(err.starts_with(fn) || err == "out of memory" || err.starts_with("feed_build:"),
                   "a failure without its own message");
        return s;
    }

    void check_feed(const char *doc) {
        expect(doc != nullptr, "feed_generate returned NULL");
        if (doc && *doc) expect(std::string_view(doc).starts_with("<?xml"), "the feed does not start as XML");
    }

    void channel_set() {
        status("feed_channel_set", feed_channel_set(args_.key(kChannelKeys), args_.text()));
    }
    void channel_json() { expect(parses_json(feed_channel_json(), rapidjson::kObjectType), "channel JSON"); }
    void channel_reset() { expect(status("feed_channel_reset", feed_channel_reset()) == 0, "reset failed"); }
    void episode_count() { expect(feed_episode_count() >= 0 && feed_episode_count() <= kMaxEpisodes, "count range"); }
    void episode_add() {
        if (status("feed_episode_add", feed_episode_add(args_.episode_json())) == 0) count_ += 1;
    }
    void episode_set() {
        status("feed_episode_set", feed_episode_set(args_.index(count_), args_.key(kEpisodeKeys), args_.text()));
    }
    void episode_remove() {
        if (status("feed_episode_remove", feed_episode_remove(args_.index(count_))) == 0) count_ -= 1;
    }
    void episode_move() {
        status("feed_episode_move", feed_episode_move(args_.index(count_), args_.index(count_)));
    }
    void episode_field() {
        const int index = args_.index(count_);
        const char *field = args_.chance(90) ? args_.pick(kFieldNames) : args_.text();
        const char *value = feed_episode_field(index, field);
        const bool valid = index >= 0 && index < count_ && field != nullptr;
        expect((value != nullptr) == valid, "a field is NULL exactly for a bad index or NULL name");
        const pf::pf_field *known = field ? pf::find_field(field) : nullptr;
        if (value) expect(std::strlen(value) < (known ? known->capacity : 1), "a field overran its capacity");
    }
    void url_base() { status("feed_url_base", feed_url_base(args_.text(), args_.text())); }
    void url_override() {
        status("feed_url_override", feed_url_override(args_.chance(70) ? args_.path() : args_.text(), args_.text()));
    }
    void probe() {
        const char *result = media_probe(args_.path());
        expect(parses_json(result, rapidjson::kObjectType), "the probe result is not a JSON object");
    }
    void episode_scan() {
        std::string dir;
        switch (args_.below(4)) {
            case 0: dir = ws_.show; break;
            case 1: dir = ws_.empty; break;
            default: dir = args_.pick(ws_.paths); break;
        }
        const char *config = args_.config_json();
        const bool named = args_.chance(95);
        const int s = status("feed_episode_scan", feed_episode_scan(named ? dir.c_str() : nullptr, config));
        count_ = feed_episode_count();
        if (s == 0 && dir == ws_.show) expect(count_ == ws_.scanned, "a scan of the show kept the wrong files");
        if (s == 0 && dir == ws_.empty) expect(count_ == 0, "a scan of an empty folder found episodes");
    }
    void sidecar_write() {
        // Only the output folder's names: the show's sidecars are part of what the scans expect.
        status("feed_sidecar_write", feed_sidecar_write(args_.out_path(), args_.meta_json()));
    }
    void sidecar_read() {
        const char *text = feed_sidecar_read(args_.path());
        expect(text != nullptr, "the sidecar text was NULL");
        if (text && *text) expect(parses_as(text, rapidjson::kObjectType), "a stored sidecar is not an object");
    }
    void generate() { check_feed(feed_generate()); }
    void generate_to() { status("feed_generate_to", feed_generate_to(args_.out_path())); }
    void validate() {
        const int outcome = feed_validate();
        expect(outcome >= -1 && outcome <= 1, "validation outcome outside -1..1");
    }
    void validate_report() {
        expect(parses_json(feed_validate_report_json(), rapidjson::kArrayType), "the report is not an array");
    }
    void stats() {
        rapidjson::Document doc;
        const char *text = feed_stats_json();
        expect(text != nullptr, "stats NULL");
        if (!text) return;
        doc.Parse(text);
        expect(!doc.HasParseError() && doc.IsObject(), "stats are not an object");
        if (doc.IsObject() && doc.HasMember("episodes") && doc["episodes"].IsInt())
            expect(doc["episodes"].GetInt() == count_, "stats count other episodes than the table holds");
    }
    void diff() {
        const char *result = feed_diff(args_.chance(60) ? (ws_.out + "/checkpoint.xml").c_str() : args_.path());
        expect(result != nullptr, "the diff returned NULL");
        if (result && *result) expect(parses_as(result, rapidjson::kObjectType), "the diff is not an object");
    }
    void last_error() { expect(feed_last_error() != nullptr, "feed_last_error returned NULL"); }

    static constexpr Call kCalls[22] = {
        &Soak::channel_set,   &Soak::channel_json,   &Soak::channel_reset,  &Soak::episode_count,
        &Soak::episode_add,   &Soak::episode_set,    &Soak::episode_remove, &Soak::episode_move,
        &Soak::episode_field, &Soak::url_base,       &Soak::url_override,   &Soak::probe,
        &Soak::episode_scan,  &Soak::sidecar_write,  &Soak::sidecar_read,   &Soak::generate,
        &Soak::generate_to,   &Soak::validate,       &Soak::validate_report, &Soak::stats,
        &Soak::diff,          &Soak::last_error,
    };

    // How often each call comes, in kCalls order: adds outweigh removes and
    // whole-table scans are rare, so the table grows to dozens of episodes
    // between the scans that empty it; file writes wait for the disk, so they
    // come less often than the calls that stay in memory.
    static constexpr double kWeights[22] = {1, 1, 0.5, 0.5, 4, 1, 1, 1, 1, 1, 1, 1,
                                            0.2, 0.25, 1, 1, 0.25, 1, 1, 1, 1, 0.5};

    Arguments args_;
    Workspace &ws_;
    std::discrete_distribution<int> pick_call_;
    int count_ = 0;
    int step_ = 0;
    bool failed_ = false;
    int calls_[22] = {};
    int peak_ = 0;
    int successes_ = 0;  // calls after which no failure was on record
};

TEST(Soak, EveryCallKeepsTheHostsPromisesThroughARandomSequence) {
    Workspace ws;
    const std::uint32_t seed = env_number("PF_SOAK_SEED", 20261209);
    const int total = static_cast<int>(env_number("PF_SOAK_CALLS", 30000));
    Soak soak(seed, ws);
    soak.fill_to_capacity();
    for (int n = 1; n <= total; ++n) {
        if (!soak.step(n) || (n % 2500 == 0 && !soak.checkpoint())) {
            ADD_FAILURE() << "replay with PF_SOAK_SEED=" << seed;
            break;
        }
    }
    soak.fill_overrides();
    for (int i = 0; i < 22; ++i) EXPECT_GT(soak.calls()[i], 0) << "function " << i << " was never called";
    // A run that only ever fails, or never grows the table, soaks nothing.
    EXPECT_GT(soak.peak(), 20);
    EXPECT_GT(soak.successes(), total / 4);
    std::printf("soak: seed %u, %d calls, table peak %d, %d calls ending with no failure on record\n", seed,
                total, soak.peak(), soak.successes());
}

}  // namespace
