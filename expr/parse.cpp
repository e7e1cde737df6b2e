#include "expr/parse.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>
#include <type_traits>

namespace {

// Function names by code (1-based); code 10, the plain operand, has the empty name and matches nothing.
constexpr std::string_view FunctionNames[] = {"SIN", "COS", "TAN",   "ARCTAN", "EXP",
                                              "LOG", "LN",  "TRUNC", "EXPR"};
constexpr std::size_t LongestFunctionName = 6;

// The evaluation stack holds at most one value per tree level plus one.
constexpr int StackSize = MaxParseDepth + 2;

// exp(t) is finite for t below this (log of the largest double is 709.7827...).
constexpr double ExpLimit = 709.78;

std::string RemoveSpaces(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != ' ') out.push_back(c);
    return out;
}

// The only unary minus: "0" in front of a minus at the start or right after "(".
void InsertUnaryZeros(std::string& s) {
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] == '-' && (i == 0 || s[i - 1] == '(')) {
            s.insert(i, 1, '0');
            ++i;
        }
}

// Position of the ")" matching the "(" at open, or npos.
std::size_t MatchParen(std::string_view s, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < s.size(); ++i) {
        if (s[i] == '(')
            ++depth;
        else if (s[i] == ')' && --depth == 0)
            return i;
    }
    return std::string_view::npos;
}

// Digits with an optional decimal point and an optional unsigned exponent; no sign. A value too large
// for a double is no number.
bool ParseNumber(std::string_view t, double& value) {
    std::size_t i = 0;
    const std::size_t n = t.size();
    std::size_t digits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    if (i < n && t[i] == '.') {
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        const std::size_t start = i;
        while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
        if (i == start) return false;
    }
    if (i != n) return false;
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + n, v);
    if (ec != std::errc() || ptr != t.data() + n || !std::isfinite(v)) return false;
    value = v;
    return true;
}

int OperatorCode(char c) {
    switch (c) {
    case '+':
        return OpAdd;
    case '-':
        return OpSub;
    case '*':
        return OpMul;
    case '/':
        return OpDiv;
    case '^':
        return OpPow;
    default:
        return 0;
    }
}

class TParser {
public:
    explicit TParser(const TParamArray& params) : params_(params) {}

    bool ParseNode(TParseNode& node, std::string s, TParseNode* parent, int depth);

private:
    bool ParseArgument(TArgument& arg, std::string_view t, TParseNode* parent, int depth);
    const TParamArray& params_;
};

bool TParser::ParseArgument(TArgument& arg, std::string_view t, TParseNode* parent, int depth) {
    double v = 0.0;
    if (ParseNumber(t, v)) {
        arg.Kind = TArgument::Constant;
        arg.Value = v;
        return true;
    }
    if (const int k = params_.IndexOf(t); k > 0) {
        arg.Kind = TArgument::Variable;
        arg.Index = k;
        return true;
    }
    auto node = std::make_unique<TParseNode>();
    if (!ParseNode(*node, std::string(t), parent, depth)) return false;
    arg.Kind = TArgument::SubExpression;
    arg.Node = std::move(node);
    return true;
}

