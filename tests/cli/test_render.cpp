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

// The rectangle of the pixels of one colour.
QRect AreaOf(const QImage& img, QColor c) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == c) r |= QRect(x, y, 1, 1);
    return r;
}

// The plot rectangle: the background fill covers left..right-1 and top..bottom-1 inside its outline, and the
// plot's right and bottom pixels belong to the plot as well.
QRect PlotRect(const QImage& img, QColor background) {
    return AreaOf(img, background).adjusted(0, 0, 1, 1);
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

namespace {

// The labels of one axis as numbers, with the step between them: each a whole multiple of a step of 1, 2 or
// 5 times a power of ten, written with no more decimals than that step needs.
void ExpectRoundLabels(const std::vector<std::string>& labels) {
    ASSERT_GE(labels.size(), 2u);
    std::vector<double> v;
    for (const std::string& s : labels) v.push_back(std::stod(s));
    const double step = v[1] - v[0];
    ASSERT_GT(step, 0);
    const double k = std::floor(std::log10(step) + 1e-9);
    const double m = step / std::pow(10.0, k);
    EXPECT_TRUE(std::fabs(m - 1) < 1e-6 || std::fabs(m - 2) < 1e-6 || std::fabs(m - 5) < 1e-6) << step;
    const size_t decimals = k < 0 ? static_cast<size_t>(-k) : 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const double q = v[i] / step;
        EXPECT_NEAR(q, std::round(q), 1e-6 + 1e-9 * std::fabs(q)) << labels[i];
        if (i > 0) {
            EXPECT_NEAR(v[i] - v[i - 1], step, step * 1e-6) << labels[i];
        }
        const size_t dot = labels[i].find('.');
        EXPECT_EQ(dot == std::string::npos ? 0 : labels[i].size() - dot - 1, decimals) << labels[i];
    }
}

// The y labels and the x labels of an SVG graph without title and captions: the x labels stand on one line
// below all others.
std::pair<std::vector<std::string>, std::vector<std::string>> AxisLabels(const std::string& svg) {
    const std::string text = ReadFile(svg);
    const std::regex element("<text[^>]* y=\"([-0-9.]+)\"[^>]*>\\s*([^<>]*)</text>");
    std::vector<std::pair<double, std::string>> texts;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), element); it != std::sregex_iterator();
         ++it)
        texts.emplace_back(std::stod((*it)[1]), (*it)[2]);
    double bottom = 0;
    for (const auto& t : texts) bottom = std::max(bottom, t.first);
    std::pair<std::vector<std::string>, std::vector<std::string>> labels;
    for (const auto& t : texts) (t.first == bottom ? labels.second : labels.first).push_back(t.second);
    return labels;
}

} // namespace

TEST(CliRender, RoundTicksFallOnRoundValues) {
    TTempDir dir;
    const auto odd = dir.Write("odd.dat", "0.3 -2.2\n4 1\n9.1 7.7\n");
    const auto svg = (dir / "g.svg").string();
    // Split in equal parts the labels read -2.2, 0.3, 2.8, 5.2, 7.7; on round values they do not.
    auto r = RunCli({"render", odd, "--size", "500x400", "-o", svg});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(AxisLabels(svg).first, (std::vector<std::string>{"-2.2", "0.3", "2.8", "5.2", "7.7"}));
    r = RunCli({"render", odd, "--size", "500x400", "--round-ticks", "-o", svg});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto [y, x] = AxisLabels(svg);
    EXPECT_EQ(y, (std::vector<std::string>{"-2", "0", "2", "4", "6"}));
    EXPECT_EQ(x, (std::vector<std::string>{"2", "4", "6", "8"}));

    // Ranges of every size, and divisions asked for.
    const char* ranges[][2] = {{"0:0.37", "-3e-7:4e-7"}, {"1234:98765", "0.1:0.1001"}, {"-17:3", "1e5:3e6"}};
    for (const auto& range : ranges) {
        for (const char* div : {"3", "10"}) {
            r = RunCli({"render", odd, "--round-ticks", "--xrange", range[0], "--yrange", range[1], "--xdiv",
                        div, "--ydiv", div, "--size", "700x500", "-o", svg});
            ASSERT_EQ(r.status, 0) << r.err;
            const auto [ry, rx] = AxisLabels(svg);
            SCOPED_TRACE(std::string(range[0]) + " " + range[1] + " " + div);
            ExpectRoundLabels(ry);
            ExpectRoundLabels(rx);
        }
    }

    // A logarithmic axis keeps its decades.
    const auto decay = dir.Write("decay.dat", "0 500\n10 0.005\n");
    r = RunCli({"render", decay, "--ylog", "--yrange", "0.005:1000.001", "--round-ticks", "-o", svg});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(SvgTexts(svg), (std::vector<std::string>{"0.01", "0.1", "1.0", "10.0", "100.0", "1000.0", "0",
                                                       "2", "4", "6", "8", "10"}));
}

