// Curves from columns of instrument and spreadsheet files, compressed files, and the column export.
#include "../gzipped.h"
#include "../tempdir.h"
#include "curves/cachelines.h"
#include "curves/columnreader.h"
#include "curves/columnwriter.h"
#include "curves/filebytes.h"
#include "opscurves.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <thread>

using namespace columns;

namespace {

struct TRead {
    bool ok = false;
    std::vector<TCurveB> curves;
    TColumnReport report;
    std::string error;
};

TRead Read(const std::string& text, const TColumnOptions& o, const std::string& name = "data.csv") {
    TRead r;
    r.ok = ReadColumns(text, name, o, r.curves, r.report, r.error);
    return r;
}

TColumnOptions Columns(int32_t x, std::vector<int32_t> y, int32_t sigma = 0) {
    TColumnOptions o;
    o.xColumn = x;
    o.yColumns = std::move(y);
    o.sigmaColumn = sigma;
    return o;
}

} // namespace

TEST(ColumnRead, SemicolonsWithDecimalCommasAndAHeader) {
    const std::string text = "\xEF\xBB\xBFZeit;Spannung (V);Strom\r\n"
                             "0;1,5;-2,25e-3\r\n"
                             "0,5;2;3\r\n";
    TColumnOptions o = Columns(1, {2, 3});
    o.header = true;
    const TRead r = Read(text, o);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.separator, TSeparator::Semicolon);
    EXPECT_TRUE(r.report.decimalComma);
    ASSERT_EQ(r.report.names, (std::vector<std::string>{"Zeit", "Spannung (V)", "Strom"}));
    ASSERT_EQ(r.curves.size(), 2u);
    ExpectPoints(r.curves[0], {{0, 1.5}, {0.5, 2}}, 0);
    ExpectPoints(r.curves[1], {{0, -2.25e-3}, {0.5, 3}}, 0);
    EXPECT_EQ(r.curves[0].Comment, "Spannung (V)");
    EXPECT_EQ(r.curves[1].Comment, "Strom");
    // Named after the file and the column, beside it: never the imported file itself.
    EXPECT_EQ(r.curves[0].FileName, "data_Spannung_V.dat");
    EXPECT_FALSE(r.curves[0].HasSigma());
    EXPECT_EQ(r.report.SkippedLines(), 0);
    EXPECT_EQ(r.report.minColumns, 3);
    EXPECT_EQ(r.report.maxColumns, 3);
    // The same text with the separator and mark given: the same; a decimal point forced: "1,5" is no number.
    o.separator = TSeparator::Semicolon;
    o.decimal = TDecimalMark::Point;
    const TRead p = Read(text, o);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, "data.csv: no line gives a point from column 2");
    EXPECT_EQ(p.report.skipped[SkipNotNumber].count, 2);
    EXPECT_EQ(p.report.skipped[SkipNotNumber].firstLine, 2);
    EXPECT_EQ(p.report.skipped[SkipNotNumber].firstText, "0;1,5;-2,25e-3");
}

TEST(ColumnRead, SigmaColumnRowNumbersAndCommentLines) {
    const std::string text = "# instrument 7\n"
                             "% settings\n"
                             "  ! more\n"
                             "\n"
                             "1.0,10,0.5\n"
                             ",,\n"
                             "2.0,20,0.25\n"
                             "3.0,nan,0.1\n"
                             "4.0,40,-1\n"
                             "5.0,50,inf\n"
                             "6.0,60,1e999\n"
                             "7.0,70,0.125\n";
    const TRead r = Read(text, Columns(1, {2}, 3));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.separator, TSeparator::Comma);
    EXPECT_FALSE(r.report.decimalComma);
    const TCurveB& c = r.curves[0];
    ExpectPoints(c, {{1, 10}, {2, 20}, {7, 70}}, 0);
    ASSERT_TRUE(c.HasSigma());
    EXPECT_EQ(c.Sigma(1), 0.5);
    EXPECT_EQ(c.Sigma(2), 0.25);
    EXPECT_EQ(c.Sigma(3), 0.125);
    EXPECT_EQ(r.report.commentLines, 5); // three comments, an empty line and a line of separators
    EXPECT_EQ(r.report.skipped[SkipNotFinite].count, 3);
    EXPECT_EQ(r.report.skipped[SkipNotFinite].firstLine, 8);
    EXPECT_EQ(r.report.skipped[SkipNegativeSigma].count, 1);
    EXPECT_EQ(r.report.skipped[SkipNegativeSigma].firstLine, 9);
    EXPECT_EQ(r.report.dataLines, 7);
    EXPECT_EQ(r.report.pointLines, 3);
    // The row number as x counts the lines that gave a point; without "#" as a comment character its line
    // is a line of one cell (where y was wanted, nothing: too few columns).
    TColumnOptions rows = Columns(0, {2});
    rows.comment = "%!";
    const TRead n = Read(text, rows);
    ASSERT_TRUE(n.ok) << n.error;
    ExpectPoints(n.curves[0], {{1, 10}, {2, 20}, {3, 40}, {4, 50}, {5, 60}, {6, 70}}, 0);
    EXPECT_EQ(n.report.skipped[SkipText].count, 0);
    EXPECT_EQ(n.report.skipped[SkipTooFewColumns].count, 1);
    EXPECT_EQ(n.report.skipped[SkipTooFewColumns].firstLine, 1);
    // With x from its column the same line is text where a number was wanted.
    TColumnOptions text1 = Columns(1, {2});
    text1.comment = "";
    const TRead t = Read(text, text1);
    EXPECT_EQ(t.report.skipped[SkipText].count, 3); // "# instrument 7", "% settings", "  ! more"
    EXPECT_EQ(t.report.skipped[SkipText].firstText, "# instrument 7");
    EXPECT_EQ(n.report.skipped[SkipNotFinite].count, 1);
}

