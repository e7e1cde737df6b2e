#include "fit/FitDialog.h"

#include "curves/faultguard.h"
#include "fit/AddPeak.h"
#include "fit/Fit2.h"
#include "fit/FitResultDlg.h"
#include "fit/RSpinEdit.h"
#include "plot/UserMessages.h"
#include "plot/coord_win.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// Bounds typed into a row are limited to this magnitude.
constexpr double BoundLimit = 1e12;

// The list entry of a term: "#2  Polynomial order 3".
QString TermEntry(const TPeak& term, int number) {
    QString entry = QStringLiteral("#%1  %2").arg(number).arg(QString::fromStdString(term.TypeName()));
    if (term.type == TPeak::Polynomial) entry += QStringLiteral(" order %1").arg(term.nparams - 1);
    return entry;
}

QString FixedText(double v, int width, int decimals) {
    return QString::number(v, 'f', decimals).rightJustified(width);
}

} // namespace

// ---------------------------------------------------------------- rows

TParmPanel::TParmPanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    NameLabel = new QLabel(this);
    NameLabel->setObjectName(QStringLiteral("ParamName"));
    ValueEdit = new TRDragEdit(this);
    ValueEdit->setObjectName(QStringLiteral("ValueEdit"));
    ValueEdit->SetPrecision(6);
    ValueEdit->SetDigits(4);
    ValueEdit->SetLimits(-1e10, 1e10);
    TWindowDialog::SetHint(ValueEdit, QStringLiteral("|Parameter value: click and drag to change"));
    MinEdit = new TREdit(this);
    MinEdit->setObjectName(QStringLiteral("MinEdit"));
    TWindowDialog::SetHint(MinEdit, QStringLiteral("|Minimum value of the parameter"));
    MaxEdit = new TREdit(this);
    MaxEdit->setObjectName(QStringLiteral("MaxEdit"));
    TWindowDialog::SetHint(MaxEdit, QStringLiteral("|Maximum value of the parameter"));
    for (TREdit* e : {MinEdit, MaxEdit}) e->SetLimits(-BoundLimit, BoundLimit);
    LockCheck = new QCheckBox(QStringLiteral("&Lock"), this);
    LockCheck->setObjectName(QStringLiteral("LockCheck"));
    TWindowDialog::SetHint(LockCheck,
                           QStringLiteral("|If checked, Graphmill will not allow parameter to vary"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(3, 3, 3, 3);
    grid->setSpacing(2);
    grid->addWidget(NameLabel, 0, 0, 1, 2);
    grid->addWidget(ValueEdit, 1, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("min:"), this), 2, 0);
    grid->addWidget(MinEdit, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("max:"), this), 3, 0);
    grid->addWidget(MaxEdit, 3, 1);
    grid->addWidget(LockCheck, 4, 0, 1, 2);
    setFixedWidth(124);
}

TParmPanelSet::TParmPanelSet(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    for (int k = 1; k <= MaxRows; ++k) {
        rows_[static_cast<size_t>(k - 1)] = new TParmPanel(this);
        rows_[static_cast<size_t>(k - 1)]->setObjectName(QStringLiteral("ParmPanel%1").arg(k));
        layout->addWidget(rows_[static_cast<size_t>(k - 1)]);
    }
    layout->addStretch(1);
}

void TParmPanelSet::ShowRows(int n) {
    shown_ = n;
    for (int k = 1; k <= MaxRows; ++k) {
        Row(k)->setVisible(k <= n);
        if (k > n) Row(k)->NameLabel->clear();
    }
    adjustSize();
}

// ---------------------------------------------------------------- the panel

