// library list|show|define|delete: the user function library file.
#include "cli/cli.h"
#include "cli/cliio.h"
#include "curves/real48.h"
#include "expr/Derive.h"
#include "expr/UserFunctions.h"
#include "fit/Fit1.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {

// Loads the library. A missing file is an empty library only where allowMissing
// (define creates it); a file that does not read completely is refused, so that
// nothing rewrites it with functions lost.
bool LoadLibrary(const std::string& command, const std::string& path, TUserFunctionList& list,
                 bool allowMissing) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        if (allowMissing) return true;
        cli::Error(command, path + ": No such file");
        return false;
    }
    if (std::filesystem::is_directory(path, ec)) {
        cli::Error(command, path + ": is a directory");
        return false;
    }
    if (list.Load(path) != 0) {
        cli::Error(command, path + ": not a function library, or damaged (it did "
                                   "not read completely)");
        return false;
    }
    return true;
}

bool SaveLibrary(const std::string& command, const std::string& path, const TUserFunctionList& list) {
    std::string why;
    if (list.Save(path, &why) == 0) return true;
    cli::Error(command, why + " (the old library file, if any, is unchanged)");
    return false;
}

int FindFunction(const std::string& command, const TUserFunctionList& list, const std::string& path,
                 const std::string& name) {
    const int index = list.IndexOf(name);
    if (index < 0) cli::Error(command, path + ": no function named '" + name + "'");
    return index;
}

int RunList(const cli::TArgs& a) {
    TUserFunctionList list;
    if (!LoadLibrary("library list", a.Positional(1), list, false)) return cli::UsageError;
    for (int i = 0; i < list.Count(); ++i) {
        const TUserFunction& f = *list.Get(i);
        std::string line = f.Name + "\t";
        for (int k = 2; k <= f.VarCount; ++k) line += (k > 2 ? " " : "") + f.Var(k).Name;
        std::printf("%s\n", line.c_str());
    }
    return cli::Done;
}

int RunShow(const cli::TArgs& a) {
    TUserFunctionList list;
    if (!LoadLibrary("library show", a.Positional(1), list, false)) return cli::UsageError;
    const int index = FindFunction("library show", list, a.Positional(1), a.Positional(2));
    if (index < 0) return cli::UsageError;
    const TUserFunction& f = *list.Get(index);
    std::printf("%s\n", f.Var(1).Formula.c_str());
    for (int k = 2; k <= f.VarCount; ++k) {
        const TUserVariable& v = f.Var(k);
        std::printf("%s\t%s\t%.17g\t%.17g\t%.17g\t%s\n", v.Name.c_str(), v.Formula.c_str(), v.Initial, v.Min,
                    v.Max, GuessStyleName(v.GuessStyle));
    }
    return cli::Done;
}

std::string WithoutSpaces(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
}

