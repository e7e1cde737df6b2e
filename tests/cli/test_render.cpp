// render: pictures of curves in PNG, SVG and PDF, read back and looked at.
#include "../pixels.h"
#include "clirunner.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>

namespace {

const QColor Lime(0, 255, 0);
const QColor Navy(0, 0, 128);
const QColor Teal(0, 128, 128);

// Reading an SVG draws its text, which needs the font machinery of a GUI application (offscreen here).
void NeedGuiApp() {
    static int argc = 3;
    static char arg0[] = "cli_tests", arg1[] = "-platform", arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    static QGuiApplication app(argc, argv);
}

// A sine over x = 0..10.
std::string Sine(const TTempDir& dir) {
    std::string text;
    for (int i = 0; i <= 500; ++i)
        text += std::to_string(i * 0.02) + " " + std::to_string(std::sin(i * 0.02)) + "\n";
    return dir.Write("sine.dat", text);
}

// The plot rectangle: the background fill covers left..right-1 and top..bottom-1 inside its outline, and the
// plot's right and bottom pixels belong to the plot as well.
QRect PlotRect(const QImage& img, QColor background) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == background) r |= QRect(x, y, 1, 1);
    return r.adjusted(0, 0, 1, 1);
}

// Curve colour inside the plot and nowhere else.
void ExpectCurveOnlyInsidePlot(const QImage& img, QColor background, QColor curve) {
    const QRect plot = PlotRect(img, background);
    ASSERT_FALSE(plot.isEmpty());
    EXPECT_GT(Count(img, curve, plot), 50);
    EXPECT_EQ(Count(img, curve, img.rect()), Count(img, curve, plot));
}

// The picture an SVG file shows, on white.
QImage SvgPicture(const std::string& svg, QSize size) {
    NeedGuiApp();
    QSvgRenderer renderer(QString::fromStdString(svg));
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    if (renderer.isValid()) {
        QPainter p(&img);
        renderer.render(&p);
    }
    return img;
}

// The texts of an SVG picture in drawing order (y labels, then x labels), without their padding.
std::vector<std::string> SvgTexts(const std::string& svg) {
    const std::string text = ReadFile(svg);
    const std::regex element(">\\s*([^<>]*)</text>");
    std::vector<std::string> texts;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), element); it != std::sregex_iterator();
         ++it)
        texts.push_back((*it)[1]);
    return texts;
}

} // namespace

TEST(CliRender, PngShowsCurvesInsideTheFrame) {
    TTempDir dir;
    const auto sine = Sine(dir);
    const auto png = (dir / "g.png").string();
    // The x range cuts the curve off on both sides: the clipped parts must not show outside the plot.
    auto r = RunCli(Words("render " + sine +
                          " --size 300x200 --background navy --xrange 2:8 --grid-color teal -o " + png));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    QImage img(QString::fromStdString(png));
    ASSERT_EQ(img.size(), QSize(300, 200));
    ExpectCurveOnlyInsidePlot(img, Navy, Lime);
    EXPECT_GT(Count(img, Teal, img.rect()), 100);       // grid lines
    EXPECT_EQ(img.pixelColor(0, 0), QColor(Qt::white)); // the page around the plot

    // Options: no grid, symbols only, a colour by value, a second curve in the second default colour.
    const auto line = dir.Write("line.dat", "0 -1\n10 1\n");
    r = RunCli(Words("render " + sine + " " + line + " --no-grid --grid-color teal --symbols --no-lines " +
                     "--symbol-size 2 --background #102030 -o " + png +
                     " --size 400x300 --title T --ycaption v"));
    ASSERT_EQ(r.status, 0) << r.err;
    img.load(QString::fromStdString(png));
    EXPECT_EQ(Count(img, Teal, img.rect()), 0);
    ExpectCurveOnlyInsidePlot(img, QColor(0x10, 0x20, 0x30), Lime);
    EXPECT_GT(Count(img, QColor(255, 0, 255), img.rect()), 4); // fuchsia: the second curve's end symbols

    // The drawing factor reaches the picture: symbols of twice the radius, about four times the pixels.
    const auto dot = dir.Write("dot.dat", "1 1\n2 4\n100 1000\n");
    int pixels[3] = {};
    for (int factor : {1, 2}) {
        r = RunCli(Words("render " + dot +
                         " --symbols --no-lines --xlog --ylog --no-grid --background navy --factor " +
                         std::to_string(factor) + " -o " + png));
        ASSERT_EQ(r.status, 0) << r.err;
        img.load(QString::fromStdString(png));
        pixels[factor] = Count(img, Lime, img.rect());
    }
    EXPECT_GT(pixels[1], 0);
    EXPECT_GT(pixels[2], 3 * pixels[1]);
}

