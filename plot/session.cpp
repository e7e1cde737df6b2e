#include "plot/session.h"

#include "curves/curvefile.h"
#include "expr/UserFunctions.h"
#include "plot/w_curve.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The length of the base64 text of n doubles.
qsizetype Base64Length(int32_t n) {
    return (static_cast<qsizetype>(n) * 8 + 2) / 3 * 4;
}

// ---------------------------------------------------------------- writing

// A double as a JSON number; the values JSON has no number for as text. QJsonDocument writes a number in
// the shortest form that reads back as the same double.
QJsonValue RealValue(double v) {
    if (std::isnan(v)) return QStringLiteral("nan");
    if (std::isinf(v)) return v > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return v;
}

// n doubles as the base64 text of their little-endian bits.
QString Doubles(const double* values, int32_t n) {
    QByteArray bytes(static_cast<qsizetype>(n) * 8, Qt::Uninitialized);
    char* out = bytes.data();
    for (int32_t i = 0; i < n; ++i) {
        quint64 bits;
        std::memcpy(&bits, &values[i], 8);
        qToLittleEndian(bits, out + static_cast<qsizetype>(i) * 8);
    }
    return QString::fromLatin1(bytes.toBase64());
}

QJsonObject PointsObject(const TCurveB& c) {
    QJsonObject o;
    o[QStringLiteral("count")] = c.Count();
    o[QStringLiteral("x")] = Doubles(c.XData(), c.Count());
    o[QStringLiteral("y")] = Doubles(c.YData(), c.Count());
    if (c.HasSigma()) o[QStringLiteral("sigma")] = Doubles(c.SigmaData(), c.Count());
    o[QStringLiteral("fileName")] = QString::fromStdString(c.FileName);
    o[QStringLiteral("comment")] = QString::fromStdString(c.Comment);
    o[QStringLiteral("saved")] = c.Saved;
    return o;
}

QJsonObject CurveObject(const TPlottedCurve& c) {
    QJsonObject o = PointsObject(c);
    QJsonObject style;
    style[QStringLiteral("line")] = c.line;
    style[QStringLiteral("symbol")] = c.symbol;
    style[QStringLiteral("lineColor")] = static_cast<double>(c.linecolor);
    style[QStringLiteral("lineStyle")] = static_cast<int>(c.linestyle);
    style[QStringLiteral("symbolSize")] = c.SymbolSize;
    style[QStringLiteral("symbolStyle")] = c.symbolstyle;
    style[QStringLiteral("symbolColor")] = static_cast<double>(c.SymbolColor);
    style[QStringLiteral("errorBars")] = c.errorbars;
    o[QStringLiteral("style")] = style;
    return o;
}

QJsonObject AxesObject(const TGrid& g) {
    QJsonObject o;
    o[QStringLiteral("xmin")] = RealValue(g.WorldMin.x);
    o[QStringLiteral("xmax")] = RealValue(g.WorldMax.x);
    o[QStringLiteral("ymin")] = RealValue(g.WorldMin.y);
    o[QStringLiteral("ymax")] = RealValue(g.WorldMax.y);
    o[QStringLiteral("xlog")] = g.XLog;
    o[QStringLiteral("ylog")] = g.YLog;
    o[QStringLiteral("xdiv")] = g.XDiv;
    o[QStringLiteral("ydiv")] = g.YDiv;
    o[QStringLiteral("roundTicks")] = g.RoundTicks;
    o[QStringLiteral("labels")] = g.labels;
    o[QStringLiteral("gridLines")] = g.gridlines;
    o[QStringLiteral("gridColor")] = static_cast<double>(g.color);
    o[QStringLiteral("background")] = static_cast<double>(g.BackgrColor);
    o[QStringLiteral("title")] = g.Title;
    o[QStringLiteral("xcaption")] = g.XCaption;
    o[QStringLiteral("ycaption")] = g.YCaption;
    return o;
}

