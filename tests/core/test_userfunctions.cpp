// The user function library: definitions, the expression set of a function and the library file.
#include "curves/real48.h"
#include "expr/UserFunctions.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class UserFunctionFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("gm_userfit_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const char* name = "UserFit.dat") const { return (dir_ / name).string(); }

    static std::vector<uint8_t> ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    fs::path dir_;
};

// f = a*x with one parameter a.
std::unique_ptr<TUserFunction> Linear(const std::string& name, int32_t tag = -1) {
    auto f = std::make_unique<TUserFunction>();
    f->Name = name;
    f->Tag = tag;
    f->AddVariable("x", "a*x", 0, 0, 0, 0);
    f->AddVariable("a", "x", 1.5, -1e10, 1e10, 3);
    return f;
}

std::vector<uint8_t> Int32Bytes(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
}

} // namespace

TEST(UserFunction, BuildExpressionGivesValueAndDerivatives) {
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

    // At most ten variables; names and formulas are cut to 255 characters.
    TUserFunction big;
    for (int k = 1; k <= 11; ++k) big.AddVariable("p" + std::to_string(k), "1", 0, 0, 0, 0);
    EXPECT_EQ(big.VarCount, 10);
    big.AddVariable("q", std::string(300, 'y'), 0, 0, 0, 0);
    EXPECT_EQ(big.Var(10).Name, "p10");
    TUserFunction longText;
    longText.AddVariable(std::string(300, 'n'), std::string(300, 'y'), 0, 0, 0, 0);
    EXPECT_EQ(longText.Var(1).Name.size(), 255u);
    EXPECT_EQ(longText.Var(1).Formula.size(), 255u);

    EXPECT_EQ(TUserFunction().BuildExpression(), nullptr);
    TUserFunction bad;
    bad.AddVariable("x", "a*x", 0, 0, 0, 0);
    bad.AddVariable("a", "x+", 0, 0, 0, 0);
    EXPECT_EQ(bad.BuildExpression(), nullptr);
}

TEST(UserFunction, ListAddGetDelete) {
    TUserFunctionList list;
    EXPECT_EQ(list.Add(Linear("lin")), 0);
    EXPECT_EQ(list.Add(Linear("Lin")), 1); // names compare exactly
    EXPECT_EQ(list.Add(Linear("lin")), -1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Get(1)->Name, "Lin");
    EXPECT_EQ(list.Get(2), nullptr);
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_TRUE(list.Delete(0));
    EXPECT_FALSE(list.Delete(1));
    EXPECT_EQ(list.Get(0)->Name, "Lin");
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
    EXPECT_EQ(list.Count(), 0);

    EXPECT_EQ(DefineUserFunction(list, "f", "a*x", one), "");
    ASSERT_EQ(list.Count(), 1);
    const TUserFunction& f = *list.Get(0);
    EXPECT_EQ(f.VarCount, 2);
    EXPECT_EQ(f.Tag, -1);
    EXPECT_EQ(f.Var(1).Name, "x");
    EXPECT_EQ(f.Var(1).Formula, "a*x");
    EXPECT_EQ(f.Var(2).Initial, 1.0);
    EXPECT_EQ(f.Var(2).Min, -1e10);
    EXPECT_EQ(DefineUserFunction(list, "f", "a*x*2", one), "Duplicate function name.");
    EXPECT_EQ(DefineUserFunction(list, "g", "2*a*x", {{"a", "2*x"}}), "");
    // An edit replaces in place; taking another function's name is refused.
    EXPECT_EQ(DefineUserFunction(list, "f", "3*a*x", {{"a", "3*x"}}, 0), "");
    EXPECT_EQ(list.Get(0)->Var(1).Formula, "3*a*x");
    EXPECT_EQ(DefineUserFunction(list, "g", "a", {{"a", "1"}}, 0), "Duplicate function name.");
    EXPECT_EQ(DefineUserFunction(list, "h", "a", {{"a", "1"}}, 0), "");
    EXPECT_EQ(list.Get(0)->Name, "h");
    EXPECT_EQ(list.Count(), 2);
    // Long names are cut to 40 characters.
    EXPECT_EQ(DefineUserFunction(list, std::string(50, 'n'), "a", {{"a", "1"}}), "");
    EXPECT_EQ(list.Get(2)->Name, std::string(40, 'n'));
}

