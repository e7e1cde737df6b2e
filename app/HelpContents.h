// The user guide of the program, shown from Help > Contents: the guide's text with a table of contents
// made from its headings. One guide window serves every curve window.
#pragma once

#include <QWidget>

class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

class THelpContents : public QWidget {
    Q_OBJECT
public:
    explicit THelpContents(QWidget* parent = nullptr);

    // Shows the guide window (made on first use) in front of the others.
    static THelpContents* ShowGuide(QWidget* from);

    QTreeWidget* Contents() const { return contents_; }
    QTextBrowser* Text() const { return text_; }
    // Scrolls the text to the heading of a contents entry.
    void GoTo(QTreeWidgetItem* item);

private:
    void FillContents();

    QTreeWidget* contents_ = nullptr;
    QTextBrowser* text_ = nullptr;
};
