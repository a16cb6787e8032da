// Sidecar files: where they lie, what the host writes and reads, and what the
// scan's loader accepts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "core/error.h"
#include "quorvane_podcastfeed.h"
#include "scan/scan.h"
#include "support/temp_dir.h"
#include "tests/scan/scan_support.h"

namespace {

namespace fs = std::filesystem;
using pf_test::read_file;
using pf_test::TempDir;
using pf_test::write_file;

// Puts a known message into the last-error text, to see whether a call
// leaves it alone.
void mark_last_error() {
    feed_sidecar_write(nullptr, nullptr);
    ASSERT_STREQ(feed_last_error(), "feed_sidecar_write: NULL args");
}

int count_entries(const std::string &dir) {
    int n = 0;
    for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir)) ++n;
    return n;
}

struct Loaded {
    int result;
    std::string image, author;
};

// Loads the sidecar of a media file as the scan does, from the media file's
// open folder.
Loaded load(const std::string &media_path) {
    char image[pf::kSidecarImageCapacity] = "old image";
    char author[pf::kSidecarAuthorCapacity] = "old author";
    const std::size_t slash = media_path.rfind('/');
    const pf::Folder folder(media_path.substr(0, slash));
    int result = pf::sidecar_load(folder, std::string_view(media_path).substr(slash + 1), image, author);
    return {result, image, author};
}

TEST(SidecarWrite, StoresTheObjectCompactlyInItsOwnFolder) {
    TempDir dir;
    const char *meta = "{\n  \"author\" : \"Ann\",\n  \"thumbnail\" : \"img/ep1.jpg\"\n}\n";
    ASSERT_EQ(feed_sidecar_write(dir.file("ep1.mp3").c_str(), meta), 0);
    EXPECT_STREQ(feed_last_error(), "");
    std::string stored = read_file(dir.file("ep1.json"));
    EXPECT_EQ(stored, "{\"author\":\"Ann\",\"thumbnail\":\"img/ep1.jpg\"}");
    EXPECT_EQ(stored.size(), 42u);

    ASSERT_EQ(feed_sidecar_write(dir.file("ep1.mp3").c_str(), "{\"a\":1,\"a\":[true,null],\"u\":\"caf\xC3\xA9/x\"}"), 0);
    EXPECT_EQ(read_file(dir.file("ep1.json")), "{\"a\":1,\"a\":[true,null],\"u\":\"caf\xC3\xA9/x\"}");

    ASSERT_EQ(feed_sidecar_write(dir.file("ep1.mp3").c_str(), "{}"), 0);
    EXPECT_EQ(read_file(dir.file("ep1.json")), "{}");
}

TEST(SidecarWrite, NameReplacesOnlyTheLastComponentsExtension) {
    TempDir dir;
    fs::create_directory(dir.file("show.d"));
    const struct {
        const char *media, *sidecar;
    } cases[] = {
        {"ep1.mp3", "ep1.json"},
        {"ep2", "ep2.json"},
        {"a.b.m4a", "a.b.json"},
        {".intro", ".intro.json"},
        {"show.d/ep3", "show.d/ep3.json"},
        {"show.d/ep 4 \"q\".mp3", "show.d/ep 4 \"q\".json"},
    };
    // Windows names cannot hold a quotation mark.
    const bool quotes_allowed = fs::path::preferred_separator == '/';
    for (const auto &c : cases) {
        if (!quotes_allowed && std::string(c.media).find('"') != std::string::npos) continue;
        ASSERT_EQ(feed_sidecar_write(dir.file(c.media).c_str(), "{\"k\":1}"), 0) << c.media;
        EXPECT_EQ(read_file(dir.file(c.sidecar)), "{\"k\":1}") << c.media;
    }
    EXPECT_EQ(count_entries(dir.path()), 5);  // four sidecars and the folder
    EXPECT_EQ(count_entries(dir.file("show.d")), quotes_allowed ? 2 : 1);
}

