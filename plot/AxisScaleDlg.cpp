#include "plot/AxisScaleDlg.h"

#include "plot/UserMessages.h"
#include "plot/coord_win.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {
// The shortest text that reads back as the same double.
QString NumberText(double v) {
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// A number in the C form, or in the user's own (a decimal comma); false for anything else (an infinity
// too), and v is then left as it was.
bool ParseNumber(const QString& text, double& v) {
    bool ok = false;
    double read = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok) read = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(read)) return false;
    v = read;
    return true;
}
} // namespace

TAxisEdit::TAxisEdit(QWidget* parent) : QLineEdit(parent) {
    setText(NumberText(value_));
    // Wide enough for every digit of any double: the longest shortest text that reads back exactly
    // (a sign, 17 digits and a three-digit exponent).
    // The line edit's own inner margins (2 pixels a side) and a cursor's width come on top, as in its size
    // hint.
    const int widest = fontMetrics().horizontalAdvance(QStringLiteral("-8.8888888888888888e-308")) + 4 + 2;
    QStyleOptionFrame frame;
    initStyleOption(&frame);
    setMinimumWidth(style()->sizeFromContents(QStyle::CT_LineEdit, &frame, QSize(widest, 0), this).width());
}

void TAxisEdit::SetValue(double v) {
    if (hasFocus() && isModified()) return;
    value_ = v;
    setText(NumberText(v));
    setModified(false);
}

bool TAxisEdit::IsNumber() const {
    double v;
    return !isModified() || ParseNumber(text(), v);
}

bool TAxisEdit::Confirm() {
    if (!isModified()) return false;
    double v = value_;
    // A text that is no finite number stays as typed, for the user to correct; the value stays as it was.
    if (!ParseNumber(text(), v)) return false;
    v = std::clamp(v, MinValue, MaxValue);
    const bool changed = v != value_;
    value_ = v;
    setText(NumberText(v));
    setModified(false);
    return changed;
}

void TAxisEdit::keyPressEvent(QKeyEvent* event) {
    // Enter confirms the field; it does not close the dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!IsNumber())
            Messages().Error(window(), NotANumberText(accessibleName(), text()));
        else if (Confirm())
            emit Confirmed();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TAxisEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (Confirm()) emit Confirmed();
}

