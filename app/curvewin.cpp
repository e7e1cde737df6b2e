#include "app/curvewin.h"

#include "app/GraphmillAbout.h"
#include "app/UserMessages.h"
#include "app/placement.h"
#include "curves/faultguard.h"
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"
#include "plot/w_curve.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

static void InitGraphmillResources() {
    Q_INIT_RESOURCE(graphmill);
}

namespace {
const QString OpenFilter = QStringLiteral("ASCII file (*.dat, *.txt, *.asc, *.lin)");
const QString AnyFilter = QStringLiteral("Any file (*.*)");
const QString ReadyPrompt = QStringLiteral("Operate on the active curve");

// Shows the busy pointer while long work runs.
struct TBusyPointer {
    TBusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyPointer() { QApplication::restoreOverrideCursor(); }
    TBusyPointer(const TBusyPointer&) = delete;
    TBusyPointer& operator=(const TBusyPointer&) = delete;
};

QString ShortName(const std::string& fileName) {
    const QString name = QString::fromStdString(fileName);
    const auto cut = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    return name.mid(cut + 1);
}

// A number in general format with 5 significant digits, exponent written as E-5 or E15.
QString GeneralNumber(double v) {
    QString s = QString::number(v, 'g', 5);
    const auto e = s.indexOf(QLatin1Char('e'));
    if (e < 0) return s;
    QString exponent = s.mid(e + 1);
    QString sign;
    if (exponent.startsWith(QLatin1Char('-'))) sign = QStringLiteral("-");
    exponent.remove(0,
                    exponent.startsWith(QLatin1Char('-')) || exponent.startsWith(QLatin1Char('+')) ? 1 : 0);
    while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0'))) exponent.remove(0, 1);
    return s.left(e) + QStringLiteral("E") + sign + exponent;
}
} // namespace

