// Columns of spreadsheet and instrument files on the command line: the reading options every command takes,
// what info tells of a file, compressed input and the column output of --format.
#include "../gzipped.h"
#include "clirunner.h"

#include <gtest/gtest.h>

namespace {

const std::string Spreadsheet = "# exported 2024-05-01\n"
                                "Zeit;Spannung;Fehler\n"
                                "0;1,5;0,1\n"
                                "1;2,5;0,2\n"
                                "Summe;4\n"
                                "2;3,5;0,3\n";
} // namespace

TEST(CliImport, ColumnsSeparatorsAndDecimalCommas) {
    TTempDir dir;
    const auto f = dir.Write("sheet.csv", Spreadsheet);
    // Auto: semicolons, and with them decimal commas; the sigma column rides along to the csv output.
    auto r = RunCli({"constant", "multiply", "2", f, "--header", "--columns", "1,2,3", "--format", "csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "x,y,sigma\n0,3,0.2\n1,5,0.4\n2,7,0.6\n");
    // The line that gave no point is told on standard error, with its number and why.
    EXPECT_EQ(r.err, "graphmill-cli: constant: " + f +
                         ": 1 line skipped (too few columns), the first line 5: Summe;4\n");
    // The same choices spelled out; tsv output; the row number as x.
    r = RunCli({"constant", "add", "0", f, "--separator", "semicolon", "--decimal-comma", "--skip", "2",
                "--comment", "", "--columns", "0,3", "--format", "tsv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "x\ty\n1\t0.1\n2\t0.2\n3\t0.3\n");
    // An operation that computes new y values leaves the sigma behind.
    r = RunCli({"integral", f, "--header", "--columns", "1,2,3", "--format", "csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 4), "x,y\n");
    // The curve form stays the default output, and curve files are read as always without the options.
    const auto plain = RunCurve({"constant", "add", "1", f, "--header", "--columns", "1,2"});
    ASSERT_EQ(plain.size(), 3u);
    EXPECT_EQ(plain[2].y, 4.5);
    // Every command that reads curves takes the options: the fit, the transform, the smoothing, render.
    const auto xy = dir.Write("xy.csv", "a,b\n1,1\n2,4\n3,9\n4,16\n5,25\n6,36\n");
    for (const std::vector<std::string>& cmd :
         {std::vector<std::string>{"interpolate", "--interval", "1", xy},
          {"smooth", "regression", xy},
          {"integral", xy},
          {"fft", xy},
          {"info", xy}}) {
        std::vector<std::string> args = cmd;
        args.insert(args.end(), {"--header", "--columns", "1,2"});
        r = RunCli(args);
        EXPECT_EQ(r.status, 0) << cmd[0] << ": " << r.err;
    }
}

TEST(CliImport, BadReadingOptionsAndFilesAreRefused) {
    TTempDir dir;
    const auto f = dir.Write("sheet.csv", Spreadsheet);
    const struct {
        std::vector<std::string> args;
        const char* said;
    } cases[] = {
        {{"--columns", "1"}, "--columns: '1' is not X,Y or X,Y,SIGMA"},
        {{"--columns", "1,2,3,4"}, "is not X,Y or X,Y,SIGMA"},
        {{"--columns", "1,0"}, "is not X,Y or X,Y,SIGMA"},
        {{"--columns", "-1,2"}, "is not X,Y or X,Y,SIGMA"},
        {{"--columns", "1,2,0"}, "is not X,Y or X,Y,SIGMA"},
        {{"--columns", "1,x"}, "is not X,Y or X,Y,SIGMA"},
        {{"--columns", "1,100001"}, "is not X,Y or X,Y,SIGMA"},
        {{"--separator", "pipe"}, "--separator: 'pipe' is not one of auto, comma, semicolon, tab, space"},
        {{"--skip", "-1"}, "--skip: -1 is out of range"},
        {{"--format", "xml", "--columns", "1,2"}, "--format: 'xml' is not one of curve, csv, tsv"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"constant", "add", "1", f};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, 2) << c.said;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // The highest column accepted is refused only for want of data, naming the file.
    auto r = RunCli({"info", f, "--columns", "1,100000"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "graphmill-cli: info: " + f +
                         ": no line has a column 100000 (the data lines have at most 3 columns)\n");
    r = RunCli({"info", f, "--columns", "1,2", "--separator", "comma"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(f + ": no line"), std::string::npos) << r.err;
    // Commands that read no curves take no reading options.
    r = RunCli({"eval", "1+1", "--columns", "1,2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown option --columns"), std::string::npos) << r.err;
}

TEST(CliImport, InfoTellsColumnsNamesAndSkippedLines) {
    TTempDir dir;
    const auto f = dir.Write("sheet.csv", Spreadsheet);
    auto r = RunCli({"info", f, "--header"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "count 3\nxrange 0 2\nyrange 1.5 3.5\n"
                     "columns 3\nseparator semicolon, decimal comma\n"
                     "name 1 Zeit\nname 2 Spannung\nname 3 Fehler\n"
                     "skipped 1 line (a cell that is not a number), the first line 5: Summe;4\n");
    r = RunCli({"info", f, "--columns", "1,2,3", "--header"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("sigma yes\n"), std::string::npos) << r.out;
    // Without the header line named, it is a line of text.
    r = RunCli({"info", f, "--columns", "1,2"});
    EXPECT_NE(r.out.find("skipped 1 line (a line of text), the first line 2: Zeit;Spannung;Fehler\n"),
              std::string::npos)
        << r.out;
    // Read as a curve file: its own rules, and what they passed over or left out.
    const auto wide = dir.Write("wide.dat", "t u v\n1 2 3\n4 5 6\n7;8,9\n");
    r = RunCli({"info", wide});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "count 3\nxrange 1 4\nyrange 2 9\ncolumns 3\nseparator whitespace, decimal comma\n"
                     "skipped 1 line (a line of text), the first line 1: t u v\n"
                     "partly read 1 line (text beside the numbers), the first line 4: 7;8,9\n"
                     "more than two numbers on a line: only the first two are read\n");
}

TEST(CliImport, CompressedInputAndDamagedStreams) {
    TTempDir dir;
    const auto gz = dir.Write("sheet.csv.gz", Gzipped(Spreadsheet));
    auto r = RunCli({"constant", "add", "0", gz, "--header", "--columns", "1,2", "--format", "csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "x,y\n0,1.5\n1,2.5\n2,3.5\n");
    // A curve file compressed, as a file and on standard input.
    const auto curve = Gzipped("1 2\n3 4\n");
    EXPECT_EQ(RunCurve({"constant", "add", "1", dir.Write("c.dat.gz", curve)}).size(), 2u);
    EXPECT_EQ(RunCurve({"constant", "add", "1", "-"}, curve).size(), 2u);
    r = RunCli({"info", "-", "--columns", "1,2"}, curve);
    EXPECT_EQ(r.out.substr(0, 8), "count 2\n");
    // Damaged: refused with the reason, nothing written.
    std::string broken = Gzipped(Spreadsheet);
    broken.resize(broken.size() - 6);
    const auto bad = dir.Write("bad.csv.gz", broken);
    const auto out = (dir / "out.csv").string();
    r = RunCli({"constant", "add", "0", bad, "--columns", "1,2", "-o", out});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "graphmill-cli: constant: " + bad + ": the compressed data ends too soon\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    r = RunCli({"constant", "add", "0", bad});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("the compressed data ends too soon"), std::string::npos) << r.err;
    r = RunCli({"constant", "add", "0", "-"}, broken);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "graphmill-cli: constant: standard input: the compressed data ends too soon\n");
}

TEST(CliImport, ColumnOutputToFilesKeepsTheSafeSave) {
    TTempDir dir;
    const auto f = dir.Write("sheet.csv", Spreadsheet);
    const auto out = (dir / "o.tsv").string();
    dir.Write("o.tsv", "old\n");
    auto r =
        RunCli({"constant", "add", "0.1", f, "--header", "--columns", "1,2,3", "--format", "tsv", "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), "x\ty\tsigma\n0\t1.6\t0.1\n1\t2.6\t0.2\n2\t3.6\t0.3\n");
    EXPECT_EQ(ReadFile(dir / "o.bak"), "old\n");
    // Read back with the same reader: the same doubles.
    r = RunCli({"constant", "add", "0", out, "--header", "--columns", "1,2,3", "--format", "tsv"});
    EXPECT_EQ(r.out, ReadFile(out));
}