TEST(ColumnRead, PlainAndUnusualLinesReadAlike) {
    // Plain number lines and lines that need taking apart cell by cell, mixed: a number with text stuck to it
    // is no number in either separator, quotes and blanks around cells are undone, a sigma of -0 is no
    // negative sigma, and the row number counts on across both kinds of line.
    const std::string spaced = "1 2\n"
                               "2 3x\n"
                               "3 4 x\n"
                               "\t4\t5 \n"
                               "5 6x 7\n";
    TRead w = Read(spaced, Columns(1, {2}));
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(w.report.separator, TSeparator::Whitespace);
    ExpectPoints(w.curves[0], {{1, 2}, {3, 4}, {4, 5}}, 0);
    EXPECT_EQ(w.report.skipped[SkipNotNumber].count, 2);
    EXPECT_EQ(w.report.skipped[SkipNotNumber].firstLine, 2);
    EXPECT_EQ(w.report.minColumns, 2);
    EXPECT_EQ(w.report.maxColumns, 3);
    // Where tabs separate, a leading tab ends an empty first cell.
    const TRead tabs = Read("1\t2\n\t5\t6\n", Columns(1, {2}));
    ASSERT_TRUE(tabs.ok) << tabs.error;
    EXPECT_EQ(tabs.report.separator, TSeparator::Tab);
    ExpectPoints(tabs.curves[0], {{1, 2}}, 0);
    EXPECT_EQ(tabs.report.skipped[SkipNotNumber].firstLine, 2);
    // A column passed over on the way to the one read.
    w = Read(spaced, Columns(1, {3}));
    ASSERT_TRUE(w.ok) << w.error;
    ExpectPoints(w.curves[0], {{5, 7}}, 0);
    EXPECT_EQ(w.report.skipped[SkipTooFewColumns].count, 3);
    EXPECT_EQ(w.report.skipped[SkipNotNumber].count, 1);

    const std::string csv = "1,2,0.5\n"
                            "2,3x,0.5\n"
                            " 3 , 4 , 0.25 ,\n"
                            "\"4\",\"5\",\"0.125\"\n"
                            "5,6,-0\n"
                            "6,7,-0.5\n"
                            "7,8,0.5,\"a,b\"\n";
    TRead c = Read(csv, Columns(1, {2}, 3));
    ASSERT_TRUE(c.ok) << c.error;
    ExpectPoints(c.curves[0], {{1, 2}, {3, 4}, {4, 5}, {5, 6}, {7, 8}}, 0);
    EXPECT_EQ(c.curves[0].Sigma(2), 0.25);
    EXPECT_EQ(c.curves[0].Sigma(3), 0.125);
    EXPECT_EQ(c.report.skipped[SkipNotNumber].count, 1);
    EXPECT_EQ(c.report.skipped[SkipNegativeSigma].count, 1);
    EXPECT_EQ(c.report.skipped[SkipNegativeSigma].firstLine, 6);
    EXPECT_EQ(c.report.minColumns, 3);
    EXPECT_EQ(c.report.maxColumns, 4); // the quoted "a,b" is one cell
    // Columns after the last one read are counted, quoted or not; a column skipped between may be quoted.
    TRead rows = Read(csv, Columns(0, {3}));
    ASSERT_TRUE(rows.ok) << rows.error;
    ExpectPoints(rows.curves[0], {{1, 0.5}, {2, 0.5}, {3, 0.25}, {4, 0.125}, {5, -0.0}, {6, -0.5}, {7, 0.5}},
                 0);
    TRead skipped = Read("\"1,5\",2,3\n\"2\",4,5\n", Columns(1, {3}));
    ASSERT_TRUE(skipped.ok) << skipped.error;
    ExpectPoints(skipped.curves[0], {{2, 5}}, 0);
    EXPECT_EQ(skipped.report.skipped[SkipNotNumber].count, 1);
    TRead passed = Read("\"a,b\",2,3\n", Columns(0, {3}));
    ASSERT_TRUE(passed.ok) << passed.error;
    ExpectPoints(passed.curves[0], {{1, 3}}, 0);
    // Comment characters that could start a number start a comment all the same; the sigma may come first.
    TColumnOptions signs = Columns(2, {3}, 1);
    signs.comment = "-+";
    const TRead s = Read("0.5,1,2\n-1,2,3\n +5,6,7\n0.25,3,4\n", signs);
    ASSERT_TRUE(s.ok) << s.error;
    ExpectPoints(s.curves[0], {{1, 2}, {3, 4}}, 0);
    EXPECT_EQ(s.curves[0].Sigma(1), 0.5);
    EXPECT_EQ(s.curves[0].Sigma(2), 0.25);
    EXPECT_EQ(s.report.commentLines, 2);
}

