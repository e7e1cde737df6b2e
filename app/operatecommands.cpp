// Operations on the active curve that need no dialog: derivative, integral, *X, inverse, logarithm, the
// removal of a picked range, and Undo.
#include "app/curvewin.h"
#include "curves/faultguard.h"
#include "fit/RSpinEdit.h"
#include "plot/CurvePanels.h"
#include "plot/UserMessages.h"

#include <memory>

namespace {
// The name of an operation in the undo history.
QString OperationName(Tcurvewindow::TOperation op) {
    switch (op) {
    case Tcurvewindow::TOperation::Derivative:
        return QStringLiteral("Derivative");
    case Tcurvewindow::TOperation::Integral:
        return QStringLiteral("Integral");
    case Tcurvewindow::TOperation::TimesX:
        return QStringLiteral("Times x");
    case Tcurvewindow::TOperation::Inverse:
        return QStringLiteral("Inverse");
    case Tcurvewindow::TOperation::Log:
        return QStringLiteral("Logarithm");
    }
    return {};
}
} // namespace

bool Tcurvewindow::RunAndApply(std::unique_ptr<TCurveB> curve, const std::function<bool(TCurveB&)>& op,
                               bool asNew, int32_t index, const QString& failure, const QString& operation) {
    bool ok = true;
    TArithFault fault = TArithFault::None;
    // Sigma values the operation leaves behind are told once, when they go.
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    const bool hadSigma = curve->HasSigma() || (active != nullptr && active->HasSigma());
    {
        TBusyPointer busy;
        fault = RunGuarded([&]() -> const TCurveB& {
            ok = op(*curve);
            return *curve;
        });
    }
    if (fault != TArithFault::None) {
        Messages().Error(this, QString::fromUtf8(ArithFaultMessage(fault)));
        return false;
    }
    if (!ok) {
        if (!failure.isEmpty()) Messages().Error(this, failure);
        return false;
    }
    const bool dropped = hadSigma && !curve->HasSigma();
    if (!CurvePanel->ApplyResult(std::move(curve), asNew, index, operation)) return false;
    if (dropped)
        SetPrompt(
            QStringLiteral("The sigma values were dropped: the operation gives new y values they do not "
                           "belong to."));
    return true;
}

bool Tcurvewindow::RunOnActive(const std::function<bool(TCurveB&)>& op, const QString& failure,
                               const QString& operation) {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (active == nullptr) return false;
    return RunAndApply(std::make_unique<TCurveB>(static_cast<const TCurveB&>(*active)), op, NewCurveMode,
                       CurvePanel->ActiveIndex(), failure, operation);
}

void Tcurvewindow::Operate(TOperation op) {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (active == nullptr) return;
    QString failure;
    if (op == TOperation::Derivative)
        failure = QStringLiteral("The derivative ") + QString::fromStdString(active->DerivativeRefusal());
    else if (op == TOperation::Integral)
        failure = QStringLiteral("The integral ") + QString::fromStdString(active->IntegralRefusal());
    double total = 0;
    const bool done = RunOnActive(
        [&](TCurveB& c) {
            switch (op) {
            case TOperation::Derivative:
                return c.Derivative();
            case TOperation::Integral:
                return c.Integral(total);
            case TOperation::TimesX:
                c.TimesX();
                break;
            case TOperation::Inverse:
                c.Inverse();
                break;
            case TOperation::Log:
                c.Log10();
                break;
            }
            return true;
        },
        failure, OperationName(op));
    if (done && op == TOperation::Integral)
        Messages().Information(this, QStringLiteral("Definite integral:  ") + GeneralText(total, 5, 0));
}

void Tcurvewindow::UndoLast() {
    CurvePanel->Undo();
}

void Tcurvewindow::RedoNext() {
    CurvePanel->Redo();
}

void Tcurvewindow::BeginRemoveRange() {
    if (CurvePanel->CurveCount() == 0) return;
    PickMode = 3;
    CurvePanel->SetPointPick(true);
    SetPrompt(QStringLiteral("Click on left bound of range"));
}

void Tcurvewindow::RemoveRangeToggle(bool on) {
    if (on)
        BeginRemoveRange();
    else if (PickMode != 0)
        EndRangePick();
}

void Tcurvewindow::EndRangePick() {
    PickMode = 0;
    CurvePanel->SetPointPick(false);
    SetPrompt(QStringLiteral("Operate on the active curve"));
}

void Tcurvewindow::RangePicked(int32_t index) {
    // Enter sends a pick too; it counts only while the panel picks points.
    if (!CurvePanel->IsPointPick()) return;
    if (PickMode == 1 || PickMode == 2) {
        FitRangePicked(index);
        return;
    }
    if (PickMode == 3) {
        RangeFirst = index;
        PickMode = 4;
        SetPrompt(QStringLiteral("Click on right bound of range"));
    } else if (PickMode == 4) {
        RangeSecond = index;
        EndRangePick();
        const TPlottedCurve* active = CurvePanel->ActiveCurve();
        const int32_t n = active != nullptr ? active->Count() : 0;
        // The bounds may be picked in either order.
        const int32_t first = std::max(1, std::min(RangeFirst, RangeSecond));
        const int32_t last = std::max(RangeFirst, RangeSecond);
        if (last - first >= n - 1 || !CurvePanel->RemoveRange(first, last))
            Messages().Error(this, QStringLiteral("Invalid points"));
    }
    UpdateCommands();
}
