// The user function library: definitions, the expression set of a function and the library file.
#include "../tempdir.h"
#include "curves/curvefile.h"
#include "curves/real48.h"
#include "expr/UserFunctions.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace fs = std::filesystem;
using TBytes = std::vector<uint8_t>;

namespace {

class UserFunctionFile : public ::testing::Test {
protected:
    std::string Path(const char* name = "UserFit.dat") const { return (dir_ / name).string(); }
    static TBytes Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void Write(const TBytes& b) const {
        std::ofstream(Path("in.dat"), std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    TTempDir dir_;
};

constexpr std::size_t Record = 4 + 41 + 4 + 2 * 534; // one function of one parameter

// f = a*x with one parameter a.
std::unique_ptr<TUserFunction> Linear(const std::string& name, int32_t tag = -1) {
    auto f = std::make_unique<TUserFunction>();
    f->Name = name;
    f->Tag = tag;
    f->AddVariable("x", "a*x", 0, 0, 0, 0);
    f->AddVariable("a", "x", 1.5, -1e10, 1e10, 3);
    return f;
}

TBytes Int32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
}

TBytes Slice(const TBytes& b, std::size_t from, std::size_t n) {
    return TBytes(b.begin() + from, b.begin() + from + n);
}

} // namespace

TEST(UserFunction, ExpressionSetAndVariables) {
    TUserFunction f;
    f.AddVariable("x", "a*exp(0-b*x)", 0, 0, 0, 0);
    f.AddVariable("a", "exp(0-b*x)", 1, 0, 10, 0);
    f.AddVariable("b", "0-x*EXPR(1)", 2, 0, 10, 0); // the derivative may use the function's value
    auto e = f.BuildExpression();
    ASSERT_NE(e, nullptr);
    e->Params().SetValue(2, 3.0);
    e->Params().SetValue(3, 0.5);
    double v = 0.0;
    ASSERT_EQ(e->Evaluate(2.0, v), 0);
    EXPECT_DOUBLE_EQ(v, 3.0 * std::exp(-1.0));
    EXPECT_DOUBLE_EQ(e->Result(2), std::exp(-1.0));
    EXPECT_DOUBLE_EQ(e->Result(3), -2.0 * v);
    EXPECT_EQ(TUserFunction().BuildExpression(), nullptr);
    f.Var(3).Formula = "x+";
    EXPECT_EQ(f.BuildExpression(), nullptr);
    // At most ten variables; names and formulas are cut to 255 characters.
    TUserFunction big;
    for (int k = 1; k <= 11; ++k)
        big.AddVariable(std::string(300, 'a' + k), std::string(300, 'y'), 0, 0, 0, 0);
    EXPECT_EQ(big.VarCount, 10);
    EXPECT_EQ(big.Var(10).Name, std::string(255, 'a' + 10));
    EXPECT_EQ(big.Var(1).Formula.size(), 255u);
    // The list: exact names, none twice, 0-based.
    TUserFunctionList list;
    EXPECT_EQ(list.Add(Linear("lin")), 0);
    EXPECT_EQ(list.Add(Linear("Lin")), 1);
    EXPECT_EQ(list.Add(Linear("lin")), -1);
    EXPECT_EQ(list.Get(2), nullptr);
}

TEST(UserFunction, DefineCheckMessagesInOrder) {
    TUserFunctionList list;
    const std::vector<TUserParamDef> one = {{"a", "x", 1, -1e10, 1e10, 0}};
    EXPECT_EQ(DefineUserFunction(list, "", "", {{"", ""}}), "No function name.");
    EXPECT_EQ(DefineUserFunction(list, "f", "", {{"", ""}}), "No function given.");
    for (const char* name :
         {"", "a b", "a+", "a.b", "a,b", "a[1]", "a^", "{a}", "a;", "a=b", "2", "1.5e3", "x"})
        EXPECT_EQ(DefineUserFunction(list, "f", "a*x", {{name, ""}}),
                  "One or more variable names are invalid.")
            << name;
    EXPECT_EQ(DefineUserFunction(list, "f", "a*x", {{"a", "x"}, {"a", "x"}}),
              "One or more variable names are invalid.");
    EXPECT_EQ(DefineUserFunction(list, "f", "a*x", {{"a", "x"}, {"b", ""}}),
              "One or more derivative expressions are invalid.");
    EXPECT_EQ(DefineUserFunction(list, "f", "a*y", one), "Error parsing expresions.");
    EXPECT_EQ(DefineUserFunction(list, "f", "a*x", {{"a", "x/"}}), "Error parsing expresions.");
    // Longer than the file's field: cut there it would be another function (a*x+126 for a*x+148).
    std::string longSum = "a*x";
    for (int k = 0; k < 148; ++k) longSum += "+1";
    EXPECT_EQ(DefineUserFunction(list, "f", longSum, one), "Error parsing expresions.");
    EXPECT_EQ(DefineUserFunction(list, "f", "a*x", {{"a", longSum}}), "Error parsing expresions.");
    EXPECT_EQ(list.Count(), 0);

    EXPECT_EQ(DefineUserFunction(list, "f", "a*x", one), "");
    ASSERT_EQ(list.Count(), 1);
    const TUserFunction& f = *list.Get(0);
    EXPECT_EQ(f.VarCount, 2);
    EXPECT_EQ(f.Tag, -1);
    EXPECT_EQ(f.Var(1).Name + f.Var(1).Formula + f.Var(2).Name + f.Var(2).Formula, "xa*xax");
    EXPECT_EQ(f.Var(2).Min, -1e10);
    EXPECT_EQ(DefineUserFunction(list, "f", "a*x*2", one), "Duplicate function name.");
    EXPECT_EQ(DefineUserFunction(list, "g", "2*a*x", {{"a", "2*x"}}), "");
    // An edit replaces in place; taking another function's name is refused.
    EXPECT_EQ(DefineUserFunction(list, "f", "3*a*x", {{"a", "3*x"}}, 0), "");
    EXPECT_EQ(list.Get(0)->Var(1).Formula, "3*a*x");
    EXPECT_EQ(DefineUserFunction(list, "g", "a", {{"a", "1"}}, 0), "Duplicate function name.");
    EXPECT_EQ(DefineUserFunction(list, std::string(50, 'n'), "a", {{"a", "1"}}, 0), "");
    EXPECT_EQ(list.Get(0)->Name, std::string(40, 'n'));
    EXPECT_EQ(list.Count(), 2);
    // The cut never splits a character: the name stays text that can be typed and printed.
    EXPECT_EQ(DefineUserFunction(list, std::string(39, 'd') + "\u00e9cay", "a", {{"a", "1"}}), "");
    EXPECT_EQ(list.Get(2)->Name, std::string(39, 'd'));
}

TEST_F(UserFunctionFile, LayoutAndRoundTrip) {
    TUserFunctionList list;
    ASSERT_EQ(list.Save(Path()), 0);
    EXPECT_EQ(Read(Path()), (TBytes{0, 0, 0, 0}));

    list.Add(Linear("lin", 7));
    ASSERT_EQ(list.Save(Path()), 0);
    const TBytes b = Read(Path());
    ASSERT_EQ(b.size(), 4 + Record);
    EXPECT_EQ(Slice(b, 0, 12), (TBytes{1, 0, 0, 0, 2, 0, 0, 0, 3, 'l', 'i', 'n'}));
    EXPECT_EQ(Slice(b, 12, 37), TBytes(37, 0)); // unused text bytes are zeros
    EXPECT_EQ(Slice(b, 49, 4), Int32(7));
    const std::size_t v1 = 53, v2 = 53 + 534;
    EXPECT_EQ(Slice(b, v1, 2), (TBytes{1, 'x'}));
    EXPECT_EQ(Slice(b, v1 + 256, 4), (TBytes{3, 'a', '*', 'x'}));
    EXPECT_EQ(Slice(b, v1 + 512, 22), TBytes(22, 0)); // x's values and style
    EXPECT_EQ(Slice(b, v2, 2), (TBytes{1, 'a'}));
    TReal48 min{}, initial{};
    ASSERT_TRUE(EncodeReal48(-1e10, min) && EncodeReal48(1.5, initial));
    EXPECT_EQ(Slice(b, v2 + 512, 6), TBytes(min.begin(), min.end()));
    EXPECT_EQ(Slice(b, v2 + 524, 6), TBytes(initial.begin(), initial.end()));
    EXPECT_EQ(Slice(b, v2 + 530, 4), Int32(3));

    auto f = std::make_unique<TUserFunction>();
    f->Name = std::string(40, 'N');
    f->Tag = -123456;
    f->AddVariable("x", std::string(255, '1'), 0, 0, 0, 0);
    f->AddVariable("p", "1", 1.0, -1e10, 1e-300, -5); // 1e-300 is below the six-byte form: read back as 0
    list.Add(std::move(f));
    ASSERT_EQ(list.Save(Path()), 0);
    TUserFunctionList back;
    ASSERT_EQ(back.Load(Path()), 0);
    ASSERT_EQ(back.Count(), 2);
    const TUserFunction& g = *back.Get(1);
    EXPECT_EQ(g.Name, std::string(40, 'N'));
    EXPECT_EQ(g.Tag, -123456);
    EXPECT_EQ(g.Var(1).Formula, std::string(255, '1'));
    EXPECT_EQ(g.Var(2).Initial, 1.0);
    EXPECT_EQ(g.Var(2).Min, -1e10);
    EXPECT_EQ(g.Var(2).Max, 0.0);
    EXPECT_EQ(g.Var(2).GuessStyle, -5);
    ASSERT_EQ(back.Save(Path("again.dat")), 0);
    EXPECT_EQ(Read(Path()), Read(Path("again.dat")));
}

TEST_F(UserFunctionFile, FailedSaveKeepsTheOldLibrary) {
    TUserFunctionList list;
    list.Add(Linear("kept"));
    ASSERT_EQ(list.Save(Path()), 0);
    const TBytes before = Read(Path());
    TUserFunctionList bad; // a value beyond the six-byte form, a function without variables
    bad.Add(Linear("huge"));
    bad.Get(0)->Var(2).Max = 1e300;
    EXPECT_EQ(bad.Save(Path()), 1);
    bad.Get(0)->Var(2).Max = 0;
    bad.Add(std::make_unique<TUserFunction>());
    EXPECT_EQ(bad.Save(Path()), 1);
    EXPECT_EQ(Read(Path()), before); // (saves that fail on the disk are in the save-fault tests)
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()),
              1); // no temp file
    // A library kept elsewhere through a link stays there, and the link stays a link.
    fs::create_symlink("elsewhere.dat", Path("linked.dat"));
    ASSERT_EQ(list.Save(Path("linked.dat")), 0);
    EXPECT_TRUE(fs::is_symlink(Path("linked.dat")));
    EXPECT_EQ(Read(Path("elsewhere.dat")), before);
}

