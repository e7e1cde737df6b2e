#include "cli/cliio.h"
#include "cli/cli.h"

#include "curves/curvefile.h"
#include "curves/filebytes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <unistd.h>

namespace cli {

namespace {
thread_local TMessageCapture* capture = nullptr;
}

TMessageCapture::TMessageCapture() : outer_(capture) {
    capture = this;
}

TMessageCapture::~TMessageCapture() {
    capture = outer_;
}

void TMessageCapture::Add(const std::string& message) {
    text_ += (text_.empty() ? "" : "; ") + message;
}

void Error(const std::string& command, const std::string& message) {
    if (capture != nullptr)
        capture->Add(message);
    else
        std::cerr << "graphmill-cli: " << command << ": " << message << "\n";
}

TArgs::TArgs(const std::string& command, const std::vector<std::string>& args,
             const std::vector<TOptionSpec>& table)
    : command_(command) {
    for (const auto& s : table)
        if (!s.choices.empty()) choices_[s.name] = s.choices;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
            continue;
        }
        const TOptionSpec* opt = nullptr;
        std::string inlineValue;
        bool hasInline = false;
        if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            const size_t eq = a.find('=');
            const std::string name = a.rfind("--", 0) == 0 && eq != std::string::npos ? a.substr(0, eq) : a;
            for (const auto& s : table)
                if (s.name == name) opt = &s;
            if (opt != nullptr && name != a) {
                hasInline = true;
                inlineValue = a.substr(eq + 1);
            }
            if (opt == nullptr && a.rfind("--", 0) == 0) {
                Error(command, "unknown option " + a);
                ok_ = false;
                return;
            }
        }
        if (opt == nullptr) {
            positionals_.push_back(a);
            continue;
        }
        std::vector<std::string> values;
        if (opt->takesValue) {
            if (hasInline) values.push_back(inlineValue);
            while (static_cast<int>(values.size()) < opt->valueCount && i + 1 < args.size())
                values.push_back(args[++i]);
            if (static_cast<int>(values.size()) < opt->valueCount) {
                Error(command,
                      "option " + opt->name +
                          (opt->valueCount == 1 ? " needs a value"
                                                : " needs " + std::to_string(opt->valueCount) + " values"));
                ok_ = false;
                return;
            }
        } else if (hasInline) {
            Error(command, "option " + opt->name + " takes no value");
            ok_ = false;
            return;
        } else {
            values.emplace_back();
        }
        auto& slot = values_[opt->name];
        if (!slot.empty() && !opt->repeatable) {
            Error(command, "option " + opt->name + " given twice");
            ok_ = false;
            return;
        }
        slot.insert(slot.end(), values.begin(), values.end());
    }
    ok_ = ParseReading();
}

bool TArgs::ParseReading() {
    if (!Choice("--format", format_)) return false;
    bool any = false;
    for (const char* o : {"--columns", "--separator", "--decimal-comma", "--skip", "--comment", "--header"})
        any = any || Has(o);
    if (!any) return true;
    columns::TColumnOptions o;
    if (const auto list = Value("--columns")) {
        std::vector<long> cols;
        size_t at = 0;
        bool good = true;
        while (good) {
            const size_t comma = list->find(',', at);
            long v = 0;
            good = ParseInteger(list->substr(at, comma == std::string::npos ? std::string::npos : comma - at),
                                v) &&
                   v >= 0 && v <= columns::MaxColumn;
            cols.push_back(v);
            if (comma == std::string::npos) break;
            at = comma + 1;
        }
        if (!good || cols.size() < 2 || cols.size() > 3 || cols[1] == 0 ||
            (cols.size() == 3 && cols[2] == 0)) {
            Error(command_, "--columns: '" + *list + "' is not X,Y or X,Y,SIGMA (column numbers from 1 to " +
                                std::to_string(columns::MaxColumn) + "; 0 as X for the row number)");
            return false;
        }
        o.xColumn = static_cast<int32_t>(cols[0]);
        o.yColumns = {static_cast<int32_t>(cols[1])};
        o.sigmaColumn = cols.size() == 3 ? static_cast<int32_t>(cols[2]) : 0;
    }
    if (const auto sep = Value("--separator"); sep && !columns::ParseSeparator(*sep, o.separator)) {
        Error(command_, "--separator: '" + *sep + "' is not one of auto, comma, semicolon, tab, space");
        return false;
    }
    if (Has("--decimal-comma")) o.decimal = columns::TDecimalMark::Comma;
    long skip = 0;
    if (!Integer("--skip", skip, 0, 1000000000)) return false;
    o.skipLines = static_cast<int32_t>(skip);
    if (const auto comment = Value("--comment")) o.comment = *comment;
    o.header = Has("--header");
    columns_ = o;
    return true;
}

