#include "plot/SpecialCombos.h"

#include "plot/UserMessages.h"
#include "plot/curvestyle.h"

#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

void DrawPickerItem(QPainter& p, const QRect& r, const QString& text, const QImage* image,
                    bool graphicVisible, const QColor& back, const QColor& font) {
    p.save();
    // A long text pushes the style sample past the item: it is cut there, and leaves the drop-down button of
    // a closed picker in view.
    p.setClipRect(r, Qt::IntersectClip);
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

// Draws a closed drop-down list without its text; returns where the chosen item is to be drawn.
static QRect DrawComboFrame(QStylePainter& p, QStyleOptionComboBox& opt, const QWidget* combo) {
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    p.drawComplexControl(QStyle::CC_ComboBox, opt);
    return combo->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
}

void TGraphicComboBox::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    const QRect field = DrawComboFrame(p, opt, this);
    const int i = currentIndex();
    if (i < 0) return;
    const QImage image = ItemImage(i);
    DrawPickerItem(p, field, itemText(i), image.isNull() ? nullptr : &image, look_.GraphicVisible,
                   look_.BackColor, look_.FontColor);
}

// ---------------------------------------------------------------- colour and line-style picker

void DrawColorItem(QPainter& p, const QRect& r, const TColorBox& box, const QString& text,
                   TStringStyle strings, bool disabled, const QColor& font) {
    p.save();
    const int x = r.left() + 1;
    const int y = r.top() + (box.kind == TGraphicStyle::gsLine ? TColorCombo::ItemHeight / 2 : 2);
    const QColor grey = ToQColor(0x808080);
    p.setPen(QPen(disabled ? grey : ToQColor(box.BorderColor), 1, ToQtPenStyle(box.PenStyle)));
    p.setBrush(QBrush(disabled ? grey : ToQColor(box.FillColor), box.BrushStyle));
    switch (box.kind) {
    case TGraphicStyle::gsBitmap:
        p.drawImage(QPoint(x, y), box.bitmap);
        break;
    case TGraphicStyle::gsLine:
        p.drawLine(x, y, x + box.sizex, y);
        break;
    case TGraphicStyle::gsBox:
        p.drawRect(x, y, box.sizex, box.sizey);
        break;
    case TGraphicStyle::gsCircle:
        p.drawEllipse(x, y, box.sizex, box.sizey);
        break;
    case TGraphicStyle::gsNone:
        break;
    }
    if (strings != ssNone) {
        p.setPen(disabled ? grey : strings == ssColored ? ToQColor(box.FillColor) : font);
        const int left = box.kind == TGraphicStyle::gsNone ? r.left() + 4 : r.left() + 8 + box.sizex;
        p.drawText(QPoint(left, r.top() + 1 + p.fontMetrics().ascent()), text);
    }
    p.restore();
}

namespace {
class TColorItemDelegate : public QStyledItemDelegate {
public:
    explicit TColorItemDelegate(TColorCombo* combo) : QStyledItemDelegate(combo), combo_(combo) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        p->fillRect(option.rect, option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
        DrawColorItem(*p, option.rect, combo_->Box(index.row()), index.data().toString(),
                      combo_->StringStyle(), false,
                      option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const TColorBox& box = combo_->Box(index.row());
        return {12 + box.sizex + option.fontMetrics.horizontalAdvance(index.data().toString()),
                TColorCombo::ItemHeight};
    }

private:
    TColorCombo* combo_;
};
} // namespace

TColorCombo::TColorCombo(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new TColorItemDelegate(this));
    connect(this, &QComboBox::activated, this, &TColorCombo::Chosen);
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!IsOther(index)) lastIndex_ = index;
    });
}

void TColorCombo::SetGraphicStyle(TGraphicStyle style) {
    graphicStyle_ = style;
    for (size_t i = 0; i < boxes_.size(); ++i)
        if (!IsOther(static_cast<int>(i))) boxes_[i].kind = style;
    update();
}

void TColorCombo::SetStringStyle(TStringStyle style) {
    stringStyle_ = style;
    update();
}

void TColorCombo::AddBox(const QString& name, const TColorBox& box) {
    // Colours added after "Other..." still come before it.
    const int at = otherIndex_ >= 0 ? otherIndex_ : count();
    boxes_.insert(boxes_.begin() + at, box);
    insertItem(at, name);
    if (otherIndex_ >= 0) ++otherIndex_;
}

