#include "cli/cliio.h"
#include "cli/cli.h"

#include "curves/curvefile.h"

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
             const std::vector<TOptionSpec>& specs)
    : command_(command) {
    for (const auto& s : specs)
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
            for (const auto& s : specs)
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

bool ReadCurve(const std::string& command, const std::string& path, TCurveB& curve) {
    if (path == "-") {
        // Files may be read on several threads at once (fit over many files).
        static std::atomic<bool> stdinTaken{false};
        if (stdinTaken.exchange(true)) {
            Error(command, "standard input (-) can be read only once");
            return false;
        }
        std::string text((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
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

int WriteCurve(const TArgs& args, TCurveB& curve) {
    return WriteCurveTo(args.Command(), args.Value("-o").value_or("-"), curve);
}

int WriteCurveTo(const std::string& command, const std::string& path, TCurveB& curve) {
    if (path != "-") {
        std::string error;
        if (!curve.SaveToFile(path, "", "", &error)) {
            Error(command, error);
            return UsageError;
        }
        return Done;
    }
    const std::string text = curve.DataText();
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
