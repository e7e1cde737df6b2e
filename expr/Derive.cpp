#include "expr/Derive.h"

#include "expr/parse.h"

#include <charconv>
#include <cmath>
#include <memory>

namespace {

// A formula as the deriver sees it. Subtrees are shared and never changed once made. A number is never
// negative: -c is Negate of c, and "0-e" as the parser reads it is Negate of e, so that printing and
// parsing again give back the same tree.
struct TDiffNode;
using TRef = std::shared_ptr<const TDiffNode>;

struct TDiffNode {
    enum TKind { Number, Variable, Negate, Add, Sub, Mul, Div, Pow, Call };
    TKind Kind = Number;
    double Value = 0.0; // Number
    int Index = 0;      // Variable: 1-based variable number; Call: the function code (TFunction)
    TRef A, B;          // operands: A alone for Negate and Call
};

TRef Make(TDiffNode::TKind kind, TRef a = nullptr, TRef b = nullptr, double value = 0.0, int index = 0) {
    auto n = std::make_shared<TDiffNode>();
    n->Kind = kind;
    n->Value = value;
    n->Index = index;
    n->A = std::move(a);
    n->B = std::move(b);
    return n;
}

TRef Num(double v) {
    if (v < 0.0) return Make(TDiffNode::Negate, Make(TDiffNode::Number, nullptr, nullptr, -v));
    return Make(TDiffNode::Number, nullptr, nullptr, v == 0.0 ? 0.0 : v);
}

bool IsNumber(const TRef& t, double v) {
    return t->Kind == TDiffNode::Number && t->Value == v;
}

// The value of a constant: a number or a negated number.
bool ConstantValue(const TRef& t, double& v) {
    if (t->Kind == TDiffNode::Number) {
        v = t->Value;
        return true;
    }
    if (t->Kind == TDiffNode::Negate && t->A->Kind == TDiffNode::Number) {
        v = -t->A->Value;
        return true;
    }
    return false;
}

// Structural equality. Shared subtrees make a tree's paths far more than its nodes, so the comparison
// gives up (unequal) after a number of steps well beyond any formula a text of MaxFormulaLength holds.
bool Equal(const TRef& a, const TRef& b, long& steps) {
    if (a == b) return true;
    if (--steps < 0 || a->Kind != b->Kind || a->Value != b->Value || a->Index != b->Index) return false;
    if (static_cast<bool>(a->A) != static_cast<bool>(b->A) ||
        static_cast<bool>(a->B) != static_cast<bool>(b->B))
        return false;
    return (!a->A || Equal(a->A, b->A, steps)) && (!a->B || Equal(a->B, b->B, steps));
}

bool Equal(const TRef& a, const TRef& b) {
    long steps = 100000;
    return Equal(a, b, steps);
}

// Constant folding only where the double result is the exact value, so that a folded derivative is the
// same number the unfolded one stands for. Results are kept well inside the normal range, where the
// exactness tests below are themselves exact.
bool Ordinary(double v) {
    return v == 0.0 || (std::fabs(v) >= 1e-150 && std::fabs(v) <= 1e150);
}

bool ExactSum(double a, double b, double& r) {
    r = a + b;
    if (!Ordinary(a) || !Ordinary(b) || !Ordinary(r)) return false;
    const double bb = r - a;
    return (a - (r - bb)) + (b - bb) == 0.0;
}

bool ExactProduct(double a, double b, double& r) {
    r = a * b;
    return Ordinary(a) && Ordinary(b) && Ordinary(r) && std::fma(a, b, -r) == 0.0;
}

bool ExactQuotient(double a, double b, double& r) {
    if (b == 0.0) return false;
    r = a / b;
    return Ordinary(a) && Ordinary(b) && Ordinary(r) && std::fma(r, b, -a) == 0.0;
}

// The simplifying constructors. Besides dropping neutral and absorbing operands, they move negations
// outwards, put a constant factor first and lean chains of + and * to the left, the way the parser groups
// them, so that the text needs no parentheses there.
TRef Sub(const TRef& a, const TRef& b);

TRef Neg(const TRef& a) {
    if (a->Kind == TDiffNode::Negate) return a->A;
    if (IsNumber(a, 0.0)) return a;
    if (a->Kind == TDiffNode::Sub) return Sub(a->B, a->A);
    return Make(TDiffNode::Negate, a);
}

TRef Add(const TRef& a, const TRef& b) {
    double x = 0.0, y = 0.0, r = 0.0;
    if (IsNumber(a, 0.0)) return b;
    if (IsNumber(b, 0.0)) return a;
    if (ConstantValue(a, x) && ConstantValue(b, y) && ExactSum(x, y, r)) return Num(r);
    if (b->Kind == TDiffNode::Negate) return Sub(a, b->A);
    if (a->Kind == TDiffNode::Negate) return Sub(b, a->A);
    if (b->Kind == TDiffNode::Add) return Add(Add(a, b->A), b->B);
    return Make(TDiffNode::Add, a, b);
}

TRef Sub(const TRef& a, const TRef& b) {
    double x = 0.0, y = 0.0, r = 0.0;
    if (IsNumber(b, 0.0)) return a;
    if (IsNumber(a, 0.0)) return Neg(b);
    if (ConstantValue(a, x) && ConstantValue(b, y) && ExactSum(x, -y, r)) return Num(r);
    if (Equal(a, b)) return Num(0.0);
    if (b->Kind == TDiffNode::Negate) return Add(a, b->A);
    if (a->Kind == TDiffNode::Negate) return Neg(Add(a->A, b));
    // p+q-r reads as p+(q-r).
    if (a->Kind == TDiffNode::Add) return Add(a->A, Sub(a->B, b));
    if (b->Kind == TDiffNode::Sub) return Add(Sub(a, b->A), b->B);
    if (b->Kind == TDiffNode::Add) return Sub(Sub(a, b->A), b->B);
    return Make(TDiffNode::Sub, a, b);
}

TRef Div(const TRef& a, const TRef& b);

TRef Mul(const TRef& a, const TRef& b) {
    double r = 0.0;
    if (IsNumber(a, 0.0) || IsNumber(b, 0.0)) return Num(0.0);
    if (IsNumber(a, 1.0)) return b;
    if (IsNumber(b, 1.0)) return a;
    if (a->Kind == TDiffNode::Negate) return Neg(Mul(a->A, b));
    if (b->Kind == TDiffNode::Negate) return Neg(Mul(a, b->A));
    const bool na = a->Kind == TDiffNode::Number, nb = b->Kind == TDiffNode::Number;
    if (na && nb && ExactProduct(a->Value, b->Value, r)) return Num(r);
    if (nb && !na) return Mul(b, a);
    if (b->Kind == TDiffNode::Mul) return Mul(Mul(a, b->A), b->B);
    if (b->Kind == TDiffNode::Div && IsNumber(b->A, 1.0)) return Div(a, b->B);
    if (a->Kind == TDiffNode::Div && IsNumber(a->A, 1.0)) return Div(b, a->B);
    if (na && b->Kind == TDiffNode::Div && b->B->Kind == TDiffNode::Number &&
        ExactQuotient(a->Value, b->B->Value, r))
        return Mul(Num(r), b->A);
    return Make(TDiffNode::Mul, a, b);
}

TRef Div(const TRef& a, const TRef& b) {
    double r = 0.0;
    if (IsNumber(a, 0.0)) return a;
    if (IsNumber(b, 1.0)) return a;
    if (a->Kind == TDiffNode::Negate) return Neg(Div(a->A, b));
    if (b->Kind == TDiffNode::Negate) return Neg(Div(a, b->A));
    if (a->Kind == TDiffNode::Number && b->Kind == TDiffNode::Number && ExactQuotient(a->Value, b->Value, r))
        return Num(r);
    if (Equal(a, b)) return Num(1.0);
    // p*q/b reads as p*(q/b): written that way it needs no parentheses.
    if (a->Kind == TDiffNode::Mul) return Mul(a->A, Div(a->B, b));
    if (a->Kind == TDiffNode::Div && IsNumber(a->A, 1.0)) return Div(a->A, Mul(a->B, b));
    return Make(TDiffNode::Div, a, b);
}

bool IsWholeNumber(const TRef& t) {
    return t->Kind == TDiffNode::Number && t->Value == std::trunc(t->Value);
}

TRef Pow(const TRef& a, const TRef& b) {
    double r = 0.0;
    if (IsNumber(b, 0.0) || IsNumber(a, 1.0)) return Num(1.0);
    if (IsNumber(b, 1.0)) return a;
    // (p^m)^n is p^(m*n) for whole m and n, negative p included.
    if (a->Kind == TDiffNode::Pow && IsWholeNumber(a->B) && IsWholeNumber(b) &&
        ExactProduct(a->B->Value, b->Value, r))
        return Pow(a->A, Num(r));
    if (a->Kind == TDiffNode::Number && IsWholeNumber(b) && b->Value <= 64) {
        r = a->Value;
        bool exact = true;
        for (int k = 1; k < static_cast<int>(b->Value) && exact; ++k) exact = ExactProduct(r, a->Value, r);
        if (exact) return Num(r);
    }
    return Make(TDiffNode::Pow, a, b);
}

TRef Call(int function, const TRef& a) {
    return Make(TDiffNode::Call, a, nullptr, 0.0, function);
}

// --- from the parser's tree ------------------------------------------------------------------------

TRef FromNode(const TParseNode& node);

TRef FromArgument(const TArgument& arg) {
    switch (arg.Kind) {
    case TArgument::Constant:
        return Make(TDiffNode::Number, nullptr, nullptr, arg.Value);
    case TArgument::Variable:
        return Make(TDiffNode::Variable, nullptr, nullptr, 0.0, arg.Index);
    default:
        return FromNode(*arg.Node);
    }
}

// Literal: the user's sub-expressions are kept as typed.
TRef FromNode(const TParseNode& node) {
    if (node.Kind == TParseNode::Binary) {
        TRef a = FromArgument(node.Arg1), b = FromArgument(node.Arg2);
        if (node.Op == OpSub && IsNumber(a, 0.0)) return Make(TDiffNode::Negate, b);
        static constexpr TDiffNode::TKind Kinds[] = {TDiffNode::Add, TDiffNode::Sub, TDiffNode::Mul,
                                                     TDiffNode::Div, TDiffNode::Pow};
        return Make(Kinds[node.Op - OpAdd], a, b);
    }
    if (node.Op == FnNone) return FromArgument(node.Arg1);
    return Call(node.Op, FromArgument(node.Arg1));
}

// --- differentiation -------------------------------------------------------------------------------

class TDeriver {
public:
    explicit TDeriver(int variable) : variable_(variable) {}
    TRef D(const TRef& t);
    const std::string& Reason() const { return reason_; }

private:
    TRef DCall(const TRef& t);
    TRef Fail(const char* reason) {
        if (reason_.empty()) reason_ = reason;
        return Num(0.0);
    }
    int variable_;
    std::string reason_;
};

TRef TDeriver::D(const TRef& t) {
    switch (t->Kind) {
    case TDiffNode::Number:
        return Num(0.0);
    case TDiffNode::Variable:
        return Num(t->Index == variable_ ? 1.0 : 0.0);
    case TDiffNode::Negate:
        return Neg(D(t->A));
    case TDiffNode::Add:
        return Add(D(t->A), D(t->B));
    case TDiffNode::Sub:
        return Sub(D(t->A), D(t->B));
    case TDiffNode::Mul:
        return Add(Mul(D(t->A), t->B), Mul(t->A, D(t->B)));
    case TDiffNode::Div: {
        const TRef da = D(t->A), db = D(t->B);
        if (IsNumber(db, 0.0)) return Div(da, t->B);
        const TRef square = Pow(t->B, Num(2.0));
        if (IsNumber(da, 0.0)) return Neg(Div(Mul(t->A, db), square));
        return Div(Sub(Mul(da, t->B), Mul(t->A, db)), square);
    }
    case TDiffNode::Pow: {
        const TRef &a = t->A, &b = t->B;
        const TRef da = D(a), db = D(b);
        if (IsNumber(db, 0.0)) return Mul(b, Mul(da, Pow(a, Sub(b, Num(1.0)))));
        if (IsNumber(da, 0.0)) return Mul(db, Mul(t, Call(FnLn, a)));
        return Mul(t, Add(Mul(db, Call(FnLn, a)), Mul(b, Div(da, a))));
    }
    case TDiffNode::Call:
        return DCall(t);
    }
    return Num(0.0);
}

TRef TDeriver::DCall(const TRef& t) {
    if (t->Index == FnExpr)
        return Fail("EXPR(n) stands for the value of another formula and cannot be differentiated.");
    const TRef& a = t->A;
    const TRef da = D(a);
    if (IsNumber(da, 0.0)) return da;
    switch (t->Index) {
    case FnSin:
        return Mul(da, Call(FnCos, a));
    case FnCos:
        return Neg(Mul(da, Call(FnSin, a)));
    case FnTan:
        // 1 + tan^2 rather than 1/cos^2: no divisor that could fall below the evaluator's 1e-50.
        return Mul(da, Add(Num(1.0), Pow(t, Num(2.0))));
    case FnArcTan:
        return Div(da, Add(Num(1.0), Pow(a, Num(2.0))));
    case FnExp:
        return Mul(da, t);
    case FnLog:
        // LOG is LN times this factor in the evaluator.
        return Mul(Num(0.4342944819032518), Div(da, a));
    case FnLn:
        return Div(da, a);
    default:
        return Fail("TRUNC has no usable derivative: it is a step function of its argument.");
    }
}

// --- back to text ----------------------------------------------------------------------------------

constexpr std::string_view FunctionNames[] = {"sin", "cos", "tan",   "arctan", "exp",
                                              "log", "ln",  "trunc", "expr"};

// Digits, an optional point and an optional unsigned exponent, reading back as the same double: the
// shortest form, in fixed notation where the exponent would be negative.
std::string NumberText(double v) {
    char buffer[400];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    std::string text(buffer, end);
    const std::size_t e = text.find('e');
    if (e == std::string::npos) return text;
    if (text[e + 1] == '-') {
        end = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed).ptr;
        return std::string(buffer, end);
    }
    if (text[e + 1] == '+') text.erase(e + 1, 1);
    return text;
}

