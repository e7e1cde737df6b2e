// Takes the picture of a curve window that the program's metadata shows in software centres: a main window
// with the given curve files, drawn offscreen at a fixed size: screenshot OUT.png WIDTH HEIGHT FILE...
#include "app/curvewin.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

namespace {
// The offscreen platform's notes on what it cannot do are no concern of a build log; faults are.
void FaultsOnly(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "screenshot: %s\n", qPrintable(text));
}
} // namespace

int main(int argc, char* argv[]) {
    qInstallMessageHandler(FaultsOnly);
    // The window reads and writes its preferences and function library in a folder of its own, so that the
    // picture never depends on (or changes) the settings of whoever builds it.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Graphmill"));
    const QStringList args = QApplication::arguments();
    bool wideOk = false, highOk = false;
    const int width = args.value(2).toInt(&wideOk), height = args.value(3).toInt(&highOk);
    if (args.size() < 5 || !wideOk || !highOk || width < 100 || height < 100) {
        std::fprintf(stderr, "usage: screenshot OUT.png WIDTH HEIGHT FILE...\n");
        return 2;
    }
    Tcurvewindow window(args.mid(4));
    window.resize(width, height);
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(args[1], "PNG")) {
        std::fprintf(stderr, "screenshot: %s cannot be written\n", qPrintable(args[1]));
        return 1;
    }
    return 0;
}