QJsonObject FunctionObject(const TUserFunction& f) {
    QJsonObject o;
    o[QStringLiteral("name")] = QString::fromStdString(f.Name);
    o[QStringLiteral("tag")] = f.Tag;
    QJsonArray vars;
    for (int k = 1; k <= f.VarCount; ++k) {
        const TUserVariable& v = f.Var(k);
        QJsonObject var;
        var[QStringLiteral("name")] = QString::fromStdString(v.Name);
        var[QStringLiteral("formula")] = QString::fromStdString(v.Formula);
        var[QStringLiteral("initial")] = RealValue(v.Initial);
        var[QStringLiteral("min")] = RealValue(v.Min);
        var[QStringLiteral("max")] = RealValue(v.Max);
        var[QStringLiteral("guess")] = v.GuessStyle;
        vars.append(var);
    }
    o[QStringLiteral("variables")] = vars;
    return o;
}

QJsonObject TermObject(const TPeak& t) {
    QJsonObject o;
    o[QStringLiteral("type")] = t.type;
    QJsonArray params;
    for (int k = 1; k <= t.nparams; ++k) {
        const auto i = static_cast<size_t>(k);
        QJsonObject p;
        p[QStringLiteral("value")] = RealValue(t.value[i]);
        p[QStringLiteral("sigma")] = RealValue(t.sigma[i]);
        p[QStringLiteral("initial")] = RealValue(t.initial[i]);
        p[QStringLiteral("min")] = RealValue(t.min[i]);
        p[QStringLiteral("max")] = RealValue(t.max[i]);
        p[QStringLiteral("lock")] = t.lock[i];
        p[QStringLiteral("guess")] = t.guessStyle[i];
        params.append(p);
    }
    o[QStringLiteral("params")] = params;
    if (t.type == TPeak::Tabulated && t.tabSource) {
        o[QStringLiteral("fileName")] = QString::fromStdString(t.fileName);
        o[QStringLiteral("table")] = PointsObject(*t.tabSource);
    }
    if (t.type == TPeak::UserDefined && t.userFunction)
        o[QStringLiteral("function")] = FunctionObject(*t.userFunction);
    return o;
}

QJsonObject FitObject(const TSessionFit& fit) {
    QJsonObject o;
    o[QStringLiteral("open")] = fit.open;
    o[QStringLiteral("first")] = fit.first;
    o[QStringLiteral("last")] = fit.last;
    o[QStringLiteral("selected")] = fit.selected;
    QJsonArray terms;
    for (const TPeak& t : fit.terms) terms.append(TermObject(t));
    o[QStringLiteral("terms")] = terms;
    o[QStringLiteral("settings")] = fit.settings;
    return o;
}

QJsonObject WindowObject(const TSessionWindow& w) {
    QJsonObject o;
    o[QStringLiteral("geometry")] =
        QJsonArray{w.geometry.x(), w.geometry.y(), w.geometry.width(), w.geometry.height()};
    o[QStringLiteral("maximized")] = w.maximized;
    QJsonArray curves;
    for (const TPlottedCurve& c : w.curves) curves.append(CurveObject(c));
    o[QStringLiteral("curves")] = curves;
    o[QStringLiteral("active")] = w.active;
    o[QStringLiteral("newCurveMode")] = w.newCurveMode;
    o[QStringLiteral("axes")] = AxesObject(w.axes);
    QJsonObject legend;
    legend[QStringLiteral("shown")] = w.legend.Shown;
    if (w.legend.Place)
        legend[QStringLiteral("place")] = QJsonArray{w.legend.Place->x(), w.legend.Place->y()};
    o[QStringLiteral("legend")] = legend;
    if (w.fit) o[QStringLiteral("fit")] = FitObject(*w.fit);
    return o;
}

// ---------------------------------------------------------------- reading

// The farthest a window's corner or side reaches, in pixels.
constexpr double MaxGeometry = 100000;

// The most points of one curve: what the arrays of a curve can be given.
constexpr int32_t MaxSessionPoints = std::numeric_limits<int32_t>::max() / 2;

