// The status area of a curve window: the file name of the active curve, the cursor read-out, the "active:"
// picker and the status line with hints and prompts; and the refresh after a change of the set.
#include "app/curvewin.h"
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>

void Tcurvewindow::BuildStatusArea() {
    fileNamePanel_ = new QLabel(this);
    fileNamePanel_->setObjectName(QStringLiteral("FileNamePanel"));
    fileNamePanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    fileNamePanel_->setToolTip(QStringLiteral("Filename of the active curve"));
    fileNamePanel_->setStatusTip(QStringLiteral("Filename of the active curve"));
    fileNamePanel_->setMinimumWidth(40);

    cursorPanel_ = new QLabel(this);
    cursorPanel_->setObjectName(QStringLiteral("CursorPanel"));
    cursorPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    cursorPanel_->setMinimumWidth(132);
    cursorPanel_->setToolTip(QStringLiteral("Cursor coordinates (when cursor is on)"));
    cursorPanel_->setStatusTip(QStringLiteral("Cursor coordinates (when cursor is on)"));

    activePanel_ = new QFrame(this);
    activePanel_->setObjectName(QStringLiteral("ActivePanel"));
    activePanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    activePanel_->setToolTip(QStringLiteral("Curve on which selected operations are performed"));
    activePanel_->setStatusTip(QStringLiteral("Curve on which selected operations are performed"));
    auto* caption = new QLabel(QStringLiteral("active:"), activePanel_);
    caption->setObjectName(QStringLiteral("ActiveCaption"));
    caption->setAttribute(Qt::WA_TransparentForMouseEvents);
    CurvePicker = new TGraphicComboBox(activePanel_);
    CurvePicker->setObjectName(QStringLiteral("CurvePicker"));
    CurvePicker->setFixedWidth(111);
    CurvePicker->SetBackColor(Qt::white);
    CurvePicker->SetFontColor(Qt::black);
    CurvePicker->setStatusTip(activePanel_->statusTip());
    connect(CurvePicker, &QComboBox::activated, this, &Tcurvewindow::PickerChosen);
    auto* layout = new QHBoxLayout(activePanel_);
    layout->setContentsMargins(4, 1, 1, 1);
    layout->setSpacing(4);
    layout->addWidget(caption);
    layout->addWidget(CurvePicker);
    activePanel_->installEventFilter(this);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    statusLine_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SetPrompt(QStringLiteral("Load a file"));
}

void Tcurvewindow::SetPrompt(const QString& text) {
    prompt_ = text;
    statusLine_->setText(text);
}

void Tcurvewindow::ShowHint(const QString& hint) {
    statusLine_->setText(hint.isEmpty() ? prompt_ : hint);
}

void Tcurvewindow::PickerChosen(int index) {
    // The line chosen becomes the active curve.
    CurvePanel->SetActiveCurve(index + 1);
    CurvePicker->setCurrentIndex(CurvePanel->ActiveIndex() - 1);
    UpdateCommands();
}

void Tcurvewindow::FitPickerWidth() {
    // Wide enough for the longest line ("#12: a_long_name.dat" and the style sample after it), within reason.
    const QFontMetrics fm(CurvePicker->font());
    int text = 0;
    for (int i = 0; i < CurvePicker->count(); ++i)
        text = std::max(text, fm.horizontalAdvance(CurvePicker->itemText(i)));
    const int wanted = std::clamp(text + 90, 111, 320);
    if (CurvePicker->width() == wanted) return;
    CurvePicker->setFixedWidth(wanted);
    // The style samples are as wide as the picker allows: draw them again at the new width.
    CurvePanel->FillCurveCombo(*CurvePicker, false);
}

void Tcurvewindow::RefreshAfterSetChange() {
    ++refreshCount_;
    CurvePanel->FillCurveCombo(*CurvePicker, false);
    FitPickerWidth();
    CurvePicker->setCurrentIndex(CurvePanel->ActiveIndex() - 1);
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    fileNamePanel_->setText(active != nullptr ? ShortFileName(active->FileName) : QString());
    if (CurvePanel->CurveCount() == 0 && PickMode != 0) EndRangePick();
    // The resting prompt says what can be done next: load a file into an empty window, else work on its
    // curves. Prompts of a pick or a zoom in progress stay.
    const QString load = QStringLiteral("Load a file"),
                  operate = QStringLiteral("Operate on the active curve");
    const QString& resting = CurvePanel->CurveCount() == 0 ? load : operate;
    if ((prompt_ == load || prompt_ == operate) && prompt_ != resting) SetPrompt(resting);
    UpdateCommands();
    for (const auto& hook : refreshHooks_) hook();
}