TEST(CliRender, LegendNamesTheCurves) {
    TTempDir dir;
    std::filesystem::create_directories(dir / "run");
    const auto sine = dir.Write("run/sine.dat", "0 0\n1 1\n2 0\n");
    const auto line = dir.Write("run/line.dat", "0 0\n2 1\n");
    const auto svg = (dir / "g.svg").string();
    auto r = RunCli({"render", sine, line, "-o", svg});
    ASSERT_EQ(r.status, 0) << r.err;
    auto texts = SvgTexts(svg);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "sine.dat"), 0);
    r = RunCli({"render", sine, line, "--legend", "-o", svg});
    ASSERT_EQ(r.status, 0) << r.err;
    texts = SvgTexts(svg);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "sine.dat"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "line.dat"), 1);
    for (const std::string& t : texts) EXPECT_EQ(t.find("run"), std::string::npos) << t;
    // What the box draws on a picture, in every format, is the legend tests' concern: the formats share one
    // drawing, and the SVG above shows the option reaches it.
}

TEST(CliRender, ErrorBarsSpanTheSigmas) {
    TTempDir dir;
    // Three points on y = 5 with sigmas 1, 2 and 0, read with the sigma column and without it.
    const auto file = dir.Write("bars.csv", "1,5,1\n2,5,2\n3,5,0\n");
    const auto with = (dir / "with.png").string(), without = (dir / "without.png").string();
    const std::string common =
        " --no-lines --symbols --no-grid --background navy --size 400x400 --xrange 0:4 "
        "--yrange 0:10 --separator comma --columns 1,2";
    ASSERT_EQ(RunCli(Words("render " + file + common + ",3 -o " + with)).status, 0);
    ASSERT_EQ(RunCli(Words("render " + file + common + " -o " + without)).status, 0);
    const QImage a(QString::fromStdString(with)), b(QString::fromStdString(without));
    const QRect plot = PlotRect(b, Navy);
    ASSERT_FALSE(plot.isEmpty());
    // The bar of a point: the changed pixels in a band around its x, all in the curve's colour, as high as
    // twice its sigma.
    const auto bar = [&](double x) {
        const int cx = plot.left() + static_cast<int>(std::lround(x / 4.0 * (plot.width() - 1)));
        QRect changed;
        for (int y = 0; y < a.height(); ++y)
            for (int px = cx - 20; px <= cx + 20; ++px)
                if (a.pixel(px, y) != b.pixel(px, y)) {
                    EXPECT_EQ(a.pixelColor(px, y), Lime) << px << "," << y;
                    changed |= QRect(px, y, 1, 1);
                }
        return changed;
    };
    const double unit = (plot.height() - 1) / 10.0; // pixels per y unit
    const QRect one = bar(1), two = bar(2), none = bar(3);
    EXPECT_NEAR(one.height(), 2 * unit, 3);
    EXPECT_NEAR(two.height(), 4 * unit, 3);
    EXPECT_NEAR(one.center().y(), two.center().y(), 2);
    EXPECT_TRUE(none.isEmpty());
}

