// A curve window: the plot panel with its curves, the menus, the three toolbar bands, the status area and the
// popup menu of the plot. The first window is the main window; further windows form a chain behind it.
#pragma once

#include "plot/NotifyTarget.h"

#include <QMainWindow>
#include <QStringList>

#include <map>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QToolBar;
class TCurvePanel;
class TGraphicComboBox;

// Codes the window handles besides those of the curve set and the plot panel.
namespace notify {
constexpr int CursorFromTool = 0x408; // a: 1 on / 0 off; b: 1 = switch the plot cursor itself
constexpr int UndoRequest = 0x40A;
constexpr int PlaceToolWindow = 0x40F; // a: placement mode; b: width | height << 16; reply left | top << 16
} // namespace notify

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
    int PickMode = 0; // 3: first bound of a range to remove is next, 4: the second
    int32_t RangeFirst = 0;
    int32_t RangeSecond = 0;
    QString StartDir;
    QString DataDir;
    bool CommandsEnabled = true;
    bool FirstShow = true;
    bool ClosingByMain = false;
    TGraphicComboBox* CurvePicker = nullptr;

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

    intptr_t Notify(int code, int32_t a, int32_t b) override;

    // Asks about every unsaved curve; false when the user cancelled (or a save he asked for failed).
    bool AskSaveCurves();
    void RefreshAfterSetChange();
    void EnableCurveCommands(bool on);
    // Loads curve files and adds those with points; unreadable or empty files are reported in one message.
    void LoadFiles(const QStringList& files);
    void DropFiles(const QStringList& files);

    Tcurvewindow* MainWindow();
    Tcurvewindow* LastWindow();

    // ---- commands
    void OpenCurve();
    bool SaveCurve(int32_t n);
    bool SaveCurveAs(int32_t n);
    void DeleteCurve();
    void ClearAll();
    void Exit();
    void UndoLast();
    void SwitchCursor(bool on);
    void ZoomIn(bool on);
    void ZoomOut();
    void SetAutoUpdate(bool on);
    void ShowToolbar(bool on);
    void SetNewCurveMode(bool on);
    enum class TOperation { Derivative, Integral, TimesX, Inverse, Log };
    void Operate(TOperation op);
    void BeginRemoveRange();
    void EndRangePick();
    void NextCurve();
    void ResetColors();
    void Cascade();
    void Tile(QSize screen);
    Tcurvewindow* NewWindow();
    void About();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolbars();
    void BuildStatusArea();
    QAction* MakeAction(const QString& name, const QString& caption, const QString& hint,
                        const QKeySequence& shortcut = {});
    void SetChecked(const QString& name, bool on);
    bool FormCloseQuery();
    void FormClose();
    void Unlink();
    bool FormKeyDown(int key, Qt::KeyboardModifiers shift);
    void RangePicked(int32_t index);
    void ShowPopup(const QPoint& pos);
    void PlotDoubleClick(QPoint pos);
    bool RefuseWhenFull();

    QStringList commandLineFiles_;
    std::map<QString, QAction*> actions_;
    std::vector<QAction*> curveCommands_;
    std::vector<QAction*> popupCurveItems_;
    QList<QToolBar*> bands_;
    QMenu* popup_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* fileNamePanel_ = nullptr;
    QLabel* cursorPanel_ = nullptr;
    QFrame* activePanel_ = nullptr;
    int refreshCount_ = 0;
};
