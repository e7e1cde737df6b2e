// Reading and writing curve files: splitting, header rule, written form, backups and failed saves.
#include "../tempdir.h"
#include "curves/curvefile.h"
#include "opscurves.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<double> Split(const std::string& line) {
    double v[curvefile::MaxNumbersPerLine];
    const int n = curvefile::SplitNumbers(line, v);
    return {v, v + n};
}

} // namespace

TEST(CurveFileSplit, SeparatorsAndTokens) {
    EXPECT_EQ(Split("1,5"), (std::vector<double>{1, 5}));
    EXPECT_TRUE(Split("1;5").empty());
    EXPECT_EQ(Split("  3.0\t4.0  "), (std::vector<double>{3, 4}));
    EXPECT_EQ(Split("word 0.5 more"), (std::vector<double>{0.5}));
    EXPECT_EQ(Split("+2 .5 -1e-3 7E2"), (std::vector<double>{2, 0.5, -0.001, 700}));
    // Non-finite tokens are words; a value below the smallest double is zero.
    EXPECT_EQ(Split("nan inf 1e999 -infinity 3"), (std::vector<double>{3}));
    EXPECT_EQ(Split("1e-999 2"), (std::vector<double>{0, 2}));
    EXPECT_TRUE(Split("1.2.3 0x10 1e 1,,,").size() == 1); // only the trailing "1"
    std::string many;
    for (int i = 0; i < 150; ++i) many += std::to_string(i) + " ";
    EXPECT_EQ(Split(many).size(), 100u);
    double v;
    EXPECT_TRUE(curvefile::ConvertNumber("0.1", v));
    EXPECT_EQ(v, 0.1); // the nearest double, not one off in the last place
}

TEST(CurveFileSplit, ConversionIsCorrectlyRounded) {
    // The quick path for common tokens must give exactly what the general conversion gives.
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<uint64_t> bits;
    const char* formats[] = {"%.15E", "%.17g", "%g", "%.3f", "%.20e", "%.0f", "%.16e"};
    char buf[64];
    for (int i = 0; i < 200000; ++i) {
        uint64_t b = bits(rng);
        double v;
        std::memcpy(&v, &b, sizeof v);
        if (!std::isfinite(v) || std::fabs(v) > 1e300) v = static_cast<double>(b % 1000000007) / 997.0;
        if (i % 3 == 0) v = std::ldexp(static_cast<double>(b >> 11), -60 + static_cast<int>(b % 80));
        std::snprintf(buf, sizeof buf, formats[i % 7], v);
        double expected = 0, got = 0;
        std::from_chars(buf, buf + std::strlen(buf), expected);
        ASSERT_TRUE(curvefile::ConvertNumber(buf, got)) << buf;
        ASSERT_EQ(got, expected) << buf;
        // Splitting a line converts its tokens in the same pass: the same value there.
        ASSERT_EQ(curvefile::SplitNumbers(std::string(buf) + " ", &got, 1), 1) << buf;
        ASSERT_EQ(got, expected) << buf;
    }
}

TEST(CurveFileRead, HeaderRule) {
    TTempDir d;
    std::string text;
    for (int i = 1; i <= 39; ++i) text += "header word " + std::to_string(i) + "\r\n";
    text += "DATA follows here\r\n";
    text += "1 2\r\n3 4\r\n";
    TCurveB c = TCurveB::CreateFromFile(d.Write("h.dat", text));
    ExpectPoints(c, {{1, 2}, {3, 4}}, 0.0);
    EXPECT_TRUE(c.Saved);

    std::string lower = text;
    lower.replace(lower.find("DATA"), 4, "Data");
    TCurveB l = TCurveB::CreateFromFile(d.Write("l.dat", lower));
    EXPECT_EQ(l.Count(), 41); // every header line holds a number: (i, n)
    EXPECT_EQ(l.Y(1), 1.0);

    // The marker counts on line 101, not on line 102 (every header line here holds a number).
    std::string early, late;
    for (int i = 1; i <= 100; ++i) early += "7\n";
    late = early + "7\n";
    EXPECT_EQ(TCurveB::CreateFromFile(d.Write("early.dat", early + "DATA\n5 6\n")).Count(), 1);
    EXPECT_EQ(TCurveB::CreateFromFile(d.Write("late.dat", late + "DATA\n5 6\n")).Count(), 102);

    EXPECT_EQ(TCurveB::CreateFromFile(d.Write("last.dat", "1 2\n3 4\nDATA")).Count(), 0);
}