bool TArgs::ExpectPositionals(size_t min, size_t max) {
    if (!ok_) return false;
    if (max == 0) max = min;
    if (positionals_.size() < min) {
        Error(command_, "missing arguments (graphmill-cli help " + command_ + ")");
        ok_ = false;
    } else if (positionals_.size() > max) {
        Error(command_, "unexpected argument '" + positionals_[max] + "'");
        ok_ = false;
    }
    return ok_;
}

std::optional<std::string> TArgs::Value(const std::string& option) const {
    const auto it = values_.find(option);
    if (it == values_.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

std::vector<std::string> TArgs::Values(const std::string& option) const {
    const auto it = values_.find(option);
    return it == values_.end() ? std::vector<std::string>{} : it->second;
}

bool ParseNumber(const std::string& text, double& value) {
    return !text.empty() && text.find_first_of(" \t,") == std::string::npos &&
           curvefile::ConvertNumber(text, value);
}

bool ParseInteger(const std::string& text, long& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    return first != last && ec == std::errc() && ptr == last;
}

bool TArgs::Number(const std::string& option, double& value, double lo, double hi) const {
    const auto text = Value(option);
    if (!text) return true;
    double v = 0.0;
    if (!ParseNumber(*text, v)) {
        Error(command_, option + ": '" + *text + "' is not a number");
        return false;
    }
    if (v < lo || v > hi) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "%s: %s is out of range (%g to %g)", option.c_str(), text->c_str(), lo,
                      hi);
        Error(command_, buf);
        return false;
    }
    value = v;
    return true;
}

bool TArgs::Integer(const std::string& option, long& value, long lo, long hi) const {
    const auto text = Value(option);
    if (!text) return true;
    long v = 0;
    if (!ParseInteger(*text, v)) {
        Error(command_, option + ": '" + *text + "' is not a whole number");
        return false;
    }
    if (v < lo || v > hi) {
        Error(command_, option + ": " + *text + " is out of range (" + std::to_string(lo) + " to " +
                            std::to_string(hi) + ")");
        return false;
    }
    value = v;
    return true;
}

bool TArgs::Choice(const std::string& option, std::string& value) const {
    const auto text = Value(option);
    if (!text) return true;
    const auto it = choices_.find(option);
    const std::vector<std::string> none;
    const auto& choices = it == choices_.end() ? none : it->second;
    if (std::find(choices.begin(), choices.end(), *text) != choices.end()) {
        value = *text;
        return true;
    }
    std::string list;
    for (const auto& c : choices) list += (list.empty() ? "" : ", ") + c;
    Error(command_, option + ": '" + *text + "' is not one of " + list);
    return false;
}