Tcurvewindow::Tcurvewindow(const QStringList& files, QWidget* parent)
    : QMainWindow(parent), commandLineFiles_(files) {
    InitGraphmillResources();
    setWindowTitle(QStringLiteral("Graphmill"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/graphmill.svg")));
    resize(720, 560);

    StartDir = QDir::currentPath();
    if (!StartDir.isEmpty() && !StartDir.endsWith(QLatin1Char('/'))) StartDir += QLatin1Char('/');
    DataDir = StartDir;

    CurvePanel = new TCurvePanel(this, this);
    CurvePanel->CurveSet().NotifyWindow = this;
    CurvePanel->UndoEnabled = true;
    // The preferences' defaults: black plot background, grey grid lines, red crosshair.
    CurvePanel->Grid().BackgrColor = 0x000000;
    CurvePanel->Grid().color = 0x808080;
    CurvePanel->Grid().gridlines = true;
    CurvePanel->Crosshair.CursorColor = 0x0000FF;
    CurvePanel->OnReadout = [this](const QString& text) { cursorPanel_->setText(text); };
    CurvePanel->OnDoubleClick = [this](QPoint p) { PlotDoubleClick(p); };
    CurvePanel->OnFull = [this] { RefuseWhenFull(); };
    CurvePanel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(CurvePanel, &QWidget::customContextMenuRequested, this, &Tcurvewindow::ShowPopup);

    NewCurveMode = false;
    setAcceptDrops(true);

    BuildActions();
    BuildMenus();
    BuildToolbars();
    BuildStatusArea();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(CurvePanel, 1);
    auto* status = new QWidget(central);
    auto* statusLayout = new QVBoxLayout(status);
    statusLayout->setContentsMargins(2, 2, 2, 2);
    statusLayout->setSpacing(2);
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    row->addWidget(fileNamePanel_, 1);
    row->addWidget(cursorPanel_);
    row->addWidget(activePanel_);
    statusLayout->addLayout(row);
    statusLayout->addWidget(statusLine_);
    layout->addWidget(status);
    setCentralWidget(central);

    CurvePanel->FillCurveCombo(*CurvePicker, false);
    EnableCurveCommands(false);
    qApp->installEventFilter(this);
    FirstShow = true;
}

Tcurvewindow::~Tcurvewindow() {
    qApp->removeEventFilter(this);
    Unlink();
}

// ---------------------------------------------------------------- building

QAction* Tcurvewindow::MakeAction(const QString& name, const QString& caption, const QString& hint,
                                  const QKeySequence& shortcut) {
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    // A hint has a short part (the tooltip) and a long part after "|" (the status line); a hint without "|"
    // serves as both.
    const auto bar = hint.indexOf(QLatin1Char('|'));
    a->setToolTip(bar < 0 ? hint : hint.left(bar));
    a->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    actions_[name] = a;
    return a;
}

QAction* Tcurvewindow::Action(const QString& name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void Tcurvewindow::SetChecked(const QString& name, bool on) {
    if (QAction* a = Action(name)) {
        const QSignalBlocker block(a);
        a->setChecked(on);
    }
}

void Tcurvewindow::BuildActions() {
    auto icon = [](const char* name) {
        return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
    };
    auto later = [](QAction* a) { a->setVisible(false); }; // commands that are not built yet

    // File menu
    later(MakeAction("NewCurve1", "&New curve", "Enter data or define a function for a new curve",
                     QKeySequence("Ctrl+N")));
    connect(MakeAction("Open1", "&Open", "Open an ASCII curve file", QKeySequence("Ctrl+O")),
            &QAction::triggered, this, &Tcurvewindow::OpenCurve);
    connect(MakeAction("Save1", "&Save", "Save the active curve as an ASCII file", QKeySequence("Ctrl+S")),
            &QAction::triggered, this, [this] { SaveCurve(CurvePanel->ActiveIndex()); });
    connect(MakeAction("SaveAs1", "Save &As", "Save active curve under a different filename",
                       QKeySequence("Ctrl+W")),
            &QAction::triggered, this, [this] { SaveCurveAs(CurvePanel->ActiveIndex()); });
    connect(MakeAction("Close1", "&Close", "Close the active curve"), &QAction::triggered, this,
            &Tcurvewindow::DeleteCurve);
    connect(MakeAction("Closeall1", "&Close al&l", "Close all curves"), &QAction::triggered, this,
            &Tcurvewindow::ClearAll);
    later(MakeAction("Print1", "&Print...", "Print the graph on the currently selected printer",
                     QKeySequence("Ctrl+P")));
    later(MakeAction("PrintSetup1", "P&rint Setup...", "Setup the printer"));
    connect(MakeAction("Exit1", "E&xit", "Quit Graphmill", QKeySequence("Ctrl+Q")), &QAction::triggered, this,
            &Tcurvewindow::Exit);

    // Edit menu
    QAction* undo = MakeAction("Undo1", "&Undo", "Undo last operation", QKeySequence("Ctrl+Z"));
    undo->setEnabled(false);
    connect(undo, &QAction::triggered, this, &Tcurvewindow::UndoLast);
    later(MakeAction("Cut1", "Cu&t", "Remove active curve from screen and copy to clipboard",
                     QKeySequence("Ctrl+X")));
    later(MakeAction("Copy1", "&Copy", "Copy active curve to clipboard", QKeySequence("Ctrl+C")));
    later(MakeAction("Paste1", "&Paste", "Paste curve data from the clipboard, creating a new curve",
                     QKeySequence("Ctrl+V")));
    connect(MakeAction("Delete1", "&Delete", "Remove the active curve", QKeySequence(Qt::Key_Delete)),
            &QAction::triggered, this, &Tcurvewindow::DeleteCurve);
    connect(MakeAction("Clearall1", "Clear a&ll", "Remove all curves from the screen"), &QAction::triggered,
            this, &Tcurvewindow::ClearAll);
    later(MakeAction("Curvedata1", "Cu&rve data", "Edit the active curve data using a spreadsheet table"));
    later(MakeAction("Curvedisplay1", "Curve displa&y", "Change the appearance of the active curve"));
    later(MakeAction("Axes1", "&Axes", "Edit the axes attributes (range, title, type)"));
    later(MakeAction("Preferences1", "&Preferences", "Set Graphmill preferences"));

    // View menu
    QAction* cursor = MakeAction("Cursor1", "&Cursor", "Turn on the crosshair cursor");
    cursor->setCheckable(true);
    connect(cursor, &QAction::triggered, this, &Tcurvewindow::SwitchCursor);
    connect(MakeAction("In1", "In", "Zoom window in (requires you to click-and-drag)"), &QAction::triggered,
            this, [this] { ZoomIn(true); });
    connect(MakeAction("Out1", "Out", "Zoom window out"), &QAction::triggered, this, &Tcurvewindow::ZoomOut);
    QAction* autoUpdate =
        MakeAction("Rangeautoupdate1", "&Range auto-update", "Sets window range auto-update mode");
    autoUpdate->setCheckable(true);
    autoUpdate->setChecked(true);
    connect(autoUpdate, &QAction::triggered, this, &Tcurvewindow::SetAutoUpdate);
    QAction* toolbar = MakeAction("toolbar1", "toolbar", "");
    toolbar->setCheckable(true);
    toolbar->setChecked(true);
    connect(toolbar, &QAction::triggered, this, &Tcurvewindow::ShowToolbar);

    // Operate menu; the hints are the long parts of the toolbar hints.
    connect(MakeAction("Integral1", "Integral", "Integrate the active curve"), &QAction::triggered, this,
            [this] { Operate(TOperation::Integral); });
    connect(MakeAction("Derivative1", "Derivative", "Take the derivative of the active curve"),
            &QAction::triggered, this, [this] { Operate(TOperation::Derivative); });
    connect(MakeAction("X1", "*X", "Multiply Y values of the acitve curve by X values"), &QAction::triggered,
            this, [this] { Operate(TOperation::TimesX); });
    connect(MakeAction("Inverse1", "Inverse", "Take the reciprocal of each point in the active curve"),
            &QAction::triggered, this, [this] { Operate(TOperation::Inverse); });
    connect(MakeAction("Logarithm1", "Logarithm", "Common logarithm of the active curve values"),
            &QAction::triggered, this, [this] { Operate(TOperation::Log); });
    later(MakeAction("Curveconstant1", "Curve*constant",
                     "Perform a math operation between a constant and the active curve"));
    later(MakeAction("Fit1", "Fit", "Open non-linear curve fitting panel", QKeySequence("Ctrl+F")));
    later(MakeAction("FFT1", "FFT", "Open fast Forrier transform dialog"));
    later(MakeAction("Interpolate1", "Interpolate", "Open data interpolation dialog"));
    connect(MakeAction("Removerange1", "Remove range", "Remove a range of data from the active curve"),
            &QAction::triggered, this, &Tcurvewindow::BeginRemoveRange);
    later(MakeAction("Smooth1", "Smooth/Regression", "Opens smoothing dialog", QKeySequence("Ctrl+R")));
    later(MakeAction("Averagecurves1", "Average curves", "Average several curves", QKeySequence("Ctrl+A")));
    later(MakeAction("Curvemath1", "Curve math", "Perform a math operation between two curves"));

    // Window and Help menus
    connect(MakeAction("Cascade1", "&Cascade", "Cascade all curve windows"), &QAction::triggered, this,
            &Tcurvewindow::Cascade);
    connect(MakeAction("Tile1", "&Tile", "Tile all curve windows"), &QAction::triggered, this, [this] {
        const QScreen* s = screen();
        Tile(s != nullptr ? s->availableGeometry().size() : QSize(1024, 768));
    });
    connect(MakeAction("NewWindow1", "New &Window", "Open a new curve window"), &QAction::triggered, this,
            &Tcurvewindow::NewWindow);
    connect(MakeAction("CloseWindow1", "C&lose Window", "Close this curve window"), &QAction::triggered, this,
            &QWidget::close);
    connect(MakeAction("About1", "&About...", "About Graphmill"), &QAction::triggered, this,
            &Tcurvewindow::About);
    later(MakeAction("Contents1", "&Contents", "Open help file contents"));

    // Toolbar buttons, band 1
    later(MakeAction("NewBtn", "New", "New|Create a new curve"));
    connect(MakeAction("LoadBtn", "Load", "Load a curve"), &QAction::triggered, this,
            &Tcurvewindow::OpenCurve);
    connect(MakeAction("SaveBtn", "Save", "Save active curve"), &QAction::triggered, this,
            [this] { SaveCurve(CurvePanel->ActiveIndex()); });
    later(MakeAction("AxesBtn", "Axes", "Axes|Open axes/title format dialog"));
    later(MakeAction("CutBtn", "Cut", "Cut|Cuts the active curve"));
    later(MakeAction("PasteBtn", "Paste", "Paste|Pastes a curve from the clipboard"));
    connect(MakeAction("ZoomOutBtn", "Zoom out", "Zoom out|Zoom the display window out"), &QAction::triggered,
            this, &Tcurvewindow::ZoomOut);
    QAction* zoomIn =
        MakeAction("ZoomInBtn", "Zoom in", "Zoom in|Custom-zoom by clicking and dragging in the window");
    zoomIn->setCheckable(true);
    connect(zoomIn, &QAction::toggled, this, &Tcurvewindow::ZoomIn);
    QAction* cursorBtn = MakeAction("CursorBtn", "Cursor", "Cursor|Turns the curve cursor on/off");
    cursorBtn->setCheckable(true);
    connect(cursorBtn, &QAction::toggled, this, &Tcurvewindow::SwitchCursor);
    QAction* newMode =
        MakeAction("NewCurveModeBtn", "New curve mode", "New curve mode|Turns new-curve mode on/off");
    newMode->setCheckable(true);
    connect(newMode, &QAction::toggled, this, &Tcurvewindow::SetNewCurveMode);
    QAction* autoBtn =
        MakeAction("AutoUpdateBtn", "Auto update", "Auto update|Turns auto update of axes range on/off");
    autoBtn->setCheckable(true);
    autoBtn->setChecked(true);
    connect(autoBtn, &QAction::toggled, this, &Tcurvewindow::SetAutoUpdate);
    later(MakeAction("TableBtn", "Table", "Table|Allow editting of active curve in a spreadsheet table"));
    // Band 2
    later(MakeAction("FitBtn", "Fit", "Curve fitting|Open non-linear curve fitting panel"));
    later(MakeAction("FFTBtn", "FFT", "FFT|Open fast Forrier transform dialog"));
    later(MakeAction("InterpolateBtn", "Interpolate", "Interpolate|Open data interpolation dialog"));
    QAction* range = MakeAction("RemoveRangeBtn", "Remove range",
                                "Remove range|Remove a range of data from the active curve");
    range->setCheckable(true);
    connect(range, &QAction::toggled, this, [this](bool on) {
        if (on)
            BeginRemoveRange();
        else if (PickMode != 0)
            EndRangePick();
    });
    later(MakeAction("SmoothBtn", "Smooth", "Smoothing / Regressions|Opens smoothing dialog"));
    later(MakeAction("CurveMathBtn", "Curve math", "Curve math|Perform a math operation between two curves"));
    later(MakeAction("AverageBtn", "Average", "Average|Average several curves"));
    // Band 3
    later(MakeAction("FunctionBtn", "function", "function|Generate a function from a formula you type in"));
    connect(MakeAction("DerivativeBtn", "Derivative", "Derivative|Take the derivative of the active curve"),
            &QAction::triggered, this, [this] { Operate(TOperation::Derivative); });
    connect(MakeAction("IntegralBtn", "Integral", "Integral|Integrate the active curve"), &QAction::triggered,
            this, [this] { Operate(TOperation::Integral); });
    connect(MakeAction("TimesXBtn", "*X", "*X|Multiply Y values of the acitve curve by X values"),
            &QAction::triggered, this, [this] { Operate(TOperation::TimesX); });
    connect(
        MakeAction("InverseBtn", "Inverse", "Inverse|Take the reciprocal of each point in the active curve"),
        &QAction::triggered, this, [this] { Operate(TOperation::Inverse); });
    connect(MakeAction("LogBtn", "log ", "Log|Common logarithm of the active curve values"),
            &QAction::triggered, this, [this] { Operate(TOperation::Log); });
    later(MakeAction("MathBtn", "Math",
                     "Math|Perform a math operation between a constant and the active curve"));

    const std::pair<const char*, const char*> icons[] = {{"NewBtn", "new"},
                                                         {"LoadBtn", "open"},
                                                         {"SaveBtn", "save"},
                                                         {"AxesBtn", "axes"},
                                                         {"CutBtn", "cut"},
                                                         {"PasteBtn", "paste"},
                                                         {"ZoomOutBtn", "zoomout"},
                                                         {"ZoomInBtn", "zoomin"},
                                                         {"CursorBtn", "cursor"},
                                                         {"NewCurveModeBtn", "newcurvemode"},
                                                         {"AutoUpdateBtn", "autoupdate"},
                                                         {"TableBtn", "table"},
                                                         {"FitBtn", "fit"},
                                                         {"FFTBtn", "fft"},
                                                         {"InterpolateBtn", "interpolate"},
                                                         {"RemoveRangeBtn", "removerange"},
                                                         {"SmoothBtn", "smooth"},
                                                         {"CurveMathBtn", "curvemath"},
                                                         {"AverageBtn", "average"},
                                                         {"FunctionBtn", "function"},
                                                         {"DerivativeBtn", "derivative"},
                                                         {"IntegralBtn", "integral"},
                                                         {"TimesXBtn", "timesx"},
                                                         {"InverseBtn", "inverse"},
                                                         {"MathBtn", "math"}};
    for (const auto& [name, file] : icons) Action(QLatin1String(name))->setIcon(icon(file));

    // Popup menu of the plot
    connect(MakeAction("PopSave", "&Save curve", "Save the active curve as an ASCII file"),
            &QAction::triggered, this, [this] { SaveCurve(CurvePanel->ActiveIndex()); });
    connect(MakeAction("PopOpen", "&Open curve", "Open an ASCII curve file"), &QAction::triggered, this,
            &Tcurvewindow::OpenCurve);
    later(MakeAction("PopCut", "&Cut", "Remove active curve from screen and copy to clipboard",
                     QKeySequence("Ctrl+X")));
    connect(MakeAction("PopClear", "C&lear", "Remove the active curve", QKeySequence(Qt::Key_Delete)),
            &QAction::triggered, this, &Tcurvewindow::DeleteCurve);
    later(MakeAction("PopCopy", "&Copy", "Copy active curve to clipboard", QKeySequence("Ctrl+C")));
    later(MakeAction("PopPaste", "&Paste", "Paste curve data from the clipboard, creating a new curve",
                     QKeySequence("Ctrl+V")));
    later(MakeAction("PopTable", "&Table", "Edit the active curve data using a spreadsheet table"));
    later(MakeAction("PopDisplay", "&Display properties", "Change the appearance of the active curve"));
    QAction* popCursor = MakeAction("PopCursor", "C&ursor", "Turn on the crosshair cursor");
    popCursor->setCheckable(true);
    connect(popCursor, &QAction::triggered, this, &Tcurvewindow::SwitchCursor);

    for (const char* name : {"AxesBtn",   "CutBtn",       "SaveBtn",        "ZoomOutBtn",
                             "ZoomInBtn", "CursorBtn",    "TableBtn",       "NewCurveModeBtn",
                             "FitBtn",    "FFTBtn",       "InterpolateBtn", "RemoveRangeBtn",
                             "SmoothBtn", "CurveMathBtn", "DerivativeBtn",  "IntegralBtn",
                             "TimesXBtn", "InverseBtn",   "LogBtn",         "MathBtn",
                             "Cursor1",   "Integral1",    "Derivative1",    "X1",
                             "Inverse1",  "Logarithm1",   "Curveconstant1", "Fit1",
                             "FFT1",      "Interpolate1", "Removerange1",   "Smooth1",
                             "In1",       "Out1",         "Save1",          "SaveAs1",
                             "Delete1",   "Clearall1",    "Close1",         "Closeall1"})
        curveCommands_.push_back(Action(QLatin1String(name)));
    for (const char* name :
         {"PopSave", "PopCut", "PopClear", "PopCopy", "PopTable", "PopDisplay", "PopCursor"})
        popupCurveItems_.push_back(Action(QLatin1String(name)));
}

void Tcurvewindow::BuildMenus() {
    auto add = [this](QMenu* m, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (n == nullptr)
                m->addSeparator();
            else
                m->addAction(Action(QLatin1String(n)));
        }
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    add(file, {"NewCurve1", "Open1", "Save1", "SaveAs1", nullptr, "Close1", "Closeall1", nullptr, "Print1",
               "PrintSetup1", nullptr, "Exit1"});
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    add(edit, {"Undo1", nullptr, "Cut1", "Copy1", "Paste1", "Delete1", "Clearall1", nullptr, "Curvedata1",
               "Curvedisplay1", "Axes1", "Preferences1"});
    connect(edit, &QMenu::aboutToShow, this, [this] {
        const bool any = CurvePanel->CurveCount() > 0;
        for (const char* n : {"Cut1", "Copy1", "Delete1", "Clearall1"})
            Action(QLatin1String(n))->setEnabled(any);
        Action(QStringLiteral("Paste1"))
            ->setEnabled(QApplication::clipboard()->mimeData() != nullptr &&
                         QApplication::clipboard()->mimeData()->hasText());
    });
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(Action(QStringLiteral("Cursor1")));
    QMenu* zoom = view->addMenu(QStringLiteral("&Zoom"));
    zoom->menuAction()->setObjectName(QStringLiteral("Zoom1"));
    actions_[QStringLiteral("Zoom1")] = zoom->menuAction();
    curveCommands_.push_back(zoom->menuAction());
    add(zoom, {"In1", "Out1"});
    add(view, {"Rangeautoupdate1", "toolbar1"});
    QMenu* operate = menuBar()->addMenu(QStringLiteral("&Operate"));
    add(operate, {"Integral1", "Derivative1", "X1", "Inverse1", "Logarithm1", "Curveconstant1", nullptr,
                  "Fit1", "FFT1", "Interpolate1", "Removerange1", "Smooth1", "Averagecurves1", "Curvemath1"});
    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    add(window, {"Cascade1", "Tile1", nullptr, "NewWindow1", "CloseWindow1"});
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    add(help, {"About1", "Contents1"});

    popup_ = new QMenu(this);
    popup_->setObjectName(QStringLiteral("PlotPopup"));
    add(popup_, {"PopSave", "PopOpen", nullptr, "PopCut", "PopClear", "PopCopy", "PopPaste", nullptr,
                 "PopTable", "PopDisplay", "PopCursor"});
    // The separator between Paste and Table belongs to the curve items.
    const QList<QAction*> items = popup_->actions();
    popupCurveItems_.push_back(items.at(items.indexOf(Action(QStringLiteral("PopPaste"))) + 1));
}

void Tcurvewindow::BuildToolbars() {
    auto band = [this](const QString& title, std::initializer_list<const char*> names) {
        QToolBar* bar = addToolBar(title);
        bar->setObjectName(title);
        bar->setIconSize(QSize(22, 22));
        bar->setMovable(true);
        for (const char* n : names) bar->addAction(Action(QLatin1String(n)));
        bands_.push_back(bar);
        return bar;
    };
    band(QStringLiteral("Band1"),
         {"NewBtn", "LoadBtn", "SaveBtn", "AxesBtn", "CutBtn", "PasteBtn", "ZoomOutBtn", "ZoomInBtn",
          "CursorBtn", "NewCurveModeBtn", "AutoUpdateBtn", "TableBtn"});
    band(QStringLiteral("Band2"),
         {"FitBtn", "FFTBtn", "InterpolateBtn", "RemoveRangeBtn", "SmoothBtn", "CurveMathBtn", "AverageBtn"});
    QToolBar* third = band(QStringLiteral("Band3"), {"FunctionBtn", "DerivativeBtn", "IntegralBtn",
                                                     "TimesXBtn", "InverseBtn", "LogBtn", "MathBtn"});
    // "log " is a text button in italic navy.
    if (auto* log = qobject_cast<QToolButton*>(third->widgetForAction(Action(QStringLiteral("LogBtn"))))) {
        log->setToolButtonStyle(Qt::ToolButtonTextOnly);
        QFont f = log->font();
        f.setItalic(true);
        f.setBold(true);
        log->setFont(f);
        // Navy only while it can be used: a disabled button keeps the style's grey like its neighbours.
        QPalette pal = log->palette();
        for (const auto group : {QPalette::Active, QPalette::Inactive})
            pal.setColor(group, QPalette::ButtonText, QColor(0, 0, 128));
        log->setPalette(pal);
    }
}

void Tcurvewindow::BuildStatusArea() {
    fileNamePanel_ = new QLabel(this);
    fileNamePanel_->setObjectName(QStringLiteral("FileNamePanel"));
    fileNamePanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    fileNamePanel_->setToolTip(QStringLiteral("Filename of the active curve"));
    fileNamePanel_->setStatusTip(QStringLiteral("Filename of the active curve"));
    fileNamePanel_->setMinimumWidth(40);

    cursorPanel_ = new QLabel(this);
    cursorPanel_->setObjectName(QStringLiteral("CursorPanel"));
    cursorPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    cursorPanel_->setMinimumWidth(132);
    cursorPanel_->setToolTip(QStringLiteral("Cursor coordinates (when cursor is on)"));
    cursorPanel_->setStatusTip(QStringLiteral("Cursor coordinates (when cursor is on)"));

    activePanel_ = new QFrame(this);
    activePanel_->setObjectName(QStringLiteral("ActivePanel"));
    activePanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    activePanel_->setToolTip(QStringLiteral("Curve on which selected operations are performed"));
    activePanel_->setStatusTip(QStringLiteral("Curve on which selected operations are performed"));
    auto* caption = new QLabel(QStringLiteral("active:"), activePanel_);
    caption->setObjectName(QStringLiteral("ActiveCaption"));
    caption->setAttribute(Qt::WA_TransparentForMouseEvents);
    CurvePicker = new TGraphicComboBox(activePanel_);
    CurvePicker->setObjectName(QStringLiteral("CurvePicker"));
    CurvePicker->setFixedWidth(111);
    CurvePicker->SetBackColor(Qt::white);
    CurvePicker->SetFontColor(Qt::black);
    CurvePicker->setStatusTip(activePanel_->statusTip());
    // The picker shows the active curve; a line chosen in it changes nothing.
    connect(CurvePicker, &QComboBox::activated, this,
            [this] { CurvePicker->setCurrentIndex(CurvePanel->ActiveIndex() - 1); });
    auto* layout = new QHBoxLayout(activePanel_);
    layout->setContentsMargins(4, 1, 1, 1);
    layout->setSpacing(4);
    layout->addWidget(caption);
    layout->addWidget(CurvePicker);
    activePanel_->installEventFilter(this);

    statusLine_ = new QLabel(QStringLiteral("Load a file"), this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    statusLine_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

// ---------------------------------------------------------------- life of the window

void Tcurvewindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!FirstShow) return;
    if (PrevWindow == nullptr) {
        setWindowTitle(windowTitle() + QStringLiteral(" - Main Form"));
        LoadFiles(commandLineFiles_);
        CurvePanel->FillCurveCombo(*CurvePicker, false);
        CurvePanel->AutoUpdate = Action(QStringLiteral("AutoUpdateBtn"))->isChecked();
    }
    FirstShow = false;
}

bool Tcurvewindow::event(QEvent* event) {
    // The long part of the hint of whatever the mouse is over goes to the status line.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (!tip.isEmpty()) statusLine_->setText(tip);
        return true;
    }
    return QMainWindow::event(event);
}

void Tcurvewindow::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool Tcurvewindow::FormCloseQuery() {
    if (PrevWindow == nullptr && NextWindow != nullptr) {
        if (!Messages().Confirm(this,
                                QStringLiteral("Closing the Graphmill main window will close all other curve "
                                               "windows. Continue?")))
            return false;
        while (NextWindow != nullptr) {
            Tcurvewindow* w = LastWindow();
            w->activateWindow();
            w->ClosingByMain = true;
            if (!w->AskSaveCurves()) {
                w->ClosingByMain = false;
                return false;
            }
            w->close();
            if (LastWindow() == w) w->Unlink(); // a window that was never shown closes without its event
        }
    }
    if (!ClosingByMain) return AskSaveCurves();
    return true;
}

void Tcurvewindow::FormClose() {
    if (PrevWindow != nullptr) {
        Unlink();
        return;
    }
    // Closing the main window ends the program, whichever window asked for it.
    QCoreApplication::quit();
}

void Tcurvewindow::Unlink() {
    if (PrevWindow != nullptr) PrevWindow->NextWindow = NextWindow;
    if (NextWindow != nullptr) NextWindow->PrevWindow = PrevWindow;
    PrevWindow = NextWindow = nullptr;
}

Tcurvewindow* Tcurvewindow::MainWindow() {
    Tcurvewindow* w = this;
    while (w->PrevWindow != nullptr) w = w->PrevWindow;
    return w;
}

Tcurvewindow* Tcurvewindow::LastWindow() {
    Tcurvewindow* w = this;
    while (w->NextWindow != nullptr) w = w->NextWindow;
    return w;
}

bool Tcurvewindow::AskSaveCurves() {
    for (int32_t i = 1; i <= CurvePanel->CurveCount(); ++i) {
        const TPlottedCurve* c = CurvePanel->Curve(i);
        if (c->Saved && !c->FileName.empty()) continue;
        const QString question = QStringLiteral("Save curve #%1 %2 ?").arg(i).arg(ShortName(c->FileName));
        switch (Messages().AskSave(this, question)) {
        case TSaveAnswer::Yes:
            // Going on after a failed or cancelled save would lose the curve.
            if (!SaveCurve(i)) return false;
            break;
        case TSaveAnswer::No:
            break;
        case TSaveAnswer::Cancel:
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------- notifications

intptr_t Tcurvewindow::Notify(int code, int32_t a, int32_t b) {
    switch (code) {
    case notify::SetChanged:
        RefreshAfterSetChange();
        break;
    case notify::ZoomModeChanged:
        SetChecked(QStringLiteral("ZoomInBtn"), a == 1);
        if (a == 1)
            statusLine_->setText(QStringLiteral("Click and drag to zoom..."));
        else if (statusLine_->text() == QLatin1String("Click and drag to zoom..."))
            statusLine_->setText(ReadyPrompt);
        break;
    case notify::Repainted:
        break; // the fit model overlay is redrawn here once the fit panel exists
    case notify::PointPicked:
        RangePicked(a);
        break;
    case notify::UndoStored:
        Action(QStringLiteral("Undo1"))->setEnabled(a == 1);
        break;
    case notify::MarkDragEnded:
        break;
    case notify::CursorFromTool:
        if (b == 1) {
            CurvePanel->SetCursorShown(a == 1);
        } else {
            for (const char* n : {"Cursor1", "PopCursor", "CursorBtn"}) SetChecked(QLatin1String(n), a == 1);
            if (a == 0) SetChecked(QStringLiteral("RemoveRangeBtn"), false);
        }
        break;
    case notify::UndoRequest:
        UndoLast();
        break;
    case notify::PlaceToolWindow: {
        const QScreen* s = screen();
        const QSize screenSize = s != nullptr ? s->geometry().size() : QSize(1024, 768);
        const QPoint p = ToolWindowPlace(a, frameGeometry(), QSize(UnpackLow(b), UnpackHigh(b)), screenSize);
        return PackPair(p.x(), p.y());
    }
    default:
        break;
    }
    return 0;
}

void Tcurvewindow::RefreshAfterSetChange() {
    ++refreshCount_;
    const int32_t count = CurvePanel->CurveCount();
    CurvePanel->FillCurveCombo(*CurvePicker, false);
    CurvePicker->setCurrentIndex(CurvePanel->ActiveIndex() - 1);
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    fileNamePanel_->setText(active != nullptr ? ShortName(active->FileName) : QString());
    for (QAction* a : popupCurveItems_)
        if (a->objectName() == QLatin1String("PopSave") || a->objectName() == QLatin1String("PopClear") ||
            a->objectName() == QLatin1String("PopCursor") || a->isSeparator())
            a->setVisible(count > 0);
    if (count == 0 && PickMode != 0) EndRangePick();
    EnableCurveCommands(count > 0);
    for (const char* n : {"Delete1", "Clearall1"}) Action(QLatin1String(n))->setEnabled(count > 0);
    SetChecked(QStringLiteral("NewCurveModeBtn"), NewCurveMode);
    for (const char* n : {"Cursor1", "PopCursor", "CursorBtn"})
        SetChecked(QLatin1String(n), CurvePanel->IsCursorShown());
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    Action(QStringLiteral("PasteBtn"))->setEnabled(clip != nullptr && clip->hasText());
}

void Tcurvewindow::EnableCurveCommands(bool on) {
    if (on == CommandsEnabled) return;
    CommandsEnabled = on;
    for (QAction* a : curveCommands_) a->setEnabled(on);
    const bool two = CurvePanel->CurveCount() >= 2 && on;
    for (const char* n : {"Averagecurves1", "AverageBtn", "Curvemath1", "CurveMathBtn"})
        Action(QLatin1String(n))->setEnabled(two);
    for (QAction* a : popupCurveItems_)
        if (a->objectName() == QLatin1String("PopSave") || a->objectName() == QLatin1String("PopClear") ||
            a->objectName() == QLatin1String("PopCursor") || a->isSeparator())
            a->setVisible(on);
}

// ---------------------------------------------------------------- files

bool Tcurvewindow::RefuseWhenFull() {
    Messages().Error(this, QStringLiteral("A curve window holds at most 100 curves."));
    return false;
}

void Tcurvewindow::LoadFiles(const QStringList& files) {
    QStringList problems;
    const int32_t before = CurvePanel->CurveCount();
    TBusyPointer busy;
    for (const QString& f : files) {
        std::string error;
        const TCurveB curve = TCurveB::CreateFromFile(f.toStdString(), true, &error);
        if (curve.Count() == 0) {
            problems << QString::fromStdString(error.empty() ? f.toStdString() + ": no points found" : error);
            continue;
        }
        if (!CurvePanel->AddCurve(curve, true, false)) break;
    }
    // One redraw for the whole batch.
    if (CurvePanel->CurveCount() != before) CurvePanel->CurveSet().Redraw();
    if (!problems.isEmpty())
        Messages().Error(this,
                         QStringLiteral("No curve could be read from:\n") + problems.join(QLatin1Char('\n')));
}

void Tcurvewindow::DropFiles(const QStringList& files) {
    // Names are taken whole: a name cut to some length could name another file.
    LoadFiles(files);
}

void Tcurvewindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void Tcurvewindow::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    event->acceptProposedAction();
    DropFiles(files);
}

void Tcurvewindow::OpenCurve() {
    CurvePanel->SetZoomMode(false);
    const QString name = Messages().OpenFile(this, DataDir, {OpenFilter, AnyFilter});
    if (name.isEmpty()) return;
    DataDir = QFileInfo(name).absolutePath() + QLatin1Char('/');
    std::string error;
    const TCurveB curve = TCurveB::CreateFromFile(name.toStdString(), true, &error);
    if (curve.Count() == 0) {
        Messages().Error(
            this, QString::fromStdString(error.empty() ? name.toStdString() + ": no points found" : error));
        return;
    }
    const bool wasEmpty = CurvePanel->CurveCount() == 0;
    CurvePanel->AddCurve(curve, wasEmpty || CurvePanel->AutoUpdate, true);
}

bool Tcurvewindow::SaveCurve(int32_t n) {
    TPlottedCurve* c = CurvePanel->Curve(n);
    if (c == nullptr) return false;
    if (c->FileName.empty()) return SaveCurveAs(n);
    std::string error;
    if (!c->SaveToFile(c->FileName, "", "", &error)) {
        Messages().Error(
            this, QStringLiteral("Curve #%1 was not saved: %2").arg(n).arg(QString::fromStdString(error)));
        return false;
    }
    RefreshAfterSetChange();
    return true;
}

bool Tcurvewindow::SaveCurveAs(int32_t n) {
    TPlottedCurve* c = CurvePanel->Curve(n);
    if (c == nullptr) return false;
    const QString name = Messages().SaveFile(this, DataDir, {OpenFilter, AnyFilter});
    if (name.isEmpty()) return false;
    DataDir = QFileInfo(name).absolutePath() + QLatin1Char('/');
    std::string error;
    if (!c->SaveToFile(name.toStdString(), "", "", &error)) {
        Messages().Error(
            this, QStringLiteral("Curve #%1 was not saved: %2").arg(n).arg(QString::fromStdString(error)));
        return false;
    }
    RefreshAfterSetChange();
    return true;
}

// ---------------------------------------------------------------- curve commands

void Tcurvewindow::DeleteCurve() {
    if (CurvePanel->CurveCount() == 0) return;
    if (CurvePanel->CurveCount() == 1) CurvePanel->SetCursorShown(false);
    CurvePanel->DeleteActiveCurve();
    RefreshAfterSetChange();
}

void Tcurvewindow::ClearAll() {
    // Every curve would be lost at once: ask about the unsaved ones first.
    if (!AskSaveCurves()) return;
    CurvePanel->SetZoomMode(false);
    CurvePanel->SetCursorShown(false);
    CurvePanel->CurveSet().SetCountAndRedraw(0);
    CurvePanel->FillCurveCombo(*CurvePicker, false);
    CurvePanel->DiscardUndo(false);
    Action(QStringLiteral("Undo1"))->setEnabled(false);
    RefreshAfterSetChange();
}

void Tcurvewindow::Exit() {
    MainWindow()->close();
}

void Tcurvewindow::UndoLast() {
    if (!CurvePanel->HasUndo()) return;
    CurvePanel->Undo();
    Action(QStringLiteral("Undo1"))->setEnabled(CurvePanel->HasUndo());
}

void Tcurvewindow::SwitchCursor(bool on) {
    if (CurvePanel->CurveCount() > 0) CurvePanel->SetCursorShown(on);
    for (const char* n : {"Cursor1", "PopCursor", "CursorBtn"})
        SetChecked(QLatin1String(n), CurvePanel->IsCursorShown());
    // The picks of Remove range land on the cursor: without it the range pick is over.
    if (!CurvePanel->IsCursorShown() && PickMode != 0) EndRangePick();
    SetChecked(QStringLiteral("RemoveRangeBtn"), CurvePanel->IsPointPick());
    // Showing the cursor ends zoom mode.
    SetChecked(QStringLiteral("ZoomInBtn"), CurvePanel->IsZoomMode());
}

void Tcurvewindow::ZoomIn(bool on) {
    CurvePanel->ZoomRequest(on);
    SetChecked(QStringLiteral("ZoomInBtn"), CurvePanel->IsZoomMode());
}

void Tcurvewindow::ZoomOut() {
    if (CurvePanel->CurveCount() == 0) return;
    CurvePanel->CurveSet().ZoomBy(1.2, 0, 1.2, 0);
}

void Tcurvewindow::SetAutoUpdate(bool on) {
    SetChecked(QStringLiteral("Rangeautoupdate1"), on);
    SetChecked(QStringLiteral("AutoUpdateBtn"), on);
    CurvePanel->SetAutoUpdate(on);
}

void Tcurvewindow::ShowToolbar(bool on) {
    for (QToolBar* bar : bands_) bar->setVisible(on);
}

void Tcurvewindow::SetNewCurveMode(bool on) {
    NewCurveMode = on;
    SetChecked(QStringLiteral("NewCurveModeBtn"), on);
    if (on) {
        CurvePanel->DiscardUndo(false);
        Action(QStringLiteral("Undo1"))->setEnabled(false);
    }
}

void Tcurvewindow::Operate(TOperation op) {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (active == nullptr) return;
    auto copy = std::make_unique<TCurveB>(static_cast<const TCurveB&>(*active));
    bool ok = true;
    double total = 0;
    TArithFault fault = TArithFault::None;
    {
        TBusyPointer busy;
        fault = RunGuarded([&]() -> const TCurveB& {
            switch (op) {
            case TOperation::Derivative:
                ok = copy->Derivative();
                break;
            case TOperation::Integral:
                ok = copy->Integral(total);
                break;
            case TOperation::TimesX:
                copy->TimesX();
                break;
            case TOperation::Inverse:
                copy->Inverse();
                break;
            case TOperation::Log:
                copy->Log10();
                break;
            }
            return *copy;
        });
    }
    if (fault != TArithFault::None) {
        Messages().Error(this, QString::fromUtf8(ArithFaultMessage(fault)));
        return;
    }
    if (!ok) return;
    if (!CurvePanel->ApplyResult(std::move(copy), NewCurveMode, CurvePanel->ActiveIndex())) return;
    if (op == TOperation::Integral)
        Messages().Information(this, QStringLiteral("Definite integral:  ") + GeneralNumber(total));
}

void Tcurvewindow::BeginRemoveRange() {
    if (CurvePanel->CurveCount() == 0) {
        SetChecked(QStringLiteral("RemoveRangeBtn"), false);
        return;
    }
    PickMode = 3;
    CurvePanel->SetPointPick(true);
    statusLine_->setText(QStringLiteral("Click on left bound of range"));
    SetChecked(QStringLiteral("RemoveRangeBtn"), true);
}

void Tcurvewindow::EndRangePick() {
    PickMode = 0;
    CurvePanel->SetPointPick(false);
    SetChecked(QStringLiteral("RemoveRangeBtn"), false);
    statusLine_->setText(ReadyPrompt);
}

void Tcurvewindow::RangePicked(int32_t index) {
    // Enter sends a pick too; it counts only while the panel picks points.
    if (!CurvePanel->IsPointPick()) return;
    if (PickMode == 3) {
        RangeFirst = index;
        PickMode = 4;
        statusLine_->setText(QStringLiteral("Click on right bound of range"));
    } else if (PickMode == 4) {
        RangeSecond = index;
        EndRangePick();
        const TPlottedCurve* active = CurvePanel->ActiveCurve();
        const int32_t n = active != nullptr ? active->Count() : 0;
        // The bounds may be picked in either order.
        const int32_t first = std::max(1, std::min(RangeFirst, RangeSecond));
        const int32_t last = std::max(RangeFirst, RangeSecond);
        if (last - first < n - 1) {
            if (CurvePanel->RemoveRange(first, last)) Action(QStringLiteral("Undo1"))->setEnabled(true);
        } else {
            Messages().Error(this, QStringLiteral("Invalid points"));
        }
        statusLine_->setText(ReadyPrompt);
    }
}

void Tcurvewindow::NextCurve() {
    const int32_t count = CurvePanel->CurveCount();
    if (count < 2) return;
    CurvePanel->CurveSet().SetActiveWrap(CurvePanel->ActiveIndex() + 1);
    if (CurvePanel->IsCursorShown()) {
        CurvePanel->Crosshair.SkipErase = true;
        CurvePanel->MoveCursorToX(CurvePanel->Crosshair.Pos.x);
        CurvePanel->Crosshair.SkipErase = false;
    }
}

void Tcurvewindow::ResetColors() {
    CurvePanel->CurveSet().ResetColors(true);
}

void Tcurvewindow::PlotDoubleClick(QPoint pos) {
    // Inside the plot frame the display properties of the active curve, outside it the axes are edited; both
    // dialogs come later, so a double click only swallows the press that comes with it.
    (void)pos;
    CurvePanel->IgnoreNextPress();
}

void Tcurvewindow::ShowPopup(const QPoint& pos) {
    popup_->popup(CurvePanel->mapToGlobal(pos));
}

// ---------------------------------------------------------------- keys

bool Tcurvewindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == activePanel_ && event->type() == QEvent::MouseButtonPress) {
        NextCurve();
        return true;
    }
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* w = qobject_cast<QWidget*>(watched);
    if (w == nullptr || w->window() != this) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    return FormKeyDown(key->key(), key->modifiers());
}

bool Tcurvewindow::FormKeyDown(int key, Qt::KeyboardModifiers shift) {
    if (CurvePanel->KeyDown(key, shift)) return true;
    switch (key) {
    case Qt::Key_Space:
        NextCurve();
        return true;
    case Qt::Key_C:
        if (CurvePanel->ActiveCurve() != nullptr) SwitchCursor(!CurvePanel->IsCursorShown());
        return true;
    case Qt::Key_E:
        ClearAll();
        return true;
    case Qt::Key_G:
        BeginRemoveRange();
        return true;
    case Qt::Key_L:
        OpenCurve();
        return true;
    case Qt::Key_R:
        DeleteCurve();
        return true;
    case Qt::Key_S:
        SaveCurve(CurvePanel->ActiveIndex());
        return true;
    case Qt::Key_Dollar:
        ResetColors();
        return true;
    case Qt::Key_4:
        if (shift & Qt::ShiftModifier) {
            ResetColors();
            return true;
        }
        return false;
    default:
        return false;
    }
}

// ---------------------------------------------------------------- windows

Tcurvewindow* Tcurvewindow::NewWindow() {
    Tcurvewindow* w = nullptr;
    {
        TBusyPointer busy;
        try {
            w = new Tcurvewindow();
        } catch (const std::exception&) {
            w = nullptr;
        }
    }
    if (w == nullptr) {
        Messages().Error(this, QStringLiteral("Could not create new window."));
        return nullptr;
    }
    w->setAttribute(Qt::WA_DeleteOnClose);
    Tcurvewindow* last = LastWindow();
    last->NextWindow = w;
    w->PrevWindow = last;
    w->move(pos() + QPoint(40, 40));
    w->show();
    return w;
}

void Tcurvewindow::Cascade() {
    QPoint at(50, 50);
    for (Tcurvewindow* w = MainWindow(); w != nullptr; w = w->NextWindow) {
        w->hide();
        w->resize(425, 425);
        w->move(at);
        w->show();
        // Each next window moves by the height of the frame above its client area, so that the title bars
        // stay visible; without a known frame (no window manager yet) by the style's title bar height.
        int frame = w->frameGeometry().height() - w->height();
        if (frame <= 0) frame = w->style()->pixelMetric(QStyle::PM_TitleBarHeight);
        at += QPoint(frame, frame);
    }
}

void Tcurvewindow::Tile(QSize screen) {
    int x = 0, y = 0;
    for (Tcurvewindow* w = MainWindow(); w != nullptr; w = w->NextWindow) {
        w->hide();
        w->resize(425, 425);
        w->move(x, y);
        w->show();
        // A new row starts when the next window would not fit across the screen.
        x += w->frameGeometry().width();
        if (x + w->frameGeometry().width() > screen.width()) {
            y += w->frameGeometry().height();
            x = 0;
        }
    }
}

void Tcurvewindow::About() {
    TGraphmillAbout about(this);
    about.exec();
}
