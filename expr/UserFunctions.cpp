#include "expr/UserFunctions.h"

#include "curves/curvefile.h"
#include "curves/real48.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t NameField = 1 + TUserFunction::MaxNameLength; // 41
constexpr std::size_t TextField = 1 + TUserFunction::MaxTextLength; // 256
constexpr std::size_t VariableRecord = 2 * TextField + 3 * 6 + 4;   // 534
constexpr std::size_t FunctionHead = 4 + NameField + 4;             // 49

// --- little-endian fields --------------------------------------------------------------------------

void PutInt32(std::vector<uint8_t>& out, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(u >> (8 * k)));
}

int32_t GetInt32(const uint8_t* p) {
    const uint32_t u = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    return static_cast<int32_t>(u);
}

// A short string: a length byte, the text, zeros up to the field's full width.
void PutShortString(std::vector<uint8_t>& out, std::string_view text, std::size_t maxLength) {
    const std::size_t n = std::min(text.size(), maxLength);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    out.insert(out.end(), maxLength - n, 0);
}

bool PutReal(std::vector<uint8_t>& out, double v) {
    TReal48 r{};
    if (!EncodeReal48(v, r)) return false;
    out.insert(out.end(), r.begin(), r.end());
    return true;
}

double GetReal(const uint8_t* p) {
    TReal48 r{};
    std::memcpy(r.data(), p, r.size());
    return DecodeReal48(r);
}

bool ReadExactly(std::FILE* f, uint8_t* buffer, std::size_t n) {
    return std::fread(buffer, 1, n, f) == n;
}

// Reads one function record; false for a short read or a field out of its range.
bool ReadFunction(std::FILE* f, TUserFunction& function) {
    uint8_t head[FunctionHead];
    if (!ReadExactly(f, head, sizeof head)) return false;
    const int32_t varCount = GetInt32(head);
    if (varCount < 1 || varCount > TUserFunction::MaxVariables) return false;
    const uint8_t nameLength = head[4];
    if (nameLength > TUserFunction::MaxNameLength) return false;
    function.Name.assign(reinterpret_cast<const char*>(head + 5), nameLength);
    function.Tag = GetInt32(head + 4 + NameField);
    uint8_t record[VariableRecord];
    for (int k = 1; k <= varCount; ++k) {
        if (!ReadExactly(f, record, sizeof record)) return false;
        const uint8_t* p = record;
        const std::string name(reinterpret_cast<const char*>(p + 1), p[0]);
        p += TextField;
        const std::string formula(reinterpret_cast<const char*>(p + 1), p[0]);
        p += TextField;
        const double min = GetReal(p), max = GetReal(p + 6), initial = GetReal(p + 12);
        p += 18;
        function.AddVariable(name, formula, initial, min, max, GetInt32(p));
    }
    return true;
}

// Characters a parameter name may not hold: they would split or end it inside a formula.
constexpr std::string_view ForbiddenNameChars = " +-*/=.,<>;:(){}[]^";

bool ValidParamName(const std::vector<TUserParamDef>& params, std::size_t i) {
    const std::string& name = params[i].Name;
    if (name.empty() || name.find_first_of(ForbiddenNameChars) != std::string::npos) return false;
    // A name that reads as a number, that is x, or that repeats an earlier name (as the expression set
    // holds names, cut to 20 characters) could never be referred to by a formula, so the parameter would
    // silently take no part in the function.
    if (IsNumberText(name)) return false;
    const std::string_view held = std::string_view(name).substr(0, TParamArray::MaxNameLength);
    if (held == "x") return false;
    for (std::size_t j = 0; j < i; ++j)
        if (std::string_view(params[j].Name).substr(0, TParamArray::MaxNameLength) == held) return false;
    return true;
}

} // namespace

void TUserFunction::AddVariable(std::string_view name, std::string_view formula, double initial, double min,
                                double max, int32_t style) {
    if (VarCount < 0) VarCount = 0;
    if (VarCount >= MaxVariables) return;
    TUserVariable& v = vars_[static_cast<std::size_t>(VarCount)];
    v.Name = std::string(name.substr(0, MaxTextLength));
    v.Formula = std::string(formula.substr(0, MaxTextLength));
    v.Initial = initial;
    v.Min = min;
    v.Max = max;
    v.GuessStyle = style;
    ++VarCount;
}

std::unique_ptr<TExpression> TUserFunction::BuildExpression() const {
    if (VarCount < 1 || VarCount > MaxVariables) return nullptr;
    auto expression = std::make_unique<TExpression>();
    for (int k = 1; k <= VarCount; ++k) {
        expression->AddParam(Var(k).Name);
        expression->SetText(k, Var(k).Formula);
    }
    expression->SetCount(VarCount);
    if (expression->Compile() != 0) return nullptr;
    return expression;
}

int TUserFunctionList::Add(std::unique_ptr<TUserFunction> function) {
    if (!function || IndexOf(function->Name) >= 0) return -1;
    items_.push_back(std::move(function));
    return Count() - 1;
}

TUserFunction* TUserFunctionList::Get(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<std::size_t>(index)].get();
}

