#include "app/ExportGraphDlg.h"

#include "plot/GraphPicture.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {
constexpr int DefaultDpi = 300;
constexpr double MinCm = 0.5, MaxCm = 500.0;
} // namespace

TExportGraphDlg::TExportGraphDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Export graph"));
    auto* size = new QGroupBox(QStringLiteral("Size"), this);
    PixelsRadio = new QRadioButton(QStringLiteral("&Pixels"), size);
    CentimetresRadio = new QRadioButton(QStringLiteral("&Centimetres"), size);
    PixelsRadio->setChecked(true);
    WidthEdit = new QDoubleSpinBox(size);
    HeightEdit = new QDoubleSpinBox(size);
    ResolutionEdit = new QSpinBox(size);
    ResolutionEdit->setRange(MinDpi, MaxDpi);
    ResolutionEdit->setValue(DefaultDpi);
    ResolutionEdit->setSuffix(QStringLiteral(" dpi"));
    ResolutionEdit->setToolTip(
        QStringLiteral("Dots per inch of the picture; text and lines keep their size"));
    SizeLabel = new QLabel(size);
    for (QDoubleSpinBox* e : {WidthEdit, HeightEdit}) {
        e->setDecimals(0);
        e->setRange(MinGraphSide, MaxGraphSide);
        e->setValue(MinGraphSide);
        e->setKeyboardTracking(true);
    }
    auto* units = new QHBoxLayout;
    units->addWidget(PixelsRadio);
    units->addWidget(CentimetresRadio);
    units->addStretch();
    auto* form = new QFormLayout(size);
    form->addRow(units);
    form->addRow(QStringLiteral("&Width:"), WidthEdit);
    form->addRow(QStringLiteral("&Height:"), HeightEdit);
    form->addRow(QStringLiteral("&Resolution:"), ResolutionEdit);
    form->addRow(SizeLabel);

    auto* background = new QGroupBox(QStringLiteral("Background"), this);
    WindowBackground = new QRadioButton(QStringLiteral("The &window's"), background);
    WhiteBackground = new QRadioButton(QStringLiteral("Wh&ite, as printed"), background);
    WindowBackground->setChecked(true);
    auto* bg = new QVBoxLayout(background);
    bg->addWidget(WindowBackground);
    bg->addWidget(WhiteBackground);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    OKBtn = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(size);
    layout->addWidget(background);
    layout->addWidget(buttons);

    connect(CentimetresRadio, &QRadioButton::toggled, this, [this] { UnitChanged(); });
    for (QDoubleSpinBox* e : {WidthEdit, HeightEdit})
        connect(e, &QDoubleSpinBox::valueChanged, this, [this] { ShowPixels(); });
    connect(ResolutionEdit, &QSpinBox::valueChanged, this, [this] { ShowPixels(); });
    UnitChanged();
}

void TExportGraphDlg::Load(QSize window) {
    if (!CentimetresRadio->isChecked()) {
        WidthEdit->setValue(std::clamp(window.width(), MinGraphSide, MaxGraphSide));
        HeightEdit->setValue(std::clamp(window.height(), MinGraphSide, MaxGraphSide));
    }
    ShowPixels();
}

void TExportGraphDlg::UnitChanged() {
    const bool cm = CentimetresRadio->isChecked();
    ResolutionEdit->setEnabled(cm);
    if (cm != centimetres_) {
        // The same pixels in the other unit, at the resolution shown.
        const double dpi = ResolutionEdit->value();
        const double w = WidthEdit->value(), h = HeightEdit->value();
        for (QDoubleSpinBox* e : {WidthEdit, HeightEdit}) {
            e->blockSignals(true);
            e->setDecimals(cm ? 2 : 0);
            e->setRange(cm ? MinCm : MinGraphSide, cm ? MaxCm : MaxGraphSide);
            e->setSuffix(cm ? QStringLiteral(" cm") : QString());
        }
        WidthEdit->setValue(cm ? w / dpi * 2.54 : PixelsOfCm(w, static_cast<int>(dpi)));
        HeightEdit->setValue(cm ? h / dpi * 2.54 : PixelsOfCm(h, static_cast<int>(dpi)));
        for (QDoubleSpinBox* e : {WidthEdit, HeightEdit}) e->blockSignals(false);
        centimetres_ = cm;
    }
    ShowPixels();
}

QSize TExportGraphDlg::PixelSize() const {
    if (!CentimetresRadio->isChecked())
        return {static_cast<int>(std::lround(WidthEdit->value())),
                static_cast<int>(std::lround(HeightEdit->value()))};
    return {PixelsOfCm(WidthEdit->value(), Dpi()), PixelsOfCm(HeightEdit->value(), Dpi())};
}

int TExportGraphDlg::Dpi() const {
    return CentimetresRadio->isChecked() ? ResolutionEdit->value() : ScreenDpi;
}

bool TExportGraphDlg::White() const {
    return WhiteBackground->isChecked();
}

void TExportGraphDlg::ShowPixels() {
    const QSize px = PixelSize();
    QString text = QStringLiteral("%1 x %2 pixels").arg(px.width()).arg(px.height());
    const bool ok = GraphSizeAllowed(px, Dpi());
    if (!GraphSizeAllowed(px))
        text += QStringLiteral(": a side must be %1 to %2 pixels").arg(MinGraphSide).arg(MaxGraphSide);
    else if (!ok)
        text += QStringLiteral(": too small for its resolution");
    SizeLabel->setText(text);
    OKBtn->setEnabled(ok);
}