// The operator the parser would split a printed node's text at: + 1, - 2 (also a negation, "0-e"),
// * 3, / 4, ^ 5; 6 for a text it cannot split (a number, a name, a call).
int SplitCode(const TRef& t) {
    switch (t->Kind) {
    case TDiffNode::Add:
        return OpAdd;
    case TDiffNode::Sub:
    case TDiffNode::Negate:
        return OpSub;
    case TDiffNode::Mul:
        return OpMul;
    case TDiffNode::Div:
        return OpDiv;
    case TDiffNode::Pow:
        return OpPow;
    default:
        return 6;
    }
}

class TPrinter {
public:
    TPrinter(const TParamArray& names, std::size_t limit) : names_(names), limit_(limit) {}
    // False when the text grew past the limit (it is then left incomplete).
    bool Print(const TRef& t) {
        Node(t);
        return out_.size() <= limit_;
    }
    const std::string& Text() const { return out_; }

private:
    void Operand(const TRef& t, bool parenthesise) {
        if (!parenthesise) return Node(t);
        out_ += '(';
        Node(t);
        out_ += ')';
    }
    void Node(const TRef& t);
    const TParamArray& names_;
    std::size_t limit_;
    std::string out_;
};

// The parser splits a text at the operator of lowest code outside parentheses, at its rightmost
// occurrence for + - * / and its leftmost for ^. An operand is parenthesised when its own text would hold
// an operator that would be split at instead.
void TPrinter::Node(const TRef& t) {
    if (out_.size() > limit_) return;
    switch (t->Kind) {
    case TDiffNode::Number:
        out_ += NumberText(t->Value);
        return;
    case TDiffNode::Variable:
        out_ += names_.Name(t->Index);
        return;
    case TDiffNode::Call:
        out_ += FunctionNames[t->Index - FnSin];
        out_ += '(';
        Node(t->A);
        out_ += ')';
        return;
    case TDiffNode::Negate:
        // At the start and after "(" the parser puts the 0 in itself.
        if (!out_.empty() && out_.back() != '(') out_ += '0';
        out_ += '-';
        Operand(t->A, SplitCode(t->A) <= OpSub);
        return;
    default: {
        const int code = SplitCode(t);
        static constexpr char Signs[] = "+-*/^";
        if (code == OpPow) {
            Operand(t->A, SplitCode(t->A) <= OpPow);
            out_ += '^';
            Operand(t->B, SplitCode(t->B) < OpPow);
        } else {
            Operand(t->A, SplitCode(t->A) < code);
            out_ += Signs[code - OpAdd];
            Operand(t->B, SplitCode(t->B) <= code);
        }
        return;
    }
    }
}

} // namespace

