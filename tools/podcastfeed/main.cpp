// podcastfeed: a folder of media files becomes a podcast feed, checked,
// summarised, compared with an earlier one and served, through the library's
// public functions alone.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "command.h"
#include "output.h"
#include "quorvane_podcastfeed.h"

#ifndef PF_TOOL_VERSION
#define PF_TOOL_VERSION "unknown"
#endif

namespace podcastfeed {

void usage_error(const std::string &message) { throw Failure{kUsage, message}; }
void job_failed(const std::string &message) { throw Failure{kJobFailed, message}; }

std::string system_reason(int err) { return std::strerror(err); }

void library_failed(const char *context, int err) {
    std::string reason = feed_last_error();
    if (reason.empty()) reason = context;
    if (err != 0) reason += ": " + system_reason(err);
    job_failed(reason);
}

void describe(CLI::App &cmd, const std::string &text) { cmd.footer(text + "\n\n" + kExitStatusHelp); }

void on_run(Program &p, CLI::App *cmd, std::function<int()> work) {
    cmd->callback([&p, work = std::move(work)] { p.run = work; });
}

namespace {

// The deepest command that was chosen, so that a usage error points at its help.
const CLI::App *chosen_app(const CLI::App &app) {
    const CLI::App *at = &app;
    while (!at->get_subcommands().empty()) at = at->get_subcommands().front();
    return at;
}

std::string chosen_command(const CLI::App &app) {
    std::string path;
    for (const CLI::App *at = &app; !at->get_subcommands().empty();) {
        at = at->get_subcommands().front();
        path += (path.empty() ? "" : " ") + at->get_name();
    }
    return path;
}

// A word where a command was required names a command that does not exist.
std::string usage_text(const CLI::App &app, const CLI::ParseError &e) {
    const CLI::App *at = chosen_app(app);
    const auto rest = at->remaining();
    if (dynamic_cast<const CLI::RequiredError *>(&e) && at->get_require_subcommand_min() > 0 && !rest.empty() &&
        !rest.front().starts_with('-'))
        return "unknown command '" + rest.front() + "'";
    return e.what();
}

void add_help_command(Program &p) {
    auto *cmd = p.app.add_subcommand("help", "show this help or a command's");
    auto name = std::make_shared<std::string>();
    cmd->add_option("COMMAND", *name, "the command to explain");
    on_run(p, cmd, [&p, name] {
        if (name->empty()) {
            std::cout << p.app.help();
            return int(kDone);
        }
        CLI::App *sub = nullptr;
        try {
            sub = p.app.get_subcommand(*name);
        } catch (const CLI::OptionNotFound &) {
            usage_error("help: no such command '" + *name + "'");
        }
        std::cout << sub->help(p.app.get_name());
        return int(kDone);
    });
}

// Results must reach their reader whole: a full disk or a closed pipe is a failure.
int flush_stdout(int status) {
    std::cout.flush();
    try {
        finish_stdout();
        return status;
    } catch (const Failure &f) {
        std::fprintf(stderr, "podcastfeed: %s\n", f.message.c_str());
        return f.status;
    }
}

int run(int argc, char **argv) {
    Program p;
    CLI::App &app = p.app;
    app.set_version_flag("--version", "podcastfeed " PF_TOOL_VERSION);
    app.require_subcommand(1);
    app.footer(std::string(kExitStatusHelp) + "\nRun 'podcastfeed COMMAND --help' for the details of a command.");
    add_init_command(p);
    add_scan_command(p);
    add_check_command(p);
    add_serve_command(p);
    add_page_command(p);
    add_probe_command(p);
    add_validate_command(p);
    add_stats_command(p);
    add_diff_command(p);
    add_sidecar_command(p);
    add_help_command(p);
    add_manual_options(p);
    for (CLI::App *sub : app.get_subcommands([](CLI::App *) { return true; }))
        if (sub->get_footer().empty()) sub->footer(kExitStatusHelp);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return flush_stdout(app.exit(e));
    } catch (const CLI::CallForAllHelp &e) {
        return flush_stdout(app.exit(e));
    } catch (const CLI::CallForVersion &e) {
        return flush_stdout(app.exit(e));
    } catch (const CLI::Success &) {
        return flush_stdout(kDone);
    } catch (const CLI::ParseError &e) {
        const std::string where = chosen_command(app);
        const std::string what = usage_text(app, e);
        std::fprintf(stderr, "podcastfeed: %s%s%s\nTry 'podcastfeed %s%s--help'.\n", where.c_str(),
                     where.empty() ? "" : ": ", what.c_str(), where.c_str(), where.empty() ? "" : " ");
        return kUsage;
    } catch (const Failure &f) {
        std::fprintf(stderr, "podcastfeed: %s\n", f.message.c_str());
        return f.status;
    }
    if (!p.run) return flush_stdout(kDone);
    try {
        return flush_stdout(p.run());
    } catch (const Failure &f) {
        std::fflush(stdout);
        std::fprintf(stderr, "podcastfeed: %s\n", f.message.c_str());
        if (f.status == kUsage) {
            const std::string where = chosen_command(app);
            std::fprintf(stderr, "Try 'podcastfeed %s%s--help'.\n", where.c_str(), where.empty() ? "" : " ");
        }
        return f.status;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "podcastfeed: out of memory\n");
        return kJobFailed;
    }
}

}  // namespace
}  // namespace podcastfeed

int main(int argc, char **argv) { return podcastfeed::run(argc, argv); }
