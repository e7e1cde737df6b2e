#include "app/curvewin.h"
#include "app/recovery.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

namespace {
const char HelpText[] =
    "Usage: graphmill [OPTION]... [FILE]...\n"
    "Views and analyses two-dimensional curves. Opens a curve window with the curves of the FILEs\n"
    "(ASCII text, one point per line: x and y, or y alone) in it; a FILE ending in .gmsession is a saved\n"
    "session, whose windows open as they were.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "The window system options of Qt are taken too: -platform NAME (xcb, wayland, offscreen),\n"
    "-display DISPLAY, -style STYLE, -geometry GEOMETRY.\n"
    "\n"
    "Files:\n"
    "  $XDG_CONFIG_HOME/Graphmill.ini (~/.config/Graphmill.ini)  the preferences\n"
    "  $XDG_DATA_HOME/Graphmill (~/.local/share/Graphmill)  the user function library, and the\n"
    "      recovery session (recovery.gmsession) kept while curves are unsaved; after an abnormal end\n"
    "      the next start offers to restore it\n"
    "\n"
    "Environment:\n"
    "  GRAPHMILL_RECOVERY_INTERVAL  seconds between writes of the recovery session (60)\n"
    "\n"
    "Exit status:\n"
    "  0  the main window was closed\n"
    "  1  no display could be opened\n"
    "\n"
    "The user guide is under Help > Contents; graphmill-cli runs the same operations on curve files\n"
    "from scripts.\n";

// --help and --version are answered before the window system layer starts, so that they work without a
// display (on a server, in a package build). Returns whether the argument was one of them.
bool AnswerInfoOption(const char* arg) {
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        std::fputs(HelpText, stdout);
        return true;
    }
    if (std::strcmp(arg, "--version") == 0) {
        std::printf("graphmill %s\n", GRAPHMILL_VERSION);
        return true;
    }
    return false;
}

// Whether the window system layer will draw through an X display: the platform asked for on the command line
// or in the environment, else the one of the desktop session.
bool DrawsOnX11(int argc, char* argv[]) {
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            platform = argv[i + 1];
    if (!platform.isEmpty()) return platform.startsWith("xcb");
    return qgetenv("XDG_SESSION_TYPE") != "wayland";
}

// A connection to the X display held from before the window system layer connects until after it has. An X
// server whose last client has left resets itself and refuses connections meanwhile: a program started just
// as another one ended (a script starting it again on a virtual display) found the server resetting, and the
// window system layer gave up with an abort before any window appeared. A refused display is asked again for
// a moment; holding this connection keeps the server from resetting before the program's own is made.
class TDisplayHold {
public:
    TDisplayHold() {
        using namespace std::chrono_literals;
        for (int attempt = 0; attempt < 30; ++attempt) {
            connection_ = xcb_connect(nullptr, nullptr);
            const int error = xcb_connection_has_error(connection_);
            if (error == 0) return;
            xcb_disconnect(connection_);
            connection_ = nullptr;
            // A missing or malformed display name does not mend itself.
            if (error == XCB_CONN_CLOSED_PARSE_ERR) return;
            std::this_thread::sleep_for(50ms);
        }
    }
    ~TDisplayHold() {
        if (connection_ != nullptr) xcb_disconnect(connection_);
    }
    TDisplayHold(const TDisplayHold&) = delete;
    TDisplayHold& operator=(const TDisplayHold&) = delete;

    bool Connected() const { return connection_ != nullptr; }

private:
    xcb_connection_t* connection_ = nullptr;
};
} // namespace

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (AnswerInfoOption(argv[i])) return 0;
    // Without a session bus (a bare X server, a remote display) libdbus starts one of its own: Qt's D-Bus
    // thread forks dbus-launch while the program is still loading its files, and the daemon it leaves runs on
    // after the program has ended. Nothing in the program needs D-Bus, so where the desktop offers no bus it
    // is not looked for; a desktop's own bus is used as before.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArrayLiteral("disabled:"));
    std::optional<TDisplayHold> display;
    if (DrawsOnX11(argc, argv)) {
        display.emplace();
        if (!display->Connected()) {
            const QByteArray name = qgetenv("DISPLAY");
            if (name.isEmpty())
                std::fprintf(stderr, "graphmill: no X display to open the window on (DISPLAY is not set)\n");
            else
                std::fprintf(stderr, "graphmill: the X display \"%s\" cannot be reached\n", name.constData());
            return 1;
        }
    }
    QApplication app(argc, argv);
    display.reset();
    QApplication::setApplicationName(QStringLiteral("Graphmill"));
    QApplication::setApplicationVersion(QStringLiteral(GRAPHMILL_VERSION));
    // Lets the desktop match the windows to the menu entry (its icon and name in the task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral(GRAPHMILL_APP_ID));
    // The arguments are curve files, loaded into the main window when it first shows.
    Tcurvewindow mainWindow(QApplication::arguments().mid(1));
    mainWindow.show();
    TRecovery recovery(mainWindow, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                       TRecovery::IntervalMs());
    QTimer::singleShot(0, &recovery, &TRecovery::Start);
    const int status = QApplication::exec();
    recovery.Finish();
    return status;
}
