// render and info on session files: a window's graph drawn with its own axes and styles, the windows and
// curves listed, and damaged sessions or options that do not fit a session refused.
#include "../pixels.h"
#include "clirunner.h"

#include <QByteArray>
#include <QImage>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Doubles as a session keeps them: the base64 text of their little-endian bits.
std::string Bits(const std::vector<double>& values) {
    QByteArray bytes(static_cast<qsizetype>(values.size()) * 8, '\0');
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes.toBase64().toStdString();
}

std::string CurveObject(const std::vector<double>& x, const std::vector<double>& y,
                        const std::string& extra) {
    return "{\"count\": " + std::to_string(x.size()) + ", \"x\": \"" + Bits(x) + "\", \"y\": \"" + Bits(y) +
           "\"" + extra + "}";
}

// Two windows: the first with a red line on white, the second with a lime one on black and a fit model.
std::string TwoWindows() {
    const std::string red = CurveObject({0, 1, 2, 3}, {0, 3, 1, 2},
                                        ", \"fileName\": \"/d/red.dat\", \"saved\": true, \"style\": "
                                        "{\"line\": true, \"symbol\": false, \"lineColor\": 255}");
    const std::string lime = CurveObject({0, 10}, {5, 6},
                                         ", \"sigma\": \"" + Bits({0.5, 0.25}) +
                                             "\", \"style\": {\"line\": true, \"lineColor\": 65280}");
    return "{\"format\": 1, \"windows\": ["
           "{\"geometry\": [0, 0, 600, 400], \"curves\": [" +
           red +
           "], \"axes\": {\"xmin\": 0, \"xmax\": 3, \"ymin\": 0, \"ymax\": 3, \"background\": 16777215}},"
           "{\"geometry\": [10, 10, 600, 400], \"curves\": [" +
           lime +
           "], \"axes\": {\"xmin\": -1, \"xmax\": 11, \"ymin\": 4, \"ymax\": 7, \"background\": 0},"
           " \"fit\": {\"terms\": [{\"type\": 0, \"params\": [{\"value\": 5.5}]}]}}]}";
}

} // namespace

TEST(SessionRender, DrawsTheChosenWindowWithItsOwnAxesAndStyles) {
    TTempDir dir;
    const std::string session = dir.Write("two.gmsession", TwoWindows());
    const std::string first = (dir / "1.png").string(), second = (dir / "2.png").string();
    TCliResult r = RunCli({"render", session, "-o", first});
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCli({"render", session, "--window", "2", "--size", "300x200", "-o", second});
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage a(QString::fromStdString(first)), b(QString::fromStdString(second));
    ASSERT_EQ(a.size(), QSize(800, 600));
    ASSERT_EQ(b.size(), QSize(300, 200));
    const QRect inner(100, 100, 600, 400);
    EXPECT_GT(Count(a, Qt::red, a.rect()), 100);
    EXPECT_EQ(Count(a, QColor(0, 255, 0), a.rect()), 0);
    EXPECT_GT(Count(a, Qt::white, inner), 100000);
    EXPECT_GT(Count(b, QColor(0, 255, 0), b.rect()), 50);
    EXPECT_EQ(Count(b, Qt::red, b.rect()), 0);
    EXPECT_GT(Count(b, Qt::black, QRect(80, 40, 150, 100)), 10000);
}

TEST(SessionRender, RefusesWhatDoesNotFitASession) {
    TTempDir dir;
    const std::string session = dir.Write("two.gmsession", TwoWindows());
    const std::string out = (dir / "o.png").string();
    TCliResult r = RunCli({"render", session, "--window", "3", "-o", out});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--window 3: the session has 2 window(s)"), std::string::npos) << r.err;
    r = RunCli({"render", session, "--window", "0", "-o", out});
    EXPECT_EQ(r.status, 2);
    r = RunCli({"render", session, "--xlog", "-o", out});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--xlog: a session's window is drawn with its own axes and styles"),
              std::string::npos);
    const std::string curve = dir.Write("c.dat", "1 2\n2 3\n");
    r = RunCli({"render", curve, "--window", "1", "-o", out});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--window: only with a session file"), std::string::npos);
    // Damaged or newer: refused naming the file, and no picture.
    std::string text = TwoWindows();
    const std::string cut = dir.Write("cut.gmsession", text.substr(0, text.size() / 2));
    r = RunCli({"render", cut, "-o", out});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(cut + ": not a Graphmill session"), std::string::npos) << r.err;
    text.replace(text.find("\"format\": 1"), 11, "\"format\": 9");
    const std::string newer = dir.Write("newer.gmsession", text);
    r = RunCli({"info", newer});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(newer + ": written by a newer Graphmill (session format 9"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(SessionInfo, ListsWindowsAndCurves) {
    TTempDir dir;
    const std::string session = dir.Write("two.gmsession", TwoWindows());
    const TCliResult r = RunCli({"info", session});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "windows 2\n"
                     "window 1 curves 1 active 1 fitterms 0\n"
                     "curve 1.1 file /d/red.dat\n"
                     "count 4\nxrange 0 3\nyrange 0 3\n"
                     "window 2 curves 1 active 1 fitterms 1\n"
                     "curve 2.1 unsaved sigma\n"
                     "count 2\nxrange 0 10\nyrange 5 6\n");
}
