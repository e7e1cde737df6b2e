#include "app/curvewin.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Without a session bus (a bare X server, a remote display) libdbus starts one of its own: Qt's D-Bus
    // thread forks dbus-launch while the program is still loading its files, and the daemon it leaves runs on
    // after the program has ended. Nothing in the program needs D-Bus, so where the desktop offers no bus it
    // is not looked for; a desktop's own bus is used as before.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArrayLiteral("disabled:"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Graphmill"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    // The arguments are curve files, loaded into the main window when it first shows.
    Tcurvewindow mainWindow(QApplication::arguments().mid(1));
    mainWindow.show();
    return QApplication::exec();
}