TEST(CliRender, ResolutionAndSizeInCentimetres) {
    TTempDir dir;
    const auto sine = Sine(dir);
    const auto png = (dir / "g.png").string();
    // 192 dpi: the graph of 400 x 300 pixels at the screen's 96 dpi, every pixel drawn as two by two.
    ASSERT_EQ(RunCli({"render", sine, "--size", "400x300", "--background", "navy", "-o", png}).status, 0);
    const QImage screen(QString::fromStdString(png));
    auto r = RunCli({"render", sine, "--size", "800x600", "--dpi", "192", "--background", "navy", "-o", png});
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage fine(QString::fromStdString(png));
    ASSERT_EQ(fine.size(), QSize(800, 600));
    EXPECT_EQ(fine.dotsPerMeterX(), 7559);
    const QRect plot = AreaOf(screen, Navy);
    EXPECT_EQ(AreaOf(fine, Navy), QRect(plot.topLeft() * 2, plot.size() * 2));
    // Not a copy enlarged: text has edges finer than two pixels.
    int fineEdges = 0;
    for (int y = 0; y + 1 < 600; y += 2)
        for (int x = 0; x + 1 < plot.left() * 2; x += 2)
            fineEdges += fine.pixel(x, y) != fine.pixel(x + 1, y) || fine.pixel(x, y) != fine.pixel(x, y + 1);
    EXPECT_GT(fineEdges, 20);

    // Centimetres: pixels at the resolution, and drawings of that size on paper.
    r = RunCli({"render", sine, "--size", "15x10cm", "--dpi", "300", "-o", png});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(1772, 1181));
    const auto svg = (dir / "g.svg").string(), pdf = (dir / "g.pdf").string();
    ASSERT_EQ(RunCli({"render", sine, "--size", "15x10cm", "--dpi", "300", "-o", svg}).status, 0);
    std::smatch m;
    const std::string svgText = ReadFile(svg);
    ASSERT_TRUE(std::regex_search(svgText, m, std::regex("width=\"([0-9.]+)mm\" height=\"([0-9.]+)mm\"")));
    EXPECT_NEAR(std::stod(m[1]), 150, 0.3);
    EXPECT_NEAR(std::stod(m[2]), 100, 0.3);
    ASSERT_EQ(RunCli({"render", sine, "--size", "15x10cm", "--dpi", "300", "-o", pdf}).status, 0);
    // PDF pages are whole points: 15 x 10 cm to within one.
    const std::string pdfText = ReadFile(pdf);
    ASSERT_TRUE(std::regex_search(pdfText, m, std::regex("MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]")));
    EXPECT_NEAR(std::stod(m[1]), 15 / 2.54 * 72, 1);
    EXPECT_NEAR(std::stod(m[2]), 10 / 2.54 * 72, 1);

    // Refused: a resolution out of range, a size too small for its resolution, another unit.
    for (const auto& [args, text] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--dpi", "49"}, "--dpi"},
             {{"--dpi", "2401"}, "--dpi"},
             {{"--factor", "0.01"}, "--factor"},
             {{"--size", "100x90", "--dpi", "192"}, "too small at 192 dpi"},
             {{"--size", "15x10mm"}, "'15x10mm' is not WIDTHxHEIGHT"},
             {{"--size", "300x20cm", "--dpi", "300"}, "out of range"}}) {
        std::vector<std::string> all{"render", sine, "-o", png};
        all.insert(all.end(), args.begin(), args.end());
        r = RunCli(all);
        EXPECT_EQ(r.status, 2) << text;
        EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    }
    // The other side of each limit.
    EXPECT_EQ(RunCli({"render", sine, "--size", "100x100", "--dpi", "192", "-o", png}).status, 0);
    EXPECT_EQ(RunCli({"render", sine, "--size", "400x300", "--dpi", "50", "-o", png}).status, 0);
    EXPECT_EQ(RunCli({"render", sine, "--size", "1250x1250", "--dpi", "2400", "-o", svg}).status, 0);
}