bool TParser::ParseNode(TParseNode& node, std::string s, TParseNode* parent, int depth) {
    if (depth > MaxParseDepth || s.empty()) return false;
    node.Text = s;
    node.Parent = parent;
    // A text that comes back unchanged is a name that is neither a number, a variable nor a function.
    if (parent && s == parent->Text) return false;

    while (s.front() == '(') {
        const std::size_t close = MatchParen(s, 0);
        if (close == std::string::npos) return false;
        if (close != s.size() - 1) break;
        s = s.substr(1, s.size() - 2);
        if (s.empty()) return false;
    }
    InsertUnaryZeros(s);

    // The split operator: lowest code outside parentheses; rightmost for + - * /, leftmost for ^.
    // The last character is never an operator of this text.
    int best = 0;
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        const char c = s[i];
        if (c == '(') {
            const std::size_t close = MatchParen(s, i);
            if (close == std::string::npos) return false;
            i = close;
            continue;
        }
        // A ")" outside every group has no "(" of its own.
        if (c == ')') return false;
        const int code = OperatorCode(c);
        if (code == 0) continue;
        if (best == 0 || code < best || (code == best && code != OpPow)) {
            best = code;
            at = i;
        }
    }
    if (best != 0) {
        if (at == 0 || at == s.size() - 1) return false;
        node.Kind = TParseNode::Binary;
        node.Op = best;
        const std::string_view sv(s);
        return ParseArgument(node.Arg1, sv.substr(0, at), &node, depth + 1) &&
               ParseArgument(node.Arg2, sv.substr(at + 1), &node, depth + 1);
    }

    // A function name is a prefix followed by "(" (or nothing), compared in upper case.
    int code = 0;
    std::size_t nameEnd = 0;
    for (std::size_t i = 1; i <= std::min(s.size(), LongestFunctionName) && code == 0; ++i) {
        if (i < s.size() && s[i] != '(' && s[i] != ' ') continue;
        for (std::size_t f = 0; f < std::size(FunctionNames); ++f) {
            const std::string_view name = FunctionNames[f];
            if (name.size() != i) continue;
            bool same = true;
            for (std::size_t j = 0; j < i && same; ++j)
                same = std::toupper(static_cast<unsigned char>(s[j])) == name[j];
            if (same) {
                code = static_cast<int>(f) + 1;
                nameEnd = i;
                break;
            }
        }
    }
    node.Kind = TParseNode::Unary;
    if (code == 0) {
        node.Op = FnNone;
        return ParseArgument(node.Arg1, s, &node, depth + 1);
    }
    if (s.size() < nameEnd + 2 || s[nameEnd] != '(') return false;
    const std::size_t close = MatchParen(s, nameEnd);
    if (close == std::string::npos) return false;
    // Text after the call's ")" (as in SIN(x)2) would silently be dropped: refuse it.
    if (close != s.size() - 1) return false;
    node.Op = code;
    return ParseArgument(node.Arg1, std::string_view(s).substr(nameEnd + 1, close - nameEnd - 1), &node,
                         depth + 1);
}

bool NestingWithin(std::string_view s, int limit) {
    int depth = 0;
    for (char c : s) {
        if (c == '(' && ++depth > limit) return false;
        if (c == ')') --depth;
    }
    return true;
}

void EmitArgument(const TArgument& arg, std::vector<TInstruction>& code);

void EmitNode(const TParseNode& node, std::vector<TInstruction>& code) {
    EmitArgument(node.Arg1, code);
    if (node.Kind == TParseNode::Binary) {
        EmitArgument(node.Arg2, code);
        static constexpr TInstruction::TCode Ops[] = {TInstruction::Add, TInstruction::Sub, TInstruction::Mul,
                                                      TInstruction::Div, TInstruction::Pow};
        code.push_back({Ops[node.Op - OpAdd], 0, 0.0});
        return;
    }
    if (node.Op == FnNone) return;
    static constexpr TInstruction::TCode Fns[] = {
        TInstruction::Sin, TInstruction::Cos, TInstruction::Tan,   TInstruction::ArcTan, TInstruction::Exp,
        TInstruction::Log, TInstruction::Ln,  TInstruction::Trunc, TInstruction::ExprRef};
    code.push_back({Fns[node.Op - FnSin], 0, 0.0});
}

void EmitArgument(const TArgument& arg, std::vector<TInstruction>& code) {
    switch (arg.Kind) {
    case TArgument::Constant:
        code.push_back({TInstruction::PushConst, 0, arg.Value});
        break;
    case TArgument::Variable:
        code.push_back({TInstruction::PushVar, arg.Index - 1, 0.0});
        break;
    default:
        EmitNode(*arg.Node, code);
        break;
    }
}

// The formula number an EXPR argument names, 0-based; -1 for anything but a formula of the set (formulas
// refer only to formulas of their own set; any other number fails).
inline int Referenced(double v) {
    const double n = std::nearbyint(v);
    return n >= 1.0 && n <= TExpression::MaxCount ? static_cast<int>(n) - 1 : -1;
}

