#include "app/HelpContents.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>

namespace {
// Item data role holding the document position of an entry's heading.
constexpr int HeadingRole = Qt::UserRole + 1;
} // namespace

THelpContents::THelpContents(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpContents"));
    setWindowTitle(QStringLiteral("Graphmill Help"));
    resize(900, 650);
    auto* splitter = new QSplitter(this);
    contents_ = new QTreeWidget(splitter);
    contents_->setObjectName(QStringLiteral("HelpTopics"));
    contents_->setHeaderHidden(true);
    text_ = new QTextBrowser(splitter);
    text_->setObjectName(QStringLiteral("HelpText"));
    text_->setOpenLinks(false);
    splitter->addWidget(contents_);
    splitter->addWidget(text_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 660});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    QFile guide(QStringLiteral(":/help/guide.md"));
    if (guide.open(QIODevice::ReadOnly))
        text_->setMarkdown(QString::fromUtf8(guide.readAll()));
    else
        text_->setPlainText(QStringLiteral("The user guide could not be read from the program's resources."));
    FillContents();
    connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { GoTo(item); });
    connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { GoTo(item); });
}

void THelpContents::FillContents() {
    // Each heading becomes an entry under the nearest heading of a higher level before it.
    std::vector<std::pair<int, QTreeWidgetItem*>> open;
    for (QTextBlock b = text_->document()->begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level <= 0 || b.text().trimmed().isEmpty()) continue;
        while (!open.empty() && open.back().first >= level) open.pop_back();
        auto* item = open.empty() ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(open.back().second);
        item->setText(0, b.text().trimmed());
        item->setData(0, HeadingRole, b.position());
        open.emplace_back(level, item);
    }
    contents_->expandToDepth(0);
}

void THelpContents::GoTo(QTreeWidgetItem* item) {
    if (item == nullptr) return;
    const QTextBlock block = text_->document()->findBlock(item->data(0, HeadingRole).toInt());
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    text_->setTextCursor(cursor);
    // The heading goes to the top of the view rather than just into it.
    const QRectF r = text_->document()->documentLayout()->blockBoundingRect(block);
    text_->verticalScrollBar()->setValue(static_cast<int>(r.top()));
}

THelpContents* THelpContents::ShowGuide(QWidget* from) {
    static QPointer<THelpContents> guide;
    if (guide == nullptr) {
        guide = new THelpContents;
        guide->setAttribute(Qt::WA_DeleteOnClose);
        // Near the window it was asked from.
        if (from != nullptr) guide->move(from->frameGeometry().topLeft() + QPoint(60, 40));
    }
    guide->show();
    guide->raise();
    guide->activateWindow();
    return guide;
}
