// podcastfeed page: the show page written as a static file for a web host.
#include "../command.h"
#include "../feed_job.h"
#include "../output.h"
#include "../qr/qr.h"
#include "show_page.h"

namespace podcastfeed {
namespace {

struct PageOptions {
    FolderOptions folder;
    std::string output;
    std::string qr_png;
};

int run_page(const PageOptions &o) {
    if (!o.qr_png.empty() && is_stdout(o.qr_png) && is_stdout(o.output))
        usage_error("the page and the QR code cannot both go to standard output; give -o FILE or --qr-png FILE");
    if (!o.qr_png.empty() && !qr_available()) job_failed("--qr-png: QR codes are not part of this build");
    const Feed feed = prepare_feed(o.folder);
    write_text(o.output, show_page_html(feed));
    if (!o.qr_png.empty()) qr_png(show_page_url(feed), o.qr_png);
    return kDone;
}

}  // namespace

void add_page_command(Program &p) {
    auto o = std::make_shared<PageOptions>();
    auto *cmd = p.app.add_subcommand("page", "write the show page, the feed as a web page for people");
    describe(*cmd,
             std::string("Scans DIR and writes its show page: the channel's artwork, title, author and description, "
                         "the feed's address with subscribe links, and every episode with a player. The page links to "
                         "the URLs the feed has, so give --base-url the address the folder is published under and "
                         "put the page there as ") +
                 kPageName + ", beside " + kFeedName + ". --qr-png writes a QR code that takes a phone to it.");
    add_folder_options(*cmd, o->folder);
    add_output_option(*cmd, o->output,
                      "write the page to FILE (replaced whole, or left as it was when writing fails); - is standard "
                      "output");
    cmd->add_option("--qr-png", o->qr_png, "also write a QR code of the page's URL to FILE, a PNG image")
        ->type_name("FILE");
    on_run(p, cmd, [o] { return run_page(*o); });
}

}  // namespace podcastfeed