bool ReadPoints(TSessionReader& r, const QJsonObject& o, const QString& where, TCurveB& c) {
    int32_t count = 0;
    if (!r.Int(o, where, QStringLiteral("count"), 0, MaxSessionPoints, count)) return false;
    // The count is checked against the text of the points before the curve is given room for them.
    for (const char* key : {"x", "y"})
        if (o.value(QLatin1String(key)).toString().size() != Base64Length(count))
            return r.Fail(where, TSessionReader::Key(QLatin1String(key)) +
                                     QStringLiteral(" does not hold %1 values").arg(count));
    c.SetCapacity(count);
    c.SetCount(count);
    if (!r.Doubles(o, where, QStringLiteral("x"), count, c.XData()) ||
        !r.Doubles(o, where, QStringLiteral("y"), count, c.YData()))
        return false;
    if (o.contains(QStringLiteral("sigma"))) {
        c.EnableSigma();
        if (!r.Doubles(o, where, QStringLiteral("sigma"), count, c.SigmaData())) return false;
    }
    if (!r.Text(o, where, QStringLiteral("fileName"), c.FileName) ||
        !r.Text(o, where, QStringLiteral("comment"), c.Comment) ||
        !r.Bool(o, where, QStringLiteral("saved"), c.Saved))
        return false;
    c.CalcRanges();
    return true;
}

bool ReadCurve(TSessionReader& r, const QJsonObject& o, const QString& where, TPlottedCurve& c) {
    if (!ReadPoints(r, o, where, c)) return false;
    QJsonObject s;
    if (!r.Object(o, where, QStringLiteral("style"), s, false)) return false;
    const TPlottedCurve def;
    return r.Bool(s, where, QStringLiteral("line"), c.line, def.line) &&
           r.Bool(s, where, QStringLiteral("symbol"), c.symbol, def.symbol) &&
           r.Color(s, where, QStringLiteral("lineColor"), c.linecolor, def.linecolor) &&
           r.Int(s, where, QStringLiteral("lineStyle"), psSolid, psDashDotDot, c.linestyle, def.linestyle) &&
           r.Int(s, where, QStringLiteral("symbolSize"), 1, 100, c.SymbolSize, def.SymbolSize) &&
           r.Int(s, where, QStringLiteral("symbolStyle"), 0, 100, c.symbolstyle, def.symbolstyle) &&
           r.Color(s, where, QStringLiteral("symbolColor"), c.SymbolColor, def.SymbolColor) &&
           r.Bool(s, where, QStringLiteral("errorBars"), c.errorbars, def.errorbars);
}

bool ReadAxes(TSessionReader& r, const QJsonObject& o, const QString& where, TGrid& g) {
    const TGrid def;
    const QString w = where + QStringLiteral(", axes");
    RealPoint min, max;
    if (!r.Real(o, w, QStringLiteral("xmin"), min.x, true, def.WorldMin.x) ||
        !r.Real(o, w, QStringLiteral("xmax"), max.x, true, def.WorldMax.x) ||
        !r.Real(o, w, QStringLiteral("ymin"), min.y, true, def.WorldMin.y) ||
        !r.Real(o, w, QStringLiteral("ymax"), max.y, true, def.WorldMax.y) ||
        !r.Bool(o, w, QStringLiteral("xlog"), g.XLog) || !r.Bool(o, w, QStringLiteral("ylog"), g.YLog) ||
        !r.Int(o, w, QStringLiteral("xdiv"), 1, 100, g.XDiv, def.XDiv) ||
        !r.Int(o, w, QStringLiteral("ydiv"), 1, 100, g.YDiv, def.YDiv) ||
        !r.Bool(o, w, QStringLiteral("roundTicks"), g.RoundTicks, def.RoundTicks) ||
        !r.Bool(o, w, QStringLiteral("labels"), g.labels, def.labels) ||
        !r.Bool(o, w, QStringLiteral("gridLines"), g.gridlines, def.gridlines) ||
        !r.Color(o, w, QStringLiteral("gridColor"), g.color, def.color) ||
        !r.Color(o, w, QStringLiteral("background"), g.BackgrColor, def.BackgrColor) ||
        !r.Text(o, w, QStringLiteral("title"), g.Title, MaxCaptionLength) ||
        !r.Text(o, w, QStringLiteral("xcaption"), g.XCaption, MaxCaptionLength) ||
        !r.Text(o, w, QStringLiteral("ycaption"), g.YCaption, MaxCaptionLength))
        return false;
    if (!(min.x < max.x) || !(min.y < max.y) || !TWin::Drawable(min, max))
        return r.Fail(w, QStringLiteral("the ranges are not MIN below MAX"));
    if ((g.XLog && min.x <= 0) || (g.YLog && min.y <= 0))
        return r.Fail(w, QStringLiteral("a logarithmic axis starts at or below 0"));
    g.WorldMin = min;
    g.WorldMax = max;
    return true;
}

