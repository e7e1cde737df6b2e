#include "plot/SpecialCombos.h"

#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

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

void TPickerItemDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const QImage image = index.data(PickerImageRole).value<QImage>();
    const bool selected = option.state & QStyle::State_Selected;
    DrawPickerItem(*p, option.rect, index.data(Qt::DisplayRole).toString(), image.isNull() ? nullptr : &image,
                   look_.GraphicVisible, selected ? look_.FontColor : look_.BackColor,
                   selected ? look_.BackColor : look_.FontColor);
}

QSize TPickerItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QImage image = index.data(PickerImageRole).value<QImage>();
    const int text = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
    return {8 + text + (image.isNull() ? 0 : image.width() + 8), TGraphicComboBox::ItemHeight};
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
    const QImage image = ItemImage(i);
    DrawPickerItem(p, field, itemText(i), image.isNull() ? nullptr : &image, look_.GraphicVisible,
                   look_.BackColor, look_.FontColor);
}