// Deepest stack the program needs; programs from a tree of bounded depth stay within StackSize.
int StackNeeded(const std::vector<TInstruction>& code) {
    int sp = 0, most = 0;
    for (const TInstruction& in : code) {
        if (in.Code == TInstruction::PushConst || in.Code == TInstruction::PushVar)
            most = std::max(most, ++sp);
        else if (in.Code <= TInstruction::Pow)
            --sp;
    }
    return most;
}

// The arithmetic below checks before it computes, so that a result too large for a double makes the
// evaluation fail instead of raising the overflow fault or leaking an infinity into a curve or a fit.
inline bool AddChecked(double a, double b, double& r) {
    if (std::fabs(a) < 1e300 && std::fabs(b) < 1e300) {
        r = a + b;
        return true;
    }
    if (std::fabs(0.5 * a + 0.5 * b) > 0.5 * DBL_MAX) return false;
    r = a + b;
    return true;
}

inline bool MulChecked(double a, double b, double& r) {
    const double fa = std::fabs(a), fb = std::fabs(b);
    if ((fa < 1e150 && fb < 1e150) || fa <= 1.0 || fb <= 1.0) {
        r = a * b;
        return true;
    }
    // Comparing fa with DBL_MAX / fb lets rounding through. Both factors exceed 1 here: with the sum of their
    // binary exponents at most 1023 the product is below 2^1025, and an eighth of it (formed exactly, as a
    // power of two scales without rounding) can be compared with an eighth of DBL_MAX without overflowing.
    if (!std::isfinite(fa) || !std::isfinite(fb) || std::ilogb(fa) + std::ilogb(fb) > 1023) return false;
    if ((0.125 * fa) * fb > 0.125 * DBL_MAX) return false;
    r = a * b;
    return true;
}

inline bool DivChecked(double a, double b, double& r) {
    const double fa = std::fabs(a), fb = std::fabs(b);
    if (fb < 1e-50) return false;
    if (fa < 1e250 || fb >= 1.0 || fa <= DBL_MAX * fb) {
        r = a / b;
        return true;
    }
    return false;
}

// a^b as exp(b ln|a|); a negative base takes a negative sign when b rounded (halves to even) is odd.
inline bool PowChecked(double a, double b, double& r) {
    if (b == 0.0) {
        r = 1.0;
        return true;
    }
    if (a == 0.0) {
        r = 0.0;
        return true;
    }
    const double l = std::log(std::fabs(a));
    double m = 0.0;
    if (l == 0.0)
        m = 1.0;
    else if (std::fabs(b) > 1e300) {
        // |b ln|a|| exceeds any exponent a double can hold: the power is zero or too large.
        if ((b > 0.0) == (l > 0.0)) return false;
    } else {
        const double t = b * l;
        if (t >= ExpLimit) return false;
        m = t < -746.0 ? 0.0 : std::exp(t);
    }
    if (a < 0.0 && std::fmod(std::nearbyint(b), 2.0) != 0.0) m = -m;
    r = m;
    return true;
}

} // namespace

bool IsNumberText(std::string_view text) {
    double v = 0.0;
    return ParseNumber(text, v);
}

int TParamArray::Add(std::string_view name) {
    if (count_ >= MaxCount) return 1;
    names_[static_cast<std::size_t>(count_)] = std::string(name.substr(0, MaxNameLength));
    ++count_;
    return 0;
}

int TParamArray::IndexOf(std::string_view name) const {
    for (int k = 0; k < count_; ++k)
        if (names_[static_cast<std::size_t>(k)] == name) return k + 1;
    return 0;
}

TExpression::TExpression() = default;
TExpression::~TExpression() = default;

int TExpression::AddParam(std::string_view name) {
    return params_.Add(name);
}

void TExpression::SetText(int k, std::string_view text) {
    texts_[static_cast<std::size_t>(k - 1)] = text;
}

void TExpression::SetCount(int n) {
    count_ = std::clamp(n, 0, MaxCount);
}

int TExpression::SetExpression(std::string_view varName, std::string_view formula) {
    params_ = TParamArray();
    params_.Add(RemoveSpaces(varName));
    SetText(1, formula);
    count_ = 1;
    return Compile();
}