TEST(ColumnRead, RandomLinesReadAsTheirQuotedCopies) {
    // Random files of numbers, text, empty cells and blanks, read as they are and with every cell quoted
    // (which the reader takes apart cell by cell): the same points, sigmas, counts, columns and first lines,
    // over every separator character, both decimal marks, many column choices and every line end, the last
    // line's at times left off. Where blanks separate, the quoted copy is separated by single tabs.
    std::mt19937 rng(11);
    const char* pieces[] = {"1",
                            "-2.5",
                            "3e2",
                            "0",
                            "-0",
                            "4,5",
                            "x",
                            "",
                            "nan",
                            "inf",
                            "1e999",
                            "2x",
                            "+3",
                            ".5",
                            "5.",
                            "1,2",
                            "-1e-3",
                            "#",
                            "12345678901234567",
                            "0,000001",
                            "-.5e-3",
                            "1e5"};
    const char* blanks[] = {"", "", " ", "\t", "  "};
    const char* runs[] = {" ", " ", "\t", " \t  "};
    const char* ends[] = {"\n", "\n", "\r\n", "\r"};
    for (int round = 0; round < 4000; ++round) {
        const auto sep = static_cast<TSeparator>(1 + rng() % 4);
        const bool white = sep == TSeparator::Whitespace;
        const char mark = sep == TSeparator::Comma ? ',' : sep == TSeparator::Semicolon ? ';' : '\t';
        std::string plain, quoted;
        for (int l = 1 + static_cast<int>(rng() % 8); l > 0; --l) {
            bool filled = false;
            if (white) plain += blanks[rng() % std::size(blanks)];
            for (int c = static_cast<int>(rng() % 6); c >= 0; --c) {
                // The separator is taken out of the pieces and the blanks around them: inside quotes it
                // would be text.
                auto strip = [&](std::string b) {
                    std::erase(b, mark);
                    return b;
                };
                std::string piece = strip(pieces[rng() % std::size(pieces)]);
                // A line of empty cells alone is blank unquoted, a data line quoted: each line has a piece.
                // Blanks leave no cell empty.
                if ((white || (c == 0 && !filled)) && piece.empty()) piece = "7";
                filled = filled || !piece.empty();
                if (white) {
                    plain +=
                        piece + (c > 0 ? runs[rng() % std::size(runs)] : blanks[rng() % std::size(blanks)]);
                    quoted += "\"" + piece + "\"" + (c > 0 ? "\t" : "");
                    continue;
                }
                const std::string before = blanks[rng() % std::size(blanks)],
                                  after = blanks[rng() % std::size(blanks)];
                plain += strip(before) + piece + strip(after);
                quoted += strip(before) + "\"" + piece + "\"" + strip(after);
                if (c > 0) {
                    plain += mark;
                    quoted += mark;
                }
            }
            const char* eol = l == 1 && rng() % 4 == 0 ? "" : ends[rng() % std::size(ends)];
            plain += eol;
            quoted += eol;
        }
        TColumnOptions o = Columns(static_cast<int32_t>(rng() % 4), {static_cast<int32_t>(1 + rng() % 4)},
                                   rng() % 3 == 0 ? static_cast<int32_t>(1 + rng() % 4) : 0);
        if (rng() % 2 != 0) o.yColumns.push_back(static_cast<int32_t>(1 + rng() % 4));
        o.separator = sep;
        // (Decimal commas between comma separators read "1,2" as one number: no copy can say that.)
        o.decimal = rng() % 2 != 0 && sep != TSeparator::Comma ? TDecimalMark::Comma : TDecimalMark::Point;
        o.comment = ""; // a quoted "#" starts no comment
        const TRead a = Read(plain, o);
        if (white) o.separator = TSeparator::Tab;
        const TRead b = Read(quoted, o);
        SCOPED_TRACE(plain);
        ASSERT_EQ(a.ok, b.ok);
        EXPECT_EQ(a.error, b.error);
        EXPECT_EQ(a.report.dataLines, b.report.dataLines);
        EXPECT_EQ(a.report.pointLines, b.report.pointLines);
        EXPECT_EQ(a.report.commentLines, b.report.commentLines);
        EXPECT_EQ(a.report.minColumns, b.report.minColumns);
        EXPECT_EQ(a.report.maxColumns, b.report.maxColumns);
        for (size_t r = 0; r < SkipReasons; ++r) {
            EXPECT_EQ(a.report.skipped[r].count, b.report.skipped[r].count) << r;
            EXPECT_EQ(a.report.skipped[r].firstLine, b.report.skipped[r].firstLine) << r;
        }
        ASSERT_EQ(a.curves.size(), b.curves.size());
        for (size_t j = 0; j < a.curves.size(); ++j) {
            const TCurveB &p = a.curves[j], &q = b.curves[j];
            ASSERT_EQ(p.Count(), q.Count());
            for (int32_t i = 1; i <= p.Count(); ++i) {
                EXPECT_EQ(p.X(i), q.X(i));
                EXPECT_EQ(p.Y(i), q.Y(i));
                if (p.HasSigma()) {
                    EXPECT_EQ(p.Sigma(i), q.Sigma(i));
                }
            }
        }
        if (HasFailure()) break;
    }
}

