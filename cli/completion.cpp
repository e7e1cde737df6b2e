// The bash completion of graphmill-cli, made from the command table: the commands, the words that choose a
// form of a command (smooth spline, math add) and the options of each form, with the words an option's value
// may be. The table is the one the commands parse with, so the completion offers what they accept.
#include "cli/cli.h"

#include <ostream>

namespace {

// A word as a single-quoted shell word.
std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words) out += (out.empty() ? "" : " ") + w;
    return Quoted(out);
}

std::string FormName(const cli::TCommand& c, const cli::TCommandForm& form) {
    return form.word.empty() ? c.name : c.name + " " + form.word;
}

} // namespace

void cli::WriteBashCompletion(std::ostream& out) {
    const auto commands = SortedCommands();
    std::vector<std::string> names;
    for (const auto& c : commands) names.push_back(c.name);
    std::vector<std::string> first = names;
    first.insert(first.end(), {"help", "--help", "--version"});

    out << "# bash completion of graphmill-cli: its commands, the word that chooses a form of a command\n"
           "# (smooth spline), the options of each form and the words an option's value may be. Made by\n"
           "# graphmill-cli help --completion bash from the program's own option tables.\n"
           "_graphmill_cli() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
           "    # The shell splits --option=value at the \"=\".\n"
           "    if [[ $cur == = ]]; then\n"
           "        cur=\n"
           "    elif [[ $prev == = ]] && ((COMP_CWORD > 2)); then\n"
           "        prev=${COMP_WORDS[COMP_CWORD - 2]}\n"
           "    fi\n"
           "    COMPREPLY=()\n"
           "    if ((COMP_CWORD == 1)); then\n"
           "        COMPREPLY=($(compgen -W "
        << Joined(first)
        << " -- \"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "    local command=${COMP_WORDS[1]} words=\n"
           "    case $command in\n"
           "        help)\n"
           "            ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W "
        << Joined(names)
        << " -- \"$cur\"))\n"
           "            return\n"
           "            ;;\n";
    for (const auto& c : commands) {
        std::vector<std::string> words;
        for (const auto& form : c.forms)
            if (!form.word.empty()) words.push_back(form.word);
        if (!words.empty()) out << "        " << Quoted(c.name) << ") words=" << Joined(words) << " ;;\n";
    }
    out << "    esac\n"
           "    local form=$command\n"
           "    if [[ -n $words ]]; then\n"
           "        if ((COMP_CWORD == 2)); then\n"
           "            COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "            return\n"
           "        fi\n"
           "        form=\"$command ${COMP_WORDS[2]}\"\n"
           "    fi\n"
           "    local options=\n"
           "    case $form in\n";
    for (const auto& c : commands)
        for (const auto& form : c.forms) {
            std::vector<std::string> options;
            for (const auto& o : form.options) options.push_back(o.name);
            out << "        " << Quoted(FormName(c, form)) << ") options=" << Joined(options) << " ;;\n";
        }
    out << "        *) return ;;\n"
           "    esac\n"
           "    # The value of an option: one of its words, else a file name or whatever the user types.\n"
           "    case \"$form $prev\" in\n";
    for (const auto& c : commands)
        for (const auto& form : c.forms)
            for (const auto& o : form.options) {
                if (!o.takesValue) continue;
                out << "        " << Quoted(FormName(c, form) + " " + o.name) << ")";
                if (!o.choices.empty())
                    out << " COMPREPLY=($(compgen -W " << Joined(o.choices) << " -- \"$cur\"))";
                out << "\n            return\n            ;;\n";
            }
    out << "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
           "    fi\n"
           "}\n"
           "complete -o default -F _graphmill_cli graphmill-cli\n";
}