TEST_F(UserFunctionFile, DuplicateMissingTruncatedAndHostileFiles) {
    TUserFunctionList list;
    for (const char* name : {"one", "two", "three"}) list.Add(Linear(name));
    ASSERT_EQ(list.Save(Path()), 0);
    const TBytes good = Read(Path());
    // Loads the good file with bytes patched in at `at`, or cut to `at` bytes with no patch.
    auto load = [&](std::size_t at, const TBytes& patch, int expectCount, int expectResult = 1) {
        TBytes b = good;
        if (patch.empty()) b.resize(at);
        std::copy(patch.begin(), patch.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        Write(b);
        TUserFunctionList l;
        l.Add(Linear("stale"));
        EXPECT_EQ(l.Load(Path("in.dat")), expectResult) << at;
        EXPECT_EQ(l.Count(), expectCount) << at;
        std::string names;
        for (int i = 0; i < l.Count(); ++i) names += l.Get(i)->Name + " ";
        return names;
    };
    // Two functions of the same name: the first is kept.
    EXPECT_EQ(load(4 + Record + 4, {3, 'o', 'n', 'e'}, 2, 0), "one three ");
    EXPECT_EQ(load(4 + 4, {3, 't', 'w', 'o'}, 2, 0), "two three ");
    // Every cut ends the load with failure, keeping the records before it.
    for (std::size_t n = 0; n < good.size(); n += (n < 60 ? 1 : 97))
        load(n, {}, n < 4 ? 0 : int((n - 4) / Record));
    for (std::size_t n : {4 + Record - 1, 4 + 2 * Record - 534, 4 + 3 * Record - 1})
        load(n, {}, int((n - 4) / Record));
    // Counts and lengths out of their ranges.
    load(0, Int32(-1), 0);
    load(0, Int32(0x7FFFFFFF), 3);
    load(4 + Record, Int32(0), 1);
    load(4 + Record, Int32(11), 1);
    load(4 + Record, Int32(INT32_MIN), 1);
    load(4, Int32(0x7FFFFFFF), 0);
    load(4 + Record + 4, {41}, 1);
    load(4 + 4, {255}, 0);
    TUserFunctionList l;
    EXPECT_EQ(l.Load(Path("missing.dat")), 1);
    EXPECT_EQ(l.Load(dir_.Path().string()), 1);
    // (Random bytes: the library's fuzz target.)
}