TEST(ColumnRead, RaggedRowsGiveEachCurveItsOwnPoints) {
    // Tab-separated with decimal commas (auto from the numbers); the third column stops early.
    const std::string text = "t\ta\tb\n"
                             "1\t0,5\t7\n"
                             "2\t1,5\n"
                             "3\t2,5\tx\n"
                             "4\t3,5\t9\t\t\n";
    TColumnOptions o = Columns(1, {2, 3});
    o.header = true;
    const TRead r = Read(text, o);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.separator, TSeparator::Tab);
    EXPECT_TRUE(r.report.decimalComma);
    ExpectPoints(r.curves[0], {{1, 0.5}, {2, 1.5}, {3, 2.5}, {4, 3.5}}, 0);
    ExpectPoints(r.curves[1], {{1, 7}, {4, 9}}, 0);
    EXPECT_EQ(r.curves[1].Comment, "b");
    EXPECT_EQ(r.report.skipped[SkipTooFewColumns].count, 1);
    EXPECT_EQ(r.report.skipped[SkipTooFewColumns].firstLine, 3);
    EXPECT_EQ(r.report.skipped[SkipNotNumber].count, 1);
    EXPECT_EQ(r.report.skipped[SkipNotNumber].firstLine, 4);
    EXPECT_EQ(r.report.minColumns, 2);
    EXPECT_EQ(r.report.maxColumns, 5); // empty cells keep their places
    const std::vector<std::string> said = r.report.SkippedText();
    ASSERT_EQ(said.size(), 2u);
    EXPECT_EQ(said[0], "1 line skipped (a cell that is not a number), the first line 4: 3\t2,5\tx");
    EXPECT_EQ(said[1], "1 line skipped (too few columns), the first line 3: 2\t1,5");
}

TEST(ColumnRead, WhitespaceQuotesAndLinesToSkip) {
    const std::string text = "Instrument XY-7 export\n"
                             "run 12, 2024\n"
                             "\"time, s\",\"U \"\"raw\"\"\"\n"
                             "  1   2.5\t 3\n"
                             "2 3.5\r"
                             "3 4.5";
    TColumnOptions o = Columns(1, {2});
    o.skipLines = 2;
    o.header = true;
    o.separator = TSeparator::Comma;
    const TRead named = Read(text, o);
    EXPECT_EQ(named.report.names, (std::vector<std::string>{"time, s", "U \"raw\""}));
    EXPECT_FALSE(named.ok); // with commas no data line holds a second column
    EXPECT_EQ(named.error, "data.csv: no line has a column 2 (the data lines have at most 1 column)");
    o.separator = TSeparator::Auto;
    const TRead r = Read(text, o);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.separator, TSeparator::Whitespace);
    ExpectPoints(r.curves[0], {{1, 2.5}, {2, 3.5}, {3, 4.5}}, 0);
    EXPECT_EQ(r.report.minColumns, 2);
    EXPECT_EQ(r.report.maxColumns, 3);
    // One line fewer skipped: the second line is the header and the names line a line of text (the first
    // data line); one more: the names line is the header.
    o.skipLines = 1;
    const TRead fewer = Read(text, o);
    ASSERT_TRUE(fewer.ok) << fewer.error;
    EXPECT_EQ(fewer.report.names.front(), "run");
    EXPECT_EQ(fewer.report.skipped[SkipText].count, 1);
    EXPECT_EQ(fewer.report.skipped[SkipText].firstLine, 3);
    o.skipLines = 3;
    const TRead more = Read(text, o);
    ASSERT_TRUE(more.ok) << more.error;
    EXPECT_EQ(more.report.names, (std::vector<std::string>{"1", "2.5", "3"}));
    EXPECT_EQ(more.curves[0].Count(), 2);
    // Skipping every line leaves nothing to read.
    o.skipLines = 6;
    const TRead none = Read(text, o, "run.txt");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, "run.txt: no data lines (column 2 is empty)");
}

