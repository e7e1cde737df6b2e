// "Data format": how the two columns of a table editor show their numbers.
#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QCheckBox;
class QLabel;
class QSpinBox;

// How a column shows its numbers: fixed notation with Decimals places, or exponent notation, right-aligned
// in a field Digits characters wide (wider when the number needs it). Only the text changes, never a value.
struct TColumnFormat {
    int Digits = 8;   // 0..24
    int Decimals = 4; // 0..12
    bool Scientific = false;
    // The text of v (empty for an empty cell).
    QString Format(double v) const;
};

class TGridFormat : public QDialog {
    Q_OBJECT
public:
    explicit TGridFormat(QWidget* parent);

    void Load(const std::array<TColumnFormat, 2>& formats);
    std::array<TColumnFormat, 2> Formats() const;

private:
    struct TColumnControls {
        QCheckBox* scientific;
        QSpinBox* digits;
        QLabel* decimalsLabel;
        QSpinBox* decimals;
    };
    std::array<TColumnControls, 2> columns_{};
};
