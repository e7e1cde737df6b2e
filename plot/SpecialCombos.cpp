#include "plot/SpecialCombos.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>

namespace {
constexpr int ImageRole = Qt::UserRole + 1;
}

void DrawPickerItem(QPainter& p, const QRect& r, const QString& text, const QImage* image,
                    bool graphicVisible, const QColor& back, const QColor& font) {
    p.save();
    p.fillRect(r, back);
    p.setPen(font);
    const QFontMetrics fm = p.fontMetrics();
    p.drawText(QPoint(r.left() + 4, r.top() + 1 + fm.ascent()), text);
    if (graphicVisible && image != nullptr && !image->isNull())
        p.drawImage(QPoint(r.left() + 4 + fm.horizontalAdvance(text) + 4, r.top() + 3), *image);
    p.restore();
}

// Draws the items of the drop-down list; the selected line is drawn inverted so the choice stays visible.
class TGraphicItemDelegate : public QStyledItemDelegate {
public:
    TGraphicItemDelegate(QObject* parent, const bool* visible, const QColor* back, const QColor* font)
        : QStyledItemDelegate(parent), visible_(visible), back_(back), font_(font) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QImage image = index.data(ImageRole).value<QImage>();
        const bool selected = option.state & QStyle::State_Selected;
        DrawPickerItem(*p, option.rect, index.data(Qt::DisplayRole).toString(),
                       image.isNull() ? nullptr : &image, *visible_, selected ? *font_ : *back_,
                       selected ? *back_ : *font_);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        // Room for the text and the style sample after it, so that a drop-down list shows both.
        const QImage image = index.data(ImageRole).value<QImage>();
        const int text = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
        return {8 + text + (image.isNull() ? 0 : image.width() + 8), TGraphicComboBox::ItemHeight};
    }

private:
    const bool* visible_;
    const QColor* back_;
    const QColor* font_;
};

TGraphicComboBox::TGraphicComboBox(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new TGraphicItemDelegate(this, &graphicVisible_, &back_, &font_));
}

void TGraphicComboBox::SetGraphicVisible(bool on) {
    graphicVisible_ = on;
    update();
}

void TGraphicComboBox::SetBackColor(const QColor& c) {
    back_ = c;
    update();
}

void TGraphicComboBox::SetFontColor(const QColor& c) {
    font_ = c;
    update();
}

QSize TGraphicComboBox::ImageSize() const {
    return {std::max(1, width() - 60), ItemHeight - 6};
}

void TGraphicComboBox::AddGraphicItem(const QString& text, const QImage& image) {
    addItem(text);
    if (!image.isNull()) setItemData(count() - 1, image, ImageRole);
}

QImage TGraphicComboBox::ItemImage(int index) const {
    if (index < 0 || index >= count()) return {};
    return itemData(index, ImageRole).value<QImage>();
}

void TGraphicComboBox::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    p.drawComplexControl(QStyle::CC_ComboBox, opt);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    const int i = currentIndex();
    if (i < 0) return;
    const QImage image = itemData(i, ImageRole).value<QImage>();
    DrawPickerItem(p, field, itemText(i), image.isNull() ? nullptr : &image, graphicVisible_, back_, font_);
}
