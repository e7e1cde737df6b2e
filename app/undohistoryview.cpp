// Edit, Undo history: a tool window of the curve window listing the steps of its undo history by name.
// Choosing a step goes back (or forth) to the state right after it; the first line is the state before any.
#include "app/curvewin.h"
#include "app/placement.h"
#include "plot/CurvePanels.h"
#include "plot/undohistory.h"

#include <QScreen>
#include <QUndoView>
#include <QVBoxLayout>

void Tcurvewindow::UndoHistoryClick() {
    auto* view = findChild<QUndoView*>(QStringLiteral("UndoHistoryView"));
    if (view == nullptr) {
        auto* box = new QWidget(this, Qt::Tool);
        box->setObjectName(QStringLiteral("UndoHistory"));
        box->setWindowTitle(QStringLiteral("Undo history"));
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(4, 4, 4, 4);
        view = new QUndoView(&CurvePanel->History().Stack(), box);
        view->setObjectName(QStringLiteral("UndoHistoryView"));
        view->setEmptyLabel(QStringLiteral("Start"));
        layout->addWidget(view);
        box->resize(280, 360);
        const QSize screenSize = screen() != nullptr ? screen()->availableSize() : QSize(1920, 1080);
        box->move(ToolWindowPlace(1, frameGeometry(), box->size(), screenSize));
    }
    QWidget* box = view->window();
    box->show();
    box->raise();
    box->activateWindow();
}