// NAME=DERIVATIVE[,INITIAL,MIN,MAX,STYLE]; the defaults are those of a new
// parameter in the function editor.
bool ParseParam(const std::string& text, TUserParamDef& p) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos) {
        cli::Error("library define",
                   "--param '" + text + "': NAME=DERIVATIVE[,INITIAL,MIN,MAX,STYLE] expected");
        return false;
    }
    p = TUserParamDef{};
    p.Min = -Real48Max;
    p.Max = Real48Max;
    // The name is taken as typed: a space in it makes the define check refuse it.
    p.Name = text.substr(0, eq);
    std::vector<std::string> fields;
    std::stringstream rest(text.substr(eq + 1));
    for (std::string field; std::getline(rest, field, ',');) fields.push_back(field);
    if (text.back() == ',') fields.emplace_back();
    if (fields.empty()) fields.emplace_back();
    if (fields.size() > 5) {
        cli::Error("library define", "--param '" + text + "': more than five fields after '='");
        return false;
    }
    p.Derivative = WithoutSpaces(fields[0]);
    double* numbers[] = {&p.Initial, &p.Min, &p.Max};
    for (size_t k = 1; k < fields.size() && k <= 3; ++k)
        if (!cli::ParseNumber(fields[k], *numbers[k - 1])) {
            cli::Error("library define", "--param '" + text + "': '" + fields[k] + "' is not a number");
            return false;
        } else if (std::fabs(*numbers[k - 1]) > Real48Max) {
            // The library stores six-byte reals: such a value could never be saved.
            cli::Error("library define", "--param '" + text + "': '" + fields[k] +
                                             "' is beyond what the library file holds (about 1.7e38)");
            return false;
        }
    // Bounds the fit could never keep: it refuses a minimum above a maximum, and would move a start value
    // outside them onto a bound.
    auto shortest = [](double v) {
        char buf[32];
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    };
    if (p.Min > p.Max) {
        cli::Error("library define", "--param '" + text + "': parameter " + p.Name + ": its min " +
                                         shortest(p.Min) + " lies above its max " + shortest(p.Max));
        return false;
    }
    if (p.Initial < p.Min || p.Initial > p.Max) {
        cli::Error("library define", "--param '" + text + "': parameter " + p.Name + ": its start value " +
                                         shortest(p.Initial) + " lies outside its bounds " + shortest(p.Min) +
                                         " to " + shortest(p.Max));
        return false;
    }
    if (fields.size() == 5) {
        long code = -1;
        if (!cli::ParseInteger(fields[4], code))
            for (int32_t s = 0; s < GuessStyleCount; ++s)
                if (fields[4] == GuessStyleName(s)) code = s;
        if (code < 0 || code >= GuessStyleCount) {
            cli::Error("library define", "--param '" + text + "': '" + fields[4] +
                                             "' is no guess style (a name such as "
                                             "\"peak width\", or 0 to 11)");
            return false;
        }
        p.Style = static_cast<int32_t>(code);
    }
    return true;
}

// Fills each empty derivative with the function's derivative by that parameter. The derived formulas then
// go through the define check like typed ones; a definition that check refuses anyway (a name it does not
// take, a function that does not parse) gets the check's message rather than the derivation's.
bool DeriveMissing(const std::string& name, const std::string& function, std::vector<TUserParamDef>& params) {
    std::vector<std::string> variables{"x"};
    for (const TUserParamDef& p : params) variables.push_back(p.Name);
    for (TUserParamDef& p : params) {
        if (!p.Derivative.empty()) continue;
        const TDerivative d = Derive(function, variables, p.Name);
        if (!d.Ok) {
            // As if every missing derivative had been typed as 0.
            std::vector<TUserParamDef> typed = params;
            for (TUserParamDef& t : typed)
                if (t.Derivative.empty()) t.Derivative.push_back('0');
            TUserFunctionList scratch;
            const std::string message = DefineUserFunction(scratch, name, function, typed);
            cli::Error("library define",
                       message.empty() ? "--param '" + p.Name + "': no derivative: " + d.Reason : message);
            return false;
        }
        p.Derivative = d.Text;
    }
    return true;
}

const std::vector<cli::TOptionSpec> DefineOptions = {{"--name", true, false},
                                                     {"--function", true, false},
                                                     {"--param", true, true},
                                                     {"--derive", false, false}};

int RunDefine(const std::vector<std::string>& args) {
    cli::TArgs a("library define", args, DefineOptions);
    if (!a.Ok() || !a.ExpectPositionals(2)) return cli::UsageError;
    const bool derive = a.Has("--derive");
    std::vector<TUserParamDef> params;
    for (const auto& text : a.Values("--param")) {
        params.emplace_back();
        // With --derive a bare NAME is NAME= : its derivative is to be worked out.
        const bool bare = derive && text.find('=') == std::string::npos;
        if (!ParseParam(bare ? text + "=" : text, params.back())) return cli::UsageError;
    }
    if (params.size() > static_cast<size_t>(TUserFunction::MaxVariables - 1)) {
        cli::Error("library define", "a function has at most 9 parameters");
        return cli::UsageError;
    }
    const std::string function = WithoutSpaces(a.Value("--function").value_or(""));
    if (derive && !DeriveMissing(a.Value("--name").value_or(""), function, params)) return cli::UsageError;
    const std::string& path = a.Positional(1);
    TUserFunctionList list;
    if (!LoadLibrary("library define", path, list, true)) return cli::UsageError;
    bool fits = function.size() <= TUserFunction::MaxTextLength;
    for (const TUserParamDef& p : params) fits = fits && p.Derivative.size() <= TUserFunction::MaxTextLength;
    if (!fits) {
        cli::Error("library define", "a formula is longer than 255 characters (spaces removed), the most the "
                                     "library file holds");
        return cli::UsageError;
    }
    const std::string message = DefineUserFunction(list, a.Value("--name").value_or(""), function, params);
    if (!message.empty()) {
        cli::Error("library define", message);
        return cli::UsageError;
    }
    return SaveLibrary("library define", path, list) ? cli::Done : cli::UsageError;
}

