// The folder's settings: one table says every member of podcast.json, its
// option, its help and where its value goes; the file and the command line
// are read by it and podcast.json is written from it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

namespace podcastfeed {

enum Setting {
    kTitle,
    kDescription,
    kAuthor,
    kCategory,
    kExplicit,
    kLanguage,
    kArtwork,
    kArtworkFile,
    kBaseUrl,
    kLocalRoot,
    kGuidPrefix,
    kOrder,
    kSettingCount
};

enum class SettingKind { text, boolean, order };

struct SettingDef {
    Setting id;
    const char *member;       // name in podcast.json
    const char *option;       // long option of the folder commands
    const char *channel_key;  // the channel setting it fills, or nullptr
    SettingKind kind;
    const char *value_name;   // what the option's value is, in --help
    const char *help;
};

extern const std::array<SettingDef, kSettingCount> kSettings;

// The orders the feed can be put in; "name" is the scan's own.
inline constexpr std::array<std::string_view, 3> kOrders = {"name", "newest", "oldest"};

// One value per setting, unset where nobody gave one. Booleans are held as
// "true" or "false", the form the channel takes.
struct Settings {
    std::array<std::optional<std::string>, kSettingCount> values;
    std::optional<std::string> &operator[](Setting s) { return values[s]; }
    const std::optional<std::string> &operator[](Setting s) const { return values[s]; }
};

// The folder configuration file every folder command reads.
inline constexpr const char *kConfigName = "podcast.json";

// Reads a configuration object: unknown members and values of the wrong type
// are usage errors naming them. where names the source in messages; base is
// the folder that relative paths in it are taken from.
Settings parse_settings(std::string_view json, const std::string &where, const std::string &base);

// Settings from the configuration file at path; nullopt when there is none.
std::optional<Settings> read_settings_file(const std::string &path);

// Values of over win where over has one.
Settings merged(const Settings &under, const Settings &over);

// The settings as the pretty-printed text of a podcast.json.
std::string settings_json(const Settings &s);

// Adds every setting's option to a folder command.
void add_setting_options(CLI::App &cmd, Settings &given);

}  // namespace podcastfeed