TAxesDlg::TAxesDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Axis Scaling"));
    setModal(true);

    auto axisGroup = [this](const QString& caption, TAxisEdit*& min, TAxisEdit*& max, QSpinBox*& div,
                            QLineEdit*& text, QCheckBox*& log) {
        auto* group = new QGroupBox(caption, this);
        max = new TAxisEdit(group);
        min = new TAxisEdit(group);
        div = new QSpinBox(group);
        div->setRange(2, 100);
        // Divisions count once typed in full (Enter or leaving the field); the arrows count at once.
        div->setKeyboardTracking(false);
        text = new QLineEdit(group);
        text->setMaxLength(MaxCaptionLength);
        log = new QCheckBox(QStringLiteral("Log Scale"), group);
        auto* form = new QFormLayout(group);
        form->addRow(QStringLiteral("Max:"), max);
        form->addRow(QStringLiteral("Min:"), min);
        form->addRow(QStringLiteral("Divisions:"), div);
        form->addRow(QStringLiteral("Caption:"), text);
        form->addRow(log);
        return group;
    };
    QGroupBox* x = axisGroup(QStringLiteral("X Axis"), X1, X2, XDiv, XCaption, XLogScale);
    QGroupBox* y = axisGroup(QStringLiteral("Y Axis"), Y1, Y2, YDiv, YCaption, YLogScale);
    X1->setAccessibleName(QStringLiteral("X Axis Min"));
    X2->setAccessibleName(QStringLiteral("X Axis Max"));
    Y1->setAccessibleName(QStringLiteral("Y Axis Min"));
    Y2->setAccessibleName(QStringLiteral("Y Axis Max"));
    title = new QLineEdit(QStringLiteral("title"), this);
    title->setMaxLength(MaxCaptionLength);
    AutoUpdate = new QCheckBox(QStringLiteral("Auto Update"), this);
    AutoUpdate->setChecked(true);
    OkBtn = new QPushButton(QStringLiteral("&OK"), this);
    OkBtn->setDefault(true);
    ApplyBtn = new QPushButton(QStringLiteral("&Apply"), this);
    CancelBtn = new QPushButton(QStringLiteral("&Cancel"), this);
    ResetBtn = new QPushButton(QStringLiteral("&Reset"), this);
    ResetBtn->hide();

    auto* groups = new QHBoxLayout;
    groups->addWidget(x);
    groups->addWidget(y);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(new QLabel(QStringLiteral("Title:"), this));
    titleRow->addWidget(title, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AutoUpdate);
    buttons->addStretch(1);
    for (QPushButton* b : {OkBtn, ApplyBtn, CancelBtn, ResetBtn}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(titleRow);
    layout->addLayout(buttons);

    // While Auto Update is checked every change but the title is applied as soon as it counts.
    for (TAxisEdit* e : {X1, X2, Y1, Y2}) connect(e, &TAxisEdit::Confirmed, this, &TAxesDlg::Changed);
    for (QSpinBox* s : {XDiv, YDiv}) connect(s, &QSpinBox::valueChanged, this, &TAxesDlg::Changed);
    for (QLineEdit* e : {XCaption, YCaption}) connect(e, &QLineEdit::textEdited, this, &TAxesDlg::Changed);
    for (QCheckBox* c : {XLogScale, YLogScale})
        connect(c, &QCheckBox::clicked, this, [this] {
            LogLimits();
            Changed();
        });
    connect(AutoUpdate, &QCheckBox::toggled, this, [this](bool on) { ApplyBtn->setVisible(!on); });
    connect(OkBtn, &QPushButton::clicked, this, [this] {
        if (!Refused()) {
            Apply();
            accept();
        }
    });
    connect(ApplyBtn, &QPushButton::clicked, this, [this] {
        if (!Refused()) Apply();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &TAxesDlg::reject);
    connect(ResetBtn, &QPushButton::clicked, this, [this] {
        if (Window != nullptr) Window->Notify(notify::AxesAction, 1, 0);
    });
}

TAxesValues TAxesDlg::Values() {
    for (TAxisEdit* e : {X1, X2, Y1, Y2}) e->Confirm();
    TAxesValues v;
    v.X1 = X1->Value();
    v.X2 = X2->Value();
    v.Y1 = Y1->Value();
    v.Y2 = Y2->Value();
    v.XDiv = XDiv->value();
    v.YDiv = YDiv->value();
    v.XCaption = XCaption->text();
    v.YCaption = YCaption->text();
    v.Title = title->text();
    v.XLog = XLogScale->isChecked();
    v.YLog = YLogScale->isChecked();
    return v;
}

void TAxesDlg::ShowValues(const TAxesValues& v) {
    for (QWidget* w : std::initializer_list<QWidget*>{XDiv, YDiv, XCaption, YCaption, XLogScale, YLogScale})
        w->blockSignals(true);
    XDiv->setValue(v.XDiv);
    YDiv->setValue(v.YDiv);
    XCaption->setText(v.XCaption);
    YCaption->setText(v.YCaption);
    title->setText(v.Title);
    XLogScale->setChecked(v.XLog);
    YLogScale->setChecked(v.YLog);
    for (QWidget* w : std::initializer_list<QWidget*>{XDiv, YDiv, XCaption, YCaption, XLogScale, YLogScale})
        w->blockSignals(false);
    LogLimits();
    ShowRange(v.X1, v.X2, v.Y1, v.Y2);
}

void TAxesDlg::ShowRange(double x1, double x2, double y1, double y2) {
    X1->SetValue(x1);
    X2->SetValue(x2);
    Y1->SetValue(y1);
    Y2->SetValue(y2);
}

void TAxesDlg::LogLimits() {
    // A logarithmic axis takes no minimum of zero or below. The value shown stays as it is: applying it runs
    // the logarithmic fix, which turns it into a sensible range.
    X1->MinValue = XLogScale->isChecked() ? 1e-20 : -1e50;
    Y1->MinValue = YLogScale->isChecked() ? 1e-20 : -1e50;
}

void TAxesDlg::Apply() {
    if (Window != nullptr) Window->Notify(notify::AxesAction, 0, 0);
}

bool TAxesDlg::Refused() {
    for (TAxisEdit* e : {X2, X1, Y2, Y1})
        if (!e->IsNumber()) {
            Messages().Error(this, NotANumberText(e->accessibleName(), e->text()));
            e->setFocus();
            e->selectAll();
            return true;
        }
    return false;
}

void TAxesDlg::Changed() {
    if (AutoUpdate->isChecked()) Apply();
}

void TAxesDlg::reject() {
    // Half-typed numbers are dropped, not applied.
    for (TAxisEdit* e : {X1, X2, Y1, Y2}) e->setModified(false);
    ShowValues(snapshot_);
    Apply();
    QDialog::reject();
}

void TAxesDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    snapshot_ = Values();
    ApplyBtn->setVisible(!AutoUpdate->isChecked());
    wasActive_ = false;
}

void TAxesDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isVisible()) return;
    // Losing the focus to another window closes the dialog; what was applied stays.
    if (isActiveWindow()) {
        wasActive_ = true;
    } else if (wasActive_) {
        // Decided once the activation has settled: a message over the dialog (a refused number) keeps it.
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && !isActiveWindow() && QApplication::activeModalWidget() == this)
                QDialog::done(QDialog::Rejected);
        });
    }
}
