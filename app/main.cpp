#include "app/curvewin.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Graphmill"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    // The arguments are curve files, loaded into the main window when it first shows.
    Tcurvewindow mainWindow(QApplication::arguments().mid(1));
    mainWindow.show();
    return QApplication::exec();
}