TEST(ColumnRead, RefusalsNameTheFileAndTheColumn) {
    std::vector<TCurveB> kept(1, Make({{1, 1}}));
    TColumnReport report;
    std::string error;
    EXPECT_FALSE(ReadColumns("a,b\nc,d\n", "f.csv", Columns(1, {2}), kept, report, error));
    EXPECT_EQ(error, "f.csv: no line gives a point from column 2");
    EXPECT_EQ(report.skipped[SkipText].count, 2);
    ASSERT_EQ(kept.size(), 1u); // untouched
    EXPECT_EQ(kept[0].Count(), 1);
    // One good column does not carry a column without points.
    EXPECT_FALSE(ReadColumns("1,2,x\n3,4,y\n", "f.csv", Columns(1, {2, 3}), kept, report, error));
    EXPECT_EQ(error, "f.csv: no line gives a point from column 3");
    EXPECT_FALSE(ReadColumns("1,2\n", "f.csv", Columns(1, {2}, 4), kept, report, error));
    EXPECT_EQ(error, "f.csv: no line has a column 4 (the data lines have at most 2 columns)");
    EXPECT_FALSE(ReadColumns("1,2\n", "f.csv", Columns(1, {0}), kept, report, error));
    EXPECT_EQ(error, "f.csv: the y column 0 does not exist (columns count from 1)");
    EXPECT_FALSE(ReadColumns("1,2\n", "f.csv", Columns(-1, {2}), kept, report, error));
    EXPECT_EQ(error, "f.csv: the x column -1 does not exist (columns count from 1, 0 for the row number)");
    EXPECT_FALSE(ReadColumns("1,2\n", "f.csv", Columns(1, {2}, -3), kept, report, error));
    EXPECT_EQ(error, "f.csv: the sigma column -3 does not exist (columns count from 1, 0 for none)");
    EXPECT_FALSE(ReadColumns("1,2\n", "f.csv", Columns(1, {}), kept, report, error));
    EXPECT_FALSE(ReadColumns("1,2\n", "f.csv", Columns(1, {MaxColumn + 1}), kept, report, error));
    EXPECT_EQ(error, "f.csv: column 100001 is beyond the 100000 a line may hold");
    // The highest column allowed is only refused for want of data.
    EXPECT_FALSE(ReadColumns("1,2\n", "f.csv", Columns(1, {MaxColumn}), kept, report, error));
    EXPECT_EQ(error, "f.csv: no line has a column 100000 (the data lines have at most 2 columns)");
    // The comma as separator and decimal mark at once, chosen or found: refused, not read some way.
    TColumnOptions both = Columns(1, {2});
    both.separator = TSeparator::Comma;
    both.decimal = TDecimalMark::Comma;
    EXPECT_FALSE(ReadColumns("1,5,2\n", "f.csv", both, kept, report, error));
    EXPECT_EQ(error,
              "f.csv: the comma cannot both separate the columns and mark the decimals (choose another "
              "separator or the decimal point)");
    both.separator = TSeparator::Auto;
    EXPECT_FALSE(ReadColumns("1,5,2\n", "f.csv", both, kept, report, error));
    both.separator = TSeparator::Semicolon;
    EXPECT_TRUE(ReadColumns("1,5;2\n", "f.csv", both, kept, report, error)) << error;
    ExpectPoints(kept[0], {{1.5, 2}}, 0);
    kept = {Make({{1, 1}})};
    // A header asked for where no line is left to be one: no names, no data.
    TColumnOptions header = Columns(1, {2});
    header.header = true;
    EXPECT_FALSE(ReadColumns("# only a comment\n", "f.csv", header, kept, report, error));
    EXPECT_EQ(error, "f.csv: no data lines (column 2 is empty)");
    EXPECT_TRUE(report.names.empty());
    EXPECT_EQ(kept[0].Count(), 1);
}

