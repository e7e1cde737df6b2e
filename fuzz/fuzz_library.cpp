// The user function library loader on any file: no crash, and what it loaded survives a save and a load
// unchanged (the same functions with the same fields), and saving that again writes the same bytes.
#include "expr/UserFunctions.h"
#include "fuzzcheck.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {
std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Same(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckSame(const TUserFunctionList& a, const TUserFunctionList& b) {
    FUZZ_CHECK(a.Count() == b.Count(), "%d functions loaded, %d after saving", a.Count(), b.Count());
    for (int i = 0; i < a.Count(); ++i) {
        const TUserFunction& f = *a.Get(i);
        const TUserFunction& g = *b.Get(i);
        FUZZ_CHECK(f.Name == g.Name && f.Tag == g.Tag && f.VarCount == g.VarCount, "function %d", i);
        for (int k = 1; k <= f.VarCount; ++k) {
            const TUserVariable& v = f.Var(k);
            const TUserVariable& w = g.Var(k);
            FUZZ_CHECK(v.Name == w.Name && v.Formula == w.Formula && v.GuessStyle == w.GuessStyle,
                       "function %d variable %d", i, k);
            FUZZ_CHECK(Same(v.Min, w.Min) && Same(v.Max, w.Max) && Same(v.Initial, w.Initial),
                       "function %d variable %d: values %g %g %g became %g %g %g", i, k, v.Min, v.Max,
                       v.Initial, w.Min, w.Max, w.Initial);
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto input = ScratchDir() / "input.dat";
    const auto saved = ScratchDir() / "saved.dat";
    std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    TUserFunctionList list;
    list.Load(input.string());
    // Formulas from a file are parsed when a function is used.
    for (int i = 0; i < list.Count(); ++i) list.Get(i)->BuildExpression();

    std::string error;
    FUZZ_CHECK(list.Save(saved.string(), &error) == 0, "a loaded library cannot be saved: %s", error.c_str());
    TUserFunctionList back;
    FUZZ_CHECK(back.Load(saved.string()) == 0, "a saved library does not load");
    CheckSame(list, back);
    const std::string bytes = Slurp(saved);
    FUZZ_CHECK(back.Save(saved.string(), &error) == 0, "%s", error.c_str());
    FUZZ_CHECK(Slurp(saved) == bytes, "saving the reloaded library writes other bytes");
    return 0;
}
