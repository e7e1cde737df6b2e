// The manual page of graphmill-cli, made from the command table and the commands' own help texts, so that
// it tells what the program itself tells.
#include "cli/cli.h"

#include <ostream>
#include <sstream>

namespace {

// One line of text as man(7) markup prints it: a backslash is the escape character, "-" is written as the
// minus that copies back as a hyphen-minus (options pasted from the page must work), and a line that starts
// with "." or "'" would be read as a request.
std::string RoffLine(const std::string& line) {
    std::string out;
    if (!line.empty() && (line[0] == '.' || line[0] == '\'')) out = "\\&";
    for (const char c : line) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    return out;
}

// A text of several lines, each escaped; an empty line becomes a paragraph break in filled text and a blank
// line in preformatted text alike.
std::string Roff(const std::string& text) {
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line)) out += (line.empty() ? ".sp" : RoffLine(line)) + "\n";
    return out;
}

// "-o, --grid (min-interval, first-curve, union)": the options of one form as its table has them.
std::string OptionList(const std::vector<cli::TOptionSpec>& options) {
    std::string list;
    for (const auto& o : options) {
        if (!list.empty()) list += ", ";
        list += "\\fB" + RoffLine(o.name) + "\\fR";
        if (o.choices.empty()) continue;
        std::string choices;
        for (const auto& c : o.choices) choices += (choices.empty() ? "" : ", ") + RoffLine(c);
        list += " (" + choices + ")";
    }
    return list;
}

} // namespace

void cli::WriteManPage(std::ostream& out) {
    const auto commands = SortedCommands();
    out << ".TH GRAPHMILL\\-CLI 1 \"\" \"graphmill\\-cli " << GRAPHMILL_VERSION << "\" \"User Commands\"\n"
        << ".SH NAME\n"
           "graphmill\\-cli \\- Graphmill's curve operations on curve files, for scripts and pipelines\n"
           ".SH SYNOPSIS\n"
           ".nf\n"
        << RoffLine(UsageLine) << "\n"
        << "graphmill\\-cli help [COMMAND]\n"
           "graphmill\\-cli \\-\\-help | \\-\\-version\n"
           ".fi\n"
           ".SH DESCRIPTION\n"
        << Roff(Description)
        << ".PP\n"
           "Options may come before or after the positional arguments. An argument that starts with \"\\-\" "
           "but is not an option of the command (\\-2.5, \\-x^2, or \\- alone) is positional; \"\\-\\-\" "
           "ends "
           "the options. Standard input can be read once per run.\n"
           ".SH COMMANDS\n";
    for (const auto& c : commands)
        out << ".TP 15\n.B " << RoffLine(c.name) << "\n" << RoffLine(c.summary) << "\n";
    for (const auto& [name, meaning] : GeneralEntries())
        out << ".TP 15\n.B " << RoffLine(name) << "\n" << RoffLine(meaning) << "\n";
    for (const auto& c : commands) {
        out << ".SS " << RoffLine(c.name) << "\n.nf\n" << Roff(c.help) << ".fi\n";
        const char* paragraph = ".PP\n";
        for (const auto& form : c.forms) {
            if (form.options.empty()) continue;
            const std::string who = form.word.empty() ? c.name : c.name + " " + form.word;
            out << paragraph << "Options of " << RoffLine(who) << ": " << OptionList(form.options) << ".\n";
            paragraph = ".br\n";
        }
    }
    out << ".SH \"EXIT STATUS\"\n";
    for (const auto& [code, meaning] : ExitStatuses())
        out << ".TP 4\n.B " << code << "\n" << RoffLine(meaning) << "\n";
    out << ".SH \"SEE ALSO\"\n"
           ".BR graphmill (1)\n";
}