bool ReadFunction(TSessionReader& r, const QJsonObject& o, const QString& where, TUserFunction& f) {
    QString name;
    QJsonArray vars;
    if (!r.Text(o, where, QStringLiteral("name"), name, TUserFunction::MaxNameLength) ||
        !r.Int(o, where, QStringLiteral("tag"), -1, 1000000, f.Tag, -1) ||
        !r.Array(o, where, QStringLiteral("variables"), vars, TUserFunction::MaxVariables, true))
        return false;
    f.Name = name.toStdString();
    for (qsizetype k = 0; k < vars.size(); ++k) {
        const QString vw = where + QStringLiteral(", variable %1").arg(k + 1);
        if (!vars[k].isObject()) return r.Fail(vw, QStringLiteral("not an object"));
        const QJsonObject v = vars[k].toObject();
        QString vname, formula;
        double initial = 0, min = 0, max = 0;
        int32_t guess = 0;
        if (!r.Text(v, vw, QStringLiteral("name"), vname, TUserFunction::MaxTextLength) ||
            !r.Text(v, vw, QStringLiteral("formula"), formula, TUserFunction::MaxTextLength) ||
            !r.Real(v, vw, QStringLiteral("initial"), initial, false, 0.0) ||
            !r.Real(v, vw, QStringLiteral("min"), min, false, 0.0) ||
            !r.Real(v, vw, QStringLiteral("max"), max, false, 0.0) ||
            !r.Int(v, vw, QStringLiteral("guess"), 0, GuessStyleCount - 1, guess, 0))
            return false;
        f.AddVariable(vname.toStdString(), formula.toStdString(), initial, min, max, guess);
    }
    return true;
}

