// The curve window itself: its parts are made here from the command table, the state of every command is
// computed here, keys are sorted out here and notifications are dispatched to the handlers of the features.
#include "app/curvewin.h"

#include "app/commandtable.h"
#include "app/placement.h"
#include "fit/FitDialog.h"
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"
#include "plot/UserMessages.h"
#include "plot/w_curve.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusTipEvent>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

static void InitGraphmillResources() {
    Q_INIT_RESOURCE(graphmill);
}

Tcurvewindow::Tcurvewindow(const QStringList& files, QWidget* parent)
    : QMainWindow(parent), commandLineFiles_(files) {
    InitGraphmillResources();
    setWindowTitle(QStringLiteral("Graphmill"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/graphmill.svg")));
    // Wide enough for the three toolbar bands in one row.
    resize(900, 620);

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
    CurvePanel->OnFull = [this] {
        Messages().Error(this, QStringLiteral("A curve window holds at most 100 curves."));
    };
    CurvePanel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(CurvePanel, &QWidget::customContextMenuRequested, this, &Tcurvewindow::ShowPopup);

    NewCurveMode = false;
    setAcceptDrops(true);

    BuildCommands();
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

    InstallHandlers();
    CurvePanel->FillCurveCombo(*CurvePicker, false);
    UpdateCommands();
    qApp->installEventFilter(this);
    // Paste follows what the clipboard holds.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &Tcurvewindow::UpdateCommands);
    FirstShow = true;
}

Tcurvewindow::~Tcurvewindow() {
    qApp->removeEventFilter(this);
    Unlink();
}

// ---------------------------------------------------------------- commands

void Tcurvewindow::BuildCommands() {
    std::map<TPlace, QMenu*> menus;
    QMenuBar* bar = menuBar();
    menus[TPlace::FileMenu] = bar->addMenu(QStringLiteral("&File"));
    menus[TPlace::EditMenu] = bar->addMenu(QStringLiteral("&Edit"));
    menus[TPlace::ViewMenu] = bar->addMenu(QStringLiteral("&View"));
    menus[TPlace::OperateMenu] = bar->addMenu(QStringLiteral("&Operate"));
    menus[TPlace::WindowMenu] = bar->addMenu(QStringLiteral("&Window"));
    menus[TPlace::HelpMenu] = bar->addMenu(QStringLiteral("&Help"));
    popup_ = new QMenu(this);
    popup_->setObjectName(QStringLiteral("PlotPopup"));
    menus[TPlace::Popup] = popup_;
    // The Edit menu's items follow the set and the clipboard as it opens.
    connect(menus[TPlace::EditMenu], &QMenu::aboutToShow, this, &Tcurvewindow::UpdateCommands);
    std::map<TPlace, QToolBar*> toolbars;
    for (const auto& [place, title] : {std::pair{TPlace::Band1, "Band1"}, std::pair{TPlace::Band2, "Band2"},
                                       std::pair{TPlace::Band3, "Band3"}}) {
        QToolBar* band = addToolBar(QLatin1String(title));
        band->setObjectName(QLatin1String(title));
        band->setIconSize(QSize(22, 22));
        band->setMovable(true);
        toolbars[place] = band;
        bands_.push_back(band);
    }

    for (const TCommand& row : CommandTable()) {
        QAction* a = nullptr;
        if (row.flags & Separator) {
            a = menus.at(row.place)->addSeparator();
        } else if (row.flags & Submenu) {
            QMenu* sub = menus.at(row.place)->addMenu(QLatin1String(row.caption));
            menus[TPlace::ZoomMenu] = sub;
            a = sub->menuAction();
        } else {
            a = new QAction(QString::fromUtf8(row.caption), this);
            // A hint has a short part (the tooltip) and a long part after "|" (the status line); a hint
            // without "|" serves as both.
            const QString hint = QString::fromUtf8(row.hint);
            const auto cut = hint.indexOf(QLatin1Char('|'));
            a->setToolTip(cut < 0 ? hint : hint.left(cut));
            a->setStatusTip(cut < 0 ? hint : hint.mid(cut + 1));
            // A command may have several keys, separated by "; " (the first one shows in the menu).
            if (*row.shortcut != '\0') {
                QList<QKeySequence> keys;
                for (const QString& key : QString::fromUtf8(row.shortcut).split(QStringLiteral("; ")))
                    keys.append(QKeySequence(key));
                a->setShortcuts(keys);
            }
            if (*row.icon != '\0')
                a->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(row.icon))));
            a->setCheckable((row.flags & Checkable) != 0);
            a->setChecked((row.flags & InitiallyOn) != 0);
            const TCommand* r = &row;
            connect(a, &QAction::triggered, this, [this, r](bool checked) {
                if (r->run != nullptr)
                    (this->*(r->run))();
                else if (r->toggle != nullptr)
                    (this->*(r->toggle))(checked);
                UpdateCommands();
            });
            if (row.place == TPlace::Band1 || row.place == TPlace::Band2 || row.place == TPlace::Band3)
                toolbars.at(row.place)->addAction(a);
            else
                menus.at(row.place)->addAction(a);
        }
        if (row.name != nullptr) {
            a->setObjectName(QLatin1String(row.name));
            actions_[QLatin1String(row.name)] = a;
        }
        commands_.emplace_back(&row, a);
        if (row.flags & TextButton) {
            auto* button = qobject_cast<QToolButton*>(toolbars.at(row.place)->widgetForAction(a));
            if (button == nullptr) continue;
            // "log " is a text button in italic navy; a disabled one keeps the style's grey like its
            // neighbours.
            button->setToolButtonStyle(Qt::ToolButtonTextOnly);
            QFont f = button->font();
            f.setItalic(true);
            f.setBold(true);
            button->setFont(f);
            QPalette pal = button->palette();
            for (const auto group : {QPalette::Active, QPalette::Inactive})
                pal.setColor(group, QPalette::ButtonText, QColor(0, 0, 128));
            button->setPalette(pal);
        }
    }
}