TEST(CurveFileRead, PointsAndLineEnds) {
    TTempDir d;
    TCurveB c = TCurveB::CreateFromFile(d.Write("a.dat", "7\n8 9\r\n\r\nword\n10\r11 12\r"));
    // A lone number is y, its x the index the point gets (not the line number).
    ExpectPoints(c, {{1, 7}, {8, 9}, {3, 10}, {11, 12}}, 0.0);
    EXPECT_TRUE(c.XMin == 1.0 && c.XMax == 11.0 && c.YMin == 7.0);

    // Every point of a large file is kept; the capacity is trimmed to the count.
    std::string big;
    for (int i = 0; i < 5000; ++i) big += std::to_string(i) + " " + std::to_string(i * 2) + "\n";
    TCurveB b = TCurveB::CreateFromFile(d.Write("big.dat", big));
    EXPECT_EQ(b.Count(), 5000);
    EXPECT_EQ(b.Capacity(), 5000);
    EXPECT_EQ(b.Y(5000), 9998.0);

    // Lines ended by CR alone, a million of them: one scan of the file, not one per line.
    std::string crOnly;
    for (int i = 0; i < 1000000; ++i) crOnly += "1\r";
    EXPECT_EQ(TCurveB::CreateFromText(crOnly).Count(), 1000000);
}

TEST(CurveFileRead, BadInputGivesNoPointsAndAReason) {
    TTempDir d;
    std::string err;
    TCurveB m = TCurveB::CreateFromFile((d.Path() / "missing.dat").string(), true, &err);
    EXPECT_EQ(m.Count(), 0);
    EXPECT_NE(err.find("missing.dat"), std::string::npos);
    EXPECT_EQ(TCurveB::CreateFromFile(d.Path().string(), true, &err).Count(), 0);
    EXPECT_NE(err.find("directory"), std::string::npos);
    EXPECT_EQ(TCurveB::CreateFromFile(d.Write("empty.dat", ""), true, &err).Count(), 0);
    // A long line without a newline, and a line of 10,000 tokens.
    std::string longLine(20 * 1000 * 1000, 'x');
    longLine += " 1 2";
    TCurveB ll = TCurveB::CreateFromFile(d.Write("long.dat", longLine));
    ASSERT_EQ(ll.Count(), 1);
    EXPECT_EQ(ll.Y(1), 2.0);
    std::string tokens;
    for (int i = 0; i < 10000; ++i) tokens += "5 ";
    EXPECT_EQ(TCurveB::CreateFromFile(d.Write("tokens.dat", tokens + "\n")).Count(), 1);
}

TEST(CurveFileWrite, NumberForm) {
    char buf[curvefile::LineWidth + 1] = {};
    curvefile::FormatLine(1.5, -2, buf);
    EXPECT_EQ(std::string(buf), " 1.50000000000000E+0000 -2.00000000000000E+0000\r\n");
    curvefile::FormatLine(-0.001, 2.5, buf);
    EXPECT_EQ(std::string(buf), "-1.00000000000000E-0003  2.50000000000000E+0000\r\n");
    curvefile::FormatLine(0.0, -0.0, buf);
    EXPECT_EQ(std::string(buf), " 0.00000000000000E+0000  0.00000000000000E+0000\r\n");
    curvefile::FormatLine(1.23456789012345678e-300, 9.99999999999999999e307, buf);
    EXPECT_EQ(std::string(buf), " 1.23456789012346E-0300  1.00000000000000E+0308\r\n");
    // Rounding to 15 digits would leave the double range: the largest values are cut towards zero.
    curvefile::FormatLine(DBL_MAX, -std::nextafter(DBL_MAX, 0.0), buf);
    EXPECT_EQ(std::string(buf), " 1.79769313486231E+0308 -1.79769313486231E+0308\r\n");
    EXPECT_EQ(Split("1 1.79769313486232E+0308"), (std::vector<double>{1})); // still no number on reading
}

