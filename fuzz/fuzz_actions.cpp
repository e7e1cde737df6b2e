// Random user actions on the desktop program: a seeded driver sends thousands of random but valid actions to
// real curve windows (offscreen): menu and toolbar commands, keys, clicks, drags and the wheel on the plot,
// the controls and buttons of the dialogs and tool windows, table edits, the clipboard, dropped curves and
// files, new windows, the fit panel (terms, Fit and Abort, the fit range, user functions). Every message box
// and file dialog gets a random answer (files from a folder of good, odd and bad curve files; save names that
// work, name a folder or lie in a folder that is gone).
//
// After each action it checks that the program is alive (the action returned and the event loop runs), that
// every curve of every window holds only finite values, and that the undo history keeps its word: Undo of a
// step brings the window's curves back, bit for bit, to what they were before the step, and Redo to what they
// were after it.
//
//   fuzz_actions [--seed S] [--count N] [--seconds T] [--verbose]
//
// Stops after N actions (300 unless given) or T seconds, whichever comes first. The same seed and count
// repeat a run. On a failure it prints the seed, the action and the actions before it, and exits with 1.
#include "app/EditGrid.h"
#include "app/commandtable.h"
#include "app/curvewin.h"
#include "fit/AddPeak.h"
#include "fit/FitDialog.h"
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"
#include "plot/UserMessages.h"
#include "plot/undohistory.h"
#include "plot/w_curve.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <thread>
#include <tuple>

