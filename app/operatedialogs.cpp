// The window's side of the operation dialogs: each command presets its dialog from the active curve or the
// axes and shows it; the dialogs' notifications run the operations on a copy of the active curve (the same
// core calls graphmill-cli makes, with the same argument rules, curves/opargs.h), and the result goes in by
// ApplyResult. The shared data scaling and curve math tool windows serve the window in use: they follow its
// activation and leave a window that closes.
#include "app/curvewin.h"
#include "app/placement.h"
#include "app/shareddialogs.h"
#include "curves/AvgCrvDialog.h"
#include "curves/CurveConstDlg.h"
#include "curves/CurveCurveDlg.h"
#include "curves/FFTDialog.h"
#include "curves/NewDialog.h"
#include "curves/SmoothDialog.h"
#include "curves/interpdialog.h"
#include "curves/opargs.h"
#include "fit/RSpinEdit.h"
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"
#include "plot/UserMessages.h"
#include "plot/w_curve.h"

#include <QComboBox>
#include <QLocale>
#include <QScreen>

#include <algorithm>
#include <array>
#include <cmath>

namespace {
// The step of the undo history a constant applied to the active curve makes: "y + 2", "x * 0.5".
QString ConstantName(int code, double c) {
    const QString value = QString::number(c, 'g', QLocale::FloatingPointShortest);
    if (code == notify::AddConstant) return QStringLiteral("y + ") + value;
    if (code == notify::MultiplyConstant) return QStringLiteral("y * ") + value;
    if (code == notify::ShiftConstant) return QStringLiteral("x + ") + value;
    return QStringLiteral("x * ") + value;
}

// Why the FFT (or spectral smoothing, which transforms the curve) cannot transform a curve; empty when it
// can.
QString TransformRefusal(const TCurveB& c, const QString& what) {
    const std::string why = c.TransformRefusal();
    return why.empty() ? QString() : what + QLatin1Char(' ') + QString::fromStdString(why);
}

// The shared tool windows, which serve the curve window in use.
std::array<TWindowDialog*, 2> SharedTools() {
    return {&SharedDialog<TCurveConst>(), &SharedDialog<TCurveCurve>()};
}

// A dialog of the window's own, made on first use.
template <class TDialog>
TDialog& Own(QPointer<TDialog>& dialog, QWidget* window) {
    if (dialog == nullptr) {
        dialog = new TDialog(window);
        dialog->SetWindow(window);
    }
    return *dialog;
}

// A shared tool window that is not open yet opens beside the curve window (the placement of the table
// editor), `down` pixels lower so that the two tools do not cover each other.
void PlaceBeside(QWidget& tool, const QWidget& window, int down) {
    if (tool.isVisible()) return;
    tool.adjustSize();
    const QScreen* s = window.screen();
    const QSize screen = s != nullptr ? s->geometry().size() : QSize(1024, 768);
    const QPoint p = ToolWindowPlace(1, window.frameGeometry(), tool.frameGeometry().size(), screen);
    tool.move(p.x(),
              std::clamp(p.y() + down, 0, std::max(0, screen.height() - tool.frameGeometry().height())));
}

// A modeless dialog shown in front, for the keys.
void Present(QWidget& dialog) {
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

// A modal dialog of the window: told its window, placed over it, run.
bool RunModal(TWindowDialog& dialog, QWidget* window) {
    dialog.SetWindow(window);
    dialog.CenterOnWindow();
    return dialog.exec() == QDialog::Accepted;
}
} // namespace

void Tcurvewindow::InstallOperateDialogs() {
    auto constant = [this](int code) {
        OnNotify(code, [this, code](int32_t a, int32_t b) {
            ApplyConstant(code, UnpackDouble(a, b));
            return 0;
        });
    };
    for (const int code :
         {notify::AddConstant, notify::MultiplyConstant, notify::ShiftConstant, notify::StretchConstant})
        constant(code);
    OnNotify(notify::CurveMath, [this](int32_t other, int32_t op) {
        // A number that is no curve of the set does nothing.
        if (const TPlottedCurve* operand = CurvePanel->Curve(other))
            RunOnActive(
                [&](TCurveB& c) {
                    c.CurveMath(*operand, op);
                    return true;
                },
                {}, QStringLiteral("Curve math with curve #%1").arg(other));
        UpdateCommands();
        return 0;
    });
    OnNotify(notify::ActivateCurve, [this](int32_t n, int32_t) {
        CurvePanel->SetActiveCurve(n);
        RefreshAfterSetChange();
        return 0;
    });
    OnNotify(notify::RunFFT, [this](int32_t, int32_t) {
        RunFFT();
        UpdateCommands();
        return 0;
    });
    OnNotify(notify::RunSmooth, [this](int32_t, int32_t) {
        RunSmooth();
        UpdateCommands();
        return 0;
    });
    for (const int code : {notify::FFTHidden, notify::SmoothHidden})
        OnNotify(code, [this](int32_t, int32_t) {
            UpdateCommands();
            return 0;
        });
    OnNotify(notify::FunctionRange, [this](int32_t, int32_t) {
        if (FunctionDialog != nullptr)
            FunctionDialog->SetRange(CurvePanel->Grid().WorldMin.x, CurvePanel->Grid().WorldMax.x);
        return 0;
    });
    OnNotify(notify::FillAverageList, [this](int32_t, int32_t) {
        QStringList entries;
        for (int32_t i = 1; i <= CurvePanel->CurveCount(); ++i)
            entries
                << QStringLiteral("Curve #%1 %2").arg(i).arg(ShortFileName(CurvePanel->Curve(i)->FileName));
        SharedDialog<TAvgCrvDlg>().SetSourceCurves(entries);
        return 0;
    });

    OnRefresh([this] {
        if (FFTDialog != nullptr) FillFFTLists();
        if (CurvePanel->CurveCount() == 0) {
            if (FFTDialog != nullptr) FFTDialog->hide();
            if (SmoothDialog != nullptr) SmoothDialog->hide();
        }
        FollowDialogs();
    });
    OnCommandsUpdated([this] { FollowDialogs(); });
    // The shared tool windows serve the window in use.
    OnActivate([this] {
        for (TWindowDialog* tool : SharedTools())
            if (tool->isVisible()) tool->SetWindow(this);
        FollowDialogs();
    });
    // A closing window takes its own dialogs with it and leaves the shared tool windows without a window.
    OnClose([this] {
        for (QWidget* own : {static_cast<QWidget*>(FFTDialog), static_cast<QWidget*>(SmoothDialog),
                             static_cast<QWidget*>(FunctionDialog)})
            if (own != nullptr) own->hide();
        for (TWindowDialog* tool : SharedTools())
            if (tool->Window() == this) {
                tool->hide();
                tool->SetWindow(nullptr);
            }
    });
}

void Tcurvewindow::FollowDialogs() {
    const int32_t count = CurvePanel->CurveCount();
    const bool undo = CurvePanel->HasUndo();
    // The dialogs act while the window's curve commands can (with curves, and not while the fit panel is
    // open).
    const bool usable = CommandUsable(QStringLiteral("FFT1"));
    if (FFTDialog != nullptr) {
        FFTDialog->EnableExecute(usable);
        FFTDialog->SetUndoState(undo, !NewCurveMode);
    }
    if (SmoothDialog != nullptr) {
        SmoothDialog->EnableExecute(usable);
        SmoothDialog->SetUndoState(undo, !NewCurveMode);
    }
    TCurveConst& scaling = SharedDialog<TCurveConst>();
    if (scaling.Window() == this) scaling.EnableButtons(usable);
    TCurveCurve& math = SharedDialog<TCurveCurve>();
    if (math.Window() == this) {
        math.EnableControls(usable);
        math.SetUndoState(undo, !NewCurveMode);
        // The list always holds the numbers 1 to the count; the choice stays where it can.
        if (math.CurveList().count() != count) math.SetCurves(count, std::min(math.ChosenCurve(), count));
    }
}

// ---------------------------------------------------------------- data scaling and curve math

void Tcurvewindow::CurveConstantClick() {
    TCurveConst& dialog = SharedDialog<TCurveConst>();
    dialog.SetWindow(this);
    FollowDialogs();
    PlaceBeside(dialog, *this, 0);
    Present(dialog);
}

void Tcurvewindow::ApplyConstant(int code, double c) {
    RunOnActive(
        [code, c](TCurveB& curve) {
            if (code == notify::AddConstant) curve.Offset(0.0, c);
            if (code == notify::MultiplyConstant) curve.Scale(1.0, c);
            if (code == notify::ShiftConstant) curve.Offset(c, 0.0);
            if (code == notify::StretchConstant) curve.Scale(c, 1.0);
            return true;
        },
        {}, ConstantName(code, c));
    UpdateCommands();
}

void Tcurvewindow::CurveMathClick() {
    const int32_t count = CurvePanel->CurveCount();
    if (count == 0) return;
    TCurveCurve& dialog = SharedDialog<TCurveCurve>();
    dialog.SetWindow(this);
    // The curve after the active one (the first after the last) is offered.
    dialog.SetCurves(count, CurvePanel->ActiveIndex() % count + 1);
    FollowDialogs();
    // Below the Data Scaling window where that one stands; a window never shown has no size of its own yet.
    const QWidget& scaling = SharedDialog<TCurveConst>();
    PlaceBeside(dialog, *this, scaling.isVisible() ? scaling.frameGeometry().height() + 8 : 0);
    Present(dialog);
}

// ---------------------------------------------------------------- FFT

void Tcurvewindow::FFTClick() {
    if (CurvePanel->CurveCount() == 0) return;
    const bool opening = !Own(FFTDialog, this).isVisible();
    FillFFTLists();
    // Each opening starts without an imaginary input: a curve chosen for one transform is not taken into
    // later ones unseen. While the dialog stays open the choice stays.
    if (opening) FFTDialog->ComplexList().setCurrentIndex(FFTDialog->ComplexList().count() - 1);
    FollowDialogs();
    Present(*FFTDialog);
}

void Tcurvewindow::FillFFTLists() {
    // The panel keeps each list's choice by meaning: the same curve wherever it moved, or "none".
    CurvePanel->FillCurveCombo(FFTDialog->RealList(), false);
    CurvePanel->FillCurveCombo(FFTDialog->ComplexList(), true);
    FFTDialog->RealList().setCurrentIndex(CurvePanel->ActiveIndex() - 1);
}

void Tcurvewindow::RunFFT() {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (active == nullptr || FFTDialog == nullptr) return;
    const QString refusal = TransformRefusal(*active, QStringLiteral("The FFT"));
    if (!refusal.isEmpty()) {
        Messages().Error(FFTDialog, refusal);
        return;
    }
    // The imaginary input may be the active curve itself: the transform reads it, and changes a copy.
    const TPlottedCurve* imaginary = CurvePanel->Curve(FFTDialog->ImaginaryCurve());
    const int direction = FFTDialog->Direction(), mode = FFTDialog->OutputMode();
    RunOnActive([&](TCurveB& c) { return c.FFT(imaginary, direction, mode); },
                QStringLiteral("The FFT failed."), QStringLiteral("FFT"));
}

// ---------------------------------------------------------------- smoothing

void Tcurvewindow::SmoothClick() {
    if (CurvePanel->CurveCount() == 0) return;
    // Coefficients shown from an earlier opening could belong to a curve changed since.
    if (!Own(SmoothDialog, this).isVisible()) SmoothDialog->SetCoefficients({});
    FollowDialogs();
    Present(*SmoothDialog);
}

void Tcurvewindow::RunSmooth() {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (active == nullptr || SmoothDialog == nullptr) return;
    TSmoothDlg& dialog = *SmoothDialog;
    const int32_t points = active->Count();
    switch (dialog.Method()) {
    case TSmoothDlg::TMethod::Spline: {
        int order = dialog.SplineOrder();
        const int32_t n = opargs::SplineWindow(dialog.Stiffness(), order);
        if (n > points) {
            Messages().Error(&dialog,
                             QStringLiteral("Spline smoothing with stiffness %1 needs at least %2 points; "
                                            "the active curve has %3.")
                                 .arg(dialog.Stiffness())
                                 .arg(n)
                                 .arg(points));
            return;
        }
        RunOnActive([=](TCurveB& c) { return c.SplineSmooth(n, order); },
                    QStringLiteral("Spline smoothing ") +
                        QString::fromStdString(active->SplineRefusal(n, order)),
                    QStringLiteral("Spline smoothing"));
        break;
    }
    case TSmoothDlg::TMethod::Regression: {
        const int order = dialog.RegressionOrder();
        // With exactly order + 1 points the polynomial passes through every point and its standard error is
        // undefined.
        if (points < order + 2) {
            Messages().Error(&dialog, QStringLiteral("A regression of order %1 needs at least %2 points; the "
                                                     "active curve has %3.")
                                          .arg(order)
                                          .arg(order + 2)
                                          .arg(points));
            return;
        }
        std::vector<double> coefficients;
        double stdError = 0.0;
        if (RunOnActive(
                [&](TCurveB& c) { return c.PolyRegression(order, coefficients, stdError); },
                QStringLiteral("The regression of order %1 cannot be solved: the active curve has too "
                               "few different x values.")
                    .arg(order),
                QStringLiteral("Regression of order %1").arg(order)))
            dialog.SetCoefficients(coefficients);
        break;
    }
    case TSmoothDlg::TMethod::Spectral: {
        const QString refusal = TransformRefusal(*active, QStringLiteral("Spectral smoothing"));
        if (!refusal.isEmpty()) {
            Messages().Error(&dialog, refusal);
            return;
        }
        const double width = opargs::SpectralWidth(dialog.HowMuch());
        RunOnActive([=](TCurveB& c) { return c.SpectralSmooth(width); },
                    QStringLiteral("Spectral smoothing failed."), QStringLiteral("Spectral smoothing"));
        break;
    }
    }
}

// ---------------------------------------------------------------- interpolation, averaging, f(x)

void Tcurvewindow::InterpolateClick() {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (active == nullptr) return;
    TInterpDlg& dialog = SharedDialog<TInterpDlg>();
    const auto f = opargs::InterpolationFields(*active);
    dialog.Preset(f.offset, f.offsetMin, f.offsetMax, f.interval, f.intervalMin, f.intervalMax);
    if (!RunModal(dialog, this)) return;
    const double interval = dialog.Interval(), offset = dialog.Offset();
    RunOnActive([=](TCurveB& c) { return c.Resample(interval, offset); },
                QStringLiteral("Error performing interpolation operation."), QStringLiteral("Interpolation"));
}

void Tcurvewindow::AverageClick() {
    if (CurvePanel->CurveCount() < 2) return;
    TAvgCrvDlg& dialog = SharedDialog<TAvgCrvDlg>();
    if (!RunModal(dialog, this)) return;
    std::vector<const TCurveB*> curves;
    for (const int32_t n : dialog.CurveNumbers()) {
        const TPlottedCurve* c = CurvePanel->Curve(n);
        if (c == nullptr) {
            Messages().Error(this, QStringLiteral("Curve #%1 is not a curve of this window.").arg(n));
            return;
        }
        curves.push_back(c);
    }
    const auto choice = dialog.GridChoice();
    if (choice == TAvgCrvDlg::TGridChoice::MinimumInterval) {
        const double n = opargs::AverageGridPoints(curves);
        if (std::isfinite(n) && n > opargs::MaxGridPoints) {
            Messages().Error(this,
                             QStringLiteral("An average on the minimum interval of these curves would "
                                            "have %1 points; at most %2 are possible. Choose \"X range "
                                            "from first curve listed\" or \"Union of all data points\".")
                                 .arg(n, 0, 'g', 12)
                                 .arg(opargs::MaxGridPoints));
            return;
        }
    }
    RunAndApply(
        std::make_unique<TCurveB>(),
        [&](TCurveB& result) {
            if (choice == TAvgCrvDlg::TGridChoice::Union) return TCurveB::Merge(curves, result);
            return TCurveB::Average(curves, choice == TAvgCrvDlg::TGridChoice::MinimumInterval, result);
        },
        true, 0, QStringLiteral("The curves could not be averaged."), QStringLiteral("Average of curves"));
}

void Tcurvewindow::FunctionClick() {
    TFunctionDlg& dialog = Own(FunctionDialog, this);
    dialog.SetRange(CurvePanel->Grid().WorldMin.x, CurvePanel->Grid().WorldMax.x);
    if (!RunModal(dialog, this)) return;
    const std::string formula = dialog.Formula().toStdString();
    const double left = dialog.Left(), right = dialog.Right();
    auto curve = std::make_unique<TCurveB>();
    curve->SetCount(dialog.Steps());
    if (!RunAndApply(
            std::move(curve), [&](TCurveB& c) { return c.FromFunction(formula, right, left); }, true, 0,
            QStringLiteral(
                "The function cannot be evaluated at %1 points from x = %2 on: it failed at %3 steps "
                "in a row.")
                .arg(dialog.Steps())
                .arg(left, 0, 'g', QLocale::FloatingPointShortest)
                .arg(TCurveB::FormulaFailureLimit(dialog.Steps())),
            QStringLiteral("f(x) = %1").arg(dialog.Formula())))
        return;
    CurvePanel->SetActiveCurve(CurvePanel->CurveCount());
    RefreshAfterSetChange();
}
