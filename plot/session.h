// A session: the curve windows of the program kept in one file (.gmsession), so that the work can be put
// away and taken up again as it was. Each window keeps its place on the screen, its curves (every double
// exactly, sigma where the curve has it, file name, comment and saved flag) with their display styles, the
// axes, the legend, the active curve, new-curve mode and the model of its fit panel.
//
// The file is a JSON document with a format number. A reader takes what it knows and passes over keys it
// does not know, so that a later program can add to the file; a file of a newer format, or one that is
// damaged anywhere, is refused whole. Curve points are written as the bits of their doubles (little-endian,
// base64), so that they come back bit for bit, however many points a curve has.
//
// The graph of a session's window is drawn by the curve set built from it (BuildCurveSet), the same in the
// program and in graphmill-cli.
#pragma once

#include "fit/Fit1.h"
#include "plot/coord_win.h"
#include "plot/curve_plot.h"
#include "plot/legend.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QRect>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class WCurveSet;

// The fit panel of a window: its model, its range, the term selected and its settings. The settings belong
// to the panel's own dialog: they travel as an object of named values, read and written by the panel's side.
struct TSessionFit {
    bool open = false; // the panel was showing
    int32_t first = 0; // the fit range: points first..last of the active curve (0, 0: none)
    int32_t last = 0;
    int32_t selected = -1; // the term selected in the list, -1 for none
    std::vector<TPeak> terms;
    QJsonObject settings;
};

struct TSessionWindow {
    QRect geometry; // the window's place and size (of its inside, without the frame)
    bool maximized = false;
    std::vector<TPlottedCurve> curves;
    int32_t active = 0; // 1..curves, 0 without curves
    bool newCurveMode = false;
    TGrid axes; // the axes' values: ranges, logarithmic axes, divisions, colours, texts
    TLegend legend;
    std::optional<TSessionFit> fit;
};

struct TSession {
    std::vector<TSessionWindow> windows;
};

// Reads the values of a session's objects one after another; the first value out of place stops the reading
// and says where it was ("window 2, curve 3: ..."). A value that may be missing takes its default then;
// present, it must be of its kind and within its range.
class TSessionReader {
public:
    QString error;

    // Records the first failure; always false.
    bool Fail(const QString& where, const QString& what);
    static QString Key(const QString& key) { return QLatin1Char('"') + key + QLatin1Char('"'); }

    bool Bool(const QJsonObject& o, const QString& where, const QString& key, bool& out, bool def = false);
    bool Int(const QJsonObject& o, const QString& where, const QString& key, int64_t lo, int64_t hi,
             int64_t& out, std::optional<int64_t> def);
    template <class T>
    bool Int(const QJsonObject& o, const QString& where, const QString& key, int64_t lo, int64_t hi, T& out,
             std::optional<int64_t> def = std::nullopt) {
        int64_t v = 0;
        if (!Int(o, where, key, lo, hi, v, def)) return false;
        out = static_cast<T>(v);
        return true;
    }
    bool Color(const QJsonObject& o, const QString& where, const QString& key, TColor& out, TColor def);
    // A double: a number, or "nan", "inf", "-inf" where non-finite values are allowed (finite false); with
    // lo and hi, a finite number within them.
    bool Real(const QJsonObject& o, const QString& where, const QString& key, double& out, bool finite,
              std::optional<double> def = std::nullopt);
    bool Real(const QJsonObject& o, const QString& where, const QString& key, double lo, double hi,
              double& out, double def);
    bool Text(const QJsonObject& o, const QString& where, const QString& key, QString& out, qsizetype most);
    bool Text(const QJsonObject& o, const QString& where, const QString& key, std::string& out);
    bool Object(const QJsonObject& o, const QString& where, const QString& key, QJsonObject& out,
                bool required);
    bool Array(const QJsonObject& o, const QString& where, const QString& key, QJsonArray& out,
               qsizetype most, bool required);
    // count finite doubles from the base64 text of their bits; the length is checked before anything is
    // decoded, so a count the text does not hold allocates nothing.
    bool Doubles(const QJsonObject& o, const QString& where, const QString& key, int32_t count, double* out);
};

// The format this program writes and the newest it reads.
constexpr int SessionFormat = 1;
// The most windows a session holds.
constexpr int MaxSessionWindows = 100;
// The extension of session files, with its dot.
inline QString SessionExtension() {
    return QStringLiteral(".gmsession");
}
// Whether a file name is a session's (by its extension, in any case).
bool IsSessionFile(const QString& fileName);

// The whole session as a JSON document.
QByteArray SessionToJson(const TSession& session);
// Reads a session from its JSON text. False, with `why` saying what is wrong (without the file's name), for
// text that is no session, a newer format or any value out of its range; `session` is then untouched.
bool SessionFromJson(const QByteArray& json, TSession& session, QString& why);

// Reads a session file; on failure the message names the file.
bool ReadSession(const QString& fileName, TSession& session, QString& error);
// Writes a session's text to a file the way curves are saved: a temporary file beside it renamed over it
// once complete, the old file kept as its backup (FILE.gmsession.bak) when `backup`. A failure leaves the
// file as it was, with a message naming it.
bool WriteSession(const QString& fileName, const QByteArray& json, QString& error, bool backup = true);

// A window of a session from a curve set: its curves, active curve, axes and legend. The rest (geometry,
// new-curve mode, fit) is the window's to fill.
void SessionWindowFromSet(const WCurveSet& set, TSessionWindow& window);
// The curve set of a window of a session: curves with their styles, the active curve, the axes and the
// legend. The set is expected empty; nothing is drawn.
void BuildCurveSet(const TSessionWindow& window, WCurveSet& set);