int TExpression::Compile() {
    compiled_ = false;
    for (auto& r : roots_) r.reset();
    for (auto& p : programs_) p.clear();
    if (count_ < 1) return 1;
    TParser parser(params_);
    for (std::size_t k = 0; k < static_cast<std::size_t>(count_); ++k) {
        std::string s = RemoveSpaces(texts_[k]);
        const bool fits = s.size() <= MaxFormulaLength;
        InsertUnaryZeros(s);
        auto root = std::make_unique<TParseNode>();
        bool ok =
            fits && !s.empty() && NestingWithin(s, MaxParseDepth) && parser.ParseNode(*root, s, nullptr, 1);
        if (ok) {
            EmitNode(*root, programs_[k]);
            ok = StackNeeded(programs_[k]) <= StackSize;
        }
        if (!ok) {
            for (auto& r : roots_) r.reset();
            for (auto& p : programs_) p.clear();
            return 1;
        }
        roots_[k] = std::move(root);
    }
    // Formulas that refer to other formulas only by a constant number of one before them give the same
    // numbers run over many points at once as point by point; any other reference sees, point by point,
    // what the point before left, and keeps that road.
    lanesAlike_ = true;
    stackNeeded_ = 0;
    for (std::size_t k = 0; k < static_cast<std::size_t>(count_); ++k) {
        const std::vector<TInstruction>& code = programs_[k];
        stackNeeded_ = std::max(stackNeeded_, StackNeeded(code));
        for (std::size_t i = 0; i < code.size(); ++i)
            if (code[i].Code == TInstruction::ExprRef &&
                !(i > 0 && code[i - 1].Code == TInstruction::PushConst &&
                  Referenced(code[i - 1].Value) >= 0 &&
                  static_cast<std::size_t>(Referenced(code[i - 1].Value)) < k))
                lanesAlike_ = false;
    }
    compiled_ = true;
    return 0;
}

