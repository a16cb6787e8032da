// Scratch files and invariant checks for the fuzz targets.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <libxml/parser.h>

#include "core/json.h"

namespace pf_fuzz {

namespace {

std::string make_scratch_dir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/pf-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return pattern;
}

void remove_scratch_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_dir(), ignored);
}

}  // namespace

const std::string &scratch_dir() {
    // Never destroyed: the exit handler that removes the folder still needs it.
    static const std::string *const dir = [] {
        const std::string *made = new std::string(make_scratch_dir());
        std::atexit(remove_scratch_dir);
        return made;
    }();
    return *dir;
}

std::string scratch_path(std::string_view name) {
    return scratch_dir() + "/" + std::string(name);
}

void write_bytes(const std::string &path, const std::uint8_t *data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    out.close();
    require(static_cast<bool>(out), "the fuzz input could not be written to its file");
}

std::string as_text(const std::uint8_t *data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    return std::string(bytes.substr(0, bytes.find('\0')));
}

void require_json(const char *text, bool empty_allowed) {
    require(text != nullptr, "a text result was NULL");
    if (empty_allowed && *text == '\0') return;
    pf::JsonDoc doc;
    require(pf::json_parse(text, &doc), "a JSON result does not parse");
    require(doc.IsObject() || doc.IsArray(), "a JSON result is neither an object nor an array");
}

void require_well_formed(const char *doc) {
    require(doc != nullptr, "the feed was NULL");
    if (*doc == '\0') return;
    xmlDocPtr parsed = xmlReadMemory(doc, static_cast<int>(std::strlen(doc)), "feed.xml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    require(parsed != nullptr, "the feed is not well-formed XML");
    xmlFreeDoc(parsed);
}

void require(bool condition, const char *what) {
    if (condition) return;
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
}

}  // namespace pf_fuzz