TDerivative Derive(std::string_view formula, const std::vector<std::string>& variables, std::string_view by) {
    TDerivative result;
    TExpression expression;
    for (const std::string& name : variables)
        if (expression.AddParam(name) != 0) {
            result.Reason = "A formula has at most 10 variables.";
            return result;
        }
    const int variable = expression.Params().IndexOf(by.substr(0, TParamArray::MaxNameLength));
    if (variable == 0) {
        result.Reason = "There is no variable named '" + std::string(by) + "'.";
        return result;
    }
    expression.SetText(1, formula);
    expression.SetCount(1);
    if (expression.Compile() != 0) {
        result.Reason =
            "The formula does not parse (an operator or parenthesis out of place, or a name that is "
            "neither a variable nor a function).";
        return result;
    }

    TDeriver deriver(variable);
    const TRef derivative = deriver.D(FromNode(*expression.Root(1)));
    if (!deriver.Reason().empty()) {
        result.Reason = deriver.Reason();
        return result;
    }
    TPrinter printer(expression.Params(), MaxFormulaLength);
    if (!printer.Print(derivative)) {
        result.Reason = "The derivative is longer than " + std::to_string(MaxFormulaLength) + " characters.";
        return result;
    }

    // Read back by the parser, the text must stand for the very tree that was derived.
    expression.SetText(1, printer.Text());
    if (expression.Compile() != 0 || !Equal(FromNode(*expression.Root(1)), derivative)) {
        result.Reason = "The derivative cannot be written as a formula that reads back as derived.";
        return result;
    }
    result.Ok = true;
    result.Text = printer.Text();
    return result;
}
