// The chain of curve windows: making, placing, cascading and tiling them, and closing them with the save
// questions.
#include "app/GraphmillAbout.h"
#include "app/curvewin.h"
#include "plot/CurvePanels.h"
#include "plot/UserMessages.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>

#include <cmath>

Tcurvewindow* Tcurvewindow::MainWindow() {
    Tcurvewindow* w = this;
    while (w->PrevWindow != nullptr) w = w->PrevWindow;
    return w;
}

Tcurvewindow* Tcurvewindow::LastWindow() {
    Tcurvewindow* w = this;
    while (w->NextWindow != nullptr) w = w->NextWindow;
    return w;
}

Tcurvewindow* Tcurvewindow::NewWindow() {
    Tcurvewindow* w = nullptr;
    {
        TBusyPointer busy;
        try {
            w = new Tcurvewindow();
        } catch (const std::exception&) {
            w = nullptr;
        }
    }
    if (w == nullptr) {
        Messages().Error(this, QStringLiteral("Could not create new window."));
        return nullptr;
    }
    w->setAttribute(Qt::WA_DeleteOnClose);
    Tcurvewindow* last = LastWindow();
    last->NextWindow = w;
    w->PrevWindow = last;
    w->move(pos() + QPoint(40, 40));
    w->show();
    return w;
}

void Tcurvewindow::Exit() {
    MainWindow()->close();
}

void Tcurvewindow::Cascade() {
    QPoint at(50, 50);
    for (Tcurvewindow* w = MainWindow(); w != nullptr; w = w->NextWindow) {
        w->hide();
        w->resize(425, 425);
        w->move(at);
        w->show();
        // Each next window moves by the height of the frame above its client area, so that the title bars
        // stay visible; without a known frame (no window manager yet) by the style's title bar height.
        int frame = w->frameGeometry().height() - w->height();
        if (frame <= 0) frame = w->style()->pixelMetric(QStyle::PM_TitleBarHeight);
        at += QPoint(frame, frame);
    }
}

void Tcurvewindow::Tile(const QRect& area) {
    // The windows share the area in a grid of near-square cells, as many columns as rows or one more; a
    // window never gets less than it needs to show its toolbar and status area whole.
    int n = 0;
    for (Tcurvewindow* w = MainWindow(); w != nullptr; w = w->NextWindow) ++n;
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    const int rows = (n + columns - 1) / columns;
    const int cellWidth = area.width() / columns, cellHeight = area.height() / rows;
    int k = 0;
    for (Tcurvewindow* w = MainWindow(); w != nullptr; w = w->NextWindow, ++k) {
        w->hide();
        w->move(area.left() + k % columns * cellWidth, area.top() + k / columns * cellHeight);
        w->show();
        // The frame (title bar and borders) is known once the window is shown.
        const QSize frame = w->frameGeometry().size() - w->size();
        const QSize needed = w->minimumSizeHint().expandedTo(w->minimumSize());
        w->resize(QSize(cellWidth, cellHeight)
                      .shrunkBy(QMargins(0, 0, frame.width(), frame.height()))
                      .expandedTo(needed));
    }
}

void Tcurvewindow::TileClick() {
    const QScreen* s = screen();
    Tile(s != nullptr ? s->availableGeometry() : QRect(0, 0, 1024, 768));
}

void Tcurvewindow::About() {
    TGraphmillAbout about(this);
    about.exec();
}

bool Tcurvewindow::AskSaveCurves() {
    // Edits a table still holds belong to its curve: they are applied or dropped (the table asks) before the
    // curve itself is asked about. From the last curve down, as closing a table may remove its empty curve.
    for (int32_t i = CurvePanel->CurveCount(); i >= 1; --i) {
        TTableWindow* table = CurvePanel->TableWindow(i);
        if (table != nullptr && table->HoldsEdits() && !table->CloseAsking()) return false;
    }
    for (int32_t i = 1; i <= CurvePanel->CurveCount(); ++i) {
        const TPlottedCurve* c = CurvePanel->Curve(i);
        if (c->Saved && !c->FileName.empty()) continue;
        const QString question = QStringLiteral("Save curve #%1 %2 ?").arg(i).arg(ShortFileName(c->FileName));
        switch (Messages().AskSave(this, question)) {
        case TSaveAnswer::Yes:
            // Going on after a failed or cancelled save would lose the curve.
            if (!SaveCurve(i)) return false;
            break;
        case TSaveAnswer::No:
            break;
        case TSaveAnswer::Cancel:
            return false;
        }
    }
    return true;
}

bool Tcurvewindow::FormCloseQuery() {
    if (PrevWindow == nullptr && NextWindow != nullptr) {
        if (!Messages().Confirm(this,
                                QStringLiteral("Closing the Graphmill main window will close all other curve "
                                               "windows. Continue?")))
            return false;
        while (NextWindow != nullptr) {
            Tcurvewindow* w = LastWindow();
            w->activateWindow();
            w->ClosingByMain = true;
            if (!w->AskSaveCurves()) {
                w->ClosingByMain = false;
                return false;
            }
            w->close();
            if (LastWindow() == w) w->Unlink(); // a window that was never shown closes without its event
        }
    }
    if (!ClosingByMain) return AskSaveCurves();
    return true;
}

void Tcurvewindow::FormClose() {
    for (const auto& hook : closeHooks_) hook();
    if (PrevWindow != nullptr) {
        Unlink();
        return;
    }
    // Closing the main window ends the program, whichever window asked for it.
    QCoreApplication::quit();
}

void Tcurvewindow::Unlink() {
    if (PrevWindow != nullptr) PrevWindow->NextWindow = NextWindow;
    if (NextWindow != nullptr) NextWindow->PrevWindow = PrevWindow;
    PrevWindow = NextWindow = nullptr;
}