bool ReadTerm(TSessionReader& r, const QJsonObject& o, const QString& where, TPeak& term) {
    int32_t type = 0;
    QJsonArray params;
    if (!r.Int(o, where, QStringLiteral("type"), 0, TPeak::UserDefined, type) ||
        !r.Array(o, where, QStringLiteral("params"), params, TPeak::MaxParams, true))
        return false;
    const auto n = static_cast<int32_t>(params.size());
    if (type == TPeak::UserDefined) {
        QJsonObject fo;
        TUserFunction f;
        if (!r.Object(o, where, QStringLiteral("function"), fo, true) ||
            !ReadFunction(r, fo, where + QStringLiteral(", function"), f))
            return false;
        if (!TPeak::CreateUser(f, term))
            return r.Fail(where, QStringLiteral("the formulas of function %1 do not compile")
                                     .arg(QString::fromStdString(f.Name)));
    } else if (type >= TPeak::BuiltInCount) {
        return r.Fail(where, QStringLiteral("%1 is no function type").arg(type));
    } else {
        // A polynomial's order is told by its number of parameters.
        if (type == TPeak::Polynomial && (n < 1 || n > TPeak::MaxPolyOrder + 1))
            return r.Fail(where,
                          QStringLiteral("a polynomial has 1 to %1 parameters").arg(TPeak::MaxPolyOrder + 1));
        term = TPeak::Create(type, type == TPeak::Polynomial ? n - 1 : 0);
    }
    if (type == TPeak::Tabulated) {
        QJsonObject table;
        TCurveB source;
        if (!r.Object(o, where, QStringLiteral("table"), table, true) ||
            !ReadPoints(r, table, where + QStringLiteral(", table"), source) ||
            !r.Text(o, where, QStringLiteral("fileName"), term.fileName))
            return false;
        if (!term.SetTabulatedSource(std::move(source)))
            return r.Fail(where, QStringLiteral("a tabulated function needs 2 points or more"));
    }
    if (n != term.nparams)
        return r.Fail(where,
                      QStringLiteral("%1 parameters where the function has %2").arg(n).arg(term.nparams));
    for (int k = 1; k <= n; ++k) {
        const QString pw = where + QStringLiteral(", parameter %1").arg(k);
        if (!params[k - 1].isObject()) return r.Fail(pw, QStringLiteral("not an object"));
        const QJsonObject p = params[k - 1].toObject();
        const auto i = static_cast<size_t>(k);
        bool lock = false;
        if (!r.Real(p, pw, QStringLiteral("value"), term.value[i], true) ||
            !r.Real(p, pw, QStringLiteral("sigma"), term.sigma[i], false, 0.0) ||
            !r.Real(p, pw, QStringLiteral("initial"), term.initial[i], false, term.initial[i]) ||
            !r.Real(p, pw, QStringLiteral("min"), term.min[i], false, term.min[i]) ||
            !r.Real(p, pw, QStringLiteral("max"), term.max[i], false, term.max[i]) ||
            !r.Bool(p, pw, QStringLiteral("lock"), lock) ||
            !r.Int(p, pw, QStringLiteral("guess"), 0, GuessStyleCount - 1, term.guessStyle[i],
                   term.guessStyle[i]))
            return false;
        term.lock[i] = lock;
    }
    return true;
}

bool ReadFit(TSessionReader& r, const QJsonObject& o, const QString& where, TSessionFit& fit) {
    QJsonArray terms;
    if (!r.Bool(o, where, QStringLiteral("open"), fit.open) ||
        !r.Int(o, where, QStringLiteral("first"), 0, MaxSessionPoints, fit.first, 0) ||
        !r.Int(o, where, QStringLiteral("last"), 0, MaxSessionPoints, fit.last, 0) ||
        !r.Int(o, where, QStringLiteral("selected"), -1, 9, fit.selected, -1) ||
        !r.Array(o, where, QStringLiteral("terms"), terms, 10, true) ||
        !r.Object(o, where, QStringLiteral("settings"), fit.settings, false))
        return false;
    for (qsizetype t = 0; t < terms.size(); ++t) {
        const QString tw = where + QStringLiteral(", term %1").arg(t + 1);
        if (!terms[t].isObject()) return r.Fail(tw, QStringLiteral("not an object"));
        TPeak term = TPeak::Create(TPeak::Polynomial);
        if (!ReadTerm(r, terms[t].toObject(), tw, term)) return false;
        fit.terms.push_back(std::move(term));
    }
    if (fit.selected >= static_cast<int32_t>(fit.terms.size()))
        return r.Fail(where, QStringLiteral("the selected term is not in the model"));
    return true;
}

