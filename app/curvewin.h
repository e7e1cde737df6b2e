// A curve window: the plot panel with its curves, the menus, the three toolbar bands, the status area and the
// popup menu of the plot, all built from the command table (app/commandtable.h). The first window is the main
// window; further windows form a chain behind it.
//
// The window's work is spread over files by concern: curvewin.cpp (building, enabling, keys, notification
// dispatch), windowchain.cpp (the chain, closing, placement), filecommands.cpp, operatecommands.cpp,
// viewcommands.cpp, printcommands.cpp, clipboardcommands.cpp and statusarea.cpp. A feature (a dialog and its
// window side) binds its commands in the table and registers the notification codes it handles in a file of
// its own.
#pragma once

#include "plot/NotifyTarget.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QToolBar;
class TCurveB;
class TCurvePanel;
class TFFTDlg;
class TFitDlg;
class TFunctionDlg;
class TGraphicComboBox;
class TSmoothDlg;
struct TCommand;

class Tcurvewindow : public QMainWindow, public NotifyTarget {
    Q_OBJECT
public:
    // files: curve files loaded at the first show of the main window (the command line).
    explicit Tcurvewindow(const QStringList& files = {}, QWidget* parent = nullptr);
    ~Tcurvewindow() override;

    TCurvePanel* CurvePanel = nullptr;
    Tcurvewindow* NextWindow = nullptr;
    Tcurvewindow* PrevWindow = nullptr;
    bool NewCurveMode = false;
    int PickMode =
        0; // 1, 2: a fit range bound is picked next; 3: first bound of a range to remove, 4: second
    int32_t RangeFirst = 0;
    int32_t RangeSecond = 0;
    QString StartDir;
    QString DataDir;
    bool CommandsEnabled = false; // last state given to the commands that need a curve
    bool FirstShow = true;
    bool ClosingByMain = false;
    TGraphicComboBox* CurvePicker = nullptr;
    // The fit panel of this window once it has been opened (commands are restricted while it shows).
    QPointer<TFitDlg> FitPanel;

    // Menu items, toolbar buttons and popup items by their object names (Open1, LoadBtn, PopClear, ...).
    QAction* Action(const QString& name) const;
    QLabel* StatusLine() const { return statusLine_; }
    QLabel* FileNamePanel() const { return fileNamePanel_; }
    QLabel* CursorPanel() const { return cursorPanel_; }
    QFrame* ActivePanel() const { return activePanel_; }
    QMenu* PopupMenu() const { return popup_; }
    QList<QToolBar*> ToolbarBands() const { return bands_; }
    // How often the window refreshed after a change of its curve set.
    int RefreshCount() const { return refreshCount_; }

    // ---- notifications
    intptr_t Notify(int code, int32_t a, int32_t b) override;
    using TNotifyHandler = std::function<intptr_t(int32_t a, int32_t b)>;
    // Registers the handler of a code; each feature registers the codes it owns.
    void OnNotify(int code, TNotifyHandler handler);
    // Runs after every refresh of the window after a change of its set (dialogs refill their lists).
    void OnRefresh(std::function<void()> hook);
    // Runs when the window becomes the active window (shared tool windows follow the window in use).
    void OnActivate(std::function<void()> hook);
    // Runs when the window closes for good (shared tool windows let go of it).
    void OnClose(std::function<void()> hook);
    // Runs after every update of the command states (dialog buttons that follow them).
    void OnCommandsUpdated(std::function<void()> hook);

    // ---- the state of the commands
    // Enables, shows and checks every command of the table from the state of the window: the number of
    // curves, the undo curve, the clipboard, the fit panel and the toggles.
    void UpdateCommands();
    // Whether a command of the table can run now by its class (a command not offered yet included).
    bool CommandUsable(const QString& name) const;
    bool FitPanelShowing() const;
    bool CursorShown() const;
    bool ZoomModeOn() const;
    bool NewCurveModeOn() const { return NewCurveMode; }
    bool AutoUpdateOn() const;
    bool ToolbarShown() const { return toolbarShown_; }
    bool RangePickOn() const { return PickMode == 3 || PickMode == 4; }
    // The clipboard holds something Paste can read.
    static bool ClipboardHasCurve();

