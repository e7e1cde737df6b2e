#include "curves/CurveCurveDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

TCurveCurve::TCurveCurve(QWidget* parent) : TWindowDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Curve Math"));
    setObjectName(QStringLiteral("CurveMathDialog"));
    list_ = Control<QComboBox>("CurveList", "Use this curve to operate on the active curve");
    list_->setMinimumWidth(60);
    struct TOperation {
        const char* name;
        const char* caption;
        const char* hint;
        int code;
    };
    static const TOperation ops[] = {
        {"PlusBtn", "+", "Add curve to active", 1},
        {"MinusBtn", "-", "Subtract curve from active", 2},
        {"TimesBtn", "*", "Multiply curve by active", 4},
        {"DivideBtn", "/", "Divide active by curve", 3},
    };
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("active curve with curve #"), this), 0, 0, 1, 3);
    grid->addWidget(list_, 0, 3);
    int column = 0;
    for (const TOperation& op : ops) {
        QPushButton* b = Button(op.name, op.hint, op.caption);
        b->setMinimumWidth(36);
        const int code = op.code;
        connect(b, &QPushButton::clicked, this,
                [this, code] { Send(notify::CurveMath, ChosenCurve(), code); });
        grid->addWidget(b, 1, column++);
        operations_ << b;
    }
    grid->addWidget(MakeUndoButton(QString(), false), 2, 0, 1, 4);
    EnableControls(false);
}

void TCurveCurve::SetCurves(int32_t count, int32_t chosen) {
    list_->clear();
    for (int32_t i = 1; i <= count; ++i) list_->addItem(QString::number(i));
    list_->setCurrentIndex(chosen >= 1 && chosen <= count ? chosen - 1 : 0);
}

void TCurveCurve::EnableControls(bool on) {
    list_->setEnabled(on);
    for (QPushButton* b : operations_) b->setEnabled(on);
}

int32_t TCurveCurve::ChosenCurve() const {
    bool ok = false;
    const int32_t n = list_->currentText().trimmed().toInt(&ok);
    return ok ? n : 0;
}

void TCurveCurve::showEvent(QShowEvent* event) {
    if (list_->currentIndex() < 0 && list_->count() > 0) list_->setCurrentIndex(0);
    TWindowDialog::showEvent(event);
}