TEST(ColumnRead, LargeTextReadOnAllCoresGivesTheSingleStretchResult) {
    // Past several megabyte stretches: row numbers and first skipped lines continue across the cuts.
    std::string text = "x;y;s\n";
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1e6, 1e6);
    std::vector<double> xs, ys;
    const int n = 400000;
    for (int i = 0; i < n; ++i) {
        char buf[96];
        const double x = u(rng), y = u(rng);
        xs.push_back(x);
        ys.push_back(y);
        std::snprintf(buf, sizeof buf, "%.17g;%.17g;%d\n", x, y, i);
        std::string line = buf;
        std::replace(line.begin(), line.end(), '.', ',');
        text += line;
        if (i == n - 3) text += "late text line\n";
    }
    ASSERT_GT(text.size(), size_t{8} << 20);
    TColumnOptions o = Columns(0, {2, 1}, 3);
    o.header = true;
    const TRead r = Read(text, o);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.curves[0].Count(), n);
    int wrong = 0;
    for (int i = 1; i <= n; ++i)
        wrong += r.curves[0].X(i) != i || r.curves[0].Y(i) != ys[static_cast<size_t>(i - 1)] ||
                 r.curves[1].Y(i) != xs[static_cast<size_t>(i - 1)] || r.curves[0].Sigma(i) != i - 1;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(r.report.skipped[SkipText].count, 1);
    EXPECT_EQ(r.report.skipped[SkipText].firstLine, n - 3 + 3);
    EXPECT_EQ(r.report.skipped[SkipText].firstText, "late text line");
}

TEST(CompressedFiles, ReadTransparentlyByOpenAndImport) {
    TTempDir dir;
    const std::string text = "# gz\n1;2,5;0,1\n2;3,5;0,2\n";
    const std::string gz = Gzipped(text);
    const std::string path = dir.Write("run.csv.gz", gz);
    std::vector<TCurveB> curves;
    TColumnReport report;
    std::string error;
    ASSERT_TRUE(ReadColumnFile(path, Columns(1, {2}, 3), curves, report, error)) << error;
    ExpectPoints(curves[0], {{1, 2.5}, {2, 3.5}}, 0);
    EXPECT_EQ(curves[0].Sigma(2), 0.2);
    EXPECT_EQ(curves[0].FileName, (dir / "run_column_2.dat").string());
    // Open reads the text inside by its own rules.
    const TCurveB open =
        TCurveB::CreateFromFile(dir.Write("two.dat.gz", Gzipped("1 2\n3 4\n")), true, &error);
    ExpectPoints(open, {{1, 2}, {3, 4}}, 0);
    // Two members one after the other are one text.
    const TCurveB joined =
        TCurveB::CreateFromFile(dir.Write("cat.gz", Gzipped("1 2\n") + Gzipped("3 4\n")), true, &error);
    ExpectPoints(joined, {{1, 2}, {3, 4}}, 0);
    // A large text inflated in more than one step of its buffer.
    std::string big;
    for (int i = 0; i < 200000; ++i) big += std::to_string(i) + " 1\n";
    const TCurveB many = TCurveB::CreateFromFile(dir.Write("big.gz", Gzipped(big)), true, &error);
    EXPECT_EQ(many.Count(), 200000);
    // A preview inflates the start only.
    std::vector<std::string> lines;
    ASSERT_TRUE(FirstLines(dir.Write("big2.gz", Gzipped(big)), 3, lines, error)) << error;
    EXPECT_EQ(lines, (std::vector<std::string>{"0 1", "1 1", "2 1"}));
    std::string start, why;
    ASSERT_TRUE(TFileBytes::Inflate(Gzipped(big), start, why, 1000));
    EXPECT_GE(start.size(), 1000u);
    EXPECT_LT(start.size(), big.size());
}

TEST(CompressedFiles, PipesAreReadToTheirEnd) {
    // A named pipe is no regular file: its bytes are read, not mapped, compressed or not.
    TTempDir dir;
    std::string text;
    for (int i = 0; i < 50000; ++i) text += std::to_string(i) + ";" + std::to_string(2 * i) + "\n";
    for (const bool compressed : {false, true}) {
        const std::string fifo = (dir / (compressed ? "z" : "p")).string();
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::thread writer(
            [&] { std::ofstream(fifo, std::ios::binary) << (compressed ? Gzipped(text) : text); });
        std::vector<TCurveB> curves;
        TColumnReport report;
        std::string error;
        const bool ok = ReadColumnFile(fifo, Columns(1, {2}), curves, report, error);
        writer.join();
        ASSERT_TRUE(ok) << error;
        ASSERT_EQ(curves[0].Count(), 50000);
        EXPECT_EQ(curves[0].Y(50000), 99998.0);
    }
}