bool ReadWindow(TSessionReader& r, const QJsonObject& o, const QString& where, TSessionWindow& w) {
    QJsonArray geometry, curves;
    if (!r.Array(o, where, QStringLiteral("geometry"), geometry, 4, true) ||
        !r.Bool(o, where, QStringLiteral("maximized"), w.maximized) ||
        !r.Array(o, where, QStringLiteral("curves"), curves, WCurveSet::MaxCurves, true))
        return false;
    // A place within 100000 pixels of the screen's origin, a size of at least one pixel.
    int g[4] = {};
    qsizetype valid = 0;
    for (qsizetype i = 0; i < geometry.size(); ++i) {
        const double d = geometry[i].toDouble(std::numeric_limits<double>::quiet_NaN());
        const double least = i < 2 ? -MaxGeometry : 1;
        if (d >= least && d <= MaxGeometry && d == std::floor(d)) {
            g[i] = static_cast<int>(d);
            ++valid;
        }
    }
    if (valid != 4)
        return r.Fail(where, QStringLiteral("\"geometry\" is not four whole numbers x, y, width, height"));
    w.geometry = QRect(g[0], g[1], g[2], g[3]);
    w.curves.reserve(static_cast<size_t>(curves.size()));
    for (qsizetype i = 0; i < curves.size(); ++i) {
        const QString cw = where + QStringLiteral(", curve %1").arg(i + 1);
        if (!curves[i].isObject()) return r.Fail(cw, QStringLiteral("not an object"));
        w.curves.emplace_back();
        if (!ReadCurve(r, curves[i].toObject(), cw, w.curves.back())) return false;
    }
    const auto count = static_cast<int64_t>(w.curves.size());
    QJsonObject axes, legend, fit;
    QJsonArray place;
    if (!r.Int(o, where, QStringLiteral("active"), count > 0 ? 1 : 0, count, w.active, count > 0 ? 1 : 0) ||
        !r.Bool(o, where, QStringLiteral("newCurveMode"), w.newCurveMode) ||
        !r.Object(o, where, QStringLiteral("axes"), axes, false) || !ReadAxes(r, axes, where, w.axes) ||
        !r.Object(o, where, QStringLiteral("legend"), legend, false) ||
        !r.Bool(legend, where, QStringLiteral("shown"), w.legend.Shown) ||
        !r.Array(legend, where, QStringLiteral("place"), place, 2, false))
        return false;
    if (!place.isEmpty()) {
        const double x = place[0].toDouble(-1), y = place.size() == 2 ? place[1].toDouble(-1) : -1;
        if (!(x >= 0 && x <= 1 && y >= 0 && y <= 1))
            return r.Fail(where, QStringLiteral("the legend's place is not two fractions from 0 to 1"));
        w.legend.Place = QPointF(x, y);
    }
    if (o.contains(QStringLiteral("fit"))) {
        w.fit.emplace();
        if (!r.Object(o, where, QStringLiteral("fit"), fit, true) ||
            !ReadFit(r, fit, where + QStringLiteral(", fit"), *w.fit))
            return false;
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------- TSessionReader

bool TSessionReader::Fail(const QString& where, const QString& what) {
    if (error.isEmpty()) error = where.isEmpty() ? what : where + QStringLiteral(": ") + what;
    return false;
}

bool TSessionReader::Bool(const QJsonObject& o, const QString& where, const QString& key, bool& out,
                          bool def) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined()) {
        out = def;
        return true;
    }
    if (!v.isBool()) return Fail(where, Key(key) + QStringLiteral(" is not true or false"));
    out = v.toBool();
    return true;
}

bool TSessionReader::Int(const QJsonObject& o, const QString& where, const QString& key, int64_t lo,
                         int64_t hi, int64_t& out, std::optional<int64_t> def) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() && def) {
        out = *def;
        return true;
    }
    const double d = v.toDouble(std::numeric_limits<double>::quiet_NaN());
    if (!v.isDouble() || !(d >= static_cast<double>(lo) && d <= static_cast<double>(hi)) ||
        d != std::floor(d))
        return Fail(where, Key(key) + QStringLiteral(" is not a whole number from %1 to %2").arg(lo).arg(hi));
    out = static_cast<int64_t>(d);
    return true;
}

bool TSessionReader::Color(const QJsonObject& o, const QString& where, const QString& key, TColor& out,
                           TColor def) {
    return Int(o, where, key, 0, 0xFFFFFFFFLL, out, def);
}

