// The fit panel's model: the list of terms, adding and removing them, the rows of the selected term's
// parameters, the guesses from a shape marked in the plot and the Alt key nudges.
#include "fit/FitDialog.h"

#include "curves/faultguard.h"
#include "fit/AddPeak.h"
#include "fit/Fit2.h"
#include "fit/RSpinEdit.h"
#include "plot/UserMessages.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <string>

namespace {
// The list entry of a term: "#2  Polynomial order 3".
QString TermEntry(const TPeak& term, int number) {
    QString entry = QStringLiteral("#%1  %2").arg(number).arg(QString::fromStdString(term.TypeName()));
    if (term.type == TPeak::Polynomial) entry += QStringLiteral(" order %1").arg(term.nparams - 1);
    return entry;
}
} // namespace

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
    const bool opening = !chooser_->isVisible();
    chooser_->show();
    if (opening && Window() != nullptr) {
        // Where the window's rule puts it (5: clear of this panel too), so that it hides neither the plot nor
        // the panel nor the curve picker where the screen has room; asked once shown, at its full size.
        const QSize size = chooser_->frameGeometry().size();
        const auto place =
            static_cast<int32_t>(Send(notify::PlaceToolWindow, 5, PackPair(size.width(), size.height())));
        chooser_->move(UnpackLow(place), UnpackHigh(place));
    }
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

void TFitDlg::SetModel(std::vector<TPeak> terms, int selected) {
    if (running_) return;
    fit_->Clear();
    for (TPeak& t : terms) fit_->AddTerm(std::move(t));
    FillList();
    SelectTerm(selected);
    fit_->Prepare();
    FillRows();
    ModelChanged();
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