TEST(CompressedFiles, DamagedStreamsAreRefusedWholly) {
    TTempDir dir;
    std::string big;
    for (int i = 0; i < 5000; ++i) big += std::to_string(i) + " " + std::to_string(i * 3) + "\n";
    const std::string gz = Gzipped(big);
    std::string error;
    // A flipped byte in the middle: the check sum or the stream itself fails.
    std::string flipped = gz;
    flipped[flipped.size() / 2] ^= 0x55;
    TCurveB c = TCurveB::CreateFromFile(dir.Write("flip.gz", flipped), true, &error);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(error.rfind((dir / "flip.gz").string() + ": damaged compressed data", 0), 0u) << error;
    // Cut short: no points, not the half that could be inflated.
    const std::string cutPath = dir.Write("cut.gz", gz.substr(0, gz.size() / 2));
    c = TCurveB::CreateFromFile(cutPath, true, &error);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(error, cutPath + ": the compressed data ends too soon");
    std::vector<TCurveB> curves;
    TColumnReport report;
    EXPECT_FALSE(ReadColumnFile(cutPath, Columns(1, {2}), curves, report, error));
    EXPECT_EQ(error, cutPath + ": the compressed data ends too soon");
    EXPECT_TRUE(curves.empty());
    // The stream without its last byte (the length check): still refused.
    c = TCurveB::CreateFromFile(dir.Write("short.gz", gz.substr(0, gz.size() - 1)), true, &error);
    EXPECT_EQ(c.Count(), 0);
    // Something after the end of the stream that is no further member.
    c = TCurveB::CreateFromFile(dir.Write("tail.gz", gz + "junk"), true, &error);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_NE(error.find("something follows the end of the stream"), std::string::npos) << error;
    // Only the two magic bytes: nothing to inflate.
    c = TCurveB::CreateFromFile(dir.Write("magic.gz", "\x1f\x8b"), true, &error);
    EXPECT_EQ(c.Count(), 0);
    // One magic byte is plain text (no number in it).
    EXPECT_FALSE(TFileBytes::IsGzip("\x1f"));
    EXPECT_FALSE(TFileBytes::IsGzip("\x1f\x8c"));
    EXPECT_TRUE(TFileBytes::IsGzip("\x1f\x8b"));
}

TEST(OpenNotes, SkippedLinesAndExtraNumbersAreTold) {
    TCurveReadNotes notes;
    TCurveB c = TCurveB::CreateFromText("1 2\n3 4\n", &notes);
    EXPECT_EQ(notes.skipped.count, 0);
    EXPECT_EQ(notes.partlyRead.count, 0);
    EXPECT_FALSE(notes.moreThanTwo);
    EXPECT_EQ(notes.skipped.firstLine, 0);
    // Lines of separators alone are no skipped lines; words are; a third number is told and not read.
    c = TCurveB::CreateFromText("  , \r\nx y\r\n1 2 3\r\nend\r\n4 5\r\n", &notes);
    ExpectPoints(c, {{1, 2}, {4, 5}}, 0);
    EXPECT_EQ(notes.skipped.count, 2);
    EXPECT_EQ(notes.skipped.firstLine, 2);
    EXPECT_EQ(notes.skipped.firstText, "x y");
    EXPECT_TRUE(notes.moreThanTwo);
    // Lines of a header ended by "DATA" are not skipped lines; line numbers count them all.
    c = TCurveB::CreateFromText("head\rDATA\r1 2\rword\r", &notes);
    EXPECT_EQ(notes.skipped.count, 1);
    EXPECT_EQ(notes.skipped.firstLine, 4);
    // A spreadsheet line read by the lenient rules: "0;1,5" is still the point (1, 5), but the text
    // dropped beside the number is told.
    c = TCurveB::CreateFromText("0;1,5\n2 3\n4;5,6\n", &notes);
    ExpectPoints(c, {{1, 5}, {2, 3}, {3, 6}}, 0);
    EXPECT_EQ(notes.skipped.count, 0);
    EXPECT_EQ(notes.partlyRead.count, 2);
    EXPECT_EQ(notes.partlyRead.firstLine, 1);
    EXPECT_EQ(notes.partlyRead.firstText, "0;1,5");
    EXPECT_FALSE(notes.moreThanTwo);
    // Read on all cores: the counts add up and the first line is the first of the file.
    std::string big;
    for (int i = 0; i < 300000; ++i)
        big += std::to_string(i) + " " + std::to_string(i) + (i % 100000 == 99999 ? " 7 x\n" : "\n");
    c = TCurveB::CreateFromText(big + "tail\n", &notes);
    EXPECT_EQ(c.Count(), 300000);
    EXPECT_TRUE(notes.moreThanTwo);
    EXPECT_EQ(notes.skipped.count, 1);
    EXPECT_EQ(notes.skipped.firstLine, 300001);
    EXPECT_EQ(notes.partlyRead.count, 0); // after the third number nothing more is looked at
}