void TColorCombo::AddColor(const QString& name, TColor color) {
    TColorBox box;
    box.kind = graphicStyle_ == TGraphicStyle::gsNone ? TGraphicStyle::gsNone : box.kind;
    if (graphicStyle_ == TGraphicStyle::gsLine) {
        box.kind = TGraphicStyle::gsLine;
        box.BorderColor = color;
    }
    box.FillColor = color;
    box.sizex = box.sizey = ItemHeight - 4;
    AddBox(name, box);
}

void TColorCombo::AddLineStyle(const QString& name, TPenStyle style) {
    TColorBox box;
    box.kind = TGraphicStyle::gsLine;
    box.BorderColor = box.FillColor = 0x000000;
    box.PenStyle = style;
    box.sizex = 50;
    box.sizey = ItemHeight - 4;
    AddBox(name, box);
}

void TColorCombo::FillColors() {
    for (const TNamedColor& c : StandardColors) AddColor(QLatin1String(c.name), c.value);
    if (otherIndex_ >= 0) return;
    TColorBox other;
    other.kind = TGraphicStyle::gsNone;
    boxes_.push_back(other);
    addItem(QStringLiteral("Other..."));
    otherIndex_ = count() - 1;
}

void TColorCombo::FillLineStyles() {
    for (const TNamedLineStyle& s : StandardLineStyles) AddLineStyle(QLatin1String(s.name), s.style);
}

int TColorCombo::IndexOfColor(TColor color) const {
    for (size_t i = 0; i < boxes_.size(); ++i)
        if (!IsOther(static_cast<int>(i)) && boxes_[i].FillColor == color) return static_cast<int>(i);
    return -1;
}

int TColorCombo::IndexOfStyle(TPenStyle style) const {
    for (size_t i = 0; i < boxes_.size(); ++i)
        if (!IsOther(static_cast<int>(i)) && boxes_[i].PenStyle == style) return static_cast<int>(i);
    return -1;
}

TColor TColorCombo::SelectedColorAt(int i) const {
    return i < 0 || IsOther(i) ? 0x000000 : Box(i).FillColor;
}

TColor TColorCombo::SelectedColor() const {
    return SelectedColorAt(currentIndex());
}

TPenStyle TColorCombo::SelectedStyle() const {
    const int i = currentIndex();
    return i < 0 || IsOther(i) ? psSolid : Box(i).PenStyle;
}

void TColorCombo::SelectColor(TColor color) {
    int i = IndexOfColor(color);
    if (i < 0) {
        const QString name = ToQColor(color).name();
        if (customIndex_ < 0) {
            AddColor(name, color);
            customIndex_ = otherIndex_ >= 0 ? otherIndex_ - 1 : count() - 1;
        } else {
            boxes_[static_cast<size_t>(customIndex_)].FillColor = color;
            setItemText(customIndex_, name);
        }
        i = customIndex_;
    }
    setCurrentIndex(i);
    update();
}

void TColorCombo::Chosen(int index) {
    if (!IsOther(index)) {
        emit Changed();
        return;
    }
    // "Other..." itself is never the selection: the dialog's colour is, or what was selected before.
    const int before = lastIndex_;
    QColor color = ToQColor(before >= 0 ? Box(before).FillColor : 0x000000);
    if (!Messages().ChooseColor(this, color)) {
        setCurrentIndex(before);
        return;
    }
    const TColor old = SelectedColorAt(before);
    SelectColor(FromQColor(color));
    if (before < 0 || Box(currentIndex()).FillColor != old) emit Changed();
}

QSize TColorCombo::sizeHint() const {
    const int graphic =
        boxes_.empty() ? 0 : std::max_element(boxes_.begin(), boxes_.end(), [](auto& a, auto& b) {
                                 return a.sizex < b.sizex;
                             })->sizex;
    return QComboBox::sizeHint() + QSize(graphic + 8, 0);
}

QSize TColorCombo::minimumSizeHint() const {
    return sizeHint();
}

void TColorCombo::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    const QRect field = DrawComboFrame(p, opt, this);
    const int i = currentIndex();
    if (i < 0) return;
    DrawColorItem(p, field, Box(i), itemText(i), stringStyle_, !isEnabled(), palette().color(QPalette::Text));
}
