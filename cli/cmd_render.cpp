// render [OPTIONS] FILE... -o OUT: the curves drawn as a curve window draws its graph, into a PNG, SVG or
// PDF.
#include "cli/cli.h"
#include "cli/cliio.h"

#include "plot/GraphPicture.h"
#include "plot/curvestyle.h"
#include "plot/session.h"
#include "plot/w_curve.h"

#include <QGuiApplication>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

const char* const Cmd = "render";

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool ParseColor(const cli::TArgs& a, const std::string& option, TColor& color) {
    const auto text = a.Value(option);
    if (!text) return true;
    if (StandardColorByName(*text, color)) return true;
    const std::string t = Lower(*text);
    if (t.size() == 7 && t[0] == '#' && std::all_of(t.begin() + 1, t.end(), [](char ch) {
            return std::isxdigit(static_cast<unsigned char>(ch));
        })) {
        const unsigned long rgb = std::stoul(t.substr(1), nullptr, 16);
        color = static_cast<TColor>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
        return true;
    }
    cli::Error(Cmd,
               option + ": '" + *text + "' is no colour name (see graphmill-cli help render) nor #RRGGBB");
    return false;
}

// MIN:MAX with MIN < MAX; on a logarithmic axis MIN must be above 0.
bool ParseRange(const cli::TArgs& a, const std::string& option, bool log, std::optional<RealPoint>& range) {
    const auto text = a.Value(option);
    if (!text) return true;
    const size_t colon = text->find(':');
    RealPoint r;
    if (colon == std::string::npos || !cli::ParseNumber(text->substr(0, colon), r.x) ||
        !cli::ParseNumber(text->substr(colon + 1), r.y)) {
        cli::Error(Cmd, option + ": '" + *text + "' is not MIN:MAX");
        return false;
    }
    if (!(r.x < r.y)) {
        cli::Error(Cmd, option + ": " + *text + ": MIN must be below MAX");
        return false;
    }
    if (log && r.x <= 0) {
        cli::Error(Cmd, option + ": " + *text + ": a logarithmic axis needs MIN above 0");
        return false;
    }
    range = r;
    return true;
}

// The picture's pixels: WxH, WxHpx or WxHcm (centimetres at dpi).
bool ParseSize(const cli::TArgs& a, int dpi, QSize& size) {
    const auto text = a.Value("--size");
    if (text) {
        const std::optional<QSize> s = ParseGraphSize(QString::fromStdString(*text), dpi);
        if (!s) {
            cli::Error(Cmd, "--size: '" + *text + "' is not WIDTHxHEIGHT (pixels, or with cm after it)");
            return false;
        }
        size = *s;
    }
    const std::string what =
        text ? *text : std::to_string(size.width()) + "x" + std::to_string(size.height());
    if (!GraphSizeAllowed(size)) {
        cli::Error(Cmd, "--size: " + what + " is out of range (" + std::to_string(MinGraphSide) + " to " +
                            std::to_string(MaxGraphSide) + " pixels a side)");
        return false;
    }
    if (!GraphSizeAllowed(size, dpi)) {
        cli::Error(Cmd, "--size: " + what + " is too small at " + std::to_string(dpi) + " dpi (at least " +
                            std::to_string(MinGraphSide) + " pixels a side at " + std::to_string(ScreenDpi) +
                            " dpi)");
        return false;
    }
    return true;
}

bool ParseCaption(const cli::TArgs& a, const std::string& option, QString& caption) {
    const auto text = a.Value(option);
    if (!text) return true;
    caption = QString::fromStdString(*text);
    if (caption.size() > MaxCaptionLength) {
        cli::Error(Cmd, option + ": at most " + std::to_string(MaxCaptionLength) + " characters");
        return false;
    }
    return true;
}

void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "graphmill-cli: render: %s\n", qPrintable(text));
}

const std::vector<cli::TOptionSpec> RenderOptions = cli::CurveOptions(
    {cli::OutputOption(),           {"--size", true, false},        {"--background", true, false},
     {"--grid-color", true, false}, {"--no-grid", false, false},    {"--symbols", false, false},
     {"--no-lines", false, false},  {"--symbol-size", true, false}, {"--xlog", false, false},
     {"--ylog", false, false},      {"--xrange", true, false},      {"--yrange", true, false},
     {"--xdiv", true, false},       {"--ydiv", true, false},        {"--title", true, false},
     {"--xcaption", true, false},   {"--ycaption", true, false},    {"--factor", true, false},
     {"--dpi", true, false},        {"--legend", false, false},     {"--round-ticks", false, false},
     {"--window", true, false}},
    cli::ReadsCurves);