TEST(ColumnExport, ReadsBackToTheSameDoubles) {
    std::mt19937_64 rng(11);
    TCurveB c;
    for (int i = 0; i < 2000; ++i) {
        uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) v = 1.0 / (i + 3);
        c.AddPoint(v, -v / 3);
    }
    c.AddPoint(5e-324, -1.7976931348623157e308);
    c.AddPoint(0.1, -0.0);
    std::string text, error;
    ASSERT_TRUE(ColumnText(c, TExportFormat::Csv, text, error));
    EXPECT_EQ(text.substr(0, 4), "x,y\n");
    std::vector<TCurveB> back;
    TColumnReport report;
    ASSERT_TRUE(ReadColumns(
        text, "",
        [] {
            TColumnOptions o;
            o.header = true;
            return o;
        }(),
        back, report, error))
        << error;
    ASSERT_EQ(back[0].Count(), c.Count());
    int wrong = 0;
    for (int32_t i = 1; i <= c.Count(); ++i) wrong += back[0].X(i) != c.X(i) || back[0].Y(i) != c.Y(i);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(report.names, (std::vector<std::string>{"x", "y"}));

    // With sigma, tab-separated, through the safe save (a .bak of the file it replaces).
    TTempDir dir;
    c.EnableSigma();
    c.SetSigma(2, 0.3);
    const std::string path = (dir / "out.tsv").string();
    dir.Write("out.tsv", "old");
    ASSERT_TRUE(ExportColumns(c, path, TExportFormat::Tsv, error)) << error;
    EXPECT_EQ(ReadFile(dir / "out.bak"), "old");
    ASSERT_TRUE(ReadColumnFile(path, Columns(1, {2}, 3), back, report, error)) << error;
    EXPECT_EQ(report.separator, TSeparator::Tab);
    EXPECT_EQ(back[0].Sigma(2), 0.3);
    EXPECT_EQ(back[0].X(5), c.X(5));
    // A point that is not finite: nothing written.
    c.SetY(7, NAN);
    EXPECT_FALSE(ExportColumns(c, path, TExportFormat::Csv, error));
    EXPECT_EQ(error, "cannot export to " + path + ": point 7 is not a finite number");
    EXPECT_EQ(ReadFile(path).substr(0, 9), "x\ty\tsigma");
    c.SetY(7, 1);
    c.SetSigma(9, INFINITY);
    EXPECT_FALSE(ExportColumns(c, path, TExportFormat::Csv, error));
    // Into a folder that does not exist: refused, naming the file.
    EXPECT_FALSE(ExportColumns(Make({{1, 2}}), (dir / "no/such.csv").string(), TExportFormat::Csv, error));
    EXPECT_NE(error.find("no/such.csv"), std::string::npos) << error;
    TExportFormat f;
    EXPECT_TRUE(ParseExportFormat("tsv", f));
    EXPECT_EQ(f, TExportFormat::Tsv);
    EXPECT_FALSE(ParseExportFormat("curve", f));
}

// The small arrays the cores update for every line they read start on a boundary of two cache lines and fill
// whole ones: one allocated right after another never shares a line with it, whatever their sizes.
TEST(CacheLines, SmallArraysHoldLinesOfTheirOwn) {
    for (const size_t n : {size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{129}, size_t{300}}) {
        TOwnLinesVector<double> a(n);
        TOwnLinesVector<uint8_t> b(1), c(n);
        for (const void* p : {static_cast<const void*>(a.data()), static_cast<const void*>(b.data()),
                              static_cast<const void*>(c.data())})
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % OwnLinesBytes, 0u) << n;
        const auto from = [](const void* p) { return reinterpret_cast<uintptr_t>(p); };
        // b's block is a whole pair of lines: nothing else begins within it.
        for (const uintptr_t other : {from(a.data()), from(c.data())})
            EXPECT_TRUE(other + OwnLinesBytes <= from(b.data()) || other >= from(b.data()) + OwnLinesBytes)
                << n;
    }
    EXPECT_THROW(TOwnLinesVector<double>().reserve(TOwnLinesVector<double>().max_size()), std::exception);
}