TEST(SidecarWrite, RefusesBadArgumentsAndLeavesTheOldSidecar) {
    TempDir dir;
    std::string media = dir.file("ep1.mp3");
    write_file(dir.file("ep1.json"), "{\"old\":1}");
    const struct {
        const char *media, *meta, *message;
    } cases[] = {
        {nullptr, "{}", "feed_sidecar_write: NULL args"},
        {"", "{}", "feed_sidecar_write: NULL args"},
        {media.c_str(), nullptr, "feed_sidecar_write: NULL args"},
        {media.c_str(), "", "feed_sidecar_write: NULL args"},
        {media.c_str(), "[1,2]", "feed_sidecar_write: meta_json is not a JSON object"},
        {media.c_str(), "hello", "feed_sidecar_write: meta_json is not a JSON object"},
        {media.c_str(), "\"{}\"", "feed_sidecar_write: meta_json is not a JSON object"},
        {media.c_str(), "{} {}", "feed_sidecar_write: meta_json is not a JSON object"},
        {media.c_str(), "{\"a\":\"\xFF\"}", "feed_sidecar_write: meta_json is not a JSON object"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(feed_sidecar_write(c.media, c.meta), -1) << (c.meta ? c.meta : "NULL");
        EXPECT_STREQ(feed_last_error(), c.message) << (c.meta ? c.meta : "NULL");
    }
    EXPECT_EQ(read_file(dir.file("ep1.json")), "{\"old\":1}");
    EXPECT_EQ(count_entries(dir.path()), 1);
}

TEST(SidecarWrite, AnUnwritablePlaceFailsWithItsNameAndChangesNothing) {
    TempDir dir;
    std::string missing = dir.file("no-such-folder/ep1.mp3");
    EXPECT_EQ(feed_sidecar_write(missing.c_str(), "{}"), -1);
    std::string expected = "feed_sidecar_write: cannot write " + dir.file("no-such-folder/ep1.json") + " (win err ";
    EXPECT_EQ(std::string(feed_last_error()).substr(0, expected.size()), expected);

    // A folder in the sidecar's place is never destroyed.
    fs::create_directory(dir.file("ep2.json"));
    EXPECT_EQ(feed_sidecar_write(dir.file("ep2.mp3").c_str(), "{}"), -1);
    EXPECT_TRUE(fs::is_directory(dir.file("ep2.json")));
    EXPECT_EQ(count_entries(dir.path()), 1);
}

// Names one byte too long for their working texts: cut, they would name the
// neighbour "ep.jso" in the same folder.
TEST(SidecarNames, ANameThatDoesNotFitIsNeverUsedCut) {
    if (std::filesystem::path::preferred_separator == '\\')
        GTEST_SKIP() << "Windows' ANSI file calls stop at MAX_PATH (260 bytes) unless the host opts into long paths";
    TempDir dir;
    std::string host_folder = scan_test::deep_folder(dir, 3072 - 8);
    std::string media = host_folder + "/ep.mp3";
    EXPECT_EQ(feed_sidecar_write(media.c_str(), "{}"), -1);
    std::string prefix = "feed_sidecar_write: cannot write " + host_folder.substr(0, 100);
    EXPECT_EQ(std::string(feed_last_error()).substr(0, prefix.size()), prefix);
    EXPECT_EQ(count_entries(host_folder), 0);

    write_file(host_folder + "/ep.jso", "wrong");
    write_file(host_folder + "/ep.json", "{}");
    mark_last_error();
    EXPECT_STREQ(feed_sidecar_read(media.c_str()), "");
    EXPECT_STREQ(feed_last_error(), "feed_sidecar_write: NULL args");

    std::string scan_folder = scan_test::deep_folder(dir, 2048 - 8);
    write_file(scan_folder + "/ep.jso", "{\"author\":\"wrong\"}");
    write_file(scan_folder + "/ep.json", "{\"author\":\"right\"}");
    EXPECT_EQ(load(scan_folder + "/ep.mp3").result, -1);
    // One byte shorter, the name fits and the sidecar is found.
    std::string fitting = scan_test::deep_folder(dir, 2048 - 9);
    write_file(fitting + "/ep.json", "{\"author\":\"right\"}");
    EXPECT_EQ(load(fitting + "/ep.mp3").author, "right");
}

TEST(SidecarRead, ReturnsTheStoredTextAsItIs) {
    TempDir dir;
    write_file(dir.file("ep1.json"), "hello");
    mark_last_error();
    EXPECT_STREQ(feed_sidecar_read(dir.file("ep1.mp3").c_str()), "hello");
    EXPECT_STREQ(feed_last_error(), "");

    std::string largest(65535, 'z');
    write_file(dir.file("big.json"), largest);
    EXPECT_EQ(feed_sidecar_read(dir.file("big.m4a").c_str()), largest);
}

TEST(SidecarRead, AMissingSidecarIsNoError) {
    TempDir dir;
    fs::create_directory(dir.file("folder.json"));
    const std::string paths[] = {
        dir.file("none.mp3"),
        dir.file("folder.mp3"),  // a folder in the sidecar's place counts as missing
        dir.file("no-such-folder/x.mp3"),
    };
    for (const auto &p : paths) {
        mark_last_error();
        EXPECT_STREQ(feed_sidecar_read(p.c_str()), "") << p;
        EXPECT_STREQ(feed_last_error(), "feed_sidecar_write: NULL args") << p;
    }
}

TEST(SidecarRead, SizesOutsideTheBufferAreRefused) {
    TempDir dir;
    write_file(dir.file("empty.json"), "");
    write_file(dir.file("over.json"), std::string(65536, 'z'));
    // 4 GiB and 2 bytes: a 32-bit size would read as 2.
    write_file(dir.file("huge.json"), "{}");
    fs::resize_file(dir.file("huge.json"), (std::uintmax_t{1} << 32) + 2);
    for (const char *name : {"empty.mp3", "over.mp3", "huge.mp3"}) {
        write_file(dir.file("ok.json"), "ok");
        ASSERT_STREQ(feed_sidecar_read(dir.file("ok.mp3").c_str()), "ok");
        EXPECT_STREQ(feed_sidecar_read(dir.file(name).c_str()), "") << name;
        EXPECT_STREQ(feed_last_error(), "feed_sidecar_read: bad size") << name;
    }
    EXPECT_STREQ(feed_sidecar_read(nullptr), "");
    EXPECT_STREQ(feed_last_error(), "feed_sidecar_read: NULL path");
    EXPECT_STREQ(feed_sidecar_read(""), "");
    EXPECT_STREQ(feed_last_error(), "feed_sidecar_read: NULL path");
}

TEST(SidecarLoad, TakesNonEmptyThumbnailAndAuthorStrings) {
    TempDir dir;
    const struct {
        const char *content, *image, *author;
    } cases[] = {
        {"{\"thumbnail\":\"t.jpg\",\"author\":\"Ann\"}", "t.jpg", "Ann"},
        {"{\"thumbnail\":\"t.jpg\"}", "t.jpg", "old author"},
        {"{\"title\":\"T\",\"description\":\"D\"}", "old image", "old author"},
        {"{\"thumbnail\":5,\"author\":\"\"}", "old image", "old author"},
        {"{\"author\":\"first\",\"author\":\"second\"}", "old image", "first"},
        {"{\"author\":null,\"author\":\"second\"}", "old image", "old author"},
        {" \n{\"author\":\"Bo\"}\n", "old image", "Bo"},
    };
    for (const auto &c : cases) {
        write_file(dir.file("ep.json"), c.content);
        Loaded got = load(dir.file("ep.mp3"));
        EXPECT_EQ(got.result, 0) << c.content;
        EXPECT_EQ(got.image, c.image) << c.content;
        EXPECT_EQ(got.author, c.author) << c.content;
    }
}

TEST(SidecarLoad, CutsLongValuesToTheirTexts) {
    TempDir dir;
    std::string thumb(3000, 't'), author(1500, 'a');
    write_file(dir.file("ep.json"), "{\"thumbnail\":\"" + thumb + "\",\"author\":\"" + author + "\"}");
    Loaded got = load(dir.file("ep.mp3"));
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.image, thumb.substr(0, 2047));
    EXPECT_EQ(got.author, author.substr(0, 1023));
}