int TUserFunctionList::IndexOf(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (items_[static_cast<std::size_t>(i)]->Name == name) return i;
    return -1;
}

bool TUserFunctionList::Replace(int index, std::unique_ptr<TUserFunction> function) {
    if (!function || index < 0 || index >= Count()) return false;
    items_[static_cast<std::size_t>(index)] = std::move(function);
    return true;
}

bool TUserFunctionList::Delete(int index) {
    if (index < 0 || index >= Count()) return false;
    items_.erase(items_.begin() + index);
    return true;
}

int TUserFunctionList::Load(const std::string& path) {
    Clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 1;
    int result = 1;
    uint8_t countBytes[4];
    if (ReadExactly(f, countBytes, sizeof countBytes)) {
        const int32_t count = GetInt32(countBytes);
        // The records are read one by one, so a count larger than the file holds only ends in a short read.
        result = count < 0 ? 1 : 0;
        for (int32_t i = 0; i < count; ++i) {
            auto function = std::make_unique<TUserFunction>();
            if (!ReadFunction(f, *function)) {
                result = 1;
                break;
            }
            Add(std::move(function));
        }
    }
    std::fclose(f);
    return result;
}

int TUserFunctionList::Save(const std::string& path, std::string* error) const {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = why;
        return 1;
    };
    std::vector<uint8_t> bytes;
    PutInt32(bytes, Count());
    for (const auto& function : items_) {
        // The loader refuses a record without variables or with more than ten: never write one.
        const int32_t varCount = function->VarCount;
        if (varCount < 1 || varCount > TUserFunction::MaxVariables)
            return fail("cannot save to " + path + ": function " + function->Name + " has " +
                        std::to_string(varCount) + " variables");
        PutInt32(bytes, varCount);
        PutShortString(bytes, function->Name, TUserFunction::MaxNameLength);
        PutInt32(bytes, function->Tag);
        for (int k = 1; k <= varCount; ++k) {
            const TUserVariable& v = function->Var(k);
            PutShortString(bytes, v.Name, TUserFunction::MaxTextLength);
            PutShortString(bytes, v.Formula, TUserFunction::MaxTextLength);
            // A value the six-byte form cannot hold is refused rather than written wrong.
            if (!PutReal(bytes, v.Min) || !PutReal(bytes, v.Max) || !PutReal(bytes, v.Initial))
                return fail("cannot save to " + path + ": a value of " + function->Name + "'s parameter " +
                            v.Name + " is beyond what the library file holds (about 1.7e38)");
            PutInt32(bytes, v.GuessStyle);
        }
    }

    // Written beside the old library and renamed over it: a failed write keeps every function the user
    // had defined.
    curvefile::TSaveFile file;
    const bool ok = file.OpenForWrite(path, "", "", "") &&
                    file.Write(reinterpret_cast<const char*>(bytes.data()), bytes.size()) && file.Commit();
    return ok ? 0 : fail(file.Error());
}

std::string DefineUserFunction(TUserFunctionList& list, std::string_view name, std::string_view functionText,
                               const std::vector<TUserParamDef>& params, int editIndex) {
    if (name.empty()) return "No function name.";
    if (functionText.empty()) return "No function given.";
    for (std::size_t i = 0; i < params.size(); ++i)
        if (!ValidParamName(params, i)) return "One or more variable names are invalid.";
    for (const TUserParamDef& p : params)
        if (p.Derivative.empty()) return "One or more derivative expressions are invalid.";

    // A formula longer than its field in the library file would be cut there and stand for another
    // function (or fail) without a word; such a definition is refused like a formula that does not parse.
    bool fits = functionText.size() <= TUserFunction::MaxTextLength;
    for (const TUserParamDef& p : params) fits = fits && p.Derivative.size() <= TUserFunction::MaxTextLength;
    if (!fits) return "Error parsing expresions.";

    auto function = std::make_unique<TUserFunction>();
    // The name is cut to the file's field, but never inside a character: a split UTF-8 sequence could be
    // neither printed nor typed back. (A character takes at most four bytes; bytes that are no UTF-8 are
    // cut where they fall.)
    std::size_t cut = std::min(name.size(), TUserFunction::MaxNameLength);
    for (int back = 0;
         back < 3 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80; ++back)
        --cut;
    function->Name = std::string(name.substr(0, cut));
    function->AddVariable("x", functionText, 0.0, 0.0, 0.0, 0);
    for (const TUserParamDef& p : params)
        function->AddVariable(p.Name, p.Derivative, p.Initial, p.Min, p.Max, p.Style);
    if (!function->BuildExpression()) return "Error parsing expresions.";

    if (editIndex >= 0 && editIndex < list.Count()) {
        // An edit that took the name of another function would make the library hold the name twice, and
        // the next load would drop one of them.
        const int other = list.IndexOf(function->Name);
        if (other >= 0 && other != editIndex) return "Duplicate function name.";
        list.Replace(editIndex, std::move(function));
        return "";
    }
    if (list.Add(std::move(function)) < 0) return "Duplicate function name.";
    return "";
}
