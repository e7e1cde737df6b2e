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

TRegister::TRegister(TCommand command) {
    Commands().push_back(std::move(command));
}

} // namespace cli

namespace {

const cli::TCommand* Find(const std::string& name) {
    for (const auto& c : cli::Commands())
        if (c.name == name) return &c;
    return nullptr;
}

void Overview(std::ostream& out) {
    out << "Usage: graphmill-cli COMMAND [OPTIONS] ARGS\n"
           "Runs Graphmill's curve operations on curve files. A curve input is a file path, or - for "
           "standard\n"
           "input. A command whose result is a curve writes it with -o PATH (keeping a .bak copy of a file "
           "it\n"
           "replaces), or to standard output without -o; --format csv|tsv writes it as columns with a "
           "header\n"
           "row (x, y and sigma) instead. Curve files may be gzip-compressed. Columns of spreadsheet and\n"
           "instrument files are chosen with --columns X,Y[,SIGMA] and the other reading options that every\n"
           "command reading curves takes (graphmill-cli help info).\n"
           "Exit status: 0 done, 1 the operation failed, 2 usage or input error, 3 arithmetic fault.\n\n"
           "Commands:\n";
    auto commands = cli::Commands();
    std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const auto& c : commands) {
        std::string name = c.name;
        name.resize(std::max<size_t>(name.size() + 2, 14), ' ');
        out << "  " << name << c.summary << "\n";
    }
    out << "\n  help COMMAND  the options and arguments of one command\n"
           "  --version     the program's version\n";
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
