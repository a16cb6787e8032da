// The folder's settings: the table, podcast.json in and out, and the options.
#include "settings.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <rapidjson/prettywriter.h>

#include "command.h"
#include "json.h"

namespace podcastfeed {

namespace fs = std::filesystem;

const std::array<SettingDef, kSettingCount> kSettings = {{
    {kTitle, "title", "--title", "title", SettingKind::text, "TEXT", "channel title (default: the folder's name)"},
    {kDescription, "description", "--description", "description", SettingKind::text, "TEXT", "channel description"},
    {kAuthor, "author", "--author", "author", SettingKind::text, "TEXT", "channel author"},
    {kCategory, "category", "--category", "category", SettingKind::text, "TEXT", "channel category"},
    {kExplicit, "explicit", "--explicit", "explicit", SettingKind::boolean, "true|false", "whether the show is explicit"},
    {kLanguage, "language", "--language", "language", SettingKind::text, "TEXT", "channel language, such as en or de-AT"},
    {kArtwork, "artwork", "--artwork", "artwork", SettingKind::text, "URL", "URL of the channel artwork"},
    {kArtworkFile, "artwork_file", "--artwork-file", nullptr, SettingKind::text, "FILE",
     "image in the folder published as the channel artwork (default: cover.jpg or cover.png)"},
    {kBaseUrl, "base_url", "--base-url", nullptr, SettingKind::text, "URL",
     "public URL the folder (or --local-root) is served under"},
    {kLocalRoot, "local_root", "--local-root", nullptr, SettingKind::text, "DIR",
     "local folder that --base-url maps (default: the folder itself)"},
    {kGuidPrefix, "guid_prefix", "--guid-prefix", nullptr, SettingKind::text, "TEXT",
     "fixed GUID prefix: each GUID is the prefix, / and the file name"},
    {kOrder, "order", "--order", nullptr, SettingKind::order, "ORDER",
     "episode order: name, newest or oldest (by publication date, then name)"},
}};

namespace {

// The library's own name for the title in its scan configuration, kept so
// that configurations written for it still read.
constexpr const char *kTitleAlias = "playlist_name";

const SettingDef *find_setting(std::string_view member) {
    if (member == kTitleAlias) return &kSettings[kTitle];
    for (const auto &d : kSettings)
        if (member == d.member) return &d;
    return nullptr;
}

bool is_order(std::string_view v) {
    for (auto o : kOrders)
        if (v == o) return true;
    return false;
}

}  // namespace

Settings parse_settings(std::string_view json, const std::string &where, const std::string &base) {
    JsonDoc doc;
    if (!json_parse(json, &doc) || !doc.IsObject()) usage_error(where + ": not a JSON object");
    Settings s;
    for (auto m = doc.MemberBegin(); m != doc.MemberEnd(); ++m) {
        const std::string name(m->name.GetString(), m->name.GetStringLength());
        const SettingDef *d = find_setting(name);
        if (!d) usage_error(where + ": unknown member \"" + name + "\"");
        if (s[d->id]) continue;  // the first member of a name wins
        const JsonValue &v = m->value;
        if (d->kind == SettingKind::boolean) {
            if (!v.IsBool()) usage_error(where + ": \"" + name + "\" must be true or false");
            s[d->id] = v.GetBool() ? "true" : "false";
            continue;
        }
        if (!v.IsString()) usage_error(where + ": \"" + name + "\" must be a string");
        std::string text(v.GetString(), v.GetStringLength());
        if (d->kind == SettingKind::order && !is_order(text))
            usage_error(where + ": \"order\" must be name, newest or oldest, not \"" + text + "\"");
        if (d->id == kLocalRoot && !text.empty() && fs::path(text).is_relative())
            text = (fs::path(base) / text).string();
        s[d->id] = std::move(text);
    }
    return s;
}

std::optional<Settings> read_settings_file(const std::string &path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) job_failed("cannot read " + path + ": " + system_reason(errno));
    // A configuration is a few hundred bytes; anything far larger is no configuration.
    constexpr std::streamsize kMaxConfig = 1 << 20;
    std::string text(kMaxConfig + 1, '\0');
    in.read(text.data(), kMaxConfig + 1);
    if (in.bad()) job_failed("cannot read " + path);
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > static_cast<std::size_t>(kMaxConfig)) usage_error(path + ": larger than a configuration can be");
    return parse_settings(text, path, fs::path(path).parent_path().string());
}

Settings merged(const Settings &under, const Settings &over) {
    Settings out = under;
    for (std::size_t i = 0; i < out.values.size(); ++i)
        if (over.values[i]) out.values[i] = over.values[i];
    return out;
}

std::string settings_json(const Settings &s) {
    rapidjson::StringBuffer out;
    // Every value is UTF-8 already: the file and the options are checked as they are read.
    rapidjson::PrettyWriter<rapidjson::StringBuffer> w(out);
    w.SetIndent(' ', 2);
    w.StartObject();
    for (const auto &d : kSettings) {
        if (!s[d.id]) continue;
        w.Key(d.member);
        if (d.kind == SettingKind::boolean) w.Bool(*s[d.id] == "true");
        else w.String(s[d.id]->c_str(), static_cast<rapidjson::SizeType>(s[d.id]->size()));
    }
    w.EndObject();
    return std::string(out.GetString(), out.GetSize()) + "\n";
}

void add_setting_options(CLI::App &cmd, Settings &given) {
    for (const auto &d : kSettings) {
        auto *opt = cmd.add_option_function<std::string>(
            d.option,
            [&given, &d](const std::string &v) {
                if (!is_utf8(v)) throw CLI::ValidationError(d.option, "not valid UTF-8");
                given[d.id] = v;
            },
            d.help);
        opt->group("Folder settings (override podcast.json)")->type_name(d.value_name);
        if (d.kind == SettingKind::boolean) opt->check(CLI::IsMember({"true", "false"}).description(""));
        if (d.kind == SettingKind::order) opt->check(CLI::IsMember(std::vector<std::string>(kOrders.begin(), kOrders.end())).description(""));
    }
}

}  // namespace podcastfeed
