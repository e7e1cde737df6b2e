// "Fit settings": the settings of a fit panel's runs (how a fit decides it has converged, how many
// iterations it may take) and of its model line. One dialog for the program; the fit panel fills it, runs it
// and reads it back.
#pragma once

#include "plot/WindowDialog.h"

#include <cstdint>

class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class TREdit;
class TRDragEdit;

struct TFitSettings {
    double tolerance = 1e-4;
    int32_t maxIterations = 100;
    bool dragUpdate = true;
    int32_t displayIncrements = 100;
    // The relative test (ftol, xtol) instead of the chi-square change test (tolerance).
    bool relativeTest = false;
    double ftol = 1e-12;
    double xtol = 1e-10;
    // The weighting of the data points (TWeighting: 0 none, 1 sigma, 2 poisson, 3 relative).
    int32_t weights = 0;
};

class TFitSettingsDlg : public TWindowDialog {
    Q_OBJECT
public:
    explicit TFitSettingsDlg(QWidget* parent = nullptr);

    // The model line has at least 2 points and at most as many as a curve made by interpolation.
    static constexpr int32_t MaxIncrements = 67768;

    void Load(const TFitSettings& settings);
    TFitSettings Values() const;
    // OK refuses, with a message, a field of the chosen test that holds no finite number.
    void accept() override;

    TRDragEdit* ToleranceEdit = nullptr;
    QSpinBox* MaxIterEdit = nullptr;
    QCheckBox* DragUpdateCheck = nullptr;
    QSpinBox* IncrementsEdit = nullptr;
    QRadioButton* ChiChangeRadio = nullptr;
    QRadioButton* RelativeRadio = nullptr;
    TREdit* FtolEdit = nullptr;
    TREdit* XtolEdit = nullptr;

private:
    void TestChosen();

    QLabel* toleranceLabel_ = nullptr;
    QLabel* ftolLabel_ = nullptr;
    QLabel* xtolLabel_ = nullptr;
};
