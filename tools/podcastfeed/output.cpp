// Where a command's output goes.
#include "output.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "command.h"
#include "quorvane_podcastfeed.h"

namespace podcastfeed {

namespace fs = std::filesystem;

void add_output_option(CLI::App &cmd, std::string &output, const char *what) {
    cmd.add_option("-o,--output", output, what)->type_name("FILE");
}

bool is_stdout(const std::string &output) { return output.empty() || output == "-"; }

void write_feed(const std::string &output) {
    if (!is_stdout(output)) {
        errno = 0;
        if (feed_generate_to(output.c_str()) != 0) library_failed("feed_generate_to failed", errno);
        return;
    }
    const char *feed = feed_generate();
    if (!feed[0]) library_failed("feed_generate failed");
    std::fputs(feed, stdout);
    finish_stdout();
}

void finish_stdout() {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good()) return;
    job_failed(std::string("cannot write to standard output") + (errno ? ": " + system_reason(errno) : ""));
}

void write_text(const std::string &output, const std::string &text) {
    if (is_stdout(output)) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return;
    }
    // Written beside the target and renamed over it, so a reader never sees half a page.
    const fs::path target(output);
    const fs::path temporary = target.parent_path() / ("." + target.filename().string() + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            const int err = errno;
            std::error_code ec;
            fs::remove(temporary, ec);
            job_failed("cannot write " + output + (err ? ": " + system_reason(err) : ""));
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        job_failed("cannot write " + output + ": " + ec.message());
    }
}

}  // namespace podcastfeed