TEST(SidecarLoad, AnythingButAReadableJsonObjectIsIgnored) {
    TempDir dir;
    const std::string contents[] = {
        "",
        "hello",
        "[{\"author\":\"A\"}]",
        "{\"author\":\"A\"",
        "{\"author\":\"A\"} x",
        "{\"author\":\"\xC3\"}",
        std::string("{\"author\":\"A\"}\0{", 16),
        "{\"a\":" + std::string(100000, '[') + std::string(100000, ']') + ",\"author\":\"A\"}x",
        "{\"author\":\"A\",\"pad\":\"" + std::string(1024 * 1024, 'p') + "\"}",
    };
    for (const auto &content : contents) {
        write_file(dir.file("ep.json"), content);
        Loaded got = load(dir.file("ep.mp3"));
        EXPECT_EQ(got.result, -1) << content.substr(0, 40);
        EXPECT_EQ(got.image, "old image");
        EXPECT_EQ(got.author, "old author");
    }
    // 4 GiB and 16 bytes: a 32-bit size would read as 16, the whole object.
    write_file(dir.file("ep.json"), "{\"author\":\"ABC\"}");
    fs::resize_file(dir.file("ep.json"), (std::uintmax_t{1} << 32) + 16);
    EXPECT_EQ(load(dir.file("ep.mp3")).result, -1);
    fs::remove(dir.file("ep.json"));
    EXPECT_EQ(load(dir.file("ep.mp3")).result, -1);
    fs::create_directory(dir.file("ep.json"));
    EXPECT_EQ(load(dir.file("ep.mp3")).result, -1);
}

TEST(SidecarLoad, AcceptsWhatTheHostCannotReadBack) {
    TempDir dir;
    std::string meta = "{\"author\":\"Ann\",\"pad\":\"" + std::string(70000, 'p') + "\"}";
    ASSERT_EQ(feed_sidecar_write(dir.file("ep.mp3").c_str(), meta.c_str()), 0);
    EXPECT_STREQ(feed_sidecar_read(dir.file("ep.mp3").c_str()), "");
    EXPECT_STREQ(feed_last_error(), "feed_sidecar_read: bad size");
    Loaded got = load(dir.file("ep.mp3"));
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.author, "Ann");
}

}  // namespace
