// The fit panel's run: Fit (stepping until the fit ends or Abort is pressed, the window kept responsive),
// Step and Initialize, and what the panel shows of the result: the figures, the result window and the model
// line over the plot.
#include "fit/FitDialog.h"

#include "curves/faultguard.h"
#include "fit/Fit2.h"
#include "fit/FitResultDlg.h"
#include "fit/peakfigures.h"
#include "plot/UserMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
QString FixedText(double v, int width, int decimals) {
    return QString::number(v, 'f', decimals).rightJustified(width);
}
} // namespace

// ---------------------------------------------------------------- fitting

bool TFitDlg::CanStep() {
    if (running_ || fit_->TermCount() == 0) return false;
    if (fit_->PointCount() >= 4) return ApplyWeights();
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
    fit_->iterations = 0;
    QPointer<TFitDlg> alive(this);
    running_ = true;
    EnableControls();
    if (OnRunChanged) OnRunChanged();
    bool finished = false, prepared = false;
    TArithFault fault = TArithFault::None;
    {
        // Working, and still taking clicks (Abort).
        struct TRunPointer {
            TRunPointer() { QApplication::setOverrideCursor(Qt::BusyCursor); }
            ~TRunPointer() { QApplication::restoreOverrideCursor(); }
        } pointer;
        // Abort and the count show before the start is evaluated and before the first step, each of which
        // takes a while on a large fit.
        RefreshFigures();
        QApplication::processEvents(QEventLoop::AllEvents);
        if (alive == nullptr) return;
        prepared = abort_ || fit_->Prepare();
        if (prepared && !abort_) {
            RefreshFigures();
            QApplication::processEvents(QEventLoop::AllEvents);
            if (alive == nullptr) return;
        }
        while (prepared && !finished && !abort_ && fault == TArithFault::None) {
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
    if (!prepared) {
        Messages().Error(this, QString::fromStdString(fit_->LastError()));
        return;
    }
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

// ---------------------------------------------------------------- the result

void TFitDlg::RefreshFigures() {
    const double figure = fit_->Rms();
    ChiSqr->setText(FixedText(figure, 8, 4));
    Iteration->setText(IterationCaption->isEnabled() ? QString::number(fit_->iterations).rightJustified(3)
                                                     : QString());
    const double width = std::isfinite(figure) ? std::min(100.0, std::round(figure * 200)) : 100.0;
    ChiSqrBar->setFixedWidth(static_cast<int>(std::max(0.0, width)));
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

// ---------------------------------------------------------------- the model line

void TFitDlg::DrawModel(QPainter& painter, const TGrid& grid) {
    if (fit_->TermCount() == 0) return;
    const TCurveB& display = fit_->DisplayCurve();
    moving_.SetCount(display.Count());
    for (int32_t i = 1; i <= display.Count(); ++i) moving_.SetXY(i, display.X(i), 0.0);
    std::vector<double> peaks;
    for (const TPeak& t : fit_->Terms())
        if (peakfigures::IsPeakShaped(t.type)) peaks.push_back(t.value[2]);
    moving_.Update([this](double x) { return fit_->ModelValueAt(x, -1); }, peaks, grid, painter);
    // The band of the finished fit, where its parameters still are.
    if (!BandCheck->isChecked() || fit_->Covariance().empty() || fit_->iterations == 0) return;
    for (TMovingCurve* line : {&bandLower_, &bandUpper_}) {
        line->linecolor = 0xFF9040;
        line->SetCount(display.Count());
        for (int32_t i = 1; i <= display.Count(); ++i) line->SetXY(i, display.X(i), 0.0);
    }
    for (const int side : {-1, 1})
        (side < 0 ? bandLower_ : bandUpper_)
            .Update(
                [this, side](double x) {
                    double model = 0.0, half = 0.0;
                    return fit_->BandAt(x, model, half) ? model + side * half : model;
                },
                {}, grid, painter);
}
