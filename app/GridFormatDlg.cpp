#include "app/GridFormatDlg.h"

#include "plot/TableWindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

QString TColumnFormat::Format(double v) const {
    if (!TCurveTable::HasValue(v)) return {};
    // The exponent form fills the field: sign, one digit, the point, the decimals and "E+00".
    return Scientific ? QString::number(v, 'E', std::max(1, Digits - 7)) : QString::number(v, 'f', Decimals);
}

TGridFormat::TGridFormat(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Data format"));
    auto* row = new QHBoxLayout;
    const char* const titles[2] = {"X Collumn", "Y Collumn"};
    for (int c = 0; c < 2; ++c) {
        auto* box = new QGroupBox(QLatin1String(titles[c]), this);
        auto* grid = new QGridLayout(box);
        TColumnControls& k = columns_[static_cast<size_t>(c)];
        k.scientific = new QCheckBox(QStringLiteral("Scientific Notation"), box);
        k.digits = new QSpinBox(box);
        k.digits->setRange(0, 24);
        k.decimals = new QSpinBox(box);
        k.decimals->setRange(0, 12);
        k.decimalsLabel = new QLabel(QStringLiteral("Dec. places:"), box);
        k.decimalsLabel->setBuddy(k.decimals);
        auto* digitsLabel = new QLabel(QStringLiteral("Num digits:"), box);
        digitsLabel->setBuddy(k.digits);
        grid->addWidget(k.scientific, 0, 0, 1, 2);
        grid->addWidget(digitsLabel, 1, 0);
        grid->addWidget(k.digits, 1, 1);
        grid->addWidget(k.decimalsLabel, 2, 0);
        grid->addWidget(k.decimals, 2, 1);
        // Exponent notation has no fixed number of decimals.
        connect(k.scientific, &QCheckBox::toggled, this, [k](bool on) {
            k.decimalsLabel->setEnabled(!on);
            k.decimals->setEnabled(!on);
        });
        row->addWidget(box);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

void TGridFormat::Load(const std::array<TColumnFormat, 2>& formats) {
    for (size_t c = 0; c < 2; ++c) {
        const TColumnControls& k = columns_[c];
        k.scientific->setChecked(formats[c].Scientific);
        k.digits->setValue(formats[c].Digits);
        k.decimals->setValue(formats[c].Decimals);
        k.decimalsLabel->setEnabled(!formats[c].Scientific);
        k.decimals->setEnabled(!formats[c].Scientific);
    }
}

std::array<TColumnFormat, 2> TGridFormat::Formats() const {
    std::array<TColumnFormat, 2> out;
    for (size_t c = 0; c < 2; ++c)
        out[c] = {columns_[c].digits->value(), columns_[c].decimals->value(),
                  columns_[c].scientific->isChecked()};
    return out;
}