TEST(CurveFileWrite, SaveMakesBackupBesideTheFile) {
    TTempDir d;
    fs::create_directory(d.Path() / "dir.v2");
    const std::string target = (d.Path() / "dir.v2" / "A.B.DAT").string();
    TCurveB c;
    c.AddPoint(1.5, -2);
    std::string err;
    ASSERT_TRUE(c.SaveToFile(target, "", "", &err)) << err;
    EXPECT_TRUE(c.Saved);
    EXPECT_EQ(c.FileName, target);
    EXPECT_FALSE(fs::exists(d.Path() / "dir.v2" / "A.bak")); // new file: no backup
    EXPECT_EQ(ReadFile(target), " 1.50000000000000E+0000 -2.00000000000000E+0000\r\n");

    // The file keeps its permissions, and its backup gets them.
    const auto shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::group_write | fs::perms::others_read;
    fs::permissions(target, shared);
    c.AddPoint(3, 4);
    ASSERT_TRUE(c.SaveToFile(target, "", "", &err)) << err;
    EXPECT_EQ(ReadFile(d.Path() / "dir.v2" / "A.bak"), " 1.50000000000000E+0000 -2.00000000000000E+0000\r\n");
    EXPECT_EQ(ReadFile(target).size(), 2 * curvefile::LineWidth);
    EXPECT_EQ(fs::status(target).permissions(), shared);
    EXPECT_EQ(fs::status(d.Path() / "dir.v2" / "A.bak").permissions(), shared);
    EXPECT_EQ(curvefile::BackupName("/x/curve.dat", ".bak"), "/x/curve.bak");
    EXPECT_EQ(curvefile::BackupName("/x/curve", "bak"), "/x/curve.bak");
    EXPECT_EQ(curvefile::BackupName("/x/c.bak", ".bak"), "/x/c.bak.bak"); // never the file itself
    EXPECT_EQ(curvefile::ResolveSaveName("curve", "dat", "/data"), "/data/curve.dat");

    // Through a link, the file it names is written (created when it does not exist yet); the link stays.
    fs::create_symlink("made.dat", d.Path() / "link.dat");
    ASSERT_TRUE(c.SaveToFile((d.Path() / "link.dat").string(), "", "", &err)) << err;
    EXPECT_TRUE(fs::is_symlink(d.Path() / "link.dat"));
    EXPECT_EQ(ReadFile(d.Path() / "made.dat").size(), 2 * curvefile::LineWidth);

    // What was written reads back to 15 digits, the largest doubles included.
    TCurveB odd = Make({{1.0 / 3, -2.0 / 3}, {DBL_MAX, 1}, {-DBL_MAX, 6.02214076e-300}});
    ASSERT_TRUE(odd.SaveToFile(target, "", "", &err)) << err;
    const TCurveB back = TCurveB::CreateFromFile(target);
    ASSERT_EQ(back.Count(), 3);
    for (int32_t i = 1; i <= 3; ++i)
        for (auto [got, want] : {std::pair{back.X(i), odd.X(i)}, {back.Y(i), odd.Y(i)}})
            EXPECT_NEAR(got, want, std::fabs(want) * 5e-15) << i;
}

