// The fit panel: its rows and controls, the data and fit range the window gives it, its settings, and its
// showing and closing beside the window. The terms and rows are handled in FitDialog_terms.cpp, the run and
// its result in FitDialog_run.cpp.
#include "fit/FitDialog.h"

#include "curves/real48.h"
#include "fit/AddPeak.h"
#include "fit/Fit2.h"
#include "fit/RSpinEdit.h"
#include "plot/UserMessages.h"
#include "plot/coord_win.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace {
// Bounds typed into a row are limited to what the function library can hold, so that a library bound (or
// the open bound of a new term) passes through the row unchanged.
constexpr double BoundLimit = Real48Max;
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
    ValueEdit->SetLimits(-BoundLimit, BoundLimit);
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
    // The bounds are shown whole, the widest as wide as "-1.7014E-0038" (an open bound's sign and exponent
    // cut off would read as another number).
    const int text = MinEdit->fontMetrics().horizontalAdvance(QStringLiteral("-8.8888E-0088"));
    for (TREdit* e : {MinEdit, MaxEdit}) e->setMinimumWidth(text + 12);
    setFixedWidth(std::max(124, grid->sizeHint().width()));
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
    AddBtn = Button("AddBtn", "Add function|Add another function to the sum.", "Add", &TFitDlg::AddClick);
    RemoveBtn =
        Button("RemoveBtn", "Remove function|Remove highlighted function.", "Remove", &TFitDlg::RemoveClick);
    ClearAllBtn = Button("ClearAllBtn", "Clear functions|Remove all functions from the sum.", "Clear all",
                         &TFitDlg::ClearAllClick);
    CurveGen = Button("CurveGen", "Generate curve|Generate a curve from the fitting function(s)", "Generate",
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
        Button("FitBtn", "Run fit|Run until tolerance satisfied or maximum number of itterations exceeded",
               "&Fit", &TFitDlg::FitClick);
    StepBtn = Button("StepBtn", "Step fit|Run one itteration", "&Step", &TFitDlg::StepClick);
    InitBtn = Button("InitBtn",
                     "Initial guesses|Initialize parameter values with computer-generated initial guesses.",
                     "&Initialize", &TFitDlg::InitClick);
    AbortBtn = Button("AbortBtn", "Abort fit", "&Abort", &TFitDlg::AbortClick);
    Settings = Button("Settings", "Fit settings|Alter fitting settings", "Settings", &TFitDlg::SettingsClick);
    auto* rangeLabel = new QLabel(QStringLiteral("Modify range:"), this);
    rangeLabel->setObjectName(QStringLiteral("rangelabel"));
    RangeLeftBtn = Button("RangeLeftBtn", "|Modify lower limit of fitting range, using mouse", "left");
    RangeRightBtn = Button("RangeRightBtn", "|Modify upper limit of fitting range, using mouse", "right");
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

    WeightsBox = Control<QComboBox>(
        "WeightsBox", "|Weights of the data points: none, each point's sigma, counting statistics (sigma^2 = "
                      "max(|y|, 1)) or relative (sigma = |y|)");
    for (int w = 0; w <= static_cast<int>(TWeighting::Relative); ++w)
        WeightsBox->addItem(QString::fromLatin1(WeightingName(static_cast<TWeighting>(w))));
    SigmaSource =
        Control<QComboBox>("SigmaSource", "|The sigmas of the \"sigma\" weights: the curve's own or "
                                          "the y values of a curve of the window, point for point");
    BandCheck = Control<QCheckBox>("BandCheck", "|Draw the confidence band of the fitted model over the plot",
                                   QStringLiteral("Show confidence band"));
    connect(WeightsBox, &QComboBox::currentIndexChanged, this, [this] {
        if (!updating_) WeightsChosen();
    });
    connect(SigmaSource, &QComboBox::currentIndexChanged, this, [this] {
        if (!updating_) WeightsChosen();
    });
    connect(BandCheck, &QCheckBox::toggled, this, [this] { Send(notify::FitRedrawModel); });
    auto* weightsLabel = new QLabel(QStringLiteral("&Weights:"), this);
    weightsLabel->setBuddy(WeightsBox);
    auto* weightsRow = new QHBoxLayout;
    weightsRow->addWidget(weightsLabel);
    weightsRow->addWidget(WeightsBox);
    weightsRow->addWidget(SigmaSource, 1);
    weightsRow->addWidget(BandCheck);

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
    layout->addLayout(weightsRow);
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
    data_ = curve;
    weightsApplied_ = false;
    fit_->SetData(curve, first, last);
    FillSigmaSources();
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

void TFitDlg::ApplySettings(const TFitSettings& s) {
    settings_ = s;
    fit_->tolerance = s.tolerance;
    fit_->maxIterations = s.maxIterations;
    fit_->convergeTest = s.relativeTest ? TConvergeTest::Relative : TConvergeTest::ChiSquareChange;
    fit_->ftol = s.ftol;
    fit_->xtol = s.xtol;
    fit_->SetDisplayIncrements(s.displayIncrements);
    if (WeightsBox->currentIndex() != s.weights) {
        const QSignalBlocker block(WeightsBox);
        WeightsBox->setCurrentIndex(s.weights);
        weightsApplied_ = false;
    }
    SigmaSource->setEnabled(s.weights == static_cast<int>(TWeighting::Sigma));
}

// ---------------------------------------------------------------- weights

void TFitDlg::FillSigmaSources() {
    const QSignalBlocker block(SigmaSource);
    const QString chosen = SigmaSource->currentText();
    SigmaSource->clear();
    SigmaSource->addItem(QStringLiteral("the curve's own sigmas"));
    if (SigmaCurves)
        for (const auto& [name, curve] : SigmaCurves()) SigmaSource->addItem(name);
    const int again = SigmaSource->findText(chosen);
    SigmaSource->setCurrentIndex(again > 0 ? again : 0);
}

void TFitDlg::WeightsChosen() {
    settings_.weights = WeightsBox->currentIndex();
    SigmaSource->setEnabled(settings_.weights == static_cast<int>(TWeighting::Sigma));
    weightsApplied_ = false;
    // The sigmas shown belong to weights that no longer hold.
    fit_->SetWeights(TWeighting::None);
    fit_->UpdateChiSquare();
    RefreshFigures();
    Send(notify::FitRedrawModel);
}

bool TFitDlg::ApplyWeights() {
    if (weightsApplied_) return true;
    const auto weighting = static_cast<TWeighting>(settings_.weights);
    std::vector<double> sigmas;
    std::string error;
    bool ok = true;
    if (weighting == TWeighting::Sigma) {
        const int source = SigmaSource->currentIndex();
        std::optional<TCurveB> curve;
        if (source > 0 && SigmaCurves) {
            const auto curves = SigmaCurves();
            const auto at = std::find_if(curves.begin(), curves.end(), [&](const auto& c) {
                return c.first == SigmaSource->currentText();
            });
            if (at != curves.end()) curve = at->second;
        }
        if (source > 0 && !curve) {
            error = "the curve of sigmas is no longer in the window";
            ok = false;
        } else {
            ok = SigmasOfRange(data_, curve ? &*curve : nullptr, first_, last_, sigmas, error);
        }
    }
    ok = ok && fit_->SetWeights(weighting, sigmas, &error);
    if (!ok) {
        Messages().Error(
            this, QStringLiteral("Weights \"%1\": %2")
                      .arg(QString::fromLatin1(WeightingName(weighting)), QString::fromStdString(error)));
        return false;
    }
    weightsApplied_ = true;
    fit_->UpdateChiSquare();
    return true;
}

void TFitDlg::SettingsClick() {
    if (running_ || !EditSettings) return;
    TFitSettings s = settings_;
    if (!EditSettings(s)) return;
    ApplySettings(s);
    Send(notify::FitRedrawModel);
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
