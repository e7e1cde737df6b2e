// Sessions in and out of their JSON text: every value back bit for bit, the same picture drawn from a
// session's window as from the set it was taken from, and every kind of damaged, cut, newer or absurd file
// refused whole with a message that says where.
#include "../tempdir.h"
#include "expr/UserFunctions.h"
#include "plot/GraphPicture.h"
#include "plot/session.h"
#include "plot/w_curve.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Doubles that text of few digits loses: a third, a denormal, the largest, a negative zero.
const double Awkward[] = {1.0 / 3.0, 4.9e-324, std::numeric_limits<double>::max(), -0.0, 0.1 + 0.2, -1e-300};

TCurveB AwkwardCurve(int32_t n, bool sigma) {
    TCurveB c;
    for (int32_t i = 0; i < n; ++i) c.AddPoint(i * 0.7 + Awkward[i % 6] * 1e-3, std::sin(i) + Awkward[i % 6]);
    if (sigma) {
        c.EnableSigma();
        for (int32_t i = 1; i <= n; ++i) c.SetSigma(i, 0.01 * i + 1.0 / 7.0);
    }
    c.CalcRanges();
    return c;
}

// A window of three curves with styles, odd axes and legend, and a fit model of every kind of term.
TSessionWindow RichWindow() {
    WCurveSet set;
    TCurveB a = AwkwardCurve(40, true);
    a.FileName = "/data/a b.dat";
    a.Comment = "measured \"run\" 3";
    a.Saved = true;
    set.AddCurve(a, false, false);
    set.AddCurve(AwkwardCurve(7, false), false, false);
    set.AddCurve(AwkwardCurve(300, false), false, false);
    TPlottedCurve& c2 = *set.Curve(2);
    c2.line = false;
    c2.symbol = true;
    c2.SymbolSize = 6;
    c2.SymbolColor = 0x00FFFF;
    set.Curve(3)->linestyle = psDashDot;
    set.Curve(3)->linecolor = 0x123456;
    set.SetActive(2);
    TGrid& g = set.Grid;
    g.WorldMin = {-1.0 / 3.0, 1e-3};
    g.WorldMax = {30.25, 7.0 / 3.0};
    g.YLog = true;
    g.XDiv = 7;
    g.YDiv = 3;
    g.RoundTicks = true;
    g.gridlines = false;
    g.BackgrColor = 0xFFFFFF;
    g.color = 0x0000FF;
    g.Title = QStringLiteral("Peaks – run 3");
    g.XCaption = QStringLiteral("x [s]");
    g.YCaption = QStringLiteral("y");
    set.Legend.Shown = true;
    set.Legend.Place = QPointF(0.25, 1.0);

    TSessionWindow w;
    SessionWindowFromSet(set, w);
    w.geometry = QRect(-20, 35, 640, 480);
    w.newCurveMode = true;
    TSessionFit& fit = w.fit.emplace();
    fit.open = true;
    fit.first = 3;
    fit.last = 38;
    fit.selected = 2;
    fit.settings = QJsonObject{{QStringLiteral("maxIterations"), 250}};
    TPeak poly = TPeak::Create(TPeak::Polynomial, 3);
    poly.value[4] = 1.0 / 3.0;
    poly.lock[2] = true;
    poly.min[1] = -std::numeric_limits<double>::infinity();
    poly.sigma[1] = std::numeric_limits<double>::quiet_NaN();
    fit.terms.push_back(poly);
    TPeak gauss = TPeak::Create(TPeak::Gaussian);
    gauss.value[2] = 4.9e-324;
    gauss.guessStyle[1] = gsOffset;
    fit.terms.push_back(gauss);
    TPeak table = TPeak::Create(TPeak::Tabulated);
    table.fileName = "/data/shape.dat";
    table.SetTabulatedSource(AwkwardCurve(5, false));
    fit.terms.push_back(table);
    TUserFunction f;
    f.Name = "decay";
    f.Tag = -1;
    f.AddVariable("x", "a*exp(-b*x)", 0, 0, 0, 0);
    f.AddVariable("a", "exp(-b*x)", 2.5, 0, 10, gsPeakAmplitude);
    f.AddVariable("b", "-a*x*exp(-b*x)", 0.1, 0, 1, 0);
    TPeak user = TPeak::Create(TPeak::Polynomial);
    if (!TPeak::CreateUser(f, user)) qFatal("user function does not compile");
    user.value[2] = 0.125;
    fit.terms.push_back(user);
    return w;
}