    // ---- window chain and closing (windowchain.cpp)
    // Asks about every unsaved curve; false when the user cancelled (or a save he asked for failed).
    bool AskSaveCurves();
    Tcurvewindow* MainWindow();
    Tcurvewindow* LastWindow();
    Tcurvewindow* NewWindow();
    void NewWindowClick() { NewWindow(); }
    void CloseWindow() { close(); }
    void Exit();
    void Cascade();
    void Tile(const QRect& area);
    void TileClick();
    void About();

    // ---- files (filecommands.cpp)
    // Loads curve files and adds those with points; unreadable or empty files are reported in one message.
    void LoadFiles(const QStringList& files);
    void DropFiles(const QStringList& files);
    void OpenCurve();
    // File > Import: the "Import Data" dialog on a file the user picks; File > Export data: the active curve
    // as CSV or tab-separated columns (importcommands.cpp).
    void ImportData();
    void ExportData();
    bool SaveCurve(int32_t n);
    bool SaveCurveAs(int32_t n);
    void SaveActive();
    void SaveActiveAs();
    void DeleteCurve();
    // Takes the active curve out as a step named by `verb` ("Delete", "Cut").
    void RemoveActive(const QString& verb);
    void ClearAll();

    // ---- sessions (sessioncommands.cpp): every window of the chain in one file
    void OpenSessionClick();
    void SaveSessionClick();
    // Opens a session file into windows; one that cannot be opened is told, naming it, and changes nothing.
    bool OpenSession(const QString& fileName);

    // ---- operations (operatecommands.cpp)
    enum class TOperation { Derivative, Integral, TimesX, Inverse, Log };
    void Operate(TOperation op);
    void DerivativeClick() { Operate(TOperation::Derivative); }
    void IntegralClick() { Operate(TOperation::Integral); }
    void TimesXClick() { Operate(TOperation::TimesX); }
    void InverseClick() { Operate(TOperation::Inverse); }
    void LogClick() { Operate(TOperation::Log); }
    void UndoLast();
    void RedoNext();
    // Edit, Undo history: the window's steps by name; choosing one goes back or forth to it.
    void UndoHistoryClick();
    // Runs op on `curve` (a private copy) under the fault guard, with the busy pointer, and puts the result
    // in by ApplyResult: as a new curve, or replacing curve `index`. A fault, or a failure of op, leaves the
    // set as it was and is shown (a failure only when `failure` is given); false then.
    // `operation` names the step of the undo history ("Derivative" of curve #2).
    bool RunAndApply(std::unique_ptr<TCurveB> curve, const std::function<bool(TCurveB&)>& op, bool asNew,
                     int32_t index, const QString& failure = {},
                     const QString& operation = QStringLiteral("Operation"));
    // The same on a copy of the active curve, which the result replaces unless new-curve mode is on.
    bool RunOnActive(const std::function<bool(TCurveB&)>& op, const QString& failure = {},
                     const QString& operation = QStringLiteral("Operation"));
    void BeginRemoveRange();
    void RemoveRangeToggle(bool on);
    void EndRangePick();

    // ---- operation dialogs (operatedialogs.cpp): FFT, smoothing and f(x) per window; the shared
    // interpolation, average, data scaling and curve math dialogs serve the window that opened them.
    QPointer<TFFTDlg> FFTDialog;
    QPointer<TSmoothDlg> SmoothDialog;
    QPointer<TFunctionDlg> FunctionDialog;
    void CurveConstantClick();
    void CurveMathClick();
    void FFTClick();
    void SmoothClick();
    void InterpolateClick();
    void AverageClick();
    void FunctionClick();

private:
    void InstallOperateDialogs();
    void FillFFTLists();
    void RunFFT();
    void RunSmooth();
    void ApplyConstant(int code, double c);
    // The dialogs' buttons follow the window's curves, undo curve and new-curve mode.
    void FollowDialogs();

public:
    // ---- view (viewcommands.cpp)
    void SwitchCursor(bool on);
    void ZoomIn(bool on);
    void ZoomInClick() { ZoomIn(true); }
    void ZoomOut();
    void ZoomToFit();
    void SetAutoUpdate(bool on);
    void ShowToolbar(bool on);
    void SetNewCurveMode(bool on);
    void NextCurve();
    void ResetColors();
    void HelpContents();
    // The legend and the round tick values; both are kept in the preferences file at once.
    void ShowLegend(bool on);
    bool LegendShown() const;
    void SetRoundTicks(bool on);
    bool RoundTicksOn() const;

