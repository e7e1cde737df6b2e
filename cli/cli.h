// graphmill-cli: the numeric core of Graphmill on curve files, for scripts and pipelines.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace cli {

// Exit statuses of every command.
enum ExitCode { Done = 0, OperationFailed = 1, UsageError = 2, ArithmeticFault = 3 };

struct TCommand {
    std::string name;
    std::string summary; // one line for the overview
    std::string help;    // the whole text of `graphmill-cli help COMMAND`
    std::function<int(const std::vector<std::string>& args)> run;
};

// Commands register themselves at start-up (one static TRegister per command file).
std::vector<TCommand>& Commands();
struct TRegister {
    explicit TRegister(TCommand command);
};

// The whole run of graphmill-cli on its arguments (without the program name): the command, its options and
// its work. Returns the exit status.
int Main(const std::vector<std::string>& args);

} // namespace cli