namespace {

// One operation of a formula on its operands (b only for the binary ones): false when the evaluation fails
// there. Every path avoids raising a floating-point fault: the substitute values and the failure rules are
// decided before any operation that could raise one.
template <int32_t Code>
inline bool Apply(double a, double b, double& r) {
    if constexpr (Code == TInstruction::Add) return AddChecked(a, b, r);
    if constexpr (Code == TInstruction::Sub) return AddChecked(a, -b, r);
    if constexpr (Code == TInstruction::Mul) return MulChecked(a, b, r);
    if constexpr (Code == TInstruction::Div) return DivChecked(a, b, r);
    if constexpr (Code == TInstruction::Pow) return PowChecked(a, b, r);
    if constexpr (Code == TInstruction::Sin) r = std::sin(a);
    if constexpr (Code == TInstruction::Cos) r = std::cos(a);
    if constexpr (Code == TInstruction::Tan) {
        const double c = std::cos(a);
        r = std::fabs(c) <= 1e-30 ? 1e30 : std::sin(a) / c;
    }
    if constexpr (Code == TInstruction::ArcTan) r = std::atan(a);
    if constexpr (Code == TInstruction::Exp) {
        // Beyond +-2000 the substitutes; between the largest finite exponent and 2000 the result has no
        // double, and the evaluation fails rather than hand an infinity on.
        if (a >= 2000.0)
            r = 1e8;
        else if (a <= -746.0)
            r = 0.0;
        else if (a >= ExpLimit)
            return false;
        else
            r = std::exp(a);
    }
    if constexpr (Code == TInstruction::Log) r = a > 0.0 ? std::log(a) * 0.4342944819032518 : 0.0;
    if constexpr (Code == TInstruction::Ln) r = a > 0.0 ? std::log(a) : 0.0;
    if constexpr (Code == TInstruction::Trunc) r = std::trunc(a);
    return true;
}

// Calls f with the operation of code as a compile-time constant (every code but the pushes and ExprRef).
template <class F>
bool WithOperation(int32_t code, F&& f) {
    using std::integral_constant;
    switch (code) {
    case TInstruction::Add:
        return f(integral_constant<int32_t, TInstruction::Add>{});
    case TInstruction::Sub:
        return f(integral_constant<int32_t, TInstruction::Sub>{});
    case TInstruction::Mul:
        return f(integral_constant<int32_t, TInstruction::Mul>{});
    case TInstruction::Div:
        return f(integral_constant<int32_t, TInstruction::Div>{});
    case TInstruction::Pow:
        return f(integral_constant<int32_t, TInstruction::Pow>{});
    case TInstruction::Sin:
        return f(integral_constant<int32_t, TInstruction::Sin>{});
    case TInstruction::Cos:
        return f(integral_constant<int32_t, TInstruction::Cos>{});
    case TInstruction::Tan:
        return f(integral_constant<int32_t, TInstruction::Tan>{});
    case TInstruction::ArcTan:
        return f(integral_constant<int32_t, TInstruction::ArcTan>{});
    case TInstruction::Exp:
        return f(integral_constant<int32_t, TInstruction::Exp>{});
    case TInstruction::Log:
        return f(integral_constant<int32_t, TInstruction::Log>{});
    case TInstruction::Ln:
        return f(integral_constant<int32_t, TInstruction::Ln>{});
    case TInstruction::Trunc:
        return f(integral_constant<int32_t, TInstruction::Trunc>{});
    default:
        return false;
    }
}

// Runs one compiled formula.
bool Run(const std::vector<TInstruction>& code, const double* vars, const double* results, double& out) {
    double stack[StackSize];
    int sp = -1;
    for (const TInstruction& in : code) {
        if (in.Code == TInstruction::PushConst) {
            stack[++sp] = in.Value;
        } else if (in.Code == TInstruction::PushVar) {
            stack[++sp] = vars[in.Index];
        } else if (in.Code == TInstruction::ExprRef) {
            const int k = Referenced(stack[sp]);
            if (k < 0) return false;
            stack[sp] = results[k];
        } else {
            const bool binary = in.Code <= TInstruction::Pow;
            if (binary) --sp;
            const double b = binary ? stack[sp + 1] : 0.0;
            if (!WithOperation(in.Code, [&](auto op) { return Apply<op>(stack[sp], b, stack[sp]); }))
                return false;
        }
    }
    out = stack[0];
    return true;
}

// Points a formula runs over at once: the stack holds this many values a level.
constexpr int32_t Lanes = 64;

// Operation Code on all lanes of a (and b). The common case, operands far from any overflow, is decided for
// all lanes at once and computed without a branch per value (the same sums and products as one by one); any
// other goes value by value. A lane that fails is marked and goes on with 0, on which no operation faults.
template <int32_t Code>
void ApplyLanes(double* a, const double* b, bool* failed) {
    if constexpr (Code >= TInstruction::Add && Code <= TInstruction::Div) {
        bool safe = true;
        for (int32_t p = 0; p < Lanes; ++p) {
            const double fa = std::fabs(a[p]), fb = std::fabs(b[p]);
            if constexpr (Code == TInstruction::Add || Code == TInstruction::Sub)
                safe &= (fa < 1e300) & (fb < 1e300);
            else if constexpr (Code == TInstruction::Mul)
                safe &= (fa < 1e150) & (fb < 1e150);
            else
                safe &= (fa < 1e250) & (fb >= 1e-50);
        }
        if (safe) {
            for (int32_t p = 0; p < Lanes; ++p) {
                if constexpr (Code == TInstruction::Add) a[p] = a[p] + b[p];
                if constexpr (Code == TInstruction::Sub) a[p] = a[p] + -b[p];
                if constexpr (Code == TInstruction::Mul) a[p] = a[p] * b[p];
                if constexpr (Code == TInstruction::Div) a[p] = a[p] / b[p];
            }
            return;
        }
    }
    for (int32_t p = 0; p < Lanes; ++p)
        if (!Apply<Code>(a[p], b[p], a[p])) {
            failed[p] = true;
            a[p] = 0.0;
        }
}

// Runs one compiled formula over Lanes points: variable 1 takes xs, the others are those of vars. The
// stack holds Lanes values a level.
void RunLanes(const std::vector<TInstruction>& code, const double* vars, const double* xs,
              const double* const* results, double* stack, double* out, bool* failed) {
    std::ptrdiff_t sp = -1; // the level of the top values
    for (const TInstruction& in : code) {
        if (in.Code == TInstruction::PushConst || in.Code == TInstruction::PushVar) {
            double* top = stack + ++sp * Lanes;
            if (in.Code == TInstruction::PushVar && in.Index == 0)
                std::copy_n(xs, Lanes, top);
            else
                std::fill_n(top, Lanes, in.Code == TInstruction::PushConst ? in.Value : vars[in.Index]);
            continue;
        }
        double* top = stack + sp * Lanes;
        if (in.Code == TInstruction::ExprRef) {
            for (int32_t p = 0; p < Lanes; ++p) {
                const int k = Referenced(top[p]);
                failed[p] = failed[p] || k < 0;
                top[p] = k < 0 ? 0.0 : results[k][p];
            }
            continue;
        }
        const bool binary = in.Code <= TInstruction::Pow;
        if (binary) top = stack + --sp * Lanes;
        const double* b = binary ? top + Lanes : top;
        WithOperation(in.Code, [&](auto op) {
            ApplyLanes<op>(top, b, failed);
            return true;
        });
    }
    std::copy_n(stack, Lanes, out);
}

} // namespace

