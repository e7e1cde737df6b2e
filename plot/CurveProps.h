// The display properties dialog of a curve: lines and symbols, their colours and the symbol size, with a
// preview. One dialog serves every curve window; the window it serves loads it (LoadDisplayProps) when it
// shows and stores its settings into the curve (StoreDisplayProps) on OK and Apply.
#pragma once

#include "plot/NotifyTarget.h"
#include "plot/curve_plot.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class TColorCombo;

class TCurveProperties : public QDialog {
    Q_OBJECT
public:
    explicit TCurveProperties(QWidget* parent = nullptr);

    NotifyTarget* Window = nullptr; // the curve window served
    bool Modified = false;          // a setting changed since the dialog showed or was applied
    int32_t CurveNumber = 0;        // the curve edited; its window sets it when it loads the dialog
    TColor PreviewBackColor = 0x000000;

    QCheckBox* SymbolCheck = nullptr;
    TColorCombo* SymbolColor = nullptr;
    QSpinBox* SymbolSize = nullptr;
    QCheckBox* LineCheck = nullptr;
    TColorCombo* LineColor = nullptr;
    TColorCombo* LineStyle = nullptr;   // kept and stored, not shown
    QCheckBox* ErrorBarCheck = nullptr; // usable for a curve that carries sigmas
    QLabel* PreviewImage = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* ApplyBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    // The controls from a curve's style; sigmas: the curve carries them, and so can show error bars.
    void ShowStyle(const CurveStyle& style, bool sigmas = false);
    // The style with the dialog's settings: a colour, style or size is taken only while its box is checked.
    CurveStyle EditedStyle(CurveStyle style) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Changed();
    void EnableControls();
    void DrawPreview();
    void Store();
};