TEST_F(UserFunctionFile, LayoutByteForByte) {
    TUserFunctionList list;
    ASSERT_EQ(list.Save(Path()), 0);
    EXPECT_EQ(ReadBytes(Path()), (std::vector<uint8_t>{0, 0, 0, 0}));

    list.Add(Linear("lin", 7));
    ASSERT_EQ(list.Save(Path()), 0);
    const std::vector<uint8_t> b = ReadBytes(Path());
    ASSERT_EQ(b.size(), 4u + 4 + 41 + 4 + 2 * 534);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 8), (std::vector<uint8_t>{1, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(b[8], 3);
    EXPECT_EQ(std::string(b.begin() + 9, b.begin() + 12), "lin");
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 49, b.begin() + 53), Int32Bytes(7));
    const std::size_t v1 = 53, v2 = 53 + 534;
    EXPECT_EQ(b[v1], 1);
    EXPECT_EQ(b[v1 + 1], 'x');
    EXPECT_EQ(b[v1 + 256], 3);
    EXPECT_EQ(std::string(b.begin() + v1 + 257, b.begin() + v1 + 260), "a*x");
    // Variable 1's values are zero: eighteen zero bytes, then its style.
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + v1 + 512, b.begin() + v1 + 534), std::vector<uint8_t>(22, 0));
    EXPECT_EQ(std::string(b.begin() + v2 + 1, b.begin() + v2 + 2), "a");
    TReal48 r{};
    ASSERT_TRUE(EncodeReal48(-1e10, r));
    EXPECT_TRUE(std::equal(r.begin(), r.end(), b.begin() + v2 + 512)); // min
    ASSERT_TRUE(EncodeReal48(1.5, r));
    EXPECT_TRUE(std::equal(r.begin(), r.end(), b.begin() + v2 + 524)); // initial
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + v2 + 530, b.end()), Int32Bytes(3));
    // Unused bytes of the text fields are zeros.
    EXPECT_EQ(b[12], 0);
    EXPECT_EQ(b[v1 + 255], 0);
}

TEST_F(UserFunctionFile, RoundTrip) {
    TUserFunctionList list;
    auto f = std::make_unique<TUserFunction>();
    f->Name = std::string(40, 'N');
    f->Tag = -123456;
    f->AddVariable("x", std::string(255, '1'), 0, 0, 0, 0);
    f->AddVariable("p", "1", 1.0, -1e10, 1e-300, -5); // 1e-300 is below the form's range: read back as 0
    f->AddVariable("q", "x", 0.1, 0, 1.5e38, 11);
    list.Add(std::move(f));
    list.Add(Linear("second"));
    ASSERT_EQ(list.Save(Path()), 0);

    TUserFunctionList back;
    ASSERT_EQ(back.Load(Path()), 0);
    ASSERT_EQ(back.Count(), 2);
    const TUserFunction& g = *back.Get(0);
    EXPECT_EQ(g.Name, std::string(40, 'N'));
    EXPECT_EQ(g.Tag, -123456);
    ASSERT_EQ(g.VarCount, 3);
    EXPECT_EQ(g.Var(1).Formula, std::string(255, '1'));
    EXPECT_EQ(g.Var(2).Initial, 1.0);
    EXPECT_EQ(g.Var(2).Min, -1e10);
    EXPECT_EQ(g.Var(2).Max, 0.0);
    EXPECT_EQ(g.Var(2).GuessStyle, -5);
    EXPECT_NEAR(g.Var(3).Initial, 0.1, 1e-12);
    EXPECT_NEAR(g.Var(3).Max, 1.5e38, 1.5e38 * 1e-11);
    EXPECT_EQ(back.Get(1)->Name, "second");
    // Saving what was loaded gives the same bytes.
    ASSERT_EQ(back.Save(Path("again.dat")), 0);
    EXPECT_EQ(ReadBytes(Path()), ReadBytes(Path("again.dat")));
}