int TExpression::EvaluateAll() {
    return EvaluateAll(params_.Values(), results_.data());
}

int TExpression::EvaluateAll(const double* vars, double* results) const {
    if (!compiled_) return 1;
    for (int k = 0; k < TParamArray::MaxCount; ++k)
        if (!std::isfinite(vars[k])) return 1;
    for (std::size_t k = 0; k < static_cast<std::size_t>(count_); ++k) {
        double v = 0.0;
        if (!Run(programs_[k], vars, results, v)) {
            results[k] = 0.0;
            return 1;
        }
        results[k] = v;
    }
    return 0;
}

void TExpression::EvaluateBlock(const double* vars, const double* xs, int32_t n, double* const* results,
                                bool* failed) const {
    bool varsOk = compiled_;
    for (int k = 1; k < TParamArray::MaxCount; ++k) varsOk = varsOk && std::isfinite(vars[k]);
    if (!varsOk || !lanesAlike_) {
        // Point by point, the results of one point seen by the next as EvaluateAll leaves them.
        std::array<double, MaxCount> r{};
        std::array<double, TParamArray::MaxCount> v{};
        std::copy_n(vars, TParamArray::MaxCount, v.begin());
        for (int32_t p = 0; p < n; ++p) {
            v[0] = xs[p];
            failed[p] = EvaluateAll(v.data(), r.data()) != 0;
            for (int k = 0; k < count_; ++k) results[k][p] = failed[p] ? 0.0 : r[static_cast<size_t>(k)];
        }
        return;
    }
    // Every run takes all lanes; those past the points hold 0 and are not handed back.
    std::vector<double> stack(static_cast<size_t>(std::max(stackNeeded_, 1)) * Lanes);
    std::vector<double> lanes(static_cast<size_t>(count_) * Lanes);
    std::array<double*, MaxCount> at{};
    for (size_t k = 0; k < static_cast<size_t>(count_); ++k) at[k] = lanes.data() + k * Lanes;
    for (int32_t start = 0; start < n; start += Lanes) {
        const int32_t m = std::min(Lanes, n - start);
        // A point whose x is not finite fails at once, and runs with 0.
        double x[Lanes] = {};
        bool fail[Lanes] = {};
        for (int32_t p = 0; p < m; ++p) {
            fail[p] = !std::isfinite(xs[start + p]);
            x[p] = fail[p] ? 0.0 : xs[start + p];
        }
        for (size_t k = 0; k < static_cast<size_t>(count_); ++k)
            RunLanes(programs_[k], vars, x, at.data(), stack.data(), at[k], fail);
        for (int32_t p = 0; p < m; ++p) {
            failed[start + p] = fail[p];
            for (size_t k = 0; k < static_cast<size_t>(count_); ++k)
                results[k][start + p] = fail[p] ? 0.0 : at[k][p];
        }
    }
}

int TExpression::Evaluate(double x, double& value) {
    params_.SetValue(1, x);
    if (EvaluateAll() != 0) {
        value = 0.0;
        return 1;
    }
    value = results_[0];
    return 0;
}