QAction* Tcurvewindow::Action(const QString& name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

bool Tcurvewindow::ClipboardHasCurve() {
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    return clip != nullptr && (clip->hasText() || clip->hasFormat(QStringLiteral("BinaryCurve")));
}

bool Tcurvewindow::FitPanelShowing() const {
    return FitPanel != nullptr && FitPanel->isVisible();
}

bool Tcurvewindow::CursorShown() const {
    return CurvePanel->IsCursorShown();
}

bool Tcurvewindow::ZoomModeOn() const {
    return CurvePanel->IsZoomMode();
}

bool Tcurvewindow::AutoUpdateOn() const {
    return CurvePanel->AutoUpdate;
}

bool Tcurvewindow::Usable(const TCommand& row) const {
    const int32_t count = CurvePanel->CurveCount();
    bool usable = true;
    switch (row.enable) {
    case TEnable::Always:
        break;
    case TEnable::Curve:
        usable = count > 0;
        break;
    case TEnable::TwoCurves:
        usable = count >= 2;
        break;
    case TEnable::Undo:
        usable = CurvePanel->HasUndo();
        break;
    case TEnable::Redo:
        usable = CurvePanel->HasRedo();
        break;
    case TEnable::ClipboardText:
        usable = ClipboardHasCurve();
        break;
    }
    // While the fit panel is open the fit's curve stays as it is: only viewing and saving go on.
    const bool curveCommand = row.enable == TEnable::Curve || row.enable == TEnable::TwoCurves;
    if (curveCommand && (row.flags & KeepDuringFit) == 0 && FitPanelShowing()) usable = false;
    return usable;
}

bool Tcurvewindow::CommandUsable(const QString& name) const {
    for (const auto& [row, action] : commands_)
        if (action->objectName() == name) return Usable(*row);
    return false;
}

void Tcurvewindow::UpdateCommands() {
    const int32_t count = CurvePanel->CurveCount();
    CommandsEnabled = count > 0;
    for (const auto& [row, action] : commands_) {
        const bool built = row->Built();
        // The popup menu hides what needs a curve instead of offering it disabled. A command not offered yet
        // is hidden, which also silences its shortcut.
        const bool shown =
            built && !(row->place == TPlace::Popup && row->enable == TEnable::Curve && count == 0);
        action->setVisible(shown);
        action->setEnabled(Usable(*row));
        if (row->state != nullptr) {
            const QSignalBlocker block(action);
            action->setChecked((this->*(row->state))());
        }
    }
    for (const auto& hook : commandHooks_) hook();
}

bool Tcurvewindow::IsMenuShortcut(int key, Qt::KeyboardModifiers shift) const {
    const QKeySequence pressed(QKeyCombination(shift & ~Qt::KeypadModifier, static_cast<Qt::Key>(key)));
    for (const auto& [row, action] : commands_)
        for (const QKeySequence& keys : action->shortcuts())
            if (keys.matches(pressed) == QKeySequence::ExactMatch) return true;
    return false;
}

// ---------------------------------------------------------------- notifications

void Tcurvewindow::OnNotify(int code, TNotifyHandler handler) {
    notifyHandlers_[code] = std::move(handler);
}

void Tcurvewindow::OnRefresh(std::function<void()> hook) {
    refreshHooks_.push_back(std::move(hook));
}

void Tcurvewindow::OnActivate(std::function<void()> hook) {
    activateHooks_.push_back(std::move(hook));
}

void Tcurvewindow::OnClose(std::function<void()> hook) {
    closeHooks_.push_back(std::move(hook));
}

void Tcurvewindow::OnCommandsUpdated(std::function<void()> hook) {
    commandHooks_.push_back(std::move(hook));
}

intptr_t Tcurvewindow::Notify(int code, int32_t a, int32_t b) {
    const auto it = notifyHandlers_.find(code);
    return it == notifyHandlers_.end() ? 0 : it->second(a, b);
}

void Tcurvewindow::InstallHandlers() {
    InstallTables();
    OnNotify(notify::SetChanged, [this](int32_t, int32_t) {
        RefreshAfterSetChange();
        return 0;
    });
    OnNotify(notify::ZoomModeChanged, [this](int32_t on, int32_t) {
        if (on == 1)
            SetPrompt(QStringLiteral("Click and drag to zoom..."));
        else if (prompt_ == QLatin1String("Click and drag to zoom..."))
            SetPrompt(QStringLiteral("Operate on the active curve"));
        UpdateCommands();
        return 0;
    });
    OnNotify(notify::PointPicked, [this](int32_t index, int32_t) {
        RangePicked(index);
        return 0;
    });
    OnNotify(notify::UndoStored, [this](int32_t, int32_t) {
        UpdateCommands();
        return 0;
    });
    OnNotify(notify::Cursor, [this](int32_t on, int32_t apply) {
        if (apply == 1) {
            CurvePanel->SetCursorShown(on == 1);
        } else if (on == 0 && PickMode != 0) {
            // The picks land on the cursor: without it the range pick (of a range to remove, or of the fit
            // range) is over.
            EndRangePick();
        }
        UpdateCommands();
        return 0;
    });
    OnNotify(notify::UndoRequest, [this](int32_t, int32_t) {
        UndoLast();
        UpdateCommands();
        return 0;
    });
    InstallDisplay();
    OnNotify(notify::PlaceToolWindow, [this](int32_t mode, int32_t size) -> intptr_t {
        const QScreen* s = screen();
        const QSize tool(UnpackLow(size), UnpackHigh(size));
        QPoint p;
        if (mode == 1 || mode == 5) {
            // Tool windows that stay open while the user works in the plot (the table editor, the fit
            // panel; mode 5: the fit panel's function chooser, which keeps the panel clear too) hide as
            // little of it as the screen allows.
            std::vector<QRect> keepClear;
            if (mode == 5 && FitPanel != nullptr && FitPanel->isVisible())
                keepClear.push_back(FitPanel->frameGeometry());
            const QRect plot(CurvePanel->mapToGlobal(QPoint(0, 0)), CurvePanel->size());
            p = LeastHiddenPlace(frameGeometry(), plot, keepClear, tool,
                                 s != nullptr ? s->availableGeometry() : QRect(0, 0, 1024, 768));
        } else {
            p = ToolWindowPlace(mode, frameGeometry(), tool,
                                s != nullptr ? s->geometry().size() : QSize(1024, 768));
        }
        return PackPair(p.x(), p.y());
    });
    InstallOperateDialogs();
    InstallFit();
}

// ---------------------------------------------------------------- events

void Tcurvewindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!FirstShow) return;
    ReadPreferences();
    if (PrevWindow == nullptr) {
        setWindowTitle(windowTitle() + QStringLiteral(" - Main Form"));
        LoadFiles(commandLineFiles_);
        CurvePanel->FillCurveCombo(*CurvePicker, false);
        CurvePanel->AutoUpdate = Action(QStringLiteral("AutoUpdateBtn"))->isChecked();
    }
    FirstShow = false;
}