void CompareCurves(const TCurveB& a, const TCurveB& b) {
    QCOMPARE(b.Count(), a.Count());
    QCOMPARE(b.HasSigma(), a.HasSigma());
    for (int32_t i = 1; i <= a.Count(); ++i) {
        QVERIFY(SameBits(b.X(i), a.X(i)));
        QVERIFY(SameBits(b.Y(i), a.Y(i)));
        if (a.HasSigma()) QVERIFY(SameBits(b.Sigma(i), a.Sigma(i)));
    }
    QCOMPARE(b.FileName, a.FileName);
    QCOMPARE(b.Comment, a.Comment);
    QCOMPARE(b.Saved, a.Saved);
}

// The JSON object of a session with one change made to its first window.
QByteArray Edited(const TSession& s, const std::function<void(QJsonObject&)>& edit) {
    QJsonObject root = QJsonDocument::fromJson(SessionToJson(s)).object();
    QJsonArray windows = root[QStringLiteral("windows")].toArray();
    QJsonObject w = windows[0].toObject();
    edit(w);
    windows[0] = w;
    root[QStringLiteral("windows")] = windows;
    return QJsonDocument(root).toJson();
}

QJsonObject Sub(const QJsonObject& o, const char* key) {
    return o[QLatin1String(key)].toObject();
}