bool TSessionReader::Real(const QJsonObject& o, const QString& where, const QString& key, double& out,
                          bool finite, std::optional<double> def) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() && def) {
        out = *def;
        return true;
    }
    if (v.isDouble()) {
        out = v.toDouble();
        return true;
    }
    const QString s = v.toString();
    if (!finite && v.isString()) {
        constexpr double inf = std::numeric_limits<double>::infinity();
        if (s == QLatin1String("nan")) out = std::numeric_limits<double>::quiet_NaN();
        if (s == QLatin1String("inf")) out = inf;
        if (s == QLatin1String("-inf")) out = -inf;
        if (s == QLatin1String("nan") || s == QLatin1String("inf") || s == QLatin1String("-inf")) return true;
    }
    return Fail(where, Key(key) + (finite ? QStringLiteral(" is not a finite number")
                                          : QStringLiteral(" is not a number")));
}

bool TSessionReader::Real(const QJsonObject& o, const QString& where, const QString& key, double lo,
                          double hi, double& out, double def) {
    double v = 0;
    if (!Real(o, where, key, v, true, def)) return false;
    if (!(v >= lo && v <= hi))
        return Fail(where, Key(key) + QStringLiteral(" is not a number from %1 to %2").arg(lo).arg(hi));
    out = v;
    return true;
}

bool TSessionReader::Text(const QJsonObject& o, const QString& where, const QString& key, QString& out,
                          qsizetype most) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined()) {
        out.clear();
        return true;
    }
    if (!v.isString()) return Fail(where, Key(key) + QStringLiteral(" is not a text"));
    out = v.toString();
    if (out.size() > most)
        return Fail(where, Key(key) + QStringLiteral(" is longer than %1 characters").arg(most));
    return true;
}

bool TSessionReader::Text(const QJsonObject& o, const QString& where, const QString& key, std::string& out) {
    QString s;
    if (!Text(o, where, key, s, std::numeric_limits<int>::max())) return false;
    out = s.toStdString();
    return true;
}

bool TSessionReader::Object(const QJsonObject& o, const QString& where, const QString& key, QJsonObject& out,
                            bool required) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() && !required) {
        out = {};
        return true;
    }
    if (!v.isObject()) return Fail(where, Key(key) + QStringLiteral(" is missing or not an object"));
    out = v.toObject();
    return true;
}

bool TSessionReader::Array(const QJsonObject& o, const QString& where, const QString& key, QJsonArray& out,
                           qsizetype most, bool required) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() && !required) {
        out = {};
        return true;
    }
    if (!v.isArray()) return Fail(where, Key(key) + QStringLiteral(" is missing or not a list"));
    out = v.toArray();
    if (out.size() > most)
        return Fail(where, Key(key) + QStringLiteral(" holds more than %1 entries").arg(most));
    return true;
}

bool TSessionReader::Doubles(const QJsonObject& o, const QString& where, const QString& key, int32_t count,
                             double* out) {
    const QJsonValue v = o.value(key);
    const QString text = v.toString();
    const QString wrong = Key(key) + QStringLiteral(" does not hold %1 values").arg(count);
    if (!v.isString() || text.size() != Base64Length(count)) return Fail(where, wrong);
    const auto decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != static_cast<qsizetype>(count) * 8) return Fail(where, wrong);
    const char* in = decoded.decoded.constData();
    for (int32_t i = 0; i < count; ++i) {
        const quint64 bits = qFromLittleEndian<quint64>(in + static_cast<qsizetype>(i) * 8);
        std::memcpy(&out[i], &bits, 8);
        if (!std::isfinite(out[i]))
            return Fail(where, Key(key) + QStringLiteral(": value %1 is not a finite number").arg(i + 1));
    }
    return true;
}

bool IsSessionFile(const QString& fileName) {
    return fileName.endsWith(SessionExtension(), Qt::CaseInsensitive);
}