TEST(CliRender, SvgAndPdfHoldTheSameGraph) {
    TTempDir dir;
    const auto sine = Sine(dir);
    const auto svg = (dir / "g.svg").string();
    auto r =
        RunCli({"render", sine, "--size", "320x240", "--background", "navy", "--xrange", "1:9", "-o", svg});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadFile(svg).find("viewBox=\"0 0 320 240\""), std::string::npos);
    const QImage img = SvgPicture(svg, QSize(320, 240));
    ExpectCurveOnlyInsidePlot(img, Navy, Lime);

    // The PDF page: 320 x 240 pixels at 96 dpi, the curve in lime.
    const auto pdf = (dir / "G.PDF").string();
    r = RunCli({"render", sine, "--size", "320x240", "--background", "navy", "--xrange", "1:9", "-o", pdf});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string bytes = ReadFile(pdf);
    EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
    EXPECT_NE(bytes.find("MediaBox [0 0 240.000000 180.000000]"), std::string::npos);
    EXPECT_TRUE(PdfPage(QByteArray::fromStdString(bytes)).contains("0 1 0 SCN"));
}

TEST(CliRender, LabelsShowTheirValuesInsideThePicture) {
    TTempDir dir;
    const auto svg = (dir / "g.svg").string();
    // A logarithmic axis: every decade label shows its own value, and the decade just below the top end
    // (1000 of 1000.001) has its label.
    const auto decay = dir.Write("decay.dat", "0 500\n10 0.005\n");
    auto r = RunCli({"render", decay, "--ylog", "--yrange", "0.005:1000.001", "-o", svg});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(SvgTexts(svg), (std::vector<std::string>{"0.01", "0.1", "1.0", "10.0", "100.0", "1000.0", "0.0",
                                                       "2.5", "5.0", "7.5", "10.0"}));

    // A logarithmic axis within one decade is labelled at its ends; on a short axis over many decades the
    // labels that would overlap are left out (every other one here).
    r = RunCli({"render", decay, "--ylog", "--yrange", "2:8", "-o", svg});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(SvgTexts(svg), (std::vector<std::string>{"2.0", "8.0", "0.0", "2.5", "5.0", "7.5", "10.0"}));
    r = RunCli({"render", decay, "--ylog", "--yrange", "1e-6:1e6", "--size", "300x120", "-o", svg});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto texts = SvgTexts(svg);
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 3),
              (std::vector<std::string>{"0.000001", "0.001", "1.0"}));
}

TEST(CliRender, BadRequestsChangeNothing) {
    TTempDir dir;
    const auto sine = Sine(dir);
    const auto png = (dir / "out.png").string();
    auto expectUsage = [&](std::vector<std::string> args, const std::string& text) {
        args.insert(args.begin(), "render");
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, 2) << text;
        EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    };
    expectUsage({sine}, "-o OUT");
    expectUsage({sine, "-o", (dir / "out.jpg").string()}, ".png, .svg or .pdf");
    expectUsage({sine, "-o", png, "--background", "mauve"}, "'mauve'");
    expectUsage({sine, "-o", png, "--size", "20x20"}, "out of range");
    expectUsage({sine, "-o", png, "--xrange", "5:1"}, "MIN must be below MAX");
    expectUsage({sine, "-o", png, "--ylog", "--yrange", "0:5"}, "logarithmic");
    expectUsage({sine, "-o", png, "--no-lines"}, "--symbols");
    const auto wide = dir.Write("wide.dat", "0 -1e308\n1 1e308\n");
    EXPECT_EQ(RunCli({"render", wide, "--xrange", "-1e308:1e308", "-o", (dir / "wide.png").string()}).status,
              0);
    const auto missing = (dir / "missing.dat").string();
    expectUsage({sine, missing, "-o", png}, missing);
    EXPECT_FALSE(std::filesystem::exists(png));

    // A full curve window takes 100 curves; the 101st is refused, not swapped for curve 1.
    std::vector<std::string> args{"render"};
    for (int i = 0; i < 101; ++i) args.push_back(sine);
    args.insert(args.end(), {"-o", png});
    auto r = RunCli(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("A curve window holds at most 100 curves."), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(png));
    args.erase(args.begin() + 1);
    r = RunCli(args);
    EXPECT_EQ(r.status, 0) << r.err;

    // A refused request leaves an existing picture as it was (failed writes: the save-fault tests).
    const std::string before = ReadFile(png);
    r = RunCli({"render", sine, "-o", png, "--background", "nope"});
    EXPECT_EQ(ReadFile(png), before);
}
