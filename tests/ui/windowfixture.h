// A curve window shown for a test, with scripted message boxes, and small curves to load into it.
#pragma once

#include "app/curvewin.h"
#include "curves/curvesb.h"
#include "scriptedmessages.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <utility>
#include <vector>

// A curve of the given points; with a name it counts as loaded from that file (saved).
inline TCurveB MakeCurve(const std::vector<std::pair<double, double>>& points, const std::string& name = "") {
    TCurveB c;
    for (auto [x, y] : points) c.AddPoint(x, y);
    c.CalcRanges();
    c.FileName = name;
    c.Saved = !name.empty();
    return c;
}

// Test classes derive from it and call Isolate in initTestCase(), Start in init() and Stop in cleanup().
struct TWindowFixture {
    QTemporaryDir home;
    std::unique_ptr<TScriptedMessages> msg;
    std::unique_ptr<Tcurvewindow> win;

    // The windows read and write their preferences in a temporary folder, never the user's, and the test
    // goes on when a window closes.
    void Isolate() {
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
        QApplication::setQuitOnLastWindowClosed(false);
    }

    // The window is up and has the keyboard.
    bool Start() {
        msg = std::make_unique<TScriptedMessages>();
        win = std::make_unique<Tcurvewindow>();
        win->show();
        return QTest::qWaitForWindowActive(win.get());
    }
    void Stop() {
        win.reset();
        msg.reset();
    }
};