// The reason a text is refused ("" when it is read).
QString Refusal(const QByteArray& json) {
    TSession s;
    QString why;
    return SessionFromJson(json, s, why) ? QString() : why;
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void EveryValueComesBackExactly() {
        TSession s;
        s.windows.push_back(RichWindow());
        s.windows.emplace_back(); // an empty window
        s.windows.back().geometry = QRect(0, 0, 300, 200);
        const QByteArray json = SessionToJson(s);
        TSession r;
        QString why;
        QVERIFY2(SessionFromJson(json, r, why), qPrintable(why));
        QCOMPARE(r.windows.size(), size_t{2});
        const TSessionWindow &a = s.windows[0], &b = r.windows[0];
        QCOMPARE(b.geometry, a.geometry);
        QCOMPARE(b.active, 2);
        QCOMPARE(b.newCurveMode, true);
        QCOMPARE(b.curves.size(), a.curves.size());
        for (size_t i = 0; i < a.curves.size(); ++i) {
            CompareCurves(a.curves[i], b.curves[i]);
            const CurveStyle sa = a.curves[i].GetStyle(), sb = b.curves[i].GetStyle();
            QCOMPARE(sb.line, sa.line);
            QCOMPARE(sb.symbol, sa.symbol);
            QCOMPARE(sb.linecolor, sa.linecolor);
            QCOMPARE(sb.linestyle, sa.linestyle);
            QCOMPARE(sb.SymbolSize, sa.SymbolSize);
            QCOMPARE(sb.symbolstyle, sa.symbolstyle);
            QCOMPARE(sb.SymbolColor, sa.SymbolColor);
            QCOMPARE(sb.errorbars, sa.errorbars);
        }
        QVERIFY(SameBits(b.axes.WorldMin.x, a.axes.WorldMin.x));
        QVERIFY(SameBits(b.axes.WorldMax.y, a.axes.WorldMax.y));
        QCOMPARE(b.axes.YLog, true);
        QCOMPARE(b.axes.XLog, false);
        QCOMPARE(b.axes.XDiv, 7);
        QCOMPARE(b.axes.YDiv, 3);
        QCOMPARE(b.axes.RoundTicks, true);
        QCOMPARE(b.axes.gridlines, false);
        QCOMPARE(b.axes.BackgrColor, TColor{0xFFFFFF});
        QCOMPARE(b.axes.color, TColor{0x0000FF});
        QCOMPARE(b.axes.Title, a.axes.Title);
        QCOMPARE(b.axes.XCaption, a.axes.XCaption);
        QCOMPARE(b.legend.Shown, true);
        QCOMPARE(*b.legend.Place, QPointF(0.25, 1.0));

        QVERIFY(b.fit.has_value());
        QCOMPARE(b.fit->open, true);
        QCOMPARE(b.fit->first, 3);
        QCOMPARE(b.fit->last, 38);
        QCOMPARE(b.fit->selected, 2);
        QCOMPARE(b.fit->settings, a.fit->settings);
        QCOMPARE(b.fit->terms.size(), size_t{4});
        for (size_t t = 0; t < 4; ++t) {
            const TPeak &p = a.fit->terms[t], &q = b.fit->terms[t];
            QCOMPARE(q.type, p.type);
            QCOMPARE(q.nparams, p.nparams);
            for (size_t k = 1; k <= static_cast<size_t>(p.nparams); ++k) {
                QVERIFY(SameBits(q.value[k], p.value[k]));
                QVERIFY(SameBits(q.sigma[k], p.sigma[k]));
                QVERIFY(SameBits(q.min[k], p.min[k]));
                QVERIFY(SameBits(q.max[k], p.max[k]));
                QVERIFY(SameBits(q.initial[k], p.initial[k]));
                QCOMPARE(q.lock[k], p.lock[k]);
                QCOMPARE(q.guessStyle[k], p.guessStyle[k]);
            }
        }
        QCOMPARE(b.fit->terms[2].fileName, std::string("/data/shape.dat"));
        CompareCurves(*a.fit->terms[2].tabSource, *b.fit->terms[2].tabSource);
        // The user term is made again from its definition: it computes, and has its names.
        const TPeak& user = b.fit->terms[3];
        QCOMPARE(user.userName, std::string("decay"));
        QCOMPARE(user.ParamName(2), a.fit->terms[3].ParamName(2));
        QVERIFY(SameBits(user.Value(1.5), a.fit->terms[3].Value(1.5)));
        QVERIFY(!r.windows[1].fit.has_value());
        QCOMPARE(r.windows[1].curves.size(), size_t{0});
        QCOMPARE(r.windows[1].active, 0);
        // Written again, the text is the same.
        QCOMPARE(SessionToJson(r), json);
    }

    void WindowDrawsTheSamePicture() {
        const TSessionWindow w = RichWindow();
        WCurveSet original;
        BuildCurveSet(w, original);
        TSession s;
        s.windows.push_back(w);
        TSession r;
        QString why;
        QVERIFY(SessionFromJson(SessionToJson(s), r, why));
        WCurveSet again;
        BuildCurveSet(r.windows[0], again);
        const QImage a = GraphImage(original, QSize(400, 300), 1.0);
        const QImage b = GraphImage(again, QSize(400, 300), 1.0);
        QCOMPARE(b, a);
        // The picture shows the curves (not a blank page): the dash-dotted curve's colour is on it.
        int drawn = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) drawn += a.pixelColor(x, y) == ToQColor(0x123456);
        QVERIFY(drawn > 20);
    }

    void UnknownKeysAreIgnored() {
        TSession s;
        s.windows.push_back(RichWindow());
        QJsonObject root = QJsonDocument::fromJson(Edited(s, [](QJsonObject& w) {
                               w[QStringLiteral("zoomHistory")] = QJsonArray{1, 2};
                               QJsonObject fit = Sub(w, "fit");
                               fit[QStringLiteral("weights")] = QStringLiteral("sigma");
                               w[QStringLiteral("fit")] = fit;
                               QJsonArray curves = w[QStringLiteral("curves")].toArray();
                               QJsonObject c = curves[0].toObject();
                               c[QStringLiteral("colourName")] = QStringLiteral("red");
                               curves[0] = c;
                               w[QStringLiteral("curves")] = curves;
                           })).object();
        root[QStringLiteral("author")] = QStringLiteral("someone");
        TSession r;
        QString why;
        QVERIFY2(SessionFromJson(QJsonDocument(root).toJson(), r, why), qPrintable(why));
        QCOMPARE(r.windows[0].curves.size(), size_t{3});
        QCOMPARE(r.windows[0].fit->terms.size(), size_t{4});
    }

    void CutTextIsRefused() {
        TSession s;
        s.windows.push_back(RichWindow());
        const QByteArray json = SessionToJson(s);
        // Cut anywhere: in the format, in a curve's points, in the fit, just before the final brace.
        for (const qsizetype cut : {qsizetype{0}, qsizetype{1}, qsizetype{20}, json.size() / 3,
                                    json.size() / 2, json.size() - 40, json.size() - 2}) {
            const QString why = Refusal(json.left(cut));
            QVERIFY2(why.startsWith(QLatin1String("not a Graphmill session")), qPrintable(why));
        }
        QVERIFY(Refusal(QByteArray("[1, 2]")).startsWith(QLatin1String("not a Graphmill session")));
        QVERIFY(
            Refusal(QByteArray("{\"windows\": []}")).startsWith(QLatin1String("not a Graphmill session")));
        QCOMPARE(Refusal(QByteArray("{\"format\": 1, \"windows\": []}")),
                 QStringLiteral("the session has no window"));
    }

    void NewerFormatIsRefused() {
        TSession s;
        s.windows.emplace_back();
        s.windows[0].geometry = QRect(0, 0, 100, 100);
        QJsonObject root = QJsonDocument::fromJson(SessionToJson(s)).object();
        // Sessions saved so far say format 1; a program that writes another number must still read them.
        QCOMPARE(root[QStringLiteral("format")].toInt(), 1);
        root[QStringLiteral("format")] = SessionFormat + 1;
        QVERIFY(
            Refusal(QJsonDocument(root).toJson()).startsWith(QLatin1String("written by a newer Graphmill")));
        for (const double format : {0.0, 0.5, -1.0}) {
            root[QStringLiteral("format")] = format;
            QVERIFY(
                Refusal(QJsonDocument(root).toJson()).startsWith(QLatin1String("not a Graphmill session")));
        }
        root[QStringLiteral("format")] = SessionFormat;
        QCOMPARE(Refusal(QJsonDocument(root).toJson()), QString());
    }

    void DamagedValuesAreRefusedNamingThePlace() {
        TSession s;
        s.windows.push_back(RichWindow());
        struct TCase {
            const char* expected;
            std::function<void(QJsonObject&)> edit;
        };
        auto curve = [](QJsonObject& w, int i, const std::function<void(QJsonObject&)>& edit) {
            QJsonArray curves = w[QStringLiteral("curves")].toArray();
            QJsonObject c = curves[i].toObject();
            edit(c);
            curves[i] = c;
            w[QStringLiteral("curves")] = curves;
        };
        auto axes = [](QJsonObject& w, const char* key, const QJsonValue& v) {
            QJsonObject a = Sub(w, "axes");
            a[QLatin1String(key)] = v;
            w[QStringLiteral("axes")] = a;
        };
        auto term = [](QJsonObject& w, int t, const std::function<void(QJsonObject&)>& edit) {
            QJsonObject fit = Sub(w, "fit");
            QJsonArray terms = fit[QStringLiteral("terms")].toArray();
            QJsonObject o = terms[t].toObject();
            edit(o);
            terms[t] = o;
            fit[QStringLiteral("terms")] = terms;
            w[QStringLiteral("fit")] = fit;
        };
        // A NaN among the points, as their bits.
        QByteArray nanBits(8 * 7, '\0');
        const double nan = std::numeric_limits<double>::quiet_NaN();
        std::memcpy(nanBits.data() + 8 * 4, &nan, 8);
        const std::vector<TCase> cases = {
            {"window 1, curve 2: \"x\": value 5 is not a finite number",
             [&](QJsonObject& w) {
                 curve(w, 1, [&](QJsonObject& c) {
                     c[QStringLiteral("x")] = QString::fromLatin1(nanBits.toBase64());
                 });
             }},
            {"window 1, curve 1: \"y\" does not hold 40 values",
             [&](QJsonObject& w) {
                 curve(w, 0, [](QJsonObject& c) { c[QStringLiteral("y")] = QStringLiteral("AAAA"); });
             }},
            {"window 1, curve 1: \"sigma\" does not hold 40 values",
             [&](QJsonObject& w) {
                 curve(w, 0, [](QJsonObject& c) {
                     QString t = c[QStringLiteral("sigma")].toString();
                     t[5] = QLatin1Char('*'); // not base64
                     c[QStringLiteral("sigma")] = t;
                 });
             }},
            // An absurd count is refused from the length of the text, before room is made for it.
            {"window 1, curve 3: \"x\" does not hold 1000000000 values",
             [&](QJsonObject& w) { curve(w, 2, [](QJsonObject& c) { c[QStringLiteral("count")] = 1e9; }); }},
            {"window 1, curve 3: \"count\" is not a whole number from 0 to 1073741823",
             [&](QJsonObject& w) { curve(w, 2, [](QJsonObject& c) { c[QStringLiteral("count")] = 4e12; }); }},
            {"window 1, curve 3: \"count\" is not a whole number from 0 to 1073741823",
             [&](QJsonObject& w) { curve(w, 2, [](QJsonObject& c) { c[QStringLiteral("count")] = -1; }); }},
            {"window 1, curve 2: \"saved\" is not true or false",
             [&](QJsonObject& w) { curve(w, 1, [](QJsonObject& c) { c[QStringLiteral("saved")] = 1; }); }},
            {"window 1, axes: \"xmin\" is not a finite number",
             [&](QJsonObject& w) { axes(w, "xmin", QStringLiteral("nan")); }},
            {"window 1, axes: the ranges are not MIN below MAX",
             [&](QJsonObject& w) { axes(w, "xmax", -5); }},
            {"window 1, axes: a logarithmic axis starts at or below 0",
             [&](QJsonObject& w) { axes(w, "ymin", 0); }},
            {"window 1, axes: \"xdiv\" is not a whole number from 1 to 100",
             [&](QJsonObject& w) { axes(w, "xdiv", 101); }},
            {"window 1, axes: \"title\" is longer than 120 characters",
             [&](QJsonObject& w) { axes(w, "title", QString(121, QLatin1Char('t'))); }},
            {"window 1: \"active\" is not a whole number from 1 to 3",
             [](QJsonObject& w) { w[QStringLiteral("active")] = 4; }},
            {"window 1: \"geometry\" is not four whole numbers x, y, width, height",
             [](QJsonObject& w) {
                 w[QStringLiteral("geometry")] = QJsonArray{0, 0, 0, 10};
             }},
            {"window 1: \"geometry\" is not four whole numbers x, y, width, height",
             [](QJsonObject& w) {
                 w[QStringLiteral("geometry")] = QJsonArray{0, 0, 10};
             }},
            {"window 1: the legend's place is not two fractions from 0 to 1",
             [](QJsonObject& w) {
                 w[QStringLiteral("legend")] = QJsonObject{{QStringLiteral("place"), QJsonArray{0.5, 1.5}}};
             }},
            {"window 1: \"curves\" is missing or not a list",
             [](QJsonObject& w) { w.remove(QStringLiteral("curves")); }},
            {"window 1, fit, term 2: 2 parameters where the function has 3",
             [&](QJsonObject& w) {
                 term(w, 1, [](QJsonObject& t) {
                     QJsonArray p = t[QStringLiteral("params")].toArray();
                     p.removeLast();
                     t[QStringLiteral("params")] = p;
                 });
             }},
            {"window 1, fit, term 2, parameter 1: \"value\" is not a finite number",
             [&](QJsonObject& w) {
                 term(w, 1, [](QJsonObject& t) {
                     QJsonArray p = t[QStringLiteral("params")].toArray();
                     QJsonObject o = p[0].toObject();
                     o[QStringLiteral("value")] = QStringLiteral("nan");
                     p[0] = o;
                     t[QStringLiteral("params")] = p;
                 });
             }},
            {"window 1, fit, term 2: 50 is no function type",
             [&](QJsonObject& w) { term(w, 1, [](QJsonObject& t) { t[QStringLiteral("type")] = 50; }); }},
            {"window 1, fit, term 3: \"table\" is missing or not an object",
             [&](QJsonObject& w) { term(w, 2, [](QJsonObject& t) { t.remove(QStringLiteral("table")); }); }},
            {"window 1, fit, term 4: the formulas of function decay do not compile",
             [&](QJsonObject& w) {
                 term(w, 3, [](QJsonObject& t) {
                     QJsonObject f = t[QStringLiteral("function")].toObject();
                     QJsonArray vars = f[QStringLiteral("variables")].toArray();
                     QJsonObject v = vars[0].toObject();
                     v[QStringLiteral("formula")] = QStringLiteral("a*(");
                     vars[0] = v;
                     f[QStringLiteral("variables")] = vars;
                     t[QStringLiteral("function")] = f;
                 });
             }},
            {"window 1, fit: the selected term is not in the model",
             [](QJsonObject& w) {
                 QJsonObject fit = Sub(w, "fit");
                 fit[QStringLiteral("selected")] = 4;
                 w[QStringLiteral("fit")] = fit;
             }},
        };
        for (const TCase& c : cases) QCOMPARE(Refusal(Edited(s, c.edit)), QString::fromUtf8(c.expected));
    }

    // Each limit taken at both of its sides.
    void LimitsOnBothSides() {
        TSession s;
        s.windows.push_back(RichWindow());
        auto axes = [&](const char* key, const QJsonValue& v) {
            return Refusal(Edited(s, [&](QJsonObject& w) {
                QJsonObject a = Sub(w, "axes");
                a[QLatin1String(key)] = v;
                w[QStringLiteral("axes")] = a;
            }));
        };
        QCOMPARE(axes("xdiv", 100), QString());
        QCOMPARE(axes("xdiv", 1), QString());
        QVERIFY(!axes("xdiv", 0).isEmpty());
        QCOMPARE(axes("title", QString(120, QLatin1Char('t'))), QString());
        QCOMPARE(axes("gridColor", 4294967295.0), QString());
        QVERIFY(!axes("gridColor", 4294967296.0).isEmpty());
        QVERIFY(!axes("gridColor", -1).isEmpty());
        auto symbolSize = [&](int size) {
            return Refusal(Edited(s, [&](QJsonObject& w) {
                QJsonArray curves = w[QStringLiteral("curves")].toArray();
                QJsonObject c = curves[0].toObject();
                QJsonObject style = Sub(c, "style");
                style[QStringLiteral("symbolSize")] = size;
                c[QStringLiteral("style")] = style;
                curves[0] = c;
                w[QStringLiteral("curves")] = curves;
            }));
        };
        // A polynomial's order is its number of parameters less one: 1 to 9 of them.
        auto polynomial = [&](int params) {
            return Refusal(Edited(s, [&](QJsonObject& w) {
                QJsonObject fit = Sub(w, "fit");
                QJsonArray terms = fit[QStringLiteral("terms")].toArray();
                QJsonObject t = terms[0].toObject();
                QJsonArray p;
                for (int k = 0; k < params; ++k) p.append(QJsonObject{{QStringLiteral("value"), k}});
                t[QStringLiteral("params")] = p;
                terms[0] = t;
                fit[QStringLiteral("terms")] = terms;
                w[QStringLiteral("fit")] = fit;
            }));
        };
        QCOMPARE(polynomial(1), QString());
        QCOMPARE(polynomial(9), QString());
        QCOMPARE(polynomial(0), QStringLiteral("window 1, fit, term 1: a polynomial has 1 to 9 parameters"));
        QCOMPARE(polynomial(10), QStringLiteral("window 1, fit, term 1: a polynomial has 1 to 9 parameters"));
        QCOMPARE(symbolSize(1), QString());
        QCOMPARE(symbolSize(100), QString());
        QVERIFY(!symbolSize(0).isEmpty());
        QVERIFY(!symbolSize(101).isEmpty());

        // A window's place and size.
        auto geometry = [&](const QJsonArray& g) {
            return Refusal(Edited(s, [&](QJsonObject& w) { w[QStringLiteral("geometry")] = g; }));
        };
        QCOMPARE(geometry({-100000, 100000, 1, 100000}), QString());
        for (const QJsonArray& g :
             {QJsonArray{-100001, 0, 10, 10}, QJsonArray{0, 100001, 10, 10}, QJsonArray{0, 0, 0, 10},
              QJsonArray{0, 0, 10, 100001}, QJsonArray{0.5, 0, 10, 10}, QJsonArray{0, 0, 10}})
            QCOMPARE(geometry(g),
                     QStringLiteral("window 1: \"geometry\" is not four whole numbers x, y, width, height"));
        // Without "active" a window with curves has its first one active, an empty one none.
        {
            TSession withoutActive;
            withoutActive.windows.push_back(RichWindow());
            withoutActive.windows.emplace_back();
            withoutActive.windows.back().geometry = QRect(0, 0, 50, 50);
            QJsonObject root = QJsonDocument::fromJson(SessionToJson(withoutActive)).object();
            QJsonArray windows = root[QStringLiteral("windows")].toArray();
            for (qsizetype i = 0; i < 2; ++i) {
                QJsonObject w = windows[i].toObject();
                w.remove(QStringLiteral("active"));
                windows[i] = w;
            }
            root[QStringLiteral("windows")] = windows;
            TSession r;
            QString why;
            QVERIFY2(SessionFromJson(QJsonDocument(root).toJson(), r, why), qPrintable(why));
            QCOMPARE(r.windows[0].active, 1);
            QCOMPARE(r.windows[1].active, 0);
        }

        // Curves of a window and windows of a session: the most, and one more.
        TSession many;
        many.windows.emplace_back();
        many.windows[0].geometry = QRect(0, 0, 50, 50);
        for (int i = 0; i < WCurveSet::MaxCurves; ++i)
            many.windows[0].curves.emplace_back(AwkwardCurve(2, false));
        many.windows[0].active = 1;
        QCOMPARE(Refusal(SessionToJson(many)), QString());
        many.windows[0].curves.emplace_back(AwkwardCurve(2, false));
        QCOMPARE(Refusal(SessionToJson(many)),
                 QStringLiteral("window 1: \"curves\" holds more than 100 entries"));
        TSession windows;
        TSessionWindow empty;
        empty.geometry = QRect(0, 0, 50, 50);
        windows.windows.assign(MaxSessionWindows, empty);
        QCOMPARE(Refusal(SessionToJson(windows)), QString());
        windows.windows.push_back(empty);
        QCOMPARE(Refusal(SessionToJson(windows)), QStringLiteral("\"windows\" holds more than 100 entries"));
    }

    // A curve larger than a block of any size the encoder might work in comes back whole.
    void LargeCurveComesBackWhole() {
        TSession s;
        s.windows.emplace_back();
        s.windows[0].geometry = QRect(0, 0, 50, 50);
        s.windows[0].curves.emplace_back(AwkwardCurve(200001, true));
        s.windows[0].active = 1;
        TSession r;
        QString why;
        QVERIFY(SessionFromJson(SessionToJson(s), r, why));
        CompareCurves(s.windows[0].curves[0], r.windows[0].curves[0]);
    }

    void FilesAreWrittenSafelyAndNamedInErrors() {
        TTempDir dir;
        const QString name = QString::fromStdString((dir / "work.gmsession").string());
        TSession s;
        s.windows.push_back(RichWindow());
        QString error;
        QVERIFY(WriteSession(name, SessionToJson(s), error));
        TSession r;
        QVERIFY2(ReadSession(name, r, error), qPrintable(error));
        QCOMPARE(r.windows[0].curves.size(), size_t{3});
        // Saved again: the old file becomes the backup.
        const QByteArray first = ReadFile(dir / "work.gmsession").c_str();
        s.windows[0].curves.pop_back();
        QVERIFY(WriteSession(name, SessionToJson(s), error));
        QCOMPARE(QByteArray(ReadFile(dir / "work.gmsession.bak").c_str()), first);
        // A folder that is not there: nothing written, the message names the file.
        const QString missing = QString::fromStdString((dir / "gone" / "x.gmsession").string());
        QVERIFY(!WriteSession(missing, SessionToJson(s), error));
        QVERIFY2(error.contains(missing), qPrintable(error));
        QVERIFY(!ReadSession(missing, r, error));
        QVERIFY2(error.startsWith(missing + QStringLiteral(": cannot be read")), qPrintable(error));
        // A damaged file is refused naming it, and the session read before is kept.
        const std::string damaged = dir.Write("bad.gmsession", "{\"format\": 1, \"windows\": [");
        QVERIFY(!ReadSession(QString::fromStdString(damaged), r, error));
        QVERIFY2(
            error.startsWith(QString::fromStdString(damaged) + QStringLiteral(": not a Graphmill session")),
            qPrintable(error));
        QCOMPARE(r.windows[0].curves.size(), size_t{3});
    }

    void SessionFilesAreToldByTheirExtension() {
        QVERIFY(IsSessionFile(QStringLiteral("/a/b.gmsession")));
        QVERIFY(IsSessionFile(QStringLiteral("B.GMSESSION")));
        QVERIFY(!IsSessionFile(QStringLiteral("b.gmsession.bak")));
        QVERIFY(!IsSessionFile(QStringLiteral("gmsession")));
    }
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
