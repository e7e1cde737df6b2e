// Operations on the active curve that need no dialog: derivative, integral, *X, inverse, logarithm, the
// removal of a picked range, and Undo.
#include "plot/UserMessages.h"
#include "app/curvewin.h"
#include "curves/faultguard.h"
#include "plot/CurvePanels.h"

#include <memory>

namespace {
// A number in general format with 5 significant digits, exponent written as E-5 or E15.
QString GeneralNumber(double v) {
    QString s = QString::number(v, 'g', 5);
    const auto e = s.indexOf(QLatin1Char('e'));
    if (e < 0) return s;
    QString exponent = s.mid(e + 1);
    QString sign;
    if (exponent.startsWith(QLatin1Char('-'))) sign = QStringLiteral("-");
    exponent.remove(0,
                    exponent.startsWith(QLatin1Char('-')) || exponent.startsWith(QLatin1Char('+')) ? 1 : 0);
    while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0'))) exponent.remove(0, 1);
    return s.left(e) + QStringLiteral("E") + sign + exponent;
}
} // namespace

void Tcurvewindow::Operate(TOperation op) {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (active == nullptr) return;
    auto copy = std::make_unique<TCurveB>(static_cast<const TCurveB&>(*active));
    bool ok = true;
    double total = 0;
    TArithFault fault = TArithFault::None;
    {
        TBusyPointer busy;
        fault = RunGuarded([&]() -> const TCurveB& {
            switch (op) {
            case TOperation::Derivative:
                ok = copy->Derivative();
                break;
            case TOperation::Integral:
                ok = copy->Integral(total);
                break;
            case TOperation::TimesX:
                copy->TimesX();
                break;
            case TOperation::Inverse:
                copy->Inverse();
                break;
            case TOperation::Log:
                copy->Log10();
                break;
            }
            return *copy;
        });
    }
    if (fault != TArithFault::None) {
        Messages().Error(this, QString::fromUtf8(ArithFaultMessage(fault)));
        return;
    }
    if (!ok) return;
    if (!CurvePanel->ApplyResult(std::move(copy), NewCurveMode, CurvePanel->ActiveIndex())) return;
    if (op == TOperation::Integral)
        Messages().Information(this, QStringLiteral("Definite integral:  ") + GeneralNumber(total));
}

void Tcurvewindow::UndoLast() {
    CurvePanel->Undo();
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
