// The manual page and the bash completion that graphmill-cli makes of itself: every command and every option
// its help text names are in both, every option offered is one the command accepts, and the completion
// works in bash as a user meets it.
#include "clirunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

// The command names of the overview (the lines of its "Commands:" block).
std::vector<std::string> CommandNames() {
    const std::string overview = RunCli({"--help"}).out;
    std::istringstream in(overview.substr(overview.find("Commands:\n") + 10));
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line) && !line.empty()) names.push_back(Words(line).at(0));
    return names;
}

// The options a command's help text names (--grid, -o), each once.
std::set<std::string> HelpOptions(const std::string& help) {
    static const std::regex option(R"((?:^|[\s\[|(,])(--?[a-z][a-z-]*)(?=[\s\]=,)|.]|$))");
    std::set<std::string> found;
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it)
        found.insert((*it)[1]);
    return found;
}

// What the completion offers for the command line `words` (the last one being completed), one per line.
std::vector<std::string> Complete(const std::string& script, const std::vector<std::string>& words) {
    std::string array;
    for (const auto& w : words) array += " '" + w + "'";
    const std::string command = "bash -c 'source \"$0\"; COMP_WORDS=(graphmill-cli" +
                                std::regex_replace(array, std::regex("'"), "'\\''") +
                                "); COMP_CWORD=" + std::to_string(words.size()) +
                                "; _graphmill_cli; printf \"%s\\n\" \"${COMPREPLY[@]}\"' " + script;
    std::vector<std::string> offered;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return offered;
    char buf[4096];
    std::string out;
    while (fgets(buf, sizeof buf, p) != nullptr) out += buf;
    EXPECT_EQ(pclose(p), 0) << command;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) offered.push_back(line);
    return offered;
}

std::set<std::string> AsSet(const std::vector<std::string>& v) {
    return {v.begin(), v.end()};
}

// The forms of a command: the words that choose one (smooth spline), or none.
const std::map<std::string, std::vector<std::string>> FormWords = {
    {"smooth", {"spline", "spectral", "regression"}},
    {"library", {"list", "show", "define", "delete"}},
    {"math", {"add", "subtract", "multiply", "divide"}},
    {"constant", {"add", "subtract", "multiply", "divide", "shift-right", "shift-left", "stretch", "shrink"}},
};

// The options that may be given more than once, each adding a value (README: `--term TERM`..., `--var`...).
const std::set<std::string> Repeatable = {"--term", "--min", "--max", "--set", "--lock", "--var", "--param"};

class CliCompletion : public ::testing::Test {
protected:
    void SetUp() override {
        const auto r = RunCli({"help", "--completion", "bash"});
        ASSERT_EQ(r.status, 0) << r.err;
        script = dir.Write("graphmill-cli.bash", r.out);
    }
    TTempDir dir;
    std::string script;
};

} // namespace

