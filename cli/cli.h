// graphmill-cli: the numeric core of Graphmill on curve files, for scripts and pipelines.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

// Exit statuses of every command.
enum ExitCode { Done = 0, OperationFailed = 1, UsageError = 2, ArithmeticFault = 3 };

struct TOptionSpec {
    std::string name;        // "--steps", "-o"
    bool takesValue = false; // flags take none
    bool repeatable = false;
    int valueCount = 1; // values taken by an option that takes values (--range FIRST LAST takes 2)
    std::vector<std::string> choices = {}; // the words its value may be, when it is one of a few
};

// One way of calling a command: the word that chooses it as the first argument (spline of smooth, add of
// math; none for most commands) and the options it takes. These are the very tables the command parses its
// arguments with, so that the manual page and the shell completion made from them list what it accepts.
struct TCommandForm {
    std::string word;
    std::vector<TOptionSpec> options;
};

struct TCommand {
    std::string name;
    std::string summary; // one line for the overview
    std::string help;    // the whole text of `graphmill-cli help COMMAND`
    std::function<int(const std::vector<std::string>& args)> run;
    std::vector<TCommandForm> forms;
};

// One form per word, all taking the same options (math add, math subtract, ...).
std::vector<TCommandForm> WordForms(const std::vector<std::string>& words,
                                    const std::vector<TOptionSpec>& options);

// The commands sorted by name, as the overview lists them.
std::vector<TCommand> SortedCommands();

// What the overview says of the program as a whole, as `graphmill-cli --help` prints it: its usage line,
// what it does (lines broken for the terminal), the exit statuses with their meanings, and the entries of
// its own (help, --version) under the commands.
extern const char* const UsageLine;
extern const char* const Description;
struct TEntry {
    std::string name;
    std::string meaning;
};
const std::vector<TEntry>& ExitStatuses();
const std::vector<TEntry>& GeneralEntries();

// The manual page (man(7) markup) and the bash completion script, made from the command table and the
// commands' own help texts (graphmill-cli help --man, graphmill-cli help --completion bash).
void WriteManPage(std::ostream& out);
void WriteBashCompletion(std::ostream& out);

// Commands register themselves at start-up (one static TRegister per command file).
std::vector<TCommand>& Commands();
struct TRegister {
    explicit TRegister(TCommand command);
};

// The whole run of graphmill-cli on its arguments (without the program name): the command, its options and
// its work. Returns the exit status.
int Main(const std::vector<std::string>& args);

} // namespace cli