// The options a session's window takes: the picture's, not the graph's (the window has its own axes and
// styles).
bool PictureOptionsOnly(const cli::TArgs& a) {
    for (const cli::TOptionSpec& o : RenderOptions) {
        if (o.name == "-o" || o.name == "--size" || o.name == "--dpi" || o.name == "--factor" ||
            o.name == "--window" || !a.Has(o.name))
            continue;
        cli::Error(Cmd, o.name + ": a session's window is drawn with its own axes and styles");
        return false;
    }
    return true;
}

int RunRender(const std::vector<std::string>& args) {
    cli::TArgs a(Cmd, args, RenderOptions);
    if (!a.Ok() || !a.ExpectPositionals(1, 1000)) return cli::UsageError;

    const auto out = a.Value("-o");
    if (!out) {
        cli::Error(Cmd, "-o OUT is needed (a .png, .svg or .pdf file)");
        return cli::UsageError;
    }
    if (!GraphFormatOf(QString::fromStdString(*out))) {
        cli::Error(Cmd, "-o " + *out + ": the name must end in .png, .svg or .pdf");
        return cli::UsageError;
    }

    QSize size(800, 600);
    long symbolSize = 3, xdiv = 4, ydiv = 4, dpi = ScreenDpi;
    double factor = 1.0;
    TColor background = 0x000000, gridColor = 0x808080;
    std::optional<RealPoint> xrange, yrange;
    const bool xlog = a.Has("--xlog"), ylog = a.Has("--ylog");
    QString title, xcaption, ycaption;
    if (!a.Integer("--dpi", dpi, MinDpi, MaxDpi) || !ParseSize(a, static_cast<int>(dpi), size) ||
        !a.Integer("--symbol-size", symbolSize, 1, 100) || !a.Integer("--xdiv", xdiv, 1, 100) ||
        !a.Integer("--ydiv", ydiv, 1, 100) || !a.Number("--factor", factor, 0.05, 20) ||
        !ParseColor(a, "--background", background) || !ParseColor(a, "--grid-color", gridColor) ||
        !ParseRange(a, "--xrange", xlog, xrange) || !ParseRange(a, "--yrange", ylog, yrange) ||
        !ParseCaption(a, "--title", title) || !ParseCaption(a, "--xcaption", xcaption) ||
        !ParseCaption(a, "--ycaption", ycaption))
        return cli::UsageError;
    if (a.Has("--no-lines") && !a.Has("--symbols")) {
        cli::Error(Cmd, "--no-lines without --symbols would draw no curve");
        return cli::UsageError;
    }

    const bool session =
        a.Positionals().size() == 1 && IsSessionFile(QString::fromStdString(a.Positional(0)));
    long window = 1;
    if (session && (!PictureOptionsOnly(a) || !a.Integer("--window", window, 1, MaxSessionWindows)))
        return cli::UsageError;
    if (!session && a.Has("--window")) {
        cli::Error(Cmd, "--window: only with a session file (.gmsession)");
        return cli::UsageError;
    }

    DefaultCurveProps.Lines = !a.Has("--no-lines");
    DefaultCurveProps.Symbols = a.Has("--symbols");
    DefaultCurveProps.SymbolSize = static_cast<int32_t>(symbolSize);
    auto set = std::make_unique<WCurveSet>();
    TSession read;
    if (session) {
        QString error;
        if (!ReadSession(QString::fromStdString(a.Positional(0)), read, error)) {
            cli::Error(Cmd, error.toStdString());
            return cli::UsageError;
        }
        if (static_cast<size_t>(window) > read.windows.size()) {
            cli::Error(Cmd, "--window " + std::to_string(window) + ": the session has " +
                                std::to_string(read.windows.size()) + " window(s)");
            return cli::UsageError;
        }
    }
    for (const auto& path : session ? std::vector<std::string>{} : a.Positionals()) {
        TCurveB curve;
        if (!cli::ReadCurve(a, path, curve)) return cli::UsageError;
        if (!set->AddCurve(std::move(curve), false, false)) {
            cli::Error(Cmd, "A curve window holds at most 100 curves.");
            return cli::UsageError;
        }
    }

    // Drawing text needs the window system's font machinery; the offscreen platform gives it without a
    // display.
    static int qtArgc = 3;
    static char arg0[] = "graphmill-cli", arg1[] = "-platform", arg2[] = "offscreen";
    static char* qtArgv[] = {arg0, arg1, arg2, nullptr};
    // The platform's start-up chatter (runtime directories and the like) is no concern of a batch run.
    qInstallMessageHandler(QuietQt);
    QGuiApplication app(qtArgc, qtArgv);

    if (session) {
        BuildCurveSet(read.windows[static_cast<size_t>(window - 1)], *set);
        QString error;
        if (!SaveGraph(*set, QString::fromStdString(*out), size, factor, error, static_cast<int>(dpi))) {
            cli::Error(Cmd, error.toStdString());
            return cli::UsageError;
        }
        return cli::Done;
    }

    TGrid& g = set->Grid;
    g.BackgrColor = background;
    g.color = gridColor;
    g.gridlines = !a.Has("--no-grid");
    g.XDiv = static_cast<int32_t>(xdiv);
    g.YDiv = static_cast<int32_t>(ydiv);
    g.Title = title;
    g.XCaption = xcaption;
    g.YCaption = ycaption;
    g.RoundTicks = a.Has("--round-ticks");
    set->Legend.Shown = a.Has("--legend");
    g.SetXLog(xlog);
    g.SetYLog(ylog);
    // The range the window rescales to, then the ranges asked for.
    RealPoint min, max;
    set->RescaleRange(min, max);
    if (xrange) {
        min.x = xrange->x;
        max.x = xrange->y;
    }
    if (yrange) {
        min.y = yrange->x;
        max.y = yrange->y;
    }
    g.SetWorld(min, max);
    QString error;
    if (!SaveGraph(*set, QString::fromStdString(*out), size, factor, error, static_cast<int>(dpi))) {
        cli::Error(Cmd, error.toStdString());
        return cli::UsageError;
    }
    return cli::Done;
}

