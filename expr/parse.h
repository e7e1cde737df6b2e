// Typed formulas: an expression set holds up to ten formulas over one table of up to ten named variables.
// Each formula is parsed into a tree of nodes (kept for inspection) and compiled into a flat postfix
// program, which is what evaluation runs: no recursion, no allocation and no string work per evaluation.
//
// Parsing rules in brief: spaces are removed; "0" is put in front of a minus at the start or after "(";
// the split operator of a text is the one outside parentheses with the lowest code (+ - * / ^), at its
// rightmost occurrence (leftmost for ^); function names are matched without regard to case and must be
// followed by "(", variable names are matched with case.
//
// Evaluation never raises a floating-point fault for the cases it handles by rule (the command layer treats
// any raised fault as fatal to the whole command): a divisor below 1e-50 in magnitude, an argument out of a
// function's range and a result too large for a double all make the evaluation fail (or give the function's
// substitute value) without the fault being raised.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Deepest tree a formula may produce (nodes from the root to a leaf, each parenthesised group and each
// function call counting one). Deeper formulas, such as a sum of more than about a thousand terms or a
// thousand nested parentheses around an operator, are refused as parse failures so that neither parsing
// nor the tree's destruction can exhaust the stack.
constexpr int MaxParseDepth = 1000;
// Longest formula text, spaces removed. Each node keeps the text it was parsed from, so this bounds the
// memory a deep formula can take while it is parsed.
constexpr std::size_t MaxFormulaLength = 10000;

// True when the whole text reads as a number constant of a formula: digits with an optional decimal point
// and an optional unsigned exponent (1.5, .5, 2e3). Such a text is never taken for a variable's name.
bool IsNumberText(std::string_view text);

// The variable table of an expression set. Variables are numbered 1..Count.
class TParamArray {
public:
    static constexpr int MaxCount = 10;
    static constexpr std::size_t MaxNameLength = 20;

    int32_t Count() const { return count_; }
    // Appends a variable, its name cut to 20 characters. Returns 0, or 1 when the table is full.
    int Add(std::string_view name);
    // 1-based access; k must lie in 1..MaxCount (values of unused slots are kept too).
    const std::string& Name(int k) const { return names_[static_cast<std::size_t>(k - 1)]; }
    double Value(int k) const { return values_[static_cast<std::size_t>(k - 1)]; }
    void SetValue(int k, double v) { values_[static_cast<std::size_t>(k - 1)] = v; }
    // First variable of that name (compared with case), or 0.
    int IndexOf(std::string_view name) const;
    // 0-based raw array of the MaxCount values.
    double* Values() { return values_.data(); }
    const double* Values() const { return values_.data(); }

private:
    int32_t count_ = 0;
    std::array<std::string, MaxCount> names_;
    std::array<double, MaxCount> values_{};
};

struct TParseNode;

// One operand of a tree node.
struct TArgument {
    enum TKind : int32_t { Constant = 1, Variable = 2, SubExpression = 3 };
    int32_t Kind = Constant;
    int32_t Index = 0;                // 1-based variable number (Variable)
    double Value = 0.0;               // the constant (Constant)
    std::unique_ptr<TParseNode> Node; // owned sub-tree (SubExpression)
};

// Binary operator codes and function codes of the tree.
enum TOperator : int32_t { OpAdd = 1, OpSub = 2, OpMul = 3, OpDiv = 4, OpPow = 5 };
enum TFunction : int32_t {
    FnSin = 1,
    FnCos = 2,
    FnTan = 3,
    FnArcTan = 4,
    FnExp = 5,
    FnLog = 6,
    FnLn = 7,
    FnTrunc = 8,
    FnExpr = 9,
    FnNone = 10 // a plain operand: the node's value is arg1's
};

// One node of a formula's tree.
struct TParseNode {
    enum TKind : int32_t { Unary = 1, Binary = 2 };
    TArgument Arg1;
    TArgument Arg2; // binary nodes only
    int32_t Kind = Unary;
    int32_t Op = FnNone; // TOperator for binary nodes, TFunction for unary ones
    std::string Text;    // the text the node was parsed from
    TParseNode* Parent = nullptr;
};

// One step of a compiled formula (postfix order).
struct TInstruction {
    enum TCode : int32_t {
        PushConst,
        PushVar,
        Add,
        Sub,
        Mul,
        Div,
        Pow,
        Sin,
        Cos,
        Tan,
        ArcTan,
        Exp,
        Log,
        Ln,
        Trunc,
        ExprRef
    };
    int32_t Code = PushConst;
    int32_t Index = 0;  // 0-based variable slot (PushVar)
    double Value = 0.0; // the constant (PushConst)
};

class TExpression {
public:
    static constexpr int MaxCount = 10;

    TExpression();
    ~TExpression();
    TExpression(const TExpression&) = delete;
    TExpression& operator=(const TExpression&) = delete;

    // Appends a variable (name cut to 20 characters). 0 on success, 1 when 10 variables exist already.
    int AddParam(std::string_view name);
    TParamArray& Params() { return params_; }
    const TParamArray& Params() const { return params_; }

    // The one-formula use: variable 1 is varName without its spaces, formula 1 is the text; compiles.
    // Returns 0 when the formula parsed, non-zero otherwise.
    int SetExpression(std::string_view varName, std::string_view formula);

    // Formula texts 1..10 and the number in use; Compile parses texts 1..Count().
    void SetText(int k, std::string_view text);
    const std::string& Text(int k) const { return texts_[static_cast<std::size_t>(k - 1)]; }
    void SetCount(int n);
    int Count() const { return count_; }

    // Parses texts 1..Count(). Returns 0 on success; 1 when any of them fails (then no formula is
    // compiled and every evaluation fails until a compile succeeds).
    int Compile();
    bool Compiled() const { return compiled_; }
    // The tree of formula k (1-based) after a successful compile, else null.
    const TParseNode* Root(int k) const { return roots_[static_cast<std::size_t>(k - 1)].get(); }

    // Evaluates formulas 1..Count() in order with the current variable values, storing Result(k). Stops at
    // the first formula that fails and returns 1; returns 0 when all succeeded. A variable value that is not
    // finite fails the evaluation.
    int EvaluateAll();
    // The same over the caller's variable values (MaxCount of them) and results (Count() of them), leaving
    // the expression's own untouched: several threads can evaluate one compiled expression at once.
    int EvaluateAll(const double* vars, double* results) const;
    // EvaluateAll at n points at once, giving the same numbers: variable 1 takes the values xs, the others
    // those of vars (MaxCount of them); results[k - 1][p] is formula k at point p, and failed[p] tells where
    // the evaluation failed (its results are then 0). A long curve is evaluated many times faster so.
    void EvaluateBlock(const double* vars, const double* xs, int32_t n, double* const* results,
                       bool* failed) const;
    // Sets variable 1 to x and runs EvaluateAll; value is Result(1), or 0 when the evaluation failed.
    // Returns the error flag (0 on success).
    int Evaluate(double x, double& value);
    // Value of formula k (1-based) after the latest evaluation; 0 before the first.
    double Result(int k) const { return results_[static_cast<std::size_t>(k - 1)]; }

private:
    TParamArray params_;
    std::array<std::unique_ptr<TParseNode>, MaxCount> roots_;
    std::array<std::vector<TInstruction>, MaxCount> programs_;
    std::array<double, MaxCount> results_{};
    std::array<std::string, MaxCount> texts_;
    int count_ = 0;
    bool compiled_ = false;
    bool lanesAlike_ = true; // EvaluateBlock may run the formulas over many points at once
    int stackNeeded_ = 0;    // the deepest stack of the formulas
};
