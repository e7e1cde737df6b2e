#include "plot/CurveProps.h"

#include "plot/SpecialCombos.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr QSize PreviewSize(65, 21);
}

TCurveProperties::TCurveProperties(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Curve Display Properties"));
    setModal(true);

    auto* symbols = new QGroupBox(QStringLiteral("Symbols"), this);
    SymbolCheck = new QCheckBox(QStringLiteral("Symbols"), symbols);
    SymbolColor = new TColorCombo(symbols);
    SymbolColor->FillColors();
    SymbolSize = new QSpinBox(symbols);
    SymbolSize->setRange(1, 20);
    SymbolSize->setValue(3);
    SymbolSize->setToolTip(QStringLiteral("Symbol size (pixels)"));
    auto* symbolGrid = new QGridLayout(symbols);
    symbolGrid->addWidget(SymbolCheck, 0, 0, 1, 2);
    symbolGrid->addWidget(new QLabel(QStringLiteral("Color:"), symbols), 1, 0);
    symbolGrid->addWidget(SymbolColor, 1, 1);
    symbolGrid->addWidget(new QLabel(QStringLiteral("Size:"), symbols), 2, 0);
    symbolGrid->addWidget(SymbolSize, 2, 1);

    auto* lines = new QGroupBox(QStringLiteral("Lines"), this);
    LineCheck = new QCheckBox(QStringLiteral("&Lines"), lines);
    LineCheck->setToolTip(QStringLiteral("Connect data points with a line"));
    LineColor = new TColorCombo(lines);
    LineColor->FillColors();
    LineStyle = new TColorCombo(lines);
    LineStyle->SetStringStyle(ssNone);
    LineStyle->FillLineStyles();
    LineStyle->hide();
    auto* lineGrid = new QGridLayout(lines);
    lineGrid->addWidget(LineCheck, 0, 0, 1, 2);
    lineGrid->addWidget(new QLabel(QStringLiteral("Color:"), lines), 1, 0);
    lineGrid->addWidget(LineColor, 1, 1);
    lineGrid->setRowStretch(2, 1);

    ErrorBarCheck = new QCheckBox(QStringLiteral("&Error bars"), this);
    ErrorBarCheck->setToolTip(QStringLiteral("Show the sigma of each point as a vertical bar"));
    ErrorBarCheck->setEnabled(false);

    PreviewImage = new QLabel(this);
    PreviewImage->setFixedSize(PreviewSize);
    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setDefault(true);
    ApplyBtn = new QPushButton(QStringLiteral("&Apply"), this);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);

    auto* groups = new QHBoxLayout;
    groups->addWidget(symbols);
    groups->addWidget(lines);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(QStringLiteral("Preview:"), this));
    bottom->addWidget(PreviewImage);
    bottom->addStretch(1);
    bottom->addWidget(OKBtn);
    bottom->addWidget(ApplyBtn);
    bottom->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(ErrorBarCheck);
    layout->addLayout(bottom);

    connect(ErrorBarCheck, &QCheckBox::clicked, this, &TCurveProperties::Changed);
    for (QCheckBox* box : {SymbolCheck, LineCheck})
        connect(box, &QCheckBox::clicked, this, [this] {
            EnableControls();
            Changed();
        });
    for (TColorCombo* combo : {SymbolColor, LineColor})
        connect(combo, &TColorCombo::Changed, this, &TCurveProperties::Changed);
    connect(SymbolSize, &QSpinBox::valueChanged, this, &TCurveProperties::Changed);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        Store();
        accept();
    });
    connect(ApplyBtn, &QPushButton::clicked, this, [this] {
        Store();
        Modified = false;
        CancelBtn->setText(QStringLiteral("Close"));
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TCurveProperties::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (Window != nullptr) {
        Window->Notify(notify::LoadDisplayProps, 0, 0);
        const QSize size = frameGeometry().size();
        const auto place = static_cast<int32_t>(
            Window->Notify(notify::PlaceToolWindow, 4, PackPair(size.width(), size.height())));
        move(UnpackLow(place), UnpackHigh(place));
    }
    Modified = false;
    CancelBtn->setText(QStringLiteral("Cancel"));
    DrawPreview();
}

void TCurveProperties::ShowStyle(const CurveStyle& style, bool sigmas) {
    const QSignalBlocker b1(SymbolSize);
    // A colour without a name gets an item of its own, so that storing keeps it.
    LineColor->SelectColor(style.linecolor);
    LineStyle->setCurrentIndex(LineStyle->IndexOfStyle(static_cast<TPenStyle>(style.linestyle)));
    SymbolColor->SelectColor(style.SymbolColor);
    SymbolSize->setValue(style.SymbolSize);
    SymbolCheck->setChecked(style.symbol != 0);
    LineCheck->setChecked(style.line != 0);
    ErrorBarCheck->setChecked(style.errorbars != 0);
    ErrorBarCheck->setEnabled(sigmas);
    EnableControls();
    DrawPreview();
}

CurveStyle TCurveProperties::EditedStyle(CurveStyle style) const {
    style.line = LineCheck->isChecked();
    if (style.line) {
        style.linecolor = LineColor->SelectedColor();
        style.linestyle = LineStyle->SelectedStyle();
    }
    style.symbol = SymbolCheck->isChecked();
    if (style.symbol) {
        style.SymbolColor = SymbolColor->SelectedColor();
        style.SymbolSize = SymbolSize->value();
    }
    style.errorbars = ErrorBarCheck->isChecked();
    return style;
}

void TCurveProperties::EnableControls() {
    LineColor->setEnabled(LineCheck->isChecked());
    LineStyle->setEnabled(LineCheck->isChecked());
    SymbolColor->setEnabled(SymbolCheck->isChecked());
    SymbolSize->setEnabled(SymbolCheck->isChecked());
}

void TCurveProperties::Changed() {
    Modified = true;
    DrawPreview();
}

void TCurveProperties::DrawPreview() {
    QImage image(PreviewSize, QImage::Format_RGB32);
    image.fill(ToQColor(PreviewBackColor));
    TPlottedCurve sample;
    sample.SetStyle(EditedStyle(sample.GetStyle()));
    sample.DrawPreview(image);
    {
        QPainter p(&image);
        p.setPen(Qt::black);
        p.drawLine(0, 0, image.width() - 1, 0);
        p.drawLine(0, 0, 0, image.height() - 1);
    }
    PreviewImage->setPixmap(QPixmap::fromImage(image));
}

void TCurveProperties::Store() {
    if (Window != nullptr) Window->Notify(notify::StoreDisplayProps, CurveNumber, 0);
}