QByteArray SessionToJson(const TSession& session) {
    QJsonObject root;
    root[QStringLiteral("format")] = SessionFormat;
    QJsonArray windows;
    for (const TSessionWindow& w : session.windows) windows.append(WindowObject(w));
    root[QStringLiteral("windows")] = windows;
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool SessionFromJson(const QByteArray& json, TSession& session, QString& why) {
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull()) {
        why = QStringLiteral("not a Graphmill session (%1 at byte %2)")
                  .arg(parseError.errorString())
                  .arg(parseError.offset);
        return false;
    }
    const QJsonObject root = doc.object();
    const QJsonValue format = root.value(QStringLiteral("format"));
    if (!doc.isObject() || !format.isDouble() || !root.value(QStringLiteral("windows")).isArray()) {
        why = QStringLiteral("not a Graphmill session (no format number or no windows)");
        return false;
    }
    if (format.toDouble() > SessionFormat) {
        why = QStringLiteral("written by a newer Graphmill (session format %1; this one reads format %2 and "
                             "older)")
                  .arg(format.toDouble())
                  .arg(SessionFormat);
        return false;
    }
    if (format.toDouble() < 1 || format.toDouble() != std::floor(format.toDouble())) {
        why = QStringLiteral("not a Graphmill session (format %1)").arg(format.toDouble());
        return false;
    }
    TSessionReader r;
    QJsonArray windows;
    TSession read;
    if (r.Array(root, {}, QStringLiteral("windows"), windows, MaxSessionWindows, true)) {
        if (windows.isEmpty()) r.Fail({}, QStringLiteral("the session has no window"));
        for (qsizetype i = 0; i < windows.size(); ++i) {
            const QString where = QStringLiteral("window %1").arg(i + 1);
            read.windows.emplace_back();
            if (!windows[i].isObject()) {
                r.Fail(where, QStringLiteral("not an object"));
                break;
            }
            if (!ReadWindow(r, windows[i].toObject(), where, read.windows.back())) {
                // Every refusal says why.
                r.Fail(where, QStringLiteral("not readable"));
                break;
            }
        }
    }
    if (!r.error.isEmpty()) {
        why = r.error;
        return false;
    }
    session = std::move(read);
    return true;
}

bool ReadSession(const QString& fileName, TSession& session, QString& error) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: cannot be read (%2)").arg(fileName, file.errorString());
        return false;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("%1: cannot be read (%2)").arg(fileName, file.errorString());
        return false;
    }
    QString why;
    if (!SessionFromJson(text, session, why)) {
        error = QStringLiteral("%1: %2").arg(fileName, why);
        return false;
    }
    return true;
}

bool WriteSession(const QString& fileName, const QByteArray& json, QString& error, bool backup) {
    curvefile::TSaveFile file;
    const std::string name = fileName.toStdString();
    if (!file.OpenForWrite(name, "", backup ? ".gmsession.bak" : "", "") ||
        !file.Write(json.constData(), static_cast<std::size_t>(json.size())) || !file.Commit()) {
        error = QStringLiteral("The session was not saved: %1").arg(QString::fromStdString(file.Error()));
        return false;
    }
    return true;
}

void SessionWindowFromSet(const WCurveSet& set, TSessionWindow& window) {
    window.curves.clear();
    window.curves.reserve(static_cast<size_t>(set.Count()));
    for (int32_t n = 1; n <= set.Count(); ++n) window.curves.push_back(*set.Curve(n));
    window.active = set.Active();
    window.axes = set.Grid;
    window.legend = set.Legend;
}

void BuildCurveSet(const TSessionWindow& window, WCurveSet& set) {
    for (const TPlottedCurve& c : window.curves) {
        set.AddCurve(c, false, false);
        set.Curve(set.Count())->SetStyle(c.GetStyle());
    }
    set.SetActive(window.active);
    set.RecomputeRanges();
    TGrid& g = set.Grid;
    const TGrid& a = window.axes;
    g.XLog = a.XLog;
    g.YLog = a.YLog;
    g.WorldMin = a.WorldMin;
    g.WorldMax = a.WorldMax;
    g.XDiv = a.XDiv;
    g.YDiv = a.YDiv;
    g.RoundTicks = a.RoundTicks;
    g.labels = a.labels;
    g.gridlines = a.gridlines;
    g.color = a.color;
    g.BackgrColor = a.BackgrColor;
    g.Title = a.Title;
    g.XCaption = a.XCaption;
    g.YCaption = a.YCaption;
    g.UpdateScale();
    set.Legend = window.legend;
}