TEST(CurveFileWrite, FailedSavesLeaveEverythingAsItWas) {
    // (Each save under a full disk, a read-only folder, a folder gone and a folder's name is in the
    // save-fault tests of both programs.)
    // (Injected write failures: SaveFailingAtTheEndKeepsTheOldBackup and the batch tests below.)
    TTempDir d;
    // A directory moved away during a save: the save fails, and no temporary file stays in it.
    fs::create_directory(d.Path() / "a");
    {
        curvefile::TSaveFile file;
        ASSERT_TRUE(file.OpenForWrite((d.Path() / "a" / "x.dat").string(), "", ".bak", ""));
        ASSERT_TRUE(file.Write("1 2\r\n", 5));
        fs::rename(d.Path() / "a", d.Path() / "moved");
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_TRUE(fs::is_empty(d.Path() / "moved"));
}

TEST(CurveFileWrite, FullDiskOnASmallFilesystem) {
    TTempDir d;
    const fs::path mnt = d.Path() / "small";
    fs::create_directory(mnt);
    if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
    TCurveB small, big;
    small.AddPoint(1, 2);
    for (int i = 0; i < 800; ++i) big.AddPoint(i, i); // 39 kB: two copies do not fit
    std::string err;
    const std::string target = (mnt / "c.dat").string();
    ASSERT_TRUE(small.SaveToFile(target, "", "", &err)) << err;
    ASSERT_TRUE(big.SaveToFile(target, "", "", &err)) << err; // the backup holds the small curve
    const std::string backup = ReadFile(mnt / "c.bak");
    // The backup copy runs out of space: the reason is told, the old backup and the old file are as they
    // were, and no temporary file is left.
    EXPECT_FALSE(small.SaveToFile(target, "", "", &err));
    EXPECT_NE(err.find("c.bak: No space left on device"), std::string::npos) << err;
    EXPECT_EQ(TCurveB::CreateFromFile(target).Count(), 800);
    EXPECT_EQ(ReadFile(mnt / "c.bak"), backup);
    EXPECT_EQ(std::distance(fs::directory_iterator(mnt), fs::directory_iterator()), 2) << "temporary left";
    umount(mnt.c_str());
}

TEST(CurveFileRead, LargeTextReadInStretchesGivesTheSameCurve) {
    // Several megabytes are read in stretches, one per core: lone numbers after the first stretch still take
    // the number of the points before them, whatever the line ends, the lines without numbers and the line
    // lengths.
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::string text;
    std::vector<std::pair<double, double>> expected;
    for (int i = 0; i < 300000; ++i) {
        if (i % 7 == 3) {
            text += std::to_string(i) + ends[i % 3];
            expected.emplace_back(static_cast<double>(expected.size() + 1), i);
        } else {
            text += std::to_string(i) + " " + std::to_string(-i) + ends[i % 3];
            expected.emplace_back(i, -i);
        }
        if (i % 11 == 0) text += "word\r\n";
    }
    // A last line longer than the look-ahead for line ends, after lines ended by LF alone.
    for (int i = 0; i < 10000; ++i) {
        text += "1 2\n";
        expected.emplace_back(1, 2);
    }
    text += "8" + std::string(100000, ' ') + "9\n";
    expected.emplace_back(8, 9);
    const TCurveB c = TCurveB::CreateFromText(text);
    ASSERT_EQ(c.Count(), static_cast<int32_t>(expected.size()));
    int wrong = 0;
    for (int32_t i = 1; i <= c.Count(); ++i)
        wrong += c.GetPoint(i).x != expected[i - 1].first || c.GetPoint(i).y != expected[i - 1].second;
    EXPECT_EQ(wrong, 0);
}

TEST(CurveFileWrite, CurvesOfSeveralWriterBatchesComeBackWhole) {
    // The writer formats 65,536 points at a time: a curve of exactly one batch, one point more, and several
    // batches with a part-filled last one are written and read back point by point.
    TTempDir d;
    const std::string target = (d.Path() / "big.dat").string();
    for (int32_t n : {65536, 65537, 3 * 65536 + 16385}) {
        TCurveB c;
        for (int32_t i = 1; i <= n; ++i) c.AddPoint(i, 0.5 - 2.0 * i);
        std::string err;
        ASSERT_TRUE(c.SaveToFile(target, "", "", &err)) << n << ": " << err;
        EXPECT_EQ(fs::file_size(target), static_cast<uintmax_t>(n) * curvefile::LineWidth) << n;
        const TCurveB back = TCurveB::CreateFromFile(target);
        ASSERT_EQ(back.Count(), n);
        int32_t wrong = 0;
        for (int32_t i = 1; i <= n; ++i) wrong += back.X(i) != i || back.Y(i) != 0.5 - 2.0 * i;
        EXPECT_EQ(wrong, 0) << n;
    }
}

TEST(CurveFileWrite, AWriteThatFailsInAnyBatchFailsTheSave) {
    TTempDir d;
    TCurveB c;
    for (int32_t i = 1; i <= 3 * 65536; ++i) c.AddPoint(i, i);
    const long long batch = 65536LL * curvefile::LineWidth;
    // Into the second batch, and at the very last byte of the file: no success, and no file.
    for (long long failAt : {batch + 10, 3 * batch - 1}) {
        const std::string target = (d.Path() / ("new" + std::to_string(failAt) + ".dat")).string();
        curvefile::TSaveFile::FailWriteAfterBytes = failAt;
        std::string err;
        const bool saved = c.SaveToFile(target, "", "", &err);
        curvefile::TSaveFile::FailWriteAfterBytes = -1;
        EXPECT_FALSE(saved) << failAt;
        EXPECT_NE(err.find("No space"), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(target)) << failAt;
    }
    EXPECT_TRUE(fs::is_empty(d.Path()));
}

TEST(CurveFileWrite, SaveFailingAtTheEndKeepsTheOldBackup) {
    // The new content is written and synced first, then the backup copy of the old file; a save that fails
    // at the end of either leaves the file and the backup made by an earlier save as they were.
    TTempDir d;
    const std::string target = d.Write("keep.dat", "1 1\n");
    const TCurveB c = Make({{1, 2}, {3, 4}, {5, 6}});
    const long long content = 3 * static_cast<long long>(curvefile::LineWidth), copy = 4;
    for (long long failAt : {0LL, content - 1, content + copy - 1}) {
        d.Write("keep.bak", "0 0\n");
        curvefile::TSaveFile::FailWriteAfterBytes = failAt;
        TCurveB s = c;
        s.Saved = false;
        std::string err;
        const bool saved = s.SaveToFile(target, "", "", &err);
        curvefile::TSaveFile::FailWriteAfterBytes = -1;
        EXPECT_FALSE(saved) << failAt;
        EXPECT_NE(err.find("No space"), std::string::npos) << err;
        // The curve neither takes the name it failed to save to nor counts as saved.
        EXPECT_TRUE(s.FileName.empty() && !s.Saved) << failAt;
        EXPECT_EQ(ReadFile(target), "1 1\n") << failAt;
        EXPECT_EQ(ReadFile(d.Path() / "keep.bak"), "0 0\n") << failAt;
        EXPECT_EQ(std::distance(fs::directory_iterator(d.Path()), fs::directory_iterator()), 2) << failAt;
    }
    // Exactly enough room: the save goes through, and the backup holds the old file.
    curvefile::TSaveFile::FailWriteAfterBytes = content + copy;
    TCurveB s = c;
    std::string err;
    const bool saved = s.SaveToFile(target, "", "", &err);
    curvefile::TSaveFile::FailWriteAfterBytes = -1;
    ASSERT_TRUE(saved) << err;
    EXPECT_EQ(ReadFile(d.Path() / "keep.bak"), "1 1\n");
    EXPECT_EQ(TCurveB::CreateFromFile(target).Count(), 3);
}