    // ---- display, axes and preferences (displaycommands.cpp)
    // The user function library file: the preferences' name, in the user's data folder unless absolute.
    QString FunctionLibraryFile;
    void CurveDisplay();
    void AxesClick();
    void PreferencesClick();
    // The preferences file: read at the window's first show; written when the main window closes and after
    // every use of Preferences (a failed write is told once, and again when the reason changes or after a
    // write that succeeded).
    void ReadPreferences();
    void WritePreferences();
    // The folder Open and Save offer next; the last one used in any window is the one kept in the file.
    void SetDataDir(const QString& folder);

    // ---- printing and exported pictures (printcommands.cpp)
    void PrintGraph();
    void PrintSetup();
    void ExportGraph();

    // ---- clipboard (clipboardcommands.cpp)
    void CopyCurve();
    void CutCurve();
    void PasteCurve();

    // ---- fit panel (fitcommands.cpp)
    // Fit (menu): opens the panel, or brings it forward; the Fit button opens and closes it.
    void FitClick();
    void FitToggle(bool on);
    void OpenFitPanel();
    // The window's fit panel, made (hidden) when it has none yet.
    TFitDlg& MakeFitPanel();
    // The model over the plot, drawn again from the panel's model (nothing without a term).
    void DrawFitModel();

private:
    void InstallFit();
    void FitPanelClosed();
    void FitRangePicked(int32_t index);
    void FitInitialGuesses();
    // The panel fits the active curve as it is now: a changed active curve is passed again, whole.
    void FollowActiveCurve();

public:
    // ---- table editor (tablecommands.cpp)
    // New curve: an empty curve, made active, with its table open.
    void NewCurveClick();
    // Table, Curve data: the table of the active curve.
    void TableClick();

    // ---- status area (statusarea.cpp)
    void RefreshAfterSetChange();
    // A prompt of the program in the status line; hints shown while the pointer rests on a control give way
    // to it again when the pointer leaves.
    void SetPrompt(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildCommands();
    void BuildStatusArea();
    void InstallHandlers();
    void InstallDisplay();
    void InstallTables();
    bool FormCloseQuery();
    void FormClose();
    void Unlink();
    // A key the window sees before its controls: the plot panel's keys, then the plain keys. True when used.
    bool FormKeyDown(int key, Qt::KeyboardModifiers shift);
    bool Usable(const TCommand& row) const;
    bool IsMenuShortcut(int key, Qt::KeyboardModifiers shift) const;
    // Saves curve n under fileName; a failure is shown with its reason.
    bool WriteCurve(int32_t n, const std::string& fileName);
    void RangePicked(int32_t index);
    void ShowPopup(const QPoint& pos);
    void PlotDoubleClick(QPoint pos);
    void PickerChosen(int index);
    void ShowHint(const QString& hint);
    void FitPickerWidth();

    QStringList commandLineFiles_;
    std::map<QString, QAction*> actions_;
    std::vector<std::pair<const TCommand*, QAction*>> commands_;
    std::map<int, TNotifyHandler> notifyHandlers_;
    std::vector<std::function<void()>> refreshHooks_;
    std::vector<std::function<void()>> activateHooks_;
    std::vector<std::function<void()>> closeHooks_;
    std::vector<std::function<void()>> commandHooks_;
    QList<QToolBar*> bands_;
    QMenu* popup_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* fileNamePanel_ = nullptr;
    QLabel* cursorPanel_ = nullptr;
    QFrame* activePanel_ = nullptr;
    QString prompt_;
    bool toolbarShown_ = true;
    int refreshCount_ = 0;
};
