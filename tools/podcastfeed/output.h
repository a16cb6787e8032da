// Where a command's feed goes: a file replaced whole, or standard output.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace podcastfeed {

// "-" and no option at all both mean standard output.
void add_output_option(CLI::App &cmd, std::string &output, const char *what);

bool is_stdout(const std::string &output);

// Writes the current feed; a failure ends the command with the library's
// reason and the system's.
void write_feed(const std::string &output);

// Flushes standard output: a full disk or a closed pipe is a failure, not a
// feed that passes for written.
void finish_stdout();

// Writes text to a file replaced whole (through a temporary file beside it),
// or to standard output.
void write_text(const std::string &output, const std::string &text);

}  // namespace podcastfeed