TFitDlg::TFitDlg(QWidget* window, TFitLibrary& library)
    : TWindowDialog(window, Qt::Tool | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      library_(library), fit_(std::make_unique<TFitParamB>()) {
    setWindowTitle(QStringLiteral("Non-Linear Fitting"));
    setObjectName(QStringLiteral("FitPanel"));
    SetWindow(window);
    auto button = [this](const char* name, const char* hint, const char* text, void (TFitDlg::*slot)()) {
        auto* b = Control<QPushButton>(name, hint, QString::fromUtf8(text));
        b->setAutoDefault(false);
        if (slot != nullptr) connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    AddBtn = button("AddBtn", "Add function|Add another function to the sum.", "Add", &TFitDlg::AddClick);
    RemoveBtn =
        button("RemoveBtn", "Remove function|Remove highlighted function.", "Remove", &TFitDlg::RemoveClick);
    ClearAllBtn = button("ClearAllBtn", "Clear functions|Remove all functions from the sum.", "Clear all",
                         &TFitDlg::ClearAllClick);
    CurveGen = button("CurveGen", "Generate curve|Generate a curve from the fitting function(s)", "Generate",
                      &TFitDlg::GenerateClick);
    ActiveOnly = Control<QRadioButton>("ActiveOnly", "|Generate only function", QStringLiteral("Active"));
    All = Control<QRadioButton>("All", "|Generate sum of functions", QStringLiteral("All"));
    ActiveOnly->setChecked(true);
    PeakList = Control<QListWidget>("PeakList", "|Active curve will be fit to the sum of these functions.");
    connect(PeakList, &QListWidget::currentRowChanged, this, [this] {
        if (updating_) return;
        FillRows();
        SendMarkShape();
    });
    ParamPanel = Control<QScrollArea>("ParamPanel", "|Parameter values for the highlighted function");
    Rows = new TParmPanelSet(ParamPanel);
    ParamPanel->setWidget(Rows);
    ParamPanel->setWidgetResizable(false);
    ParamPanel->setMinimumHeight(Rows->sizeHint().height() + 24);
    for (int k = 1; k <= TParmPanelSet::MaxRows; ++k) {
        TParmPanel* row = Rows->Row(k);
        // With drag update every change of the text counts, otherwise only a confirmed value.
        row->ValueEdit->OnChange = [this, k] {
            if (settings_.dragUpdate) ValueEdited(k);
        };
        row->ValueEdit->OnChange2 = [this, k] {
            if (!settings_.dragUpdate) ValueEdited(k);
        };
        row->MinEdit->OnChange2 = [this, k] { BoundsEdited(k); };
        row->MaxEdit->OnChange2 = [this, k] { BoundsEdited(k); };
        connect(row->LockCheck, &QCheckBox::toggled, this, [this, k](bool on) { LockToggled(k, on); });
    }
    FitBtn =
        button("FitBtn", "Run fit|Run until tolerance satisfied or maximum number of itterations exceeded",
               "&Fit", &TFitDlg::FitClick);
    StepBtn = button("StepBtn", "Step fit|Run one itteration", "&Step", &TFitDlg::StepClick);
    InitBtn = button("InitBtn",
                     "Initial guesses|Initialize parameter values with computer-generated initial guesses.",
                     "&Initialize", &TFitDlg::InitClick);
    AbortBtn = button("AbortBtn", "Abort fit", "&Abort", &TFitDlg::AbortClick);
    Settings = button("Settings", "Fit settings|Alter fitting settings", "Settings", &TFitDlg::SettingsClick);
    auto* rangeLabel = new QLabel(QStringLiteral("Modify range:"), this);
    rangeLabel->setObjectName(QStringLiteral("rangelabel"));
    RangeLeftBtn =
        button("RangeLeftBtn", "|Modify lower limit of fitting range, using mouse", "left", nullptr);
    RangeRightBtn =
        button("RangeRightBtn", "|Modify upper limit of fitting range, using mouse", "right", nullptr);
    for (int bound : {0, 1}) {
        QPushButton* b = bound == 0 ? RangeLeftBtn : RangeRightBtn;
        b->setCheckable(true);
        connect(b, &QPushButton::clicked, this, [this, bound](bool down) { RangePressed(bound, down); });
    }
    RangeDisplay = Control<QLabel>("RangeDisplay", "|The points of the active curve that are fitted");
    IterationCaption =
        Control<QLabel>("IterationCaption", "|Itteration number", QStringLiteral("Iteration: "));
    Iteration = Control<QLabel>("iteration", "|Shows how many itterations have been performed");
    Iteration->setMinimumWidth(30);
    auto* chiCaption =
        Control<QLabel>("ChiSqrcaption", "|ChiSqr error calculated from the current paramters.",
                        QStringLiteral("ChiSqr:         "));
    ChiSqr = Control<QLabel>("ChiSqr", "|Sum of the squares: smaller=better");
    ChiSqr->setMinimumWidth(70);
    auto* barTrack = new QWidget(this);
    barTrack->setFixedSize(100, 12);
    ChiSqrBar = new QFrame(barTrack);
    ChiSqrBar->setObjectName(QStringLiteral("ChiSqrBar"));
    ChiSqrBar->setAutoFillBackground(true);
    QPalette blue = ChiSqrBar->palette();
    blue.setColor(QPalette::Window, Qt::blue);
    ChiSqrBar->setPalette(blue);
    ChiSqrBar->setGeometry(0, 0, 0, 12);

    auto* listRow = new QHBoxLayout;
    listRow->addWidget(PeakList, 1);
    auto* listButtons = new QVBoxLayout;
    for (QPushButton* b : {AddBtn, RemoveBtn, ClearAllBtn}) listButtons->addWidget(b);
    listButtons->addStretch(1);
    listRow->addLayout(listButtons);
    PeakList->setMaximumHeight(96);
    auto* runRow = new QHBoxLayout;
    for (QPushButton* b : {FitBtn, StepBtn, InitBtn, AbortBtn, Settings}) runRow->addWidget(b);
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(rangeLabel);
    rangeRow->addWidget(RangeLeftBtn);
    rangeRow->addWidget(RangeRightBtn);
    rangeRow->addWidget(RangeDisplay, 1);
    auto* figures = new QHBoxLayout;
    figures->addWidget(IterationCaption);
    figures->addWidget(Iteration);
    figures->addSpacing(12);
    figures->addWidget(chiCaption);
    figures->addWidget(ChiSqr);
    figures->addWidget(barTrack);
    figures->addStretch(1);
    auto* generate = new QHBoxLayout;
    generate->addWidget(CurveGen);
    generate->addWidget(ActiveOnly);
    generate->addWidget(All);
    generate->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(listRow);
    layout->addWidget(ParamPanel, 1);
    layout->addLayout(runRow);
    layout->addLayout(rangeRow);
    layout->addLayout(figures);
    layout->addLayout(generate);
    resize(560, 430);

    // The Alt key nudges work wherever the focus is in the panel.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
    ApplySettings(settings_);
    Rows->ShowRows(3);
    for (int k = 1; k <= 3; ++k) Rows->Row(k)->setEnabled(false);
    EnableControls();
    ShowRange();
}

TFitDlg::~TFitDlg() = default;

TAddPeakDlg* TFitDlg::Chooser() const {
    return chooser_;
}

// ---------------------------------------------------------------- data and range

void TFitDlg::SetData(const TCurveB& curve, int32_t first, int32_t last) {
    if (running_) {
        // The fit in progress belongs to data the user no longer shows: it stops, and the new data are taken
        // when it has.
        pending_ = TPendingData{curve, first, last};
        abort_ = true;
        return;
    }
    first_ = first;
    last_ = last;
    fit_->SetData(curve, first, last);
    ShowRange();
    fit_->UpdateChiSquare();
    RefreshFigures();
}

bool TFitDlg::HoldsData(const TCurveB& curve) const {
    const int32_t n = fit_->PointCount();
    if (n == 0 || first_ < 1 || last_ > curve.Count() || last_ - first_ + 1 != n) return false;
    const auto bytes = static_cast<size_t>(n) * sizeof(double);
    return std::memcmp(curve.XData() + first_ - 1, fit_->DataX(), bytes) == 0 &&
           std::memcmp(curve.YData() + first_ - 1, fit_->DataY(), bytes) == 0;
}

void TFitDlg::ShowRange() {
    RangeDisplay->setText(fit_->PointCount() > 0 ? QStringLiteral("points %1 to %2").arg(first_).arg(last_)
                                                 : QStringLiteral("fewer than 4 points"));
}

void TFitDlg::SetPickState(int pickMode) {
    const QSignalBlocker l(RangeLeftBtn), r(RangeRightBtn);
    RangeLeftBtn->setChecked(pickMode == 1);
    RangeRightBtn->setChecked(pickMode == 2);
}

void TFitDlg::RangePressed(int bound, bool down) {
    if (down)
        Send(notify::FitRangePick, bound);
    else
        Send(notify::Cursor, 0, 1); // the cursor goes, and with it the pick
}

// ---------------------------------------------------------------- terms

int TFitDlg::SelectedTerm() const {
    const int row = PeakList->currentRow();
    return row >= 0 && row < fit_->TermCount() ? row : -1;
}

void TFitDlg::SelectTerm(int index) {
    updating_ = true;
    PeakList->setCurrentRow(index);
    updating_ = false;
    FillRows();
    SendMarkShape();
}

void TFitDlg::FillList() {
    const int selected = SelectedTerm();
    {
        const QSignalBlocker block(PeakList);
        PeakList->clear();
        for (int32_t t = 0; t < fit_->TermCount(); ++t) PeakList->addItem(TermEntry(fit_->Term(t), t + 1));
        PeakList->setCurrentRow(std::min(selected, fit_->TermCount() - 1));
    }
    EnableControls();
}

void TFitDlg::AddClick() {
    if (chooser_ == nullptr) {
        chooser_ = new TAddPeakDlg(this, library_);
        chooser_->SetWindow(Window());
        chooser_->AddTerm = [this](int type, int order, bool initialize, const QString& file) {
            AddTerm(type, order, initialize, file);
        };
    }
    chooser_->DataDir = DataDir;
    if (!chooser_->isVisible()) {
        // Below the panel, else beside it, and on the screen in any case.
        chooser_->adjustSize();
        const QRect panel = frameGeometry();
        const QRect screen = this->screen() != nullptr ? this->screen()->availableGeometry() : QRect();
        QRect r(QPoint(panel.left(), panel.bottom() + 2), chooser_->frameGeometry().size());
        if (!screen.contains(r)) r.moveTopLeft(QPoint(panel.right() + 2, panel.top()));
        if (!screen.contains(r)) r.moveTopRight(QPoint(panel.left() - 2, panel.top()));
        if (!screen.isEmpty()) {
            r.moveLeft(
                std::clamp(r.left(), screen.left(), std::max(screen.left(), screen.right() - r.width())));
            r.moveTop(
                std::clamp(r.top(), screen.top(), std::max(screen.top(), screen.bottom() - r.height())));
        }
        chooser_->move(r.topLeft());
    }
    chooser_->show();
    chooser_->raise();
    chooser_->activateWindow();
}

void TFitDlg::AddTerm(int type, int order, bool initialize, const QString& tabulatedFile) {
    if (running_) return;
    if (fit_->TermCount() >= TFitParamA::MaxTerms) {
        Messages().Error(this,
                         QStringLiteral("The model already holds %1 functions, the most a fit can hold.")
                             .arg(TFitParamA::MaxTerms));
        return;
    }
    if (type == TPeak::Tabulated) {
        std::string error;
        bool added = false;
        // Sampling interpolates the file's curve at the data points: a curve whose points share one x can
        // divide by a zero width there.
        TArithFault fault =
            RunGuarded([&] { added = fit_->AddTabulatedTerm(tabulatedFile.toStdString(), &error); });
        if (fault == TArithFault::None && added && fit_->Term(fit_->TermCount() - 1).tabulated)
            fault = CheckFinite(*fit_->Term(fit_->TermCount() - 1).tabulated);
        if (fault != TArithFault::None) {
            if (added) fit_->RemoveTerm(fit_->TermCount() - 1);
            Messages().Error(this, QString::fromUtf8(ArithFaultMessage(fault)));
            return;
        }
        if (!added) {
            Messages().Error(this, QStringLiteral("The file you have chosen is not a valid data file."));
            return;
        }
    } else if (type >= TAddPeakDlg::BuiltInCount) {
        const TUserFunction* function = library_.List().Get(type - TAddPeakDlg::BuiltInCount);
        if (function == nullptr) return;
        if (!fit_->AddUserTerm(*function)) {
            Messages().Error(this,
                             QStringLiteral("The function %1 cannot be used: its formulas do not parse.")
                                 .arg(QString::fromStdString(function->Name)));
            return;
        }
    } else {
        fit_->AddTerm(type, order);
    }
    FillList();
    SelectTerm(fit_->TermCount() - 1);
    if (initialize) Send(notify::FitInitialGuess);
    fit_->Prepare();
    ValuesChanged();
}

void TFitDlg::RemoveClick() {
    const int t = SelectedTerm();
    if (t < 0 || running_) return;
    fit_->RemoveTerm(t);
    FillList();
    // The term before it, or the last one when the first went.
    SelectTerm(t > 0 ? t - 1 : fit_->TermCount() - 1);
    ModelChanged();
}

void TFitDlg::ClearAllClick() {
    if (running_) return;
    for (int32_t t = fit_->TermCount() - 1; t >= 0; --t) fit_->RemoveTerm(t);
    FillList();
    SelectTerm(-1);
    ModelChanged();
}

void TFitDlg::EnableControls() {
    const bool terms = fit_->TermCount() > 0 && !running_;
    for (QWidget* w : std::initializer_list<QWidget*>{RemoveBtn, ClearAllBtn, FitBtn, StepBtn, InitBtn,
                                                      PeakList, CurveGen, ActiveOnly, All})
        w->setEnabled(terms);
    for (QWidget* w :
         std::initializer_list<QWidget*>{AddBtn, Settings, RangeLeftBtn, RangeRightBtn, ParamPanel})
        w->setEnabled(!running_);
    AbortBtn->setEnabled(running_);
    if (chooser_ != nullptr) chooser_->setEnabled(!running_);
}

// ---------------------------------------------------------------- rows

void TFitDlg::FillRows() {
    updating_ = true;
    const int t = SelectedTerm();
    if (t < 0) {
        Rows->ShowRows(0);
    } else {
        const TPeak& term = fit_->Term(t);
        Rows->ShowRows(term.nparams);
        for (int k = 1; k <= term.nparams; ++k) {
            const size_t kk = static_cast<size_t>(k);
            TParmPanel* row = Rows->Row(k);
            row->setEnabled(true);
            row->NameLabel->setText(QString::fromStdString(term.ParamName(k)).trimmed());
            row->ValueEdit->SetLimits(term.min[kk], term.max[kk]);
            row->ValueEdit->SetValue(term.value[kk]);
            row->MinEdit->SetValue(term.min[kk]);
            row->MaxEdit->SetValue(term.max[kk]);
            row->LockCheck->setChecked(term.lock[kk]);
            row->ValueEdit->setEnabled(!term.lock[kk]);
        }
    }
    updating_ = false;
}

void TFitDlg::ValueEdited(int k) {
    const int t = SelectedTerm();
    if (updating_ || running_ || t < 0 || k > fit_->Term(t).nparams) return;
    TPeak& term = fit_->Term(t);
    const double v = ValueKeptWhole(*Rows->Row(k)->ValueEdit, term.value[static_cast<size_t>(k)]);
    if (v == term.value[static_cast<size_t>(k)]) return;
    term.SetValue(k, v);
    ModelChanged();
}

void TFitDlg::BoundsEdited(int k) {
    const int t = SelectedTerm();
    if (updating_ || running_ || t < 0 || k > fit_->Term(t).nparams) return;
    TPeak& term = fit_->Term(t);
    const size_t kk = static_cast<size_t>(k);
    const double lo = ValueKeptWhole(*Rows->Row(k)->MinEdit, term.min[kk]),
                 hi = ValueKeptWhole(*Rows->Row(k)->MaxEdit, term.max[kk]);
    if (lo > hi) {
        FillRows();
        Messages().Error(this, QStringLiteral("The minimum of %1 must not lie above its maximum.")
                                   .arg(QString::fromStdString(term.ParamName(k)).trimmed()));
        return;
    }
    if (lo == term.min[kk] && hi == term.max[kk]) return;
    term.min[kk] = lo;
    term.max[kk] = hi;
    // The value keeps within its new bounds, as a fit would keep it.
    term.value[kk] = std::clamp(term.value[kk], lo, hi);
    FillRows();
    ModelChanged();
}

void TFitDlg::LockToggled(int k, bool on) {
    const int t = SelectedTerm();
    if (updating_ || t < 0 || k > fit_->Term(t).nparams) return;
    fit_->Term(t).lock[static_cast<size_t>(k)] = on;
    Rows->Row(k)->ValueEdit->setEnabled(!on);
}

void TFitDlg::ValuesChanged() {
    fit_->converged = false;
    FillRows();
    ModelChanged();
}

void TFitDlg::ModelChanged() {
    RunGuarded([this] { fit_->UpdateChiSquare(); });
    RefreshFigures();
    Send(notify::FitRedrawModel);
}

void TFitDlg::RefreshFigures() {
    const double figure = fit_->Rms();
    ChiSqr->setText(FixedText(figure, 8, 4));
    Iteration->setText(IterationCaption->isEnabled() ? QString::number(fit_->iterations).rightJustified(3)
                                                     : QString());
    const double width = std::isfinite(figure) ? std::min(100.0, std::round(figure * 200)) : 100.0;
    ChiSqrBar->setFixedWidth(static_cast<int>(std::max(0.0, width)));
}

void TFitDlg::TwoPointGuess(TXYPoint p1, TXYPoint p2) {
    const int t = SelectedTerm();
    if (t < 0 || running_) return;
    const TPeak::TParamReals before = fit_->Term(t).value;
    TPeak& term = fit_->Term(t);
    const TArithFault fault = RunGuarded([&] { term.TwoPointGuess(p1, p2); });
    bool finite = true;
    for (int k = 1; k <= term.nparams; ++k)
        finite = finite && std::isfinite(term.value[static_cast<size_t>(k)]);
    if (fault != TArithFault::None || !finite) {
        term.value = before;
        Messages().Error(this, QString::fromUtf8(ArithFaultMessage(
                                   fault != TArithFault::None ? fault : TArithFault::Overflow)));
        return;
    }
    ValuesChanged();
}

int TFitDlg::MarkShape() const {
    const int t = SelectedTerm();
    if (t < 0) return 0;
    switch (fit_->Term(t).guessStyle[1]) {
    case gsOffset:
    case gsSlope:
    case gsExponentialA:
    case gsExponentialB:
    case gsSineAmplitude:
        return 2;
    case gsPeakAmplitude:
    case gsPeakPosition:
    case gsPeakWidth:
        return 1;
    default:
        return 0;
    }
}

void TFitDlg::SendMarkShape() {
    if (!isVisible()) return;
    const int shape = MarkShape();
    Send(notify::FitMouseMode, shape != 0 ? 1 : 0, shape == 1 ? 1 : 0);
}

// ---------------------------------------------------------------- keys

bool TFitDlg::Nudge(int key, Qt::KeyboardModifiers modifiers) {
    if ((modifiers & ~Qt::KeypadModifier) != Qt::AltModifier) return false;
    // Up/Down the first parameter, Right/Left the second, Insert/Delete the third.
    static constexpr struct {
        int key, k;
        double factor;
    } nudges[] = {{Qt::Key_Up, 1, 1.1},   {Qt::Key_Down, 1, 0.9},   {Qt::Key_Right, 2, 1.1},
                  {Qt::Key_Left, 2, 0.9}, {Qt::Key_Insert, 3, 1.1}, {Qt::Key_Delete, 3, 0.9}};
    const auto nudge =
        std::find_if(std::begin(nudges), std::end(nudges), [key](const auto& n) { return n.key == key; });
    if (nudge == std::end(nudges)) return false;
    const int k = nudge->k;
    const double factor = nudge->factor;
    const int t = SelectedTerm();
    if (t >= 0 && !running_ && k <= fit_->Term(t).nparams) {
        // Straight to the value: the nudge is the one way to move a locked parameter by hand.
        fit_->Term(t).value[static_cast<size_t>(k)] *= factor;
        FillRows();
        ModelChanged();
    }
    return true;
}

void TFitDlg::keyPressEvent(QKeyEvent* event) {
    if (Nudge(event->key(), event->modifiers())) return;
    // The panel has no default button, and Enter has confirmed its field already. A dialog looks for a
    // default button among all its descendants, the chooser beside the panel included, whose Close it would
    // press.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    TWindowDialog::keyPressEvent(event);
}

bool TFitDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (Nudge(key->key(), key->modifiers())) return true;
    }
    return TWindowDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- fitting

bool TFitDlg::CanStep() {
    if (running_ || fit_->TermCount() == 0) return false;
    if (fit_->PointCount() >= 4) return true;
    Messages().Error(this,
                     QStringLiteral("The fit range holds fewer than 4 points: there is nothing to fit."));
    return false;
}

TArithFault TFitDlg::GuardedStep(bool& finished) {
    return RunGuarded([&] { finished = fit_->Step(); });
}

void TFitDlg::FitClick() {
    if (!CanStep()) return;
    abort_ = false;
    IterationCaption->setEnabled(true);
    if (!fit_->Prepare()) {
        Messages().Error(this, QString::fromStdString(fit_->LastError()));
        return;
    }
    fit_->iterations = 0;
    QPointer<TFitDlg> alive(this);
    running_ = true;
    EnableControls();
    if (OnRunChanged) OnRunChanged();
    bool finished = false;
    TArithFault fault = TArithFault::None;
    {
        // Working, and still taking clicks (Abort).
        struct TRunPointer {
            TRunPointer() { QApplication::setOverrideCursor(Qt::BusyCursor); }
            ~TRunPointer() { QApplication::restoreOverrideCursor(); }
        } pointer;
        while (!finished && !abort_ && fault == TArithFault::None) {
            fault = GuardedStep(finished);
            RefreshFigures();
            Send(notify::FitRedrawModel);
            // The window stays responsive and Abort can be pressed; every other control of the panel is off.
            QApplication::processEvents(QEventLoop::AllEvents);
            if (alive == nullptr) return; // the window went, and the panel with it
        }
    }
    running_ = false;
    EnableControls();
    if (OnRunChanged) OnRunChanged();
    FillRows();
    RefreshFigures();
    if (fault != TArithFault::None) {
        Messages().Error(this, QString::fromUtf8(ArithFaultMessage(fault)));
    } else if (pending_) {
        const TPendingData data = std::move(*pending_);
        pending_.reset();
        SetData(data.curve, data.first, data.last);
        Send(notify::FitRedrawModel);
    } else if (finished && !abort_) {
        ShowResult();
    }
}

void TFitDlg::StepClick() {
    if (!CanStep()) return;
    if (fit_->iterations >= fit_->maxIterations) fit_->iterations = 0;
    fit_->converged = false;
    IterationCaption->setEnabled(true);
    bool finished = false;
    const TArithFault fault = GuardedStep(finished);
    Send(notify::FitRedrawModel);
    FillRows();
    RefreshFigures();
    if (fault != TArithFault::None)
        Messages().Error(this, QString::fromUtf8(ArithFaultMessage(fault)));
    else if (fit_->Failed() != 0 && !fit_->LastError().empty())
        Messages().Error(this, QString::fromStdString(fit_->LastError())); // it could not start
    else if (finished)
        ShowResult();
}

void TFitDlg::InitClick() {
    if (running_) return;
    Send(notify::FitInitialGuess);
    fit_->iterations = 0;
    ValuesChanged();
}

void TFitDlg::ShowResult() {
    TFitResultDlg results(this);
    results.SetTexts(QString::fromStdString(fit_->ResultText()),
                     QString::fromStdString(fit_->FullResultText()));
    results.exec();
}

void TFitDlg::GenerateClick() {
    const int t = SelectedTerm();
    if (t < 0 || running_) return;
    Send(notify::FitGenerate, ActiveOnly->isChecked() ? t : -1);
}

void TFitDlg::ApplySettings(const TFitSettings& s) {
    settings_ = s;
    fit_->tolerance = s.tolerance;
    fit_->maxIterations = s.maxIterations;
    fit_->convergeTest = s.relativeTest ? TConvergeTest::Relative : TConvergeTest::ChiSquareChange;
    fit_->ftol = s.ftol;
    fit_->xtol = s.xtol;
    fit_->SetDisplayIncrements(s.displayIncrements);
}

void TFitDlg::SettingsClick() {
    if (running_ || !EditSettings) return;
    TFitSettings s = settings_;
    if (!EditSettings(s)) return;
    ApplySettings(s);
    Send(notify::FitRedrawModel);
}

// ---------------------------------------------------------------- the model line

void TFitDlg::DrawModel(QPainter& painter, const TGrid& grid) {
    if (fit_->TermCount() == 0) return;
    const TCurveB& display = fit_->DisplayCurve();
    moving_.SetCount(display.Count());
    for (int32_t i = 1; i <= display.Count(); ++i) moving_.SetXY(i, display.X(i), 0.0);
    std::vector<double> peaks;
    for (const TPeak& t : fit_->Terms())
        if (t.type == TPeak::Gaussian || t.type == TPeak::Lorentzian || t.type == TPeak::GausLorentz)
            peaks.push_back(t.value[2]);
    moving_.Update([this](double x) { return fit_->ModelValueAt(x, -1); }, peaks, grid, painter);
}

// ---------------------------------------------------------------- showing and closing

void TFitDlg::showEvent(QShowEvent* event) {
    TWindowDialog::showEvent(event);
    if (event->spontaneous()) return;
    // Beside the window, where the window's placement rule puts its tool windows.
    const QSize size = frameGeometry().size();
    const intptr_t place = Send(notify::PlaceToolWindow, 1, PackPair(size.width(), size.height()));
    if (Window() != nullptr)
        move(UnpackLow(static_cast<int32_t>(place)), UnpackHigh(static_cast<int32_t>(place)));
    fit_->iterations = 0;
    IterationCaption->setEnabled(false);
    Send(notify::FitRedrawModel);
    SendMarkShape();
    RefreshFigures();
}

void TFitDlg::hideEvent(QHideEvent* event) {
    TWindowDialog::hideEvent(event);
    if (event->spontaneous()) return; // minimised
    abort_ = true;
    if (chooser_ != nullptr) chooser_->deleteLater();
    Send(notify::FitPanelShow, 0);
}

void TFitDlg::closeEvent(QCloseEvent* event) {
    // During a run only Abort acts.
    if (running_)
        event->ignore();
    else
        TWindowDialog::closeEvent(event);
}

void TFitDlg::reject() {
    if (!running_) TWindowDialog::reject();
}
