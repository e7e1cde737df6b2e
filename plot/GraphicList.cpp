#include "plot/GraphicList.h"
#include "plot/SpecialCombos.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace {
constexpr int ImageRole = Qt::UserRole + 1;

class TListItemDelegate : public QStyledItemDelegate {
public:
    explicit TListItemDelegate(TGraphicListBox* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QImage image = index.data(ImageRole).value<QImage>();
        const bool selected = option.state & QStyle::State_Selected;
        DrawPickerItem(*p, option.rect, index.data(Qt::DisplayRole).toString(),
                       image.isNull() ? nullptr : &image, list_->GraphicVisible(),
                       selected ? list_->FontColor() : list_->BackColor(),
                       selected ? list_->BackColor() : list_->FontColor());
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        // Room for the text and the style sample after it, so that a drop-down list shows both.
        const QImage image = index.data(ImageRole).value<QImage>();
        const int text = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
        return {8 + text + (image.isNull() ? 0 : image.width() + 8), TGraphicListBox::ItemHeight};
    }

private:
    TGraphicListBox* list_;
};
} // namespace

TGraphicListBox::TGraphicListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setItemDelegate(new TListItemDelegate(this));
    setUniformItemSizes(true);
}

void TGraphicListBox::SetGraphicVisible(bool on) {
    graphicVisible_ = on;
    viewport()->update();
}

void TGraphicListBox::SetBackColor(const QColor& c) {
    back_ = c;
    viewport()->update();
}

void TGraphicListBox::SetFontColor(const QColor& c) {
    font_ = c;
    viewport()->update();
}

QSize TGraphicListBox::ImageSize() const {
    return {std::max(1, width() - 60), ItemHeight - 6};
}

void TGraphicListBox::AddGraphicItem(const QString& text, const QImage& image) {
    auto* item = new QListWidgetItem(text, this);
    if (!image.isNull()) item->setData(ImageRole, image);
}

QImage TGraphicListBox::ItemImage(int index) const {
    const QListWidgetItem* it = item(index);
    return it == nullptr ? QImage() : it->data(ImageRole).value<QImage>();
}