bool Tcurvewindow::event(QEvent* event) {
    // The long part of the hint of whatever the mouse is over goes to the status line; an empty hint (the
    // pointer left the control) gives the line back to the program's prompt.
    if (event->type() == QEvent::StatusTip) {
        ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void Tcurvewindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        for (const auto& hook : activateHooks_) hook();
}

void Tcurvewindow::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
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

void Tcurvewindow::ShowPopup(const QPoint& pos) {
    UpdateCommands();
    popup_->popup(CurvePanel->mapToGlobal(pos));
}

// ---------------------------------------------------------------- keys

namespace {
// Keys typed into a text field are the field's, not commands.
bool TakesText(const QWidget* w) {
    if (w == nullptr) return false;
    if (qobject_cast<const QLineEdit*>(w) != nullptr || qobject_cast<const QAbstractSpinBox*>(w) != nullptr ||
        qobject_cast<const QTextEdit*>(w) != nullptr || qobject_cast<const QPlainTextEdit*>(w) != nullptr)
        return true;
    const auto* combo = qobject_cast<const QComboBox*>(w);
    return combo != nullptr && combo->isEditable();
}
} // namespace

bool Tcurvewindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == activePanel_ && event->type() == QEvent::MouseButtonPress) {
        NextCurve();
        UpdateCommands();
        return true;
    }
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* w = qobject_cast<QWidget*>(watched);
    // Only keys meant for this window, and not those typed into one of its text fields.
    if (w == nullptr || w->window() != this || TakesText(QApplication::focusWidget())) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const bool used = FormKeyDown(key->key(), key->modifiers());
    if (used) UpdateCommands();
    return used;
}

bool Tcurvewindow::FormKeyDown(int key, Qt::KeyboardModifiers shift) {
    if (CurvePanel->KeyDown(key, shift)) return true;
    // A menu shortcut reaches the window only when its command cannot run (hidden or disabled): the key
    // then does nothing rather than its plain-key meaning (Ctrl+R is not R).
    if (IsMenuShortcut(key, shift)) return true;
    if ((shift & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0) return false;
    // Plain keys run their commands as the menus would, so they follow the same enabled states.
    auto run = [this](const char* name) {
        QAction* a = Action(QLatin1String(name));
        if (a != nullptr && a->isEnabled()) a->trigger();
        return true;
    };
    switch (key) {
    case Qt::Key_Space:
        NextCurve();
        return true;
    case Qt::Key_C:
        return run("Cursor1");
    case Qt::Key_E:
        return run("Clearall1");
    case Qt::Key_G:
        return run("Removerange1");
    case Qt::Key_L:
        return run("Open1");
    case Qt::Key_R:
        return run("Delete1");
    case Qt::Key_S:
        return run("Save1");
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