namespace {

using TRng = std::mt19937_64;

// ---------------------------------------------------------------- answers of the message boxes and dialogs

template <class T>
const T& Pick(TRng& rng, const std::vector<T>& from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

bool Chance(TRng& rng, double p) {
    return std::uniform_real_distribution<double>(0, 1)(rng) < p;
}

int Between(TRng& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

// Texts a user may type into a field: numbers of every size, formulas, and mistakes.
const std::vector<QString>& TypedTexts() {
    static const QStringList texts =
        QStringLiteral(
            "0|1|-1|2.5|3|10|100|0.001|1e10|-1e-10|1e300|-1e300|5e-324|1,5|abc||nan|inf|-0|x^2|sin(x)|"
            "1/x|exp(x)|ln(x)|x/0|(|EXPR(1)|2*x+1|1e308*x*x|10000|12345678901234567890|-5|0.5|x|+-|7")
            .split(QLatin1Char('|'));
    static const std::vector<QString> list(texts.begin(), texts.end());
    return list;
}

class TRandomMessages : public UserMessages {
public:
    TRandomMessages(TRng& rng, const QDir& dir) : rng_(rng), dir_(dir) {}
    int Shown = 0;

    void Error(QWidget*, const QString& text) override { Note("error", text); }
    void Information(QWidget*, const QString& text) override { Note("information", text); }
    void Warning(QWidget*, const QString& text) override { Note("warning", text); }
    bool Confirm(QWidget*, const QString& text) override {
        Note("confirm", text);
        return Chance(rng_, 0.7);
    }
    TSaveAnswer AskSave(QWidget*, const QString& text) override {
        Note("asksave", text);
        const int r = Between(rng_, 0, 9);
        return r < 3 ? TSaveAnswer::Yes : r < 8 ? TSaveAnswer::No : TSaveAnswer::Cancel;
    }
    QString OpenFile(QWidget*, const QString&, const QStringList&, const QString&) override {
        QStringList files = dir_.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& saved : QDir(dir_.filePath("saved")).entryList(QDir::Files))
            files << "saved/" + saved;
        files << "missing.dat";
        const QString name = Chance(rng_, 0.1)
                                 ? QString()
                                 : dir_.filePath(Pick(rng_, std::vector(files.begin(), files.end())));
        Note("open", name);
        return name;
    }
    QString SaveFile(QWidget*, const QString&, const QStringList& filters) override {
        const bool picture = filters.join(' ').contains(QLatin1String("PNG"));
        const int r = Between(rng_, 0, 19);
        QString name;
        if (r == 0)
            name = QString(); // cancelled
        else if (r == 1)
            name = dir_.filePath("gone/x.dat"); // a folder that is not there (any more)
        else if (r == 2)
            name = dir_.filePath("folder"); // the name of a folder
        else if (picture)
            name = dir_.filePath(QStringLiteral("saved/g%1%2")
                                     .arg(Between(rng_, 0, 3))
                                     .arg(Pick(rng_, std::vector<QString>{".png", ".svg", ".pdf", ".jpg"})));
        else if (r < 6)
            name = dir_.filePath(Pick(rng_, std::vector<QString>{"peak.dat", "sine.dat", "saved/s0.dat"}));
        else
            name = dir_.filePath(QStringLiteral("saved/s%1.dat").arg(Between(rng_, 0, 5)));
        Note("save", name);
        return name;
    }
    bool ChooseColor(QWidget*, QColor& color) override {
        Note("color", color.name());
        if (Chance(rng_, 0.3)) return false;
        color = QColor::fromRgb(static_cast<QRgb>(rng_()));
        return true;
    }
    QString AskText(QWidget*, const QString&, const QString& label, const QString& text) override {
        Note("asktext", label);
        static const std::vector<QString> answers = {"300 x 200", "50x50", "640x480",    "20x20",
                                                     "abc",       "",      "1200 X 900", "99999x1"};
        if (Chance(rng_, 0.15)) return QString();
        return Chance(rng_, 0.3) ? text : Pick(rng_, answers);
    }
    bool ChoosePrinter(QWidget*, QPrinter& printer, bool setup) override {
        Note("printer", setup ? "setup" : "print");
        if (Chance(rng_, 0.3)) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(Chance(rng_, 0.2) ? dir_.filePath("gone/p.pdf")
                                                    : dir_.filePath("saved/p.pdf"));
        return true;
    }

    // What the last action was told or asked (for the log).
    QStringList Said;

private:
    void Note(const char* kind, const QString& text) {
        ++Shown;
        Said << QStringLiteral("%1: %2").arg(QLatin1String(kind), text.left(100).replace('\n', ' '));
    }
    TRng& rng_;
    QDir dir_;
};

// ---------------------------------------------------------------- the curve files offered by Open

void WriteCurveFile(const QString& name, int n, const std::function<std::pair<double, double>(int)>& point,
                    const std::string& header = "") {
    std::ofstream out(name.toStdString(), std::ios::binary);
    out << header;
    char line[80];
    for (int i = 0; i < n; ++i) {
        const auto [x, y] = point(i);
        std::snprintf(line, sizeof line, "%.17g %.17g\n", x, y);
        out << line;
    }
}

void MakeFiles(const QDir& dir, TRng& rng) {
    std::normal_distribution<double> noise(0, 0.05);
    WriteCurveFile(dir.filePath("peak.dat"), 200, [&](int i) {
        const double x = i * 0.05;
        return std::pair{x, 0.2 * x + std::exp(-(x - 5) * (x - 5)) + noise(rng)};
    });
    WriteCurveFile(dir.filePath("sine.dat"), 64, [](int i) { return std::pair{i * 0.1, std::sin(i * 0.3)}; });
    WriteCurveFile(dir.filePath("line.dat"), 2, [](int i) { return std::pair{double(i), 2.0 * i}; });
    WriteCurveFile(dir.filePath("one.dat"), 1, [](int) { return std::pair{3.0, 4.0}; });
    WriteCurveFile(dir.filePath("big.dat"), 5000, [](int i) {
        return std::pair{i * 1e-3, std::cos(i * 1e-2) * std::exp(-i * 1e-4)};
    });
    WriteCurveFile(dir.filePath("unsorted.dat"), 30, [](int i) {
        return std::pair{double((i * 7) % 11), i * 0.5};
    });
    WriteCurveFile(dir.filePath("huge.dat"), 20, [](int i) {
        return std::pair{i * 1e300, (i % 3 - 1) * 1e307};
    });
    WriteCurveFile(dir.filePath("tiny.dat"), 20, [](int i) { return std::pair{i * 1e-300, i * 1e-310}; });
    WriteCurveFile(
        dir.filePath("header.dat"), 10,
        [](int i) {
            return std::pair{double(i), double(i * i)};
        },
        "Run 7\nsample 3 at 21 C\nDATA\n");
    std::ofstream(dir.filePath("empty.dat").toStdString());
    std::ofstream junk(dir.filePath("junk.bin").toStdString(), std::ios::binary);
    for (int i = 0; i < 500; ++i) junk.put(static_cast<char>(rng()));
    dir.mkdir("folder");
    dir.mkdir("saved");
}

// ---------------------------------------------------------------- what is checked

struct TPoints {
    std::vector<double> x, y;
    static TPoints Of(const TCurveB& c) {
        TPoints p;
        p.x.assign(c.XData(), c.XData() + c.Count());
        p.y.assign(c.YData(), c.YData() + c.Count());
        return p;
    }
    // Bit for bit: -0 is not 0, and every NaN would differ from every value.
    bool operator==(const TPoints& o) const {
        auto same = [](const std::vector<double>& a, const std::vector<double>& b) {
            return a.size() == b.size() &&
                   (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
        };
        return same(x, o.x) && same(y, o.y);
    }
};

// The points of a window's curves in no particular order (Undo of a deletion adds the curve again last).
using TCurvesBytes = std::vector<std::string>;

struct TWindowState {
    TCurvesBytes curves;
    int index = 0; // position in the undo history
};

// What a step of a window's history stands for: the window's curves before and after it, where known (a
// change outside the history, or a step that replaced another, leaves them unknown).
struct TStepClaim {
    std::optional<TCurvesBytes> before;
    std::optional<TCurvesBytes> after;
};

std::vector<Tcurvewindow*> Windows(Tcurvewindow* main) {
    std::vector<Tcurvewindow*> all;
    for (Tcurvewindow* w = main; w != nullptr; w = w->NextWindow) all.push_back(w);
    return all;
}

// ---------------------------------------------------------------- the watchdog

std::atomic<long long> lastBeat{0};
std::atomic<long> currentStep{0};
char watchdogText[200] = "";

long long Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---------------------------------------------------------------- the driver

class TDriver {
public:
    TDriver(uint64_t seed, const QDir& dir) : rng_(seed), seed_(seed), dir_(dir), msg_(rng_, dir) {
        SetMessages(&msg_);
        MakeFiles(dir_, rng_);
        main_ = new Tcurvewindow({dir_.filePath("peak.dat"), dir_.filePath("sine.dat")});
        main_->show();
        if (!QTest::qWaitForWindowExposed(main_)) qFatal("the main window does not show");
        serve_.setInterval(0);
        QObject::connect(&serve_, &QTimer::timeout, [this] { ServeModal(); });
    }
    ~TDriver() {
        std::vector<Tcurvewindow*> windows = Windows(main_);
        for (auto w = windows.rbegin(); w != windows.rend(); ++w) delete *w;
        SetMessages(nullptr);
    }

    // Runs one random action and checks the program afterwards. False (with the reason in Failure) when a
    // check failed.
    bool Step(long n);
    QString Failure;
    void PrintLog() const {
        for (const QString& line : log_) std::fprintf(stderr, "  %s\n", qPrintable(line));
    }
    // With --verbose every action is printed as it is done.
    bool Verbose = false;
    std::map<QString, int> Counts;
    int Answered() const { return msg_.Shown; }

private:
    // ---- actions
    void Command(Tcurvewindow* w);
    void Key(Tcurvewindow* w);
    void Click(Tcurvewindow* w);
    void Drag(Tcurvewindow* w);
    void Wheel(Tcurvewindow* w);
    void ToolWindow();
    void TableEdit();
    void OutsideClipboard();
    void Drop(Tcurvewindow* w);
    void ChooseActive(Tcurvewindow* w);
    void Activate(Tcurvewindow* w);
    void Undo(Tcurvewindow* w);
    void Redo(Tcurvewindow* w);
    void PopupItem(QMenu* menu);
    void FitPanelAction(Tcurvewindow* w);

    // A random change to one control of a dialog or tool window (buttons too, with pushButtons).
    void Poke(QWidget* root, bool pushButtons);
    // While an action runs: a modal dialog or popup menu that shows gets a few random changes and is then
    // closed by one of its buttons; a running fit may be aborted.
    void ServeModal();
    // Runs act on target (unless it is gone or hidden by then) from the event loop rather than inside the
    // timer's call: an act that opens a dialog of its own runs that dialog's loop, and Qt does not fire a
    // timer again while its call is still running, so only so can the timer serve that dialog too.
    void Later(QWidget* target, std::function<void()> act);
    // Logs what is done: the action itself, or a step of it (inside a dialog it opened).
    void Say(const QString& what);

    // ---- checks
    std::map<const Tcurvewindow*, TWindowState> Snapshot() const;
    bool Check(const std::map<const Tcurvewindow*, TWindowState>& before);
    bool Fail(const QString& why) {
        Failure = why;
        return false;
    }

    TRng rng_;
    uint64_t seed_;
    QDir dir_;
    TRandomMessages msg_;
    Tcurvewindow* main_ = nullptr;
    QTimer serve_;
    QWidget* modal_ = nullptr;
    int modalRounds_ = 0;
    int modalTicks_ = 0;
    bool pending_ = false;
    long step_ = 0;
    size_t logged_ = 0;
    bool acting_ = false;
    std::deque<QString> log_;
    // Per window: the claims of its history's steps, and how many steps were recorded and walked (Undo,
    // Redo, jumps) during the action.
    std::map<const Tcurvewindow*, std::vector<TStepClaim>> claims_;
    std::map<const TUndoHistory*, std::pair<int, int>> stepped_;
    void Watch(Tcurvewindow* w);
};

void TDriver::Command(Tcurvewindow* w) {
    const int windows = static_cast<int>(Windows(main_).size());
    // Among some seventy commands the operations that change a curve (and store its undo curve) would come
    // up too rarely for Undo to be checked in a short run: while the window holds curves (and the fit panel,
    // which turns the operations off, is closed), half of the commands are drawn from the Operate menu's
    // operations alone.
    const bool operate = w->CurvePanel->CurveCount() > 0 &&
                         (w->FitPanel == nullptr || !w->FitPanel->isVisible()) && Chance(rng_, 0.5);
    std::vector<QAction*> usable;
    for (const TCommand& row : CommandTable()) {
        if (operate && (row.place != TPlace::OperateMenu || QLatin1String(row.name) == "Fit1")) continue;
        if (row.name == nullptr || !row.Built() || (row.flags & (Separator | Submenu)) != 0) continue;
        const QString name = QLatin1String(row.name);
        // The program itself stays: the main window is not closed, and a few windows are enough.
        if (name == "Exit1" || (name == "CloseWindow1" && w == main_) ||
            (name == "NewWindow1" && windows >= 4))
            continue;
        QAction* a = w->Action(name);
        if (a != nullptr && a->isEnabled() && a->isVisible()) usable.push_back(a);
    }
    if (usable.empty()) return;
    QAction* a = Pick(rng_, usable);
    Say("command " + a->objectName());
    if (!a->shortcut().isEmpty() && Chance(rng_, 0.3)) {
        const QKeyCombination k = a->shortcut()[0];
        QTest::keyClick(w->CurvePanel, k.key(), k.keyboardModifiers());
    } else {
        a->trigger();
    }
}

// A key as a user presses it, written as the menus show keys ("Ctrl+Shift+Up", "$").
void PressKey(QWidget* w, const QString& key) {
    const QKeyCombination k = QKeySequence(key)[0];
    QTest::keyClick(w, k.key(), k.keyboardModifiers());
}

void TDriver::Key(Tcurvewindow* w) {
    static const QStringList keys =
        QStringLiteral(
            "Space|C|E|G|L|R|S|F|$|Left|Right|Return|Esc|Del|Home|PgUp|Ctrl+Left|Ctrl+Right|Ctrl+Up|"
            "Ctrl+Down|Ctrl+Shift+Up|Ctrl+Shift+Down|Ctrl+Shift+Left|Ctrl+Z|Ctrl+C|Ctrl+V|Ctrl+X|"
            "Ctrl+R|Ctrl+A|Shift+4|Alt+S")
            .split(QLatin1Char('|'));
    const QString key = keys[Between(rng_, 0, static_cast<int>(keys.size()) - 1)];
    Say("key " + key);
    PressKey(w->CurvePanel, key);
}

QPoint RandomPoint(TRng& rng, const QWidget* w) {
    return {Between(rng, 0, std::max(0, w->width() - 1)), Between(rng, 0, std::max(0, w->height() - 1))};
}

void TDriver::Click(Tcurvewindow* w) {
    const QPoint p = RandomPoint(rng_, w->CurvePanel);
    const int r = Between(rng_, 0, 9);
    if (r < 6) {
        Say(QStringLiteral("click at %1,%2").arg(p.x()).arg(p.y()));
        QTest::mouseClick(w->CurvePanel, Qt::LeftButton, {}, p);
    } else if (r < 8) {
        Say(QStringLiteral("right click at %1,%2").arg(p.x()).arg(p.y()));
        QTest::mouseClick(w->CurvePanel, Qt::RightButton, {}, p);
        // The plot's popup menu answers a right click.
        QContextMenuEvent menu(QContextMenuEvent::Mouse, p, w->CurvePanel->mapToGlobal(p));
        QApplication::sendEvent(w->CurvePanel, &menu);
    } else {
        Say(QStringLiteral("double click at %1,%2").arg(p.x()).arg(p.y()));
        QTest::mouseDClick(w->CurvePanel, Qt::LeftButton, {}, p);
    }
}

void TDriver::Drag(Tcurvewindow* w) {
    TCurvePanel* panel = w->CurvePanel;
    const QPoint from = RandomPoint(rng_, panel), to = RandomPoint(rng_, panel);
    const Qt::KeyboardModifiers mods = Chance(rng_, 0.2) ? Qt::ShiftModifier : Qt::NoModifier;
    Say(QStringLiteral("drag %1,%2 to %3,%4%5")
            .arg(from.x())
            .arg(from.y())
            .arg(to.x())
            .arg(to.y())
            .arg(panel->IsZoomMode() ? " (zoom)" : ""));
    // A drag outside zoom mode carries the active curve away; offscreen, the drag ends at once.
    QTest::mousePress(panel, Qt::LeftButton, mods, from);
    for (int k = 1; k <= 4; ++k) QTest::mouseMove(panel, from + (to - from) * k / 4);
    QTest::mouseRelease(panel, Qt::LeftButton, mods, to);
}

void TDriver::Wheel(Tcurvewindow* w) {
    const QPoint p = RandomPoint(rng_, w->CurvePanel);
    const int delta = Pick(rng_, std::vector<int>{120, -120, 240, -360, 15});
    const Qt::KeyboardModifiers mods =
        Pick(rng_, std::vector<Qt::KeyboardModifiers>{{}, Qt::ControlModifier, Qt::ShiftModifier});
    Say(QStringLiteral("wheel %1 at %2,%3").arg(delta).arg(p.x()).arg(p.y()));
    QWheelEvent e(p, w->CurvePanel->mapToGlobal(p), {}, {0, delta}, Qt::NoButton, mods, Qt::NoScrollPhase,
                  false);
    QApplication::sendEvent(w->CurvePanel, &e);
}

// The visible windows other than the curve windows: dialogs, tool windows, tables, the help. The
// application lists them in no fixed order; they are put in one (the curve window they belong to, then their
// kind and title) so that a seed repeats its run.
std::vector<QWidget*> ToolWindows(Tcurvewindow* main) {
    const std::vector<Tcurvewindow*> windows = Windows(main);
    auto owner = [&](const QWidget* t) {
        const QWidget* p = t->parentWidget();
        while (p != nullptr && qobject_cast<const Tcurvewindow*>(p) == nullptr) p = p->parentWidget();
        return static_cast<int>(std::find(windows.begin(), windows.end(), p) - windows.begin());
    };
    std::vector<std::tuple<int, QString, QString, QWidget*>> found;
    for (QWidget* t : QApplication::topLevelWidgets())
        // Tooltips come and go with the clock, popups belong to their action.
        if (t->isVisible() && qobject_cast<Tcurvewindow*>(t) == nullptr && t->windowType() != Qt::ToolTip &&
            t->windowType() != Qt::Popup)
            found.emplace_back(owner(t), QString::fromLatin1(t->metaObject()->className()), t->windowTitle(),
                               t);
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::tie(std::get<0>(a), std::get<1>(a), std::get<2>(a)) <
               std::tie(std::get<0>(b), std::get<1>(b), std::get<2>(b));
    });
    std::vector<QWidget*> tools;
    for (const auto& f : found) tools.push_back(std::get<3>(f));
    return tools;
}

void TDriver::ToolWindow() {
    const std::vector<QWidget*> tools = ToolWindows(main_);
    if (tools.empty()) return;
    QWidget* tool = Pick(rng_, tools);
    if (Chance(rng_, 0.1)) {
        Say("close " + tool->objectName() + " " + tool->windowTitle());
        tool->close();
        return;
    }
    Poke(tool, true);
}

void TDriver::TableEdit() {
    std::vector<TCurveEditGrid*> tables;
    for (QWidget* t : ToolWindows(main_))
        if (auto* g = qobject_cast<TCurveEditGrid*>(t)) tables.push_back(g);
    if (tables.empty()) return;
    TCurveEditGrid* table = Pick(rng_, tables);
    TCurveGridModel* model = table->Model();
    const int rows = model->rowCount();
    if (rows == 0) return;
    const int row = Between(rng_, 0, std::min(rows - 1, Chance(rng_, 0.7) ? 20 : rows - 1));
    const int column = Between(rng_, 0, 1);
    const QString at = QStringLiteral("table %1 at %2,%3").arg(table->windowTitle()).arg(row).arg(column);
    const int how = Between(rng_, 0, 9);
    if (how < 3) {
        // Typed into the sheet as a user does: a number key opens the cell, Enter closes it and steps down.
        static const QStringList keys =
            QStringLiteral("Del|Return|Down|Up|PgDown|Ctrl+End|Ctrl+C|Ctrl+X|Ctrl+V|Esc|Tab")
                .split(QLatin1Char('|'));
        TCurveGridView* grid = table->Grid();
        grid->setFocus();
        grid->setCurrentIndex(model->index(row, column));
        if (Chance(rng_, 0.5)) {
            const QString text = Pick(rng_, TypedTexts());
            Say(at + ": type \"" + text + "\" and Enter");
            // Each key goes where a user's key goes: the first opens the cell, the rest reach its editor.
            for (const QChar c : text) {
                QWidget* to = grid->focusWidget() != nullptr ? grid->focusWidget() : grid;
                QTest::keyClick(to, c.toLatin1());
            }
            QTest::keyClick(grid->focusWidget() != nullptr ? grid->focusWidget() : grid, Qt::Key_Return);
        } else {
            const QString key = keys[Between(rng_, 0, static_cast<int>(keys.size()) - 1)];
            Say(at + ": key " + key);
            PressKey(grid, key);
        }
        return;
    }
    if (how < 7) {
        const QString text = Pick(rng_, TypedTexts());
        Say(at + ": := \"" + text + "\"");
        table->Grid()->setCurrentIndex(model->index(row, column));
        model->setData(model->index(row, column), text, Qt::EditRole);
        return;
    }
    std::vector<QAction*> actions;
    for (QAction* a : table->PopupMenu()->actions())
        if (!a->isSeparator() && a->isEnabled()) actions.push_back(a);
    if (actions.empty()) return;
    // The command works on the selection: a random block of cells.
    const int bottom = std::min(rows - 1, row + Between(rng_, 0, 3));
    table->Grid()->setCurrentIndex(model->index(row, column));
    table->Grid()->selectionModel()->select(
        QItemSelection(model->index(row, column), model->index(bottom, Between(rng_, column, 1))),
        QItemSelectionModel::ClearAndSelect);
    QAction* a = Pick(rng_, actions);
    Say(QStringLiteral("table %1: rows %2-%3 %4")
            .arg(table->windowTitle())
            .arg(row)
            .arg(bottom)
            .arg(a->objectName()));
    a->trigger();
}

void TDriver::OutsideClipboard() {
    auto* mime = new QMimeData;
    const int r = Between(rng_, 0, 4);
    if (r == 0) {
        mime->setText(
            Pick(rng_, std::vector<QString>{"1 2\n3 4\n5\n", "1,2,3,4", "time\tvalue\n0\t1\n1\t-2e5\n",
                                            "no numbers at all", "1e999 2\n3 4", ""}));
    } else if (r == 1) {
        QByteArray block(4 + 16 * 3, '\0');
        const int32_t n = Chance(rng_, 0.7) ? 3 : 1000;
        std::memcpy(block.data(), &n, 4);
        for (int k = 0; k < 6; ++k) {
            const double v = Pick(rng_, std::vector<double>{0.0, 1.5, -2.0, 1e100, 5e-324, NAN, INFINITY});
            std::memcpy(block.data() + 4 + 8 * k, &v, 8);
        }
        mime->setData(QStringLiteral("BinaryCurve"), block);
    } else if (r == 2) {
        mime->setImageData(QImage(20, 20, QImage::Format_RGB32));
    } else {
        QString text;
        for (int i = 0; i < Between(rng_, 1, 50); ++i)
            text += QStringLiteral("%1\t%2\r\n").arg(i * 0.1).arg(std::sin(i * 0.1), 0, 'e', 7);
        mime->setText(text);
    }
    Say(QStringLiteral("another program puts %1 on the clipboard").arg(mime->formats().join(',')));
    QApplication::clipboard()->setMimeData(mime);
}

void TDriver::Drop(Tcurvewindow* w) {
    const std::vector<Tcurvewindow*> windows = Windows(main_);
    Tcurvewindow* from = Pick(rng_, windows);
    std::unique_ptr<QMimeData> mime;
    QWidget* onto = w->CurvePanel;
    if (Chance(rng_, 0.5) && from->CurvePanel->ActiveCurve() != nullptr) {
        Say(QStringLiteral("drag the active curve of window %1 onto another")
                .arg(static_cast<int>(std::find(windows.begin(), windows.end(), from) - windows.begin())));
        mime.reset(from->CurvePanel->MakeDragData());
    } else {
        const QString file = dir_.filePath(
            Pick(rng_, std::vector<QString>{"peak.dat", "big.dat", "junk.bin", "one.dat", "missing.dat"}));
        Say("drop the file " + file);
        mime = std::make_unique<QMimeData>();
        mime->setUrls({QUrl::fromLocalFile(file)});
        onto = w;
    }
    const QPoint p = RandomPoint(rng_, w->CurvePanel);
    QDragEnterEvent enter(p, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(onto, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(p, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(onto, &drop);
}

void TDriver::ChooseActive(Tcurvewindow* w) {
    const int n = w->CurvePicker->count();
    if (n == 0) return;
    const int k = Between(rng_, 0, n - 1);
    Say(QStringLiteral("choose %1 in the active picker").arg(k));
    w->CurvePicker->setCurrentIndex(k);
    emit w->CurvePicker->activated(k);
}

void TDriver::Undo(Tcurvewindow* w) {
    Say("command Undo1");
    w->Action(QStringLiteral("Undo1"))->trigger();
}

void TDriver::Redo(Tcurvewindow* w) {
    Say("command Redo1");
    w->Action(QStringLiteral("Redo1"))->trigger();
}

void TDriver::Watch(Tcurvewindow* w) {
    TUndoHistory* h = &w->CurvePanel->History();
    if (stepped_.contains(h)) return;
    stepped_[h] = {0, 0};
    QObject::connect(h, &TUndoHistory::Changed, h,
                     [this, h](bool walked) { ++(walked ? stepped_[h].second : stepped_[h].first); });
    QObject::connect(h, &QObject::destroyed, [this, h] { stepped_.erase(h); });
}

void TDriver::Activate(Tcurvewindow* w) {
    Say("activate a window");
    QApplication::setActiveWindow(w);
    w->raise();
}

void TDriver::PopupItem(QMenu* menu) {
    std::vector<QAction*> items;
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->isEnabled() && a->isVisible() && a->menu() == nullptr) items.push_back(a);
    if (items.empty() || Chance(rng_, 0.2)) {
        Say("close the popup menu");
        menu->close();
        return;
    }
    QAction* a = Pick(rng_, items);
    Say("popup item " + a->objectName());
    menu->close();
    a->trigger();
}

void TDriver::FitPanelAction(Tcurvewindow* w) {
    TFitDlg* panel = w->FitPanel;
    if (panel == nullptr || !panel->isVisible()) {
        QAction* open = w->Action(QStringLiteral("Fit1"));
        if (!open->isEnabled()) return;
        Say("command Fit1");
        open->trigger();
        return;
    }
    const int r = Between(rng_, 0, 9);
    if (r < 4) {
        // A term from the chooser: a built-in type or a library function, with or without initial guesses.
        panel->AddBtn->click();
        TAddPeakDlg* chooser = panel->Chooser();
        if (chooser == nullptr || !chooser->isVisible() || chooser->FunctionList->count() == 0) return;
        const int k = Between(rng_, 0, chooser->FunctionList->count() - 1);
        chooser->FunctionList->setCurrentRow(k);
        chooser->OrderEdit->setValue(
            Between(rng_, chooser->OrderEdit->minimum(), chooser->OrderEdit->maximum()));
        chooser->InitFitCheck->setChecked(Chance(rng_, 0.7));
        Say(QStringLiteral("fit panel: add term %1 (%2)").arg(k).arg(chooser->FunctionList->item(k)->text()));
        chooser->AddBtn->click();
    } else if (r < 6) {
        // The fit; ServeModal may abort it between its iterations.
        Say("fit panel: Fit");
        panel->FitBtn->click();
    } else if (r < 7) {
        // A bound of the fit range picked on the plot.
        QPushButton* bound = Chance(rng_, 0.5) ? panel->RangeLeftBtn : panel->RangeRightBtn;
        const QPoint p = RandomPoint(rng_, w->CurvePanel);
        Say(QStringLiteral("fit panel: %1, then click at %2,%3").arg(bound->text()).arg(p.x()).arg(p.y()));
        bound->click();
        QTest::mouseClick(w->CurvePanel, Qt::LeftButton, {}, p);
    } else if (r < 8) {
        // A user function defined in the chooser's editor (a modal dialog: ServeModal types into it).
        panel->AddBtn->click();
        TAddPeakDlg* chooser = panel->Chooser();
        if (chooser == nullptr || !chooser->isVisible()) return;
        Say("fit panel: define a function");
        chooser->DefineBtn->click();
    } else {
        QPushButton* b =
            Pick(rng_, std::vector<QPushButton*>{panel->StepBtn, panel->InitBtn, panel->CurveGen,
                                                 panel->RemoveBtn, panel->ClearAllBtn, panel->Settings});
        if (!b->isEnabled()) return;
        Say("fit panel: press " + b->text());
        b->click();
    }
}

void TDriver::Poke(QWidget* root, bool pushButtons) {
    std::vector<QWidget*> controls;
    for (QWidget* c : root->findChildren<QWidget*>()) {
        if (!c->isVisible() || !c->isEnabled()) continue;
        // The line edit inside a spin box or combo box is reached through its owner.
        if (qobject_cast<QLineEdit*>(c) != nullptr &&
            (qobject_cast<QAbstractSpinBox*>(c->parentWidget()) != nullptr ||
             qobject_cast<QComboBox*>(c->parentWidget()) != nullptr))
            continue;
        const bool button = qobject_cast<QAbstractButton*>(c) != nullptr;
        if ((button && (pushButtons || qobject_cast<QPushButton*>(c) == nullptr)) ||
            qobject_cast<QLineEdit*>(c) != nullptr || qobject_cast<QAbstractSpinBox*>(c) != nullptr ||
            qobject_cast<QComboBox*>(c) != nullptr || qobject_cast<QTabWidget*>(c) != nullptr ||
            qobject_cast<QListWidget*>(c) != nullptr)
            controls.push_back(c);
    }
    if (controls.empty()) return;
    QWidget* c = Pick(rng_, controls);
    const QString where = root->windowTitle() + " / " +
                          (c->objectName().isEmpty() ? c->metaObject()->className() : c->objectName());
    if (auto* b = qobject_cast<QAbstractButton*>(c)) {
        Say(where + ": press " + b->text());
        b->click();
    } else if (auto* e = qobject_cast<QLineEdit*>(c)) {
        if (Chance(rng_, 0.2)) {
            // A numeric field also follows drags of the mouse.
            const QPoint from(e->width() / 2, e->height() / 2);
            const int dy = Between(rng_, -200, 200);
            Say(QStringLiteral("%1: drag by %2").arg(where).arg(dy));
            QTest::mousePress(e, Qt::LeftButton, {}, from);
            QTest::mouseMove(e, from + QPoint(0, dy / 2));
            QTest::mouseMove(e, from + QPoint(0, dy));
            QTest::mouseRelease(e, Qt::LeftButton, {}, from + QPoint(0, dy));
            return;
        }
        const QString text = Pick(rng_, TypedTexts());
        Say(where + ": type \"" + text + "\"");
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
        if (Chance(rng_, 0.5)) QTest::keyClick(e, Qt::Key_Return);
    } else if (auto* s = qobject_cast<QSpinBox*>(c)) {
        const int v = Between(rng_, s->minimum(), s->maximum());
        Say(QStringLiteral("%1: set %2").arg(where).arg(v));
        s->setValue(v);
    } else if (auto* d = qobject_cast<QDoubleSpinBox*>(c)) {
        const double v = std::uniform_real_distribution<double>(d->minimum(), d->maximum())(rng_);
        Say(QStringLiteral("%1: set %2").arg(where).arg(v));
        d->setValue(v);
    } else if (auto* box = qobject_cast<QComboBox*>(c)) {
        if (box->count() == 0) return;
        const int k = Between(rng_, 0, box->count() - 1);
        Say(QStringLiteral("%1: choose %2").arg(where).arg(k));
        box->setCurrentIndex(k);
        emit box->activated(k);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
        const int k = Between(rng_, 0, tabs->count() - 1);
        Say(QStringLiteral("%1: page %2").arg(where).arg(k));
        tabs->setCurrentIndex(k);
    } else if (auto* list = qobject_cast<QListWidget*>(c)) {
        if (list->count() == 0) return;
        const int k = Between(rng_, 0, list->count() - 1);
        Say(QStringLiteral("%1: select item %2").arg(where).arg(k));
        list->item(k)->setSelected(!list->item(k)->isSelected());
    }
}

void TDriver::Later(QWidget* target, std::function<void()> act) {
    pending_ = true;
    QPointer<QWidget> alive(target);
    QTimer::singleShot(0, &serve_, [this, alive, act = std::move(act)] {
        pending_ = false;
        if (alive != nullptr && alive->isVisible()) act();
    });
}

void TDriver::ServeModal() {
    // A fit that runs lets the user press Abort between its iterations.
    for (Tcurvewindow* w : Windows(main_))
        if (w->FitPanel != nullptr && w->FitPanel->Running() && w->FitPanel->AbortBtn->isEnabled() &&
            Chance(rng_, 0.05)) {
            Say("press Abort");
            w->FitPanel->AbortBtn->click();
        }
    if (pending_) return;
    if (QWidget* popup = QApplication::activePopupWidget()) {
        if (auto* menu = qobject_cast<QMenu*>(popup))
            Later(menu, [this, menu] { PopupItem(menu); });
        else
            popup->close();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    if (modal != modal_) {
        modal_ = modal;
        modalTicks_ = 0;
        modalRounds_ = Between(rng_, 0, 3);
        Say("in " + modal->windowTitle());
    }
    ++modalTicks_;
    if (modalRounds_-- > 0) {
        Later(modal, [this, modal] { Poke(modal, false); });
        return;
    }
    // Closed by one of its buttons, or as its window's close button does; a dialog that stays open after a
    // few buttons (they were not the closing ones) is cancelled.
    std::vector<QPushButton*> buttons;
    for (QPushButton* b : modal->findChildren<QPushButton*>())
        if (b->isVisible() && b->isEnabled()) buttons.push_back(b);
    if (!buttons.empty() && modalTicks_ < 12 && Chance(rng_, 0.9)) {
        QPushButton* b = Pick(rng_, buttons);
        Say("press " + b->text());
        Later(b, [b] { b->click(); });
    } else if (auto* d = qobject_cast<QDialog*>(modal)) {
        Say("cancel the dialog");
        Later(d, [d] { d->reject(); });
    } else {
        Say("close the window");
        Later(modal, [modal] { modal->close(); });
    }
    modalRounds_ = Between(rng_, 0, 1);
}

void TDriver::Say(const QString& what) {
    log_.push_back(acting_ ? "    " + what : QStringLiteral("#%1 %2").arg(step_).arg(what));
    acting_ = true;
    const QByteArray text = log_.back().toUtf8().left(sizeof watchdogText - 1);
    std::memcpy(watchdogText, text.constData(), static_cast<size_t>(text.size()) + 1);
    while (log_.size() > 60) {
        log_.pop_front();
        if (logged_ > 0) --logged_;
    }
}

std::map<const Tcurvewindow*, TWindowState> TDriver::Snapshot() const {
    std::map<const Tcurvewindow*, TWindowState> all;
    for (const Tcurvewindow* w : Windows(main_)) {
        TWindowState& s = all[w];
        TCurvePanel* p = w->CurvePanel;
        for (int32_t i = 1; i <= p->CurveCount(); ++i) {
            const TPoints points = TPoints::Of(*p->Curve(i));
            std::string bytes(reinterpret_cast<const char*>(points.x.data()),
                              points.x.size() * sizeof(double));
            bytes.append(reinterpret_cast<const char*>(points.y.data()), points.y.size() * sizeof(double));
            s.curves.push_back(std::move(bytes));
        }
        std::sort(s.curves.begin(), s.curves.end());
        s.index = p->History().Stack().index();
    }
    return all;
}

namespace {
bool Finite(const TCurveB& c) {
    for (int32_t i = 1; i <= c.Count(); ++i)
        if (!std::isfinite(c.X(i)) || !std::isfinite(c.Y(i))) return false;
    return true;
}
} // namespace

bool TDriver::Check(const std::map<const Tcurvewindow*, TWindowState>& before) {
    const std::vector<Tcurvewindow*> windows = Windows(main_);
    for (auto it = claims_.begin(); it != claims_.end();)
        it = std::find(windows.begin(), windows.end(), it->first) == windows.end() ? claims_.erase(it) : ++it;
    for (size_t k = 0; k < windows.size(); ++k) {
        Tcurvewindow* w = windows[k];
        TCurvePanel* p = w->CurvePanel;
        const QString where = QStringLiteral("window %1: ").arg(k);
        if (p->CurveCount() < 0 || p->CurveCount() > TCurvePanel::MaxCurves)
            return Fail(where + QStringLiteral("%1 curves").arg(p->CurveCount()));
        std::vector<const TPlottedCurve*> ids;
        for (int32_t i = 1; i <= p->CurveCount(); ++i) {
            ids.push_back(p->Curve(i));
            if (!Finite(*p->Curve(i)))
                return Fail(where + QStringLiteral("curve #%1 holds a value that is not finite").arg(i));
        }
        const TGrid& g = p->Grid();
        if (!std::isfinite(g.WorldMin.x) || !std::isfinite(g.WorldMin.y) || !std::isfinite(g.WorldMax.x) ||
            !std::isfinite(g.WorldMax.y))
            return Fail(where + QStringLiteral("the axes' range is not finite: x %1 to %2, y %3 to %4")
                                    .arg(g.WorldMin.x)
                                    .arg(g.WorldMax.x)
                                    .arg(g.WorldMin.y)
                                    .arg(g.WorldMax.y));

        const auto was = before.find(w);
        if (was == before.end()) continue; // a window made by this action
        const TWindowState& b = was->second;
        const TWindowState now = Snapshot().at(w);
        const QUndoStack& stack = p->History().Stack();
        std::vector<TStepClaim>& claims = claims_[w];
        const auto [recorded, walked] = stepped_[&p->History()];
        if (recorded == 1 && walked == 0 && now.index == b.index + 1) {
            claims.resize(static_cast<size_t>(b.index));
            claims.push_back({b.curves, now.curves});
            ++Counts["steps recorded"];
        } else if (recorded > 0) {
            // Several steps, a step replacing the last, or the oldest dropped: what they stand for is not
            // followed.
            claims.assign(static_cast<size_t>(stack.count()), {});
        } else if (walked > 0) {
            const size_t at = static_cast<size_t>(std::min(now.index, b.index));
            const bool oneStep = std::abs(now.index - b.index) == 1 && at < claims.size();
            const bool undo = now.index < b.index;
            if (oneStep) {
                const std::optional<TCurvesBytes>& expected = undo ? claims[at].before : claims[at].after;
                if (expected && *expected != now.curves)
                    return Fail(where +
                                (undo ? QStringLiteral("Undo of step %1 (%2) did not bring the curves back "
                                                       "as they were before it")
                                      : QStringLiteral("Redo of step %1 (%2) did not bring the curves back "
                                                       "as they were after it"))
                                    .arg(at + 1)
                                    .arg(stack.text(static_cast<int>(at))));
                if (expected) ++Counts[undo ? "undos checked" : "redos checked"];
            }
        } else if (now.curves != b.curves) {
            // Curves changed outside the history (files loaded, a new curve given up).
            claims.assign(static_cast<size_t>(stack.count()), {});
        }
    }
    return true;
}

bool AnyButtonDown() {
    for (QWidget* t : QApplication::topLevelWidgets())
        if (t->isVisible())
            for (const QAbstractButton* b : t->findChildren<QAbstractButton*>())
                if (b->isDown()) return true;
    return false;
}

bool TDriver::Step(long n) {
    step_ = n;
    acting_ = false;
    pending_ = false;
    logged_ = log_.size();
    lastBeat = Now();
    currentStep = n;
    for (Tcurvewindow* x : Windows(main_)) Watch(x);
    for (auto& [history, counts] : stepped_) counts = {0, 0};
    const auto before = Snapshot();
    msg_.Said.clear();
    const std::vector<Tcurvewindow*> windows = Windows(main_);
    Tcurvewindow* w = Pick(rng_, windows);
    ++Counts["window " + QString::number(std::find(windows.begin(), windows.end(), w) - windows.begin())];
    serve_.start();
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        ++Counts["popup"];
        PopupItem(menu);
    } else {
        // The kinds of action with their weights (in percent). A new kind joins the table; the fit panel's
        // own actions are in FitPanelAction, and its controls are reached by ToolWindow as every tool
        // window's.
        struct TKind {
            int weight;
            const char* name;
            std::function<void()> run;
        };
        const TKind kinds[] = {
            {28, "command", [&] { Command(w); }},  {10, "key", [&] { Key(w); }},
            {10, "click", [&] { Click(w); }},      {6, "drag", [&] { Drag(w); }},
            {3, "wheel", [&] { Wheel(w); }},       {12, "tool window", [&] { ToolWindow(); }},
            {8, "table", [&] { TableEdit(); }},    {3, "clipboard", [&] { OutsideClipboard(); }},
            {3, "drop", [&] { Drop(w); }},         {3, "active picker", [&] { ChooseActive(w); }},
            {2, "activate", [&] { Activate(w); }}, {5, "fit panel", [&] { FitPanelAction(w); }},
            {5, "undo", [&] { Undo(w); }},         {2, "redo", [&] { Redo(w); }}};
        int r = Between(rng_, 0, 99);
        size_t k = 0;
        while (r >= kinds[k].weight && k + 1 < std::size(kinds)) r -= kinds[k++].weight;
        kinds[k].run();
        ++Counts[kinds[k].name];
    }
    if (!acting_) Say("(nothing to do)");
    // A button pressed by Enter (a dialog's default button) clicks a moment later, by the clock: that click
    // belongs to this action, and whatever it opens is served too.
    for (int k = 0; k < 100 && AnyButtonDown(); ++k) QTest::qWait(5);
    // The program goes on: windows closed by the action go, and the event loop turns.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    serve_.stop();
    for (const QString& said : msg_.Said) log_.push_back("    -> " + said);
    if (Verbose)
        for (size_t k = logged_; k < log_.size(); ++k) std::printf("%s\n", qPrintable(log_[k]));
    if (QApplication::activeModalWidget() != nullptr)
        return Fail("a modal dialog stayed open after the action");
    return Check(before);
}

} // namespace

int main(int argc, char* argv[]) {
    uint64_t seed = std::random_device{}();
    long count = 300;
    double seconds = 1e9;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--verbose") {
            verbose = true;
            continue;
        }
        if (i + 1 >= argc) break;
        if (option == "--seed")
            seed = std::stoull(argv[i + 1]);
        else if (option == "--count")
            count = std::stol(argv[i + 1]);
        else if (option == "--seconds")
            seconds = std::stod(argv[i + 1]);
        ++i;
    }
    // The windows show on no screen; preferences and the function library stay in a folder of this run.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
    // The offscreen platform says so at every window it cannot raise or size: no news here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (text.startsWith(QLatin1String("This plugin does not support"))) return;
        std::fprintf(stderr, "%s%s\n", type == QtDebugMsg ? "" : "Qt: ", qPrintable(text));
        if (type == QtFatalMsg) std::abort();
    });
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Graphmill"));
    QApplication::setQuitOnLastWindowClosed(false);
    QDir files(home.path());
    files.mkdir("files");
    files.cd("files");

    // An action that does not come back is a hung program.
    lastBeat = Now();
    std::thread([seed] {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            if (Now() - lastBeat > 300) {
                std::fprintf(stderr, "seed %llu: action %ld did not end within 300 s: %s\n",
                             static_cast<unsigned long long>(seed), currentStep.load(), watchdogText);
                std::_Exit(3);
            }
        }
    }).detach();

    std::printf("seed %llu\n", static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    long done = 0;
    {
        TDriver driver(seed, files);
        driver.Verbose = verbose;
        for (long n = 1; n <= count && clock.elapsed() < seconds * 1000; ++n) {
            if (!driver.Step(n)) {
                std::fprintf(stderr, "seed %llu: action %ld of --count %ld: %s\nThe last actions:\n",
                             static_cast<unsigned long long>(seed), n, count, qPrintable(driver.Failure));
                driver.PrintLog();
                return 1;
            }
            done = n;
        }
        for (const auto& [kind, k] : driver.Counts) std::printf("%-16s %ld\n", qPrintable(kind), long(k));
        std::printf("messages and dialogs answered: %d\n", driver.Answered());
    }
    // The shared dialogs go when the application quits.
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    QApplication::exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::printf("seed %llu: %ld actions in %.0f s, clean\n", static_cast<unsigned long long>(seed), done,
                clock.elapsed() / 1000.0);
    return 0;
}