int RunDelete(const cli::TArgs& a) {
    const std::string& path = a.Positional(1);
    TUserFunctionList list;
    if (!LoadLibrary("library delete", path, list, false)) return cli::UsageError;
    const int index = FindFunction("library delete", list, path, a.Positional(2));
    if (index < 0) return cli::UsageError;
    list.Delete(index);
    return SaveLibrary("library delete", path, list) ? cli::Done : cli::UsageError;
}

int RunLibrary(const std::vector<std::string>& args) {
    const std::string action = args.empty() ? "" : args[0];
    if (action == "define") return RunDefine(args);
    cli::TArgs a("library " + action, args, {});
    if (!a.Ok()) return cli::UsageError;
    if (action == "list") return a.ExpectPositionals(2) ? RunList(a) : cli::UsageError;
    if (action == "show") return a.ExpectPositionals(3) ? RunShow(a) : cli::UsageError;
    if (action == "delete") return a.ExpectPositionals(3) ? RunDelete(a) : cli::UsageError;
    cli::Error("library", action.empty() ? "missing action (list, show, define or delete)"
                                         : "unknown action '" + action + "' (list, show, define or delete)");
    return cli::UsageError;
}

const cli::TRegister
    libraryCommand({"library",
                    "list, show, define or delete user fit functions",
                    "Usage: graphmill-cli library list LIBFILE\n"
                    "       graphmill-cli library show LIBFILE NAME\n"
                    "       graphmill-cli library define LIBFILE [--derive] --name NAME --function F\n"
                    "                                    --param "
                    "NAME[=DERIVATIVE[,INITIAL,MIN,MAX,STYLE]]...\n"
                    "       graphmill-cli library delete LIBFILE NAME\n"
                    "list: one line per function: its name, a tab, its parameter names "
                    "separated by blanks.\n"
                    "show: the function's formula, then one line per parameter with "
                    "tab-separated fields: name,\n"
                    "  derivative, initial value, min, max, guess style name.\n"
                    "define: adds the function F of x (spaces removed) with one --param per "
                    "parameter, in order (at most\n"
                    "  9): its derivative formula, and optionally its initial value (0), "
                    "bounds (about -1.7e38, 1.7e38: open) and guess\n"
                    "  style, a name (none, offset, slope, aux. function, peak amplitude, "
                    "peak position, peak width,\n"
                    "  exponential a, exponential b, sine amplitude, sine k, sine phase) or "
                    "its code 0 to 11. A missing\n"
                    "  LIBFILE is created. Refusals exit 2 with the function dialog's message "
                    "(\"No function name.\",\n"
                    "  \"Duplicate function name.\", ...), or a message naming the parameter "
                    "whose min lies above its\n"
                    "  max or whose initial value lies outside its bounds.\n"
                    "  With --derive, a --param NAME (or NAME=,INITIAL,...) without a derivative gets the "
                    "derivative of F by\n"
                    "  that parameter, worked out symbolically (library show prints it); it is checked "
                    "like a typed one.\n"
                    "  Without --derive a missing derivative is refused.\n"
                    "delete: removes the function NAME.\n"
                    "Example: graphmill-cli library define lib.dat --name line --function "
                    "'a*x+b' --param a=x --param b=1\n"
                    "         graphmill-cli library define lib.dat --derive --name decay --function "
                    "'A*exp(0-k*x)' --param A --param k=,1\n",
                    RunLibrary,
                    {{"list", {}}, {"show", {}}, {"define", DefineOptions}, {"delete", {}}}});

} // namespace
