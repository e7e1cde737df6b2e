// The library of user-defined fit functions: a named formula f of x and up to nine parameters, the user's
// formula for the partial derivative of f with respect to each parameter, and each parameter's initial
// value, bounds and initial-guess style. The library lives in one binary file ("UserFit.dat" by default).
//
// Library file (little-endian, no header):
//   count                       int32
//   per function:
//     varCount                  int32, 1..10
//     name                      41 bytes: length byte 0..40, then 40 bytes of text
//     tag                       int32
//     per variable (534 bytes):
//       varName                 256 bytes: length byte, then 255 bytes of text
//       formula                 256 bytes, same form
//       min, max, initial       6 bytes each, 48-bit reals
//       guessStyle              int32
// Unused bytes of a text field are written as zeros.
#pragma once

#include "expr/parse.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One variable of a user function: variable 1 is x, the others are the parameters.
struct TUserVariable {
    std::string Name;    // at most 255 characters
    std::string Formula; // f itself for variable 1, else the derivative of f by this variable
    double Min = 0.0;
    double Max = 0.0;
    double Initial = 0.0;
    int32_t GuessStyle = 0;
};

class TUserFunction {
public:
    static constexpr int MaxVariables = 10;
    static constexpr std::size_t MaxNameLength = 40;
    static constexpr std::size_t MaxTextLength = 255;

    std::string Name; // unique in a library; at most 40 characters
    int32_t VarCount = 0;
    int32_t Tag = -1; // a term made from the function takes it as its kind code

    // Appends a variable (name and formula cut to 255 characters) while fewer than 10 exist; a further
    // one is ignored, so a function has at most nine parameters.
    void AddVariable(std::string_view name, std::string_view formula, double initial, double min, double max,
                     int32_t style);
    // Variable k, 1-based, k in 1..MaxVariables (slots past VarCount are empty).
    const TUserVariable& Var(int k) const { return vars_[static_cast<std::size_t>(k - 1)]; }
    TUserVariable& Var(int k) { return vars_[static_cast<std::size_t>(k - 1)]; }

    // The expression set of the function: variables 1..VarCount named as the function's variables,
    // formula k the function's formula k. Evaluated with variable 1 = x and the parameter values, it gives
    // f in Result(1) and the derivatives by parameter k in Result(k). Null when VarCount < 1 or a formula
    // fails to parse.
    std::unique_ptr<TExpression> BuildExpression() const;

private:
    std::array<TUserVariable, MaxVariables> vars_;
};

// The library: an ordered list of owned functions, indexed from 0.
class TUserFunctionList {
public:
    // Appends the function and returns its index, or returns -1 (the function is released) when one of the
    // same name (exact comparison) is in the list.
    int Add(std::unique_ptr<TUserFunction> function);
    // The function at index (0-based), or null past the end.
    TUserFunction* Get(int index) const;
    int Count() const { return static_cast<int>(items_.size()); }
    // Index of the function of that name (exact comparison), or -1.
    int IndexOf(std::string_view name) const;
    // Puts the function in place of the one at index (no name check). False for an index out of range.
    bool Replace(int index, std::unique_ptr<TUserFunction> function);
    // Removes the function at index. False for an index out of range.
    bool Delete(int index);
    void Clear() { items_.clear(); }

    // Replaces the list by the library in the file. Returns 0 on success; 1 when the file does not exist or
    // cannot be read, when its count is short or negative, and when a function record is damaged or cut
    // short: the load then stops there, keeping the functions read before it. A function whose name is
    // already in the list is skipped.
    int Load(const std::string& path);
    // Writes the library. The old file is replaced only once the new one is completely written, so a failed
    // write leaves it as it was. Returns 0 on success, 1 on failure (also when a value of a function lies
    // beyond what the file's 48-bit reals hold, about 1.7e38), with the reason in *error when given.
    int Save(const std::string& path, std::string* error = nullptr) const;

private:
    std::vector<std::unique_ptr<TUserFunction>> items_;
};

// One parameter of a definition as the function dialog holds it.
struct TUserParamDef {
    std::string Name;
    std::string Derivative;
    double Initial = 0.0;
    double Min = 0.0;
    double Max = 0.0;
    int32_t Style = 0;
};

// The check made when the user confirms a function definition. Returns "" when the definition is valid, and
// then the list holds the new function (appended when editIndex is -1, else in place of the function at
// editIndex). Otherwise returns the message to show and leaves the list as it was. The checks, in order:
// "No function name.", "No function given.", "One or more variable names are invalid." (empty, holding one
// of " +-*/=.,<>;:(){}[]^", reading as a number, named x, or repeating another parameter's name in its
// first 20 characters), "One or more derivative expressions are invalid." (empty), "Error parsing
// expresions." (also for a formula longer than 255 characters, which the file cannot hold), "Duplicate
// function name." (another function of the list has the name, for an edit too).
// The name is cut to 40 characters; parameters past the ninth are dropped.
std::string DefineUserFunction(TUserFunctionList& list, std::string_view name, std::string_view functionText,
                               const std::vector<TUserParamDef>& params, int editIndex = -1);
