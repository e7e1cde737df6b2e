// "Non-Linear Fitting": the fit panel of a curve window. The user builds the model from terms, edits, bounds
// and locks their parameters in the rows, runs the fit and reads the result. The panel owns the engine with
// the model and the data; it never changes the curves: the window passes it the active curve and its fit
// range, makes the initial guesses, generates model curves and draws the model over the plot when the panel
// asks it by notification.
#pragma once

#include "fit/FitSettings.h"
#include "plot/MovingCurves.h"
#include "plot/WindowDialog.h"

#include <QFrame>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollArea;
enum class TArithFault;
class TAddPeakDlg;
class TFitParamB;
class TFitLibrary;
class TGrid;
class TPeak;
class TREdit;
class TRDragEdit;

// One parameter of the selected term: its name, its value (dragged or typed), its bounds and its lock.
class TParmPanel : public QFrame {
    Q_OBJECT
public:
    explicit TParmPanel(QWidget* parent);

    QLabel* NameLabel;
    TRDragEdit* ValueEdit;
    TREdit* MinEdit;
    TREdit* MaxEdit;
    QCheckBox* LockCheck;
};

// The rows of the selected term, side by side in a strip that scrolls.
class TParmPanelSet : public QWidget {
    Q_OBJECT
public:
    static constexpr int MaxRows = 10;
    explicit TParmPanelSet(QWidget* parent);

    TParmPanel* Row(int k) const { return rows_[static_cast<size_t>(k - 1)]; } // k from 1
    // Shows rows 1..n; the others are hidden with their names cleared.
    void ShowRows(int n);
    int ShownRows() const { return shown_; }

private:
    std::array<TParmPanel*, MaxRows> rows_{};
    int shown_ = 0;
};

class TFitDlg : public TWindowDialog {
    Q_OBJECT
public:
    TFitDlg(QWidget* window, TFitLibrary& library);
    ~TFitDlg() override;

    TFitParamB& Fit() { return *fit_; }
    const TFitParamB& Fit() const { return *fit_; }
    TFitLibrary& Library() const { return library_; }

    // ---- what the window gives the panel
    // Points first..last of the window's active curve become the data (and the range shown). During a run the
    // run is stopped first and the data taken when it has ended.
    void SetData(const TCurveB& curve, int32_t first, int32_t last);
    int32_t RangeFirst() const { return first_; }
    int32_t RangeLast() const { return last_; }
    // The data are points first..last of curve as it is now.
    bool HoldsData(const TCurveB& curve) const;
    // The range buttons show which bound the window is picking (its PickMode: 1 left, 2 right, else none).
    void SetPickState(int pickMode);
    // Runs the shared settings dialog on the values; true on OK.
    std::function<bool(TFitSettings&)> EditSettings;
    // The window's curves (their names and points) that the "sigma" weights can take their sigmas from.
    std::function<std::vector<std::pair<QString, TCurveB>>()> SigmaCurves;
    // A run began or ended (the window keeps the panel open meanwhile).
    std::function<void()> OnRunChanged;
    // The folder the tabulated term's file dialog opens in.
    QString DataDir;

    // ---- operations of the window and the function chooser
    // type 0..6 built in (6 = Tabulated, read from tabulatedFile), 7 + k the library's function k.
    void AddTerm(int type, int order, bool initialize, const QString& tabulatedFile = {});
    // Puts a whole model in place of the present one (a saved session's), with term `selected` chosen (-1
    // none); the data stay.
    void SetModel(std::vector<TPeak> terms, int selected);
    // The two corners of a shape marked in the plot (world coordinates), for the selected term.
    void TwoPointGuess(TXYPoint p1, TXYPoint p2);
    // The terms' values changed outside the rows (initial guesses): rows, chi-square and figures follow.
    void ValuesChanged();
    // Draws the model line (and the peak markers) into an image of the plot area.
    void DrawModel(QPainter& painter, const TGrid& grid);

    bool Running() const { return running_; }
    int SelectedTerm() const; // -1 without a term
    void SelectTerm(int index);
    const TFitSettings& CurrentSettings() const { return settings_; }
    void ApplySettings(const TFitSettings& settings);
    // The mouse mode the selected term's two-point guess asks of the plot: 2 a line, 1 a mirrored rectangle,
    // 0 none.
    int MarkShape() const;
    // Tells the window which mouse mode the selected term's two-point guess needs.
    void SendMarkShape();
    TAddPeakDlg* Chooser() const;

    // ---- controls
    QPushButton* AddBtn;
    QPushButton* RemoveBtn;
    QPushButton* ClearAllBtn;
    QPushButton* CurveGen;
    QRadioButton* ActiveOnly;
    QRadioButton* All;
    QListWidget* PeakList;
    QScrollArea* ParamPanel;
    TParmPanelSet* Rows;
    QPushButton* FitBtn;
    QPushButton* StepBtn;
    QPushButton* InitBtn;
    QPushButton* AbortBtn;
    QPushButton* Settings;
    QPushButton* RangeLeftBtn;
    QPushButton* RangeRightBtn;
    QLabel* RangeDisplay;
    QLabel* IterationCaption;
    QLabel* Iteration;
    QLabel* ChiSqr;
    QFrame* ChiSqrBar;
    QComboBox* WeightsBox;
    QComboBox* SigmaSource;
    QCheckBox* BandCheck;

    // ---- the buttons' actions
    void AddClick();
    void RemoveClick();
    void ClearAllClick();
    void FitClick();
    void StepClick();
    void InitClick();
    void AbortClick() { abort_ = true; }
    void GenerateClick();
    void SettingsClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillList();
    void FillRows();
    void RefreshFigures();
    // After a change of the model's values: chi-square, figures and the model line.
    void ModelChanged();
    void EnableControls();
    void ValueEdited(int k);
    void BoundsEdited(int k);
    void LockToggled(int k, bool on);
    // The Alt key nudges; true when the key was one.
    bool Nudge(int key, Qt::KeyboardModifiers modifiers);
    // Whether Fit or Step can run; says why not when the range is too short.
    bool CanStep();
    // Runs Step under the fault guard.
    TArithFault GuardedStep(bool& finished);
    void ShowResult();
    // The weights chosen, for the data: false after saying why they cannot be had.
    bool ApplyWeights();
    // The "Weights" choice or the sigmas' source changed.
    void WeightsChosen();
    // Lists the curve's own sigmas and the window's curves as sources of sigmas.
    void FillSigmaSources();
    void RangePressed(int bound, bool down);
    void ShowRange();

    TFitLibrary& library_;
    // The engine: the model, the data and the fitted display curve.
    std::unique_ptr<TFitParamB> fit_;
    TMovingCurve moving_;
    // The confidence band's lines.
    TMovingCurve bandLower_, bandUpper_;
    // The curve the data were taken from (for its own sigmas), and whether the weights chosen are the fit's.
    TCurveB data_;
    bool weightsApplied_ = false;
    TFitSettings settings_;
    QPointer<TAddPeakDlg> chooser_;
    int32_t first_ = 0, last_ = 0;
    bool running_ = false;
    bool abort_ = false;
    bool updating_ = false;
    // Data the window passed during a run, taken when the run has ended.
    struct TPendingData {
        TCurveB curve;
        int32_t first, last;
    };
    std::optional<TPendingData> pending_;
};
