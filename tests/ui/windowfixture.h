// What the tests of a curve window share: the user's answers scripted, a fresh window shown for each test, a
// temporary folder, the window's commands by name, typing into fields and the batch tool's output.
#pragma once

#include "app/curvewin.h"
#include "curves/curvesb.h"
#include "scriptedmessages.h"

#include <QAction>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A curve of the given points; with a name it counts as saved in that file.
inline TCurveB MakeCurve(const std::vector<std::pair<double, double>>& points, const std::string& name = "") {
    TCurveB c;
    for (auto [x, y] : points) c.AddPoint(x, y);
    c.CalcRanges();
    c.FileName = name;
    c.Saved = !name.empty();
    return c;
}

inline void WriteFile(const QString& name, const std::string& text) {
    std::ofstream(name.toStdString()) << text;
}

// What graphmill-cli writes to standard output for these arguments.
inline QByteArray Cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(GRAPHMILL_CLI), args);
    p.waitForFinished();
    return p.readAllStandardOutput();
}

// Into a field: focus, select all, type; Enter confirms it after.
inline void Type(QWidget* edit, const QString& text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}
inline void Enter(QWidget* edit, const QString& text) {
    Type(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

struct TWindowFixture {
    std::unique_ptr<TScriptedMessages> msg;
    std::unique_ptr<Tcurvewindow> win;
    QTemporaryDir dir;

    // Run from initTestCase(): the windows read and write their preferences and the function library in the
    // temporary folder, never the user's, and the test program goes on when its last window closes.
    void IsolateUserFiles() {
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
        QApplication::setApplicationName(QStringLiteral("Graphmill"));
        QApplication::setQuitOnLastWindowClosed(false);
    }
    // Run from init(): fresh answers and a fresh window, shown.
    bool OpenWindow() {
        msg = std::make_unique<TScriptedMessages>();
        win = std::make_unique<Tcurvewindow>();
        win->show();
        return QTest::qWaitForWindowExposed(win.get());
    }
    // Run from cleanup().
    void CloseWindow() {
        win.reset();
        msg.reset();
    }
    QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    // A command of the window (or of another window w) by its object name.
    QAction* A(const char* name, const Tcurvewindow* w = nullptr) const {
        QAction* a = (w != nullptr ? w : win.get())->Action(QLatin1String(name));
        if (a == nullptr) qFatal("no action %s", name);
        return a;
    }
};
