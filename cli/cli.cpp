// The commands of graphmill-cli and the choice among them by the first argument.
#include "cli/cli.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace cli {

std::vector<TCommand>& Commands() {
    static std::vector<TCommand> commands;
    return commands;
}

std::vector<TCommandForm> WordForms(const std::vector<std::string>& words,
                                    const std::vector<TOptionSpec>& options) {
    std::vector<TCommandForm> forms;
    for (const auto& w : words) forms.push_back({w, options});
    return forms;
}

TRegister::TRegister(TCommand command) {
    Commands().push_back(std::move(command));
}

std::vector<TCommand> SortedCommands() {
    auto commands = Commands();
    std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return commands;
}

const char* const UsageLine = "graphmill-cli COMMAND [OPTIONS] ARGS";
const char* const Description =
    "Runs Graphmill's curve operations on curve files. A curve input is a file path, or - for standard\n"
    "input. A command whose result is a curve writes it with -o PATH (keeping a .bak copy of a file it\n"
    "replaces), or to standard output without -o; --format csv|tsv writes it as columns with a header\n"
    "row (x, y and sigma) instead. Curve files may be gzip-compressed. Columns of spreadsheet and\n"
    "instrument files are chosen with --columns X,Y[,SIGMA] and the other reading options that every\n"
    "command reading curves takes (graphmill-cli help info).\n";

const std::vector<TEntry>& ExitStatuses() {
    static const std::vector<TEntry> statuses = {{std::to_string(Done), "done"},
                                                 {std::to_string(OperationFailed), "the operation failed"},
                                                 {std::to_string(UsageError), "usage or input error"},
                                                 {std::to_string(ArithmeticFault), "arithmetic fault"}};
    return statuses;
}

const std::vector<TEntry>& GeneralEntries() {
    static const std::vector<TEntry> entries = {{"help COMMAND", "the options and arguments of one command"},
                                                {"--version", "the program's version"}};
    return entries;
}

} // namespace cli

namespace {

const cli::TCommand* Find(const std::string& name) {
    for (const auto& c : cli::Commands())
        if (c.name == name) return &c;
    return nullptr;
}

void Entry(std::ostream& out, std::string name, const std::string& meaning) {
    name.resize(std::max<size_t>(name.size() + 2, 14), ' ');
    out << "  " << name << meaning << "\n";
}

void Overview(std::ostream& out) {
    out << "Usage: " << cli::UsageLine << "\n" << cli::Description << "Exit status:";
    const char* separator = " ";
    for (const auto& [code, meaning] : cli::ExitStatuses()) {
        out << separator << code << " " << meaning;
        separator = ", ";
    }
    out << ".\n\nCommands:\n";
    for (const auto& c : cli::SortedCommands()) Entry(out, c.name, c.summary);
    out << "\n";
    for (const auto& [name, meaning] : cli::GeneralEntries()) Entry(out, name, meaning);
}

} // namespace

int cli::Main(const std::vector<std::string>& args) {
    if (args.empty()) {
        Overview(std::cerr);
        return cli::UsageError;
    }
    const std::string& cmd = args[0];
    if (cmd == "--help" || cmd == "-h") {
        Overview(std::cout);
        return cli::Done;
    }
    if (cmd == "--version") {
        std::cout << "graphmill-cli " << GRAPHMILL_VERSION << "\n";
        return cli::Done;
    }
    if (cmd == "help") {
        if (args.size() < 2) {
            Overview(std::cout);
            return cli::Done;
        }
        // The manual page and the shell completion, which the build installs.
        if (args[1] == "--man" && args.size() == 2) {
            cli::WriteManPage(std::cout);
            return cli::Done;
        }
        if (args[1] == "--completion") {
            if (args.size() == 3 && args[2] == "bash") {
                cli::WriteBashCompletion(std::cout);
                return cli::Done;
            }
            std::cerr << "graphmill-cli: help --completion: bash is the shell completed\n";
            return cli::UsageError;
        }
        const cli::TCommand* c = Find(args[1]);
        if (c == nullptr) {
            std::cerr << "graphmill-cli: unknown command '" << args[1] << "'\n";
            return cli::UsageError;
        }
        std::cout << c->help;
        return cli::Done;
    }
    const cli::TCommand* c = Find(cmd);
    if (c == nullptr) {
        std::cerr << "graphmill-cli: unknown command '" << cmd << "' (graphmill-cli --help lists them)\n";
        return cli::UsageError;
    }
    if (args.size() == 2 && args[1] == "--help") {
        std::cout << c->help;
        return cli::Done;
    }
    return c->run(std::vector<std::string>(args.begin() + 1, args.end()));
}
