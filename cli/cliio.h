// Argument parsing and curve input/output shared by the commands of graphmill-cli.
#pragma once

#include "cli/cli.h"
#include "curves/columnreader.h"
#include "curves/columnwriter.h"
#include "curves/curvesb.h"
#include "curves/faultguard.h"

#include <cstddef>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// Options may stand before or after the positional arguments. An argument that starts with "-" but is not
// an option of the command (-2.5, -x^2, or - alone) is positional; "--" ends the options.
class TArgs {
public:
    TArgs(const std::string& command, const std::vector<std::string>& args,
          const std::vector<TOptionSpec>& table);

    bool Ok() const { return ok_; }
    // Reports a usage error unless the number of positionals lies in [min, max] (max 0: exactly min).
    bool ExpectPositionals(size_t min, size_t max = 0);
    static constexpr size_t Unlimited = std::numeric_limits<size_t>::max();
    size_t PositionalCount() const { return positionals_.size(); }
    const std::string& Positional(size_t i) const { return positionals_[i]; }
    const std::vector<std::string>& Positionals() const { return positionals_; }

    bool Has(const std::string& option) const { return values_.count(option) != 0; }
    // The value of an option (its last when repeated); all values of a repeated or many-valued option, in
    // the order given.
    std::optional<std::string> Value(const std::string& option) const;
    std::vector<std::string> Values(const std::string& option) const;

    // Number options: a usage error naming the option when the text is no number or out of [lo, hi].
    bool Number(const std::string& option, double& value, double lo, double hi) const;
    bool Integer(const std::string& option, long& value, long lo, long hi) const;
    // An option whose value is one of the words its option table lists: a usage error naming the option and
    // those words for any other. `value` keeps what it holds (the default) when the option is not given.
    bool Choice(const std::string& option, std::string& value) const;

    const std::string& Command() const { return command_; }

    // How curve files are read: null for the curve file's own lenient rules, else the column rules that
    // the reading options (--columns, --separator, --decimal-comma, --skip, --comment, --header) gave.
    const columns::TColumnOptions* Columns() const { return columns_ ? &*columns_ : nullptr; }
    // The form of a written curve (--format, for commands with -o): "curve", "csv" or "tsv".
    const std::string& Format() const { return format_; }

private:
    // Checks the reading options and --format once the arguments are taken apart.
    bool ParseReading();

    std::string command_;
    bool ok_ = true;
    std::vector<std::string> positionals_;
    std::map<std::string, std::vector<std::string>> values_;
    std::map<std::string, std::vector<std::string>> choices_;
    std::optional<columns::TColumnOptions> columns_;
    std::string format_ = "curve";
};

// Prints "graphmill-cli: COMMAND: message" on standard error.
void Error(const std::string& command, const std::string& message);

// While one lives on a thread, the messages of Error and Failed on that thread are kept in it (without the
// "graphmill-cli: COMMAND: " prefix) instead of going to standard error: a run over many files reports each
// file's trouble with that file's result.
class TMessageCapture {
public:
    TMessageCapture();
    ~TMessageCapture();
    TMessageCapture(const TMessageCapture&) = delete;
    TMessageCapture& operator=(const TMessageCapture&) = delete;
    // The messages kept, joined by "; ".
    const std::string& Text() const { return text_; }
    void Add(const std::string& message);

private:
    TMessageCapture* outer_;
    std::string text_;
};

// Parses a whole number text as a double (the full text must be a finite number).
bool ParseNumber(const std::string& text, double& value);
bool ParseInteger(const std::string& text, long& value);

// The whole of standard input, inflated when it is gzip-compressed; a usage error (message given) when it was
// taken before in this run or does not inflate.
bool TakeStandardInput(const std::string& command, std::string& text);
// Reads a curve from a path or "-" (standard input); a usage error (message given) when it has no points.
// Standard input can be read once per run: a second "-" is refused rather than read as an empty curve.
bool ReadCurve(const std::string& command, const std::string& path, TCurveB& curve);
// The same by the reading options of args (the curve file's rules without any); lines the column rules
// skipped are told on standard error.
bool ReadCurve(const TArgs& args, const std::string& path, TCurveB& curve);

// Writes a result curve to -o PATH through the program's save, or its data lines to standard output
// (also for -o -). Returns the exit status.
int WriteCurve(const TArgs& args, TCurveB& curve);
// The same for any path ("-" for standard output), in the form "curve" (the curve file), "csv" or "tsv"
// (a header row and x, y and sigma columns).
int WriteCurveTo(const std::string& command, const std::string& path, TCurveB& curve,
                 const std::string& format = "curve");

// Prints the message of an arithmetic fault and returns ArithmeticFault; Done for no fault.
int ReportFault(const std::string& command, TArithFault fault);

// Runs op under the arithmetic-fault guard. op changes only private copies; `result` (when given) is the
// curve it produces, and `value` a number it produces: an infinity or NaN in either counts as the fault that
// made it. Returns Done, or ArithmeticFault after printing the fault's message.
int Guarded(const std::string& command, const std::function<void()>& op, const TCurveA* result = nullptr,
            const double* value = nullptr);

// The road of every command whose result is one curve: op runs on a copy of `curve` under the guard and says
// whether it succeeded. A fault exits 3; a failure prints `failure` (the program's own text) or "COMMAND
// failed" and exits 1; otherwise the copy is written (-o or standard output) and `report`, when given, runs
// after a successful write (side reports go to standard error). Nothing is written unless op succeeded.
int ApplyAndWrite(const TArgs& args, const TCurveB& curve, const std::function<bool(TCurveB&)>& op,
                  const std::string& failure = "", const std::function<void()>& report = {});

// Prints "graphmill-cli: COMMAND failed" (no text) or "graphmill-cli: COMMAND: text" and returns
// OperationFailed.
int Failed(const std::string& command, const std::string& text = "");

// v in general number format with `digits` significant digits (3, 0.5, 1.2346e+06).
std::string FormatGeneral(double v, int digits);

// The -o option, for the option tables of commands whose result is a curve.
inline TOptionSpec OutputOption() {
    return {"-o", true, false};
}

// What a command does with curves, for the options that come with it: one that reads curves takes the
// reading options (--columns, --separator, --decimal-comma, --skip, --comment, --header), one that writes
// a curve takes --format.
enum TCurveIO { ReadsCurves = 1, WritesCurve = 2 };
// The command's own options followed by those its work with curves brings (io: TCurveIO flags).
std::vector<TOptionSpec> CurveOptions(std::vector<TOptionSpec> own, int io);

} // namespace cli
