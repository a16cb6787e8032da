// The manual page and the bash completion, written from the same option
// definitions as --help, so that the three cannot drift apart.
#include <iostream>
#include <set>
#include <sstream>

#include "command.h"

namespace podcastfeed {
namespace {

// The paragraph describe() gave the command, without the exit status every command shares.
std::string long_description(const CLI::App &cmd) {
    std::string text = cmd.get_footer();
    if (const auto at = text.find(kExitStatusHelp); at != std::string::npos) text.erase(at);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// roff treats a leading dot or quote as a request and a backslash as an escape.
std::string roff(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
    return out;
}

std::vector<CLI::App *> commands(CLI::App &app) {
    return app.get_subcommands([](CLI::App *) { return true; });
}

std::vector<CLI::Option *> visible_options(CLI::App &app) {
    return app.get_options([](CLI::Option *o) { return !o->get_group().empty(); });
}

// "-o, --output FILE"
std::string option_synopsis(const CLI::Option *o) {
    std::string names;
    for (const auto &s : o->get_snames()) names += (names.empty() ? "-" : ", -") + s;
    for (const auto &l : o->get_lnames()) names += (names.empty() ? "--" : ", --") + l;
    if (o->get_positional()) names = o->get_name();
    if (!o->get_positional() && o->get_type_size() != 0 && !o->get_option_text().empty()) names += " " + o->get_option_text();
    return names;
}

void write_options(std::ostream &out, CLI::App &app) {
    for (const CLI::Option *o : visible_options(app)) {
        out << ".TP\n.B " << roff(option_synopsis(o)) << "\n" << roff(o->get_description()) << "\n";
    }
}

void write_manual(std::ostream &out, CLI::App &app) {
    out << ".TH PODCASTFEED 1\n.SH NAME\npodcastfeed \\- " << roff(app.get_description()) << "\n"
        << ".SH SYNOPSIS\n.B podcastfeed\n.I COMMAND\n[\n.I OPTIONS\n]\n"
        << ".SH DESCRIPTION\nEach command below reads the folder's podcast.json when it has one; options given on the "
           "command line win over it.\n.SH COMMANDS\n";
    for (CLI::App *cmd : commands(app)) {
        if (cmd->get_group().empty()) continue;
        out << ".SS " << roff(cmd->get_name()) << "\n" << roff(cmd->get_description()) << ".\n";
        if (const std::string more = long_description(*cmd); !more.empty()) out << ".PP\n" << roff(more) << "\n";
        write_options(out, *cmd);
        for (CLI::App *sub : commands(*cmd)) {
            out << ".TP\n.B " << roff(cmd->get_name() + " " + sub->get_name()) << "\n" << roff(sub->get_description()) << "\n";
            write_options(out, *sub);
        }
    }
    out << ".SH EXIT STATUS\n0 done, 1 the job failed (the reason on standard error), 2 the command line is wrong.\n";
}

// Every option a command takes, for the shell to offer after the command's name.
void write_completion(std::ostream &out, CLI::App &app) {
    out << "# bash completion for podcastfeed\n_podcastfeed() {\n"
        << "  local cur=${COMP_WORDS[COMP_CWORD]} command=${COMP_WORDS[1]} words\n"
        << "  if [ \"$COMP_CWORD\" -eq 1 ]; then\n    words=\"";
    std::string names;
    for (CLI::App *cmd : commands(app))
        if (!cmd->get_group().empty()) names += cmd->get_name() + " ";
    out << names << "--help --version\"\n  else\n    case $command in\n";
    for (CLI::App *cmd : commands(app)) {
        if (cmd->get_group().empty()) continue;
        std::set<std::string> words;
        for (CLI::Option *o : cmd->get_options([](CLI::Option *o) { return !o->get_positional(); })) {
            for (const auto &l : o->get_lnames()) words.insert("--" + l);
            for (const auto &s : o->get_snames()) words.insert("-" + s);
        }
        for (CLI::App *sub : commands(*cmd)) words.insert(sub->get_name());
        out << "      " << cmd->get_name() << ") words=\"";
        std::string joined;
        for (const auto &w : words) joined += (joined.empty() ? "" : " ") + w;
        out << joined << "\" ;;\n";
    }
    out << "    esac\n  fi\n  if [[ $cur == -* || $COMP_CWORD -eq 1 ]]; then\n"
        << "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n  else\n"
        << "    COMPREPLY=($(compgen -f -- \"$cur\"))\n  fi\n}\ncomplete -o filenames -F _podcastfeed podcastfeed\n";
}

}  // namespace

void add_manual_options(Program &p) {
    // Hidden: the build writes the installed manual page and completion with them.
    p.app.add_flag_callback("--manual-page", [&p] {
        write_manual(std::cout, p.app);
        throw CLI::Success();
    })->group("");
    p.app.add_flag_callback("--bash-completion", [&p] {
        write_completion(std::cout, p.app);
        throw CLI::Success();
    })->group("");
}

}  // namespace podcastfeed