TEST_F(UserFunctionFile, FailedSaveKeepsTheOldLibrary) {
    TUserFunctionList list;
    list.Add(Linear("kept"));
    ASSERT_EQ(list.Save(Path()), 0);
    const std::vector<uint8_t> before = ReadBytes(Path());

    // A value beyond the file's six-byte reals is refused rather than stored wrong.
    TUserFunctionList huge;
    auto f = Linear("huge");
    f->Var(2).Max = 1e300;
    huge.Add(std::move(f));
    EXPECT_EQ(huge.Save(Path()), 1);
    EXPECT_EQ(ReadBytes(Path()), before);
    // A function without variables could not be read back.
    TUserFunctionList empty;
    auto none = std::make_unique<TUserFunction>();
    none->Name = "none";
    empty.Add(std::move(none));
    EXPECT_EQ(empty.Save(Path()), 1);
    EXPECT_EQ(ReadBytes(Path()), before);
    // A file that cannot be written.
    EXPECT_EQ(list.Save(Path("no/such/dir.dat")), 1);
    EXPECT_FALSE(fs::exists(Path("no")));
    fs::create_directories(Path("adir"));
    EXPECT_EQ(list.Save(Path("adir")), 1);
    EXPECT_TRUE(fs::is_directory(Path("adir")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2); // no temp files
}

TEST_F(UserFunctionFile, DuplicatesMissingAndTruncatedFiles) {
    TUserFunctionList list;
    list.Add(Linear("one"));
    list.Add(Linear("two"));
    list.Add(Linear("three"));
    ASSERT_EQ(list.Save(Path()), 0);
    const std::vector<uint8_t> good = ReadBytes(Path());

    // Two functions of the same name: the first is kept.
    // The second record begins after the first: 4 + 49 + 2 * 534.
    std::vector<uint8_t> twoSame = good;
    const std::size_t second = 4 + 49 + 2 * 534;
    twoSame[second + 4] = 3;
    twoSame[second + 5] = 'o';
    twoSame[second + 6] = 'n';
    twoSame[second + 7] = 'e';
    twoSame[second + 4 + 41 + 4 + 534 + 256 + 1] = 'b'; // its formula "a*x" -> "b*x": tells them apart
    WriteBytes(Path("dup.dat"), twoSame);
    TUserFunctionList d;
    ASSERT_EQ(d.Load(Path("dup.dat")), 0);
    ASSERT_EQ(d.Count(), 2);
    EXPECT_EQ(d.Get(0)->Name, "one");
    EXPECT_EQ(d.Get(0)->Var(2).Formula, "x");
    EXPECT_EQ(d.Get(1)->Name, "three");

    TUserFunctionList m;
    m.Add(Linear("stale"));
    EXPECT_EQ(m.Load(Path("missing.dat")), 1);
    EXPECT_EQ(m.Count(), 0);

    // Every cut of the file fails or ends the load early without losing the records before the cut.
    std::vector<std::size_t> cuts;
    for (std::size_t n = 0; n < good.size(); n += (n < 60 ? 1 : 97)) cuts.push_back(n);
    for (std::size_t r = 1; r <= 3; ++r)
        for (std::size_t n : {4 + r * 1117 - 1, 4 + r * 1117 - 2, 4 + r * 1117 - 534}) cuts.push_back(n);
    for (std::size_t n : cuts) {
        WriteBytes(Path("cut.dat"), std::vector<uint8_t>(good.begin(), good.begin() + n));
        TUserFunctionList c;
        EXPECT_EQ(c.Load(Path("cut.dat")), 1) << n;
        const int whole = n < 4 ? 0 : static_cast<int>((n - 4) / (49 + 2 * 534));
        EXPECT_EQ(c.Count(), whole) << n;
    }
}

TEST_F(UserFunctionFile, HostileFiles) {
    TUserFunctionList list;
    list.Add(Linear("one"));
    list.Add(Linear("two"));
    ASSERT_EQ(list.Save(Path()), 0);
    const std::vector<uint8_t> good = ReadBytes(Path());
    const std::size_t second = 4 + 49 + 2 * 534;

    auto loadPatched = [&](std::size_t at, const std::vector<uint8_t>& bytes, int expectCount) {
        std::vector<uint8_t> b = good;
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        WriteBytes(Path("bad.dat"), b);
        TUserFunctionList l;
        EXPECT_EQ(l.Load(Path("bad.dat")), 1) << at;
        EXPECT_EQ(l.Count(), expectCount) << at;
    };
    loadPatched(0, Int32Bytes(-1), 0);                   // negative count
    loadPatched(0, Int32Bytes(0x7FFFFFFF), 2);           // count beyond the file
    loadPatched(second, Int32Bytes(0), 1);               // varCount outside 1..10
    loadPatched(second, Int32Bytes(11), 1);              //
    loadPatched(second, Int32Bytes(-2147483647 - 1), 1); //
    loadPatched(4, Int32Bytes(0x7FFFFFFF), 0);           //
    loadPatched(second + 4, {41}, 1);                    // name length byte above 40
    loadPatched(4 + 4, {255}, 0);                        //

    // Trailing bytes after the last record are not read; garbage bytes never crash the reader.
    std::vector<uint8_t> longer = good;
    longer.resize(good.size() + 100, 0xFF);
    WriteBytes(Path("long.dat"), longer);
    TUserFunctionList l;
    EXPECT_EQ(l.Load(Path("long.dat")), 0);
    EXPECT_EQ(l.Count(), 2);
    std::vector<uint8_t> noise(5000);
    uint32_t seed = 12345;
    for (int round = 0; round < 50; ++round) {
        for (auto& byte : noise) byte = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
        noise[0] = static_cast<uint8_t>(round % 4);
        noise[1] = noise[2] = noise[3] = 0;
        WriteBytes(Path("noise.dat"), noise);
        TUserFunctionList n;
        n.Load(Path("noise.dat"));
        EXPECT_LE(n.Count(), 3);
    }
    // A directory is no library.
    EXPECT_EQ(l.Load(dir_.string()), 1);
    EXPECT_EQ(l.Count(), 0);
}