TEST(CliManual, ManPageHasEveryCommandOptionAndExitStatus) {
    const auto r = RunCli({"help", "--man"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& page = r.out;
    EXPECT_EQ(page.rfind(".TH GRAPHMILL\\-CLI 1 ", 0), 0u);
    // Roff reads a line starting with "." or "'" as a request: every such line is one the page means.
    std::istringstream lines(page);
    std::string line;
    const std::regex request(R"(\.(TH|SH|SS|TP|PP|B|BR|br|nf|fi|sp)( .*)?)");
    while (std::getline(lines, line)) {
        if (!line.empty() && (line[0] == '.' || line[0] == '\'')) {
            EXPECT_TRUE(std::regex_match(line, request)) << line;
        }
    }
    const auto names = CommandNames();
    ASSERT_GE(names.size(), 17u);
    auto escaped = [](std::string s) { return std::regex_replace(s, std::regex("-"), "\\-"); };
    for (const auto& name : names) {
        EXPECT_NE(page.find("\n.SS " + escaped(name) + "\n"), std::string::npos) << name;
        // The help text, line by line as it is printed.
        const std::string text = RunCli({"help", name}).out;
        std::istringstream help(text);
        while (std::getline(help, line)) {
            if (!line.empty()) {
                EXPECT_NE(page.find(escaped(line)), std::string::npos) << name << ": " << line;
            }
        }
        for (const auto& option : HelpOptions(text))
            EXPECT_NE(page.find("\\fB" + escaped(option) + "\\fR"), std::string::npos)
                << name << " " << option;
    }
    for (const char* status :
         {"0\ndone", "1\nthe operation failed", "2\nusage or input error", "3\narithmetic fault"})
        EXPECT_NE(page.find(std::string(".B ") + status + "\n"), std::string::npos) << status;
}

TEST(CliManual, GeneratorsRefuseWhatTheyDoNotMake) {
    EXPECT_EQ(RunCli({"help", "--completion"}).status, 2);
    EXPECT_EQ(RunCli({"help", "--completion", "zsh"}).status, 2);
    EXPECT_EQ(RunCli({"help", "--man", "extra"}).status, 2);
    // The overview stays as it was: the generators are for the build, not listed.
    EXPECT_EQ(RunCli({"--help"}).out.find("--man"), std::string::npos);
}

TEST(CliManual, OptionChoicesAreCheckedWithTheirList) {
    TTempDir dir;
    const auto a = dir.Write("a.dat", "0 1\n1 2\n2 3\n3 4\n");
    auto r = RunCli({"fft", "--output", "phase", a});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--output: 'phase' is not one of real, imaginary, magnitude"), std::string::npos)
        << r.err;
    r = RunCli({"average", "--grid=even", a, a});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--grid: 'even' is not one of min-interval, first-curve, union"), std::string::npos);
    r = RunCli({"fit", "--term", "polynomial", "--converge", "never", a});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--converge: 'never' is not one of tolerance, relative"), std::string::npos)
        << r.err;
    EXPECT_EQ(RunCli({"fft", "--output", "real", a}).status, 0);
    EXPECT_EQ(RunCli({"average", "--grid", "union", a, a}).status, 0);
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial", "--converge", "relative", a}).status, 0);
}

TEST_F(CliCompletion, CommandsAndFormWords) {
    const auto names = CommandNames();
    std::set<std::string> expected(names.begin(), names.end());
    EXPECT_EQ(AsSet(Complete(script, {"help", ""})), expected);
    expected.insert({"help", "--help", "--version"});
    EXPECT_EQ(AsSet(Complete(script, {""})), expected);
    EXPECT_EQ(Complete(script, {"sm"}), std::vector<std::string>{"smooth"});
    for (const auto& [command, words] : FormWords)
        EXPECT_EQ(AsSet(Complete(script, {command, ""})), AsSet(words)) << command;
    EXPECT_EQ(AsSet(Complete(script, {"constant", "sh"})),
              (std::set<std::string>{"shift-right", "shift-left", "shrink"}));
}

TEST_F(CliCompletion, EveryOptionOfEveryForm) {
    TTempDir dir;
    const auto a = dir.Write("a.dat", "0 1\n1 2\n2 3\n3 4\n");
    for (const auto& command : CommandNames()) {
        const std::string help = RunCli({"help", command}).out;
        const auto it = FormWords.find(command);
        const std::vector<std::string> words =
            it == FormWords.end() ? std::vector<std::string>{""} : it->second;
        std::set<std::string> offeredByAll;
        for (const auto& word : words) {
            std::vector<std::string> line{command};
            if (!word.empty()) line.push_back(word);
            line.push_back("-");
            const auto offered = Complete(script, line);
            for (const auto& option : offered) {
                offeredByAll.insert(option);
                // An option offered is one the command knows: it may miss its value or arguments, but is
                // never unknown.
                std::vector<std::string> args(line.begin(), line.end() - 1);
                args.push_back(option);
                const auto r = RunCli(args);
                EXPECT_EQ(r.err.find("unknown option"), std::string::npos)
                    << command << " " << word << ": " << r.err;
                // Given twice, an option is refused unless it is one that gathers its values.
                args.insert(args.end(), {"1", "1", option, "1", "1"}); // --range takes two values
                const bool refused =
                    RunCli(args).err.find("option " + option + " given twice") != std::string::npos;
                EXPECT_EQ(refused, Repeatable.count(option) == 0) << command << " " << word << " " << option;
            }
        }
        // Every option the help text names is offered (by one of the forms).
        for (const auto& option : HelpOptions(help))
            EXPECT_EQ(offeredByAll.count(option), 1u) << command << " " << option;
    }
    // An option not in a form's table is refused by it, so the check above can fail.
    EXPECT_NE(RunCli({"smooth", "spectral", "--order", "2", a}).err.find("unknown option --order"),
              std::string::npos);
    // Commands that read and write curves offer the reading options and --format beside their own.
    const std::set<std::string> curveIO{"--columns", "--comment",   "--decimal-comma", "--format",
                                        "--header",  "--separator", "--skip"};
    std::set<std::string> spectral{"-o", "--how-much"}, spline{"--stiffness", "--order"};
    spectral.insert(curveIO.begin(), curveIO.end());
    spline.insert(curveIO.begin(), curveIO.end());
    EXPECT_EQ(AsSet(Complete(script, {"smooth", "spectral", "-"})), spectral);
    EXPECT_EQ(AsSet(Complete(script, {"smooth", "spline", "--"})), spline);
    // A command that writes a picture reads curves but has no curve form to choose.
    const auto render = AsSet(Complete(script, {"render", "--"}));
    EXPECT_EQ(render.count("--columns"), 1u);
    EXPECT_EQ(render.count("--format"), 0u);
}

TEST_F(CliCompletion, OptionValues) {
    EXPECT_EQ(AsSet(Complete(script, {"fft", "--output", ""})),
              (std::set<std::string>{"real", "imaginary", "magnitude"}));
    EXPECT_EQ(Complete(script, {"fft", "--output", "im"}), std::vector<std::string>{"imaginary"});
    // --grid=: the shell splits the word at "=".
    EXPECT_EQ(AsSet(Complete(script, {"average", "--grid", "=", "u"})), std::set<std::string>{"union"});
    EXPECT_EQ(AsSet(Complete(script, {"average", "--grid", "="})),
              (std::set<std::string>{"min-interval", "first-curve", "union"}));
    EXPECT_EQ(AsSet(Complete(script, {"fit", "--converge", ""})),
              (std::set<std::string>{"tolerance", "relative"}));
    // A value that is a file or a number: nothing of the program's, so the shell completes file names; not
    // the options either.
    EXPECT_TRUE(Complete(script, {"render", "-o", ""}).empty());
    EXPECT_TRUE(Complete(script, {"render", "--xrange", "-"}).empty());
    EXPECT_TRUE(Complete(script, {"info", ""}).empty());
    // A flag takes no value: the next word may be another option.
    EXPECT_EQ(Complete(script, {"render", "--xlog", "--yl"}), std::vector<std::string>{"--ylog"});
    // An unknown command or form word: nothing offered.
    EXPECT_TRUE(Complete(script, {"frobnicate", "-"}).empty());
    EXPECT_TRUE(Complete(script, {"smooth", "gently", "-"}).empty());
}