const cli::TRegister renderCommand(
    {Cmd,
     "draw curves into a PNG, SVG or PDF picture",
     "Usage: graphmill-cli render [OPTIONS] FILE... -o OUT\n"
     "       graphmill-cli render FILE.gmsession [--window N] [--size WxH] [--dpi N] [--factor F] -o OUT\n"
     "Draws the curves (up to 100, in the order given) as a curve window draws its graph: each in the next\n"
     "default colour, over framed axes with grid lines and tick labels. OUT ends in .png, .svg or .pdf.\n"
     "  --size WxH          picture size in pixels (800x600; 50 to 10000 a side); WxHcm in centimetres\n"
     "  --dpi N             resolution (96; 50 to 2400): text, symbols and lines keep their size on paper,\n"
     "                      the picture has N / 96 times the pixels of the same graph at 96 dpi\n"
     "  --background COLOR  plot background (black)\n"
     "  --grid-color COLOR  grid lines (gray)\n"
     "  --no-grid           no grid lines\n"
     "  --symbols           a filled circle at each point\n"
     "  --no-lines          no lines between the points (needs --symbols)\n"
     "  --symbol-size N     symbol radius in pixels (3; 1 to 100)\n"
     "  --xlog, --ylog      logarithmic axis\n"
     "  --xrange MIN:MAX    x range (default: the range of the curves)\n"
     "  --yrange MIN:MAX    y range (default: the range of the curves)\n"
     "  --xdiv N, --ydiv N  divisions of an axis (4; 1 to 100; a small picture draws fewer)\n"
     "  --title T, --xcaption T, --ycaption T   texts of up to 120 characters\n"
     "  --factor F          drawing factor for text and symbols (1.0; 0.05 to 20); lines stay one pixel\n"
     "  --legend            a box naming each curve (file name without folder) beside its line and symbol,\n"
     "                      in the corner of the plot that covers the fewest points\n"
     "  --round-ticks       divisions on 1, 2 or 5 times a power of ten (linear axes)\n"
     "COLOR is #RRGGBB or one of: blue, green, red, aqua, fuchsia, lime, purple, yellow, black,\n"
     "dark grey, gray, light gray, maroon, navy, olive, silver, teal, white.\n"
     "  --window N          of a session (a .gmsession file) the graph of window N (1), drawn with the\n"
     "                      window's curves, styles, axes and legend as the program exports it\n"
     "A picture that cannot be written leaves an existing OUT as it was (exit 2).\n",
     RunRender,
     {{"", RenderOptions}}});

} // namespace