bool TakeStandardInput(const std::string& command, std::string& text) {
    // Files may be read on several threads at once (fit over many files).
    static std::atomic<bool> stdinTaken{false};
    if (stdinTaken.exchange(true)) {
        Error(command, "standard input (-) can be read only once");
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (!TFileBytes::IsGzip(text)) return true;
    std::string plain, why;
    if (!TFileBytes::Inflate(text, plain, why)) {
        Error(command, "standard input: " + why);
        return false;
    }
    text = std::move(plain);
    return true;
}

bool ReadCurve(const std::string& command, const std::string& path, TCurveB& curve) {
    if (path == "-") {
        std::string text;
        if (!TakeStandardInput(command, text)) return false;
        curve = TCurveB::CreateFromText(text);
        if (curve.Count() == 0) {
            Error(command, "standard input: no points found");
            return false;
        }
        return true;
    }
    std::string error;
    curve = TCurveB::CreateFromFile(path, true, &error);
    if (curve.Count() == 0) {
        Error(command, error.empty() ? path + ": no points found" : error);
        return false;
    }
    return true;
}

std::vector<TOptionSpec> CurveOptions(std::vector<TOptionSpec> own, int io) {
    if (io & ReadsCurves) {
        for (const char* flag : {"--decimal-comma", "--header"}) own.push_back({flag, false, false});
        own.push_back({"--columns", true, false});
        own.push_back({"--separator", true, false, 1, {"auto", "comma", "semicolon", "tab", "space"}});
        for (const char* option : {"--skip", "--comment"}) own.push_back({option, true, false});
    }
    if (io & WritesCurve) own.push_back({"--format", true, false, 1, {"curve", "csv", "tsv"}});
    return own;
}

bool ReadCurve(const TArgs& args, const std::string& path, TCurveB& curve) {
    const columns::TColumnOptions* o = args.Columns();
    if (o == nullptr) return ReadCurve(args.Command(), path, curve);
    std::vector<TCurveB> curves;
    columns::TColumnReport report;
    std::string error, text;
    const std::string shown = path == "-" ? "standard input" : path;
    const bool ok = path == "-" ? TakeStandardInput(args.Command(), text) &&
                                      columns::ReadColumns(text, shown, *o, curves, report, error)
                                : columns::ReadColumnFile(path, *o, curves, report, error);
    if (!ok) {
        if (!error.empty()) Error(args.Command(), error);
        return false;
    }
    for (const std::string& line : report.SkippedText()) Error(args.Command(), shown + ": " + line);
    curve = std::move(curves.front());
    return true;
}

int WriteCurve(const TArgs& args, TCurveB& curve) {
    return WriteCurveTo(args.Command(), args.Value("-o").value_or("-"), curve, args.Format());
}

int WriteCurveTo(const std::string& command, const std::string& path, TCurveB& curve,
                 const std::string& format) {
    columns::TExportFormat columnFormat{};
    const bool asColumns = columns::ParseExportFormat(format, columnFormat);
    if (path != "-") {
        std::string error;
        if (asColumns ? !columns::ExportColumns(curve, path, columnFormat, error)
                      : !curve.SaveToFile(path, "", "", &error)) {
            Error(command, error);
            return UsageError;
        }
        return Done;
    }
    std::string text;
    if (asColumns) {
        std::string why;
        if (!columns::ColumnText(curve, columnFormat, text, why)) {
            Error(command, "cannot write standard output: " + why);
            return UsageError;
        }
    } else {
        text = curve.DataText();
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        Error(command, std::string("cannot write standard output: ") + std::strerror(errno));
        return UsageError;
    }
    return Done;
}

std::string FormatGeneral(double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    return buf;
}

int ReportFault(const std::string& command, TArithFault fault) {
    if (fault == TArithFault::None) return Done;
    Error(command, ArithFaultMessage(fault));
    return ArithmeticFault;
}

int Guarded(const std::string& command, const std::function<void()>& op, const TCurveA* result,
            const double* value) {
    TArithFault fault = RunGuarded([&] { op(); });
    if (fault == TArithFault::None && result != nullptr) fault = CheckFinite(*result);
    if (fault == TArithFault::None && value != nullptr) fault = CheckFinite(*value);
    return ReportFault(command, fault);
}

int Failed(const std::string& command, const std::string& text) {
    if (text.empty() && capture != nullptr)
        capture->Add(command + " failed");
    else if (text.empty())
        std::cerr << "graphmill-cli: " << command << " failed\n";
    else
        Error(command, text);
    return OperationFailed;
}

int ApplyAndWrite(const TArgs& args, const TCurveB& curve, const std::function<bool(TCurveB&)>& op,
                  const std::string& failure, const std::function<void()>& report) {
    TCurveB work(curve);
    bool ok = false;
    if (const int status = Guarded(
            args.Command(), [&] { ok = op(work); }, &work);
        status != Done)
        return status;
    if (!ok) return Failed(args.Command(), failure);
    const int status = WriteCurve(args, work);
    if (status == Done && report) report();
    return status;
}

} // namespace cli
