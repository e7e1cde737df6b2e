// "Export graph": the size of the picture File > Export graph writes, in pixels or in centimetres at a
// resolution, and its background: the window's, or white as on paper. One dialog serves every window and
// keeps its choices between uses.
#pragma once

#include <QDialog>
#include <QSize>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

class TExportGraphDlg : public QDialog {
    Q_OBJECT
public:
    explicit TExportGraphDlg(QWidget* parent);

    QRadioButton* PixelsRadio = nullptr;
    QRadioButton* CentimetresRadio = nullptr;
    QDoubleSpinBox* WidthEdit = nullptr;
    QDoubleSpinBox* HeightEdit = nullptr;
    QSpinBox* ResolutionEdit = nullptr;
    QLabel* SizeLabel = nullptr; // the picture's pixels, or why they cannot be had
    QRadioButton* WindowBackground = nullptr;
    QRadioButton* WhiteBackground = nullptr;
    QPushButton* OKBtn = nullptr;

    // Before showing: in pixels the window's graph size is offered; centimetres keep the last choice.
    void Load(QSize window);
    // The picture's pixels and the resolution they are drawn at (the screen's for a size in pixels).
    QSize PixelSize() const;
    int Dpi() const;
    bool White() const;

private:
    void UnitChanged();
    void ShowPixels();
    bool centimetres_ = false; // the unit the edits hold now
};
