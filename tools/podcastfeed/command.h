// What every podcastfeed command shares: exit statuses, the one way to end a
// command with a failure, and how a command joins the program.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace podcastfeed {

enum ExitStatus { kDone = 0, kJobFailed = 1, kUsage = 2 };

// Thrown to end a command: the message goes to standard error behind
// "podcastfeed: ", and status becomes the exit status.
struct Failure {
    int status;
    std::string message;
};

[[noreturn]] void usage_error(const std::string &message);
[[noreturn]] void job_failed(const std::string &message);

// Ends the command with the library's reason for its latest failure (context
// stands in when it left none) and, when err is not 0, the system's reason.
[[noreturn]] void library_failed(const char *context, int err = 0);

// The system's text for an error number, as the shell user knows it.
std::string system_reason(int err);

// The program: its command line and the work of whichever command was chosen.
struct Program {
    CLI::App app{"Turns a folder of media files into a podcast feed, checks it and serves it.", "podcastfeed"};
    std::function<int()> run;
};

// The paragraph a command's --help and the manual page give after its options.
void describe(CLI::App &cmd, const std::string &text);

// What every command's --help ends with.
inline constexpr const char *kExitStatusHelp =
    "Exit status: 0 done, 1 the job failed (the reason on standard error), 2 the command line is wrong.";

// A command's work, run after the whole command line has been read.
void on_run(Program &p, CLI::App *cmd, std::function<int()> work);

void add_init_command(Program &p);
void add_scan_command(Program &p);
void add_check_command(Program &p);
void add_probe_command(Program &p);
void add_validate_command(Program &p);
void add_stats_command(Program &p);
void add_diff_command(Program &p);
void add_sidecar_command(Program &p);
void add_serve_command(Program &p);
void add_page_command(Program &p);
void add_manual_options(Program &p);

}  // namespace podcastfeed
