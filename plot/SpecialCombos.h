// Pickers of the plot layer: the colour and line-style picker (TColorCombo), whose items show a small graphic
// before their text, and the curve pickers, whose items show a text followed by the style sample of the
// curve the item stands for.
#pragma once

#include "plot/curve_plot.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QComboBox>
#include <QImage>
#include <QStyledItemDelegate>

#include <algorithm>
#include <type_traits>
#include <vector>

class QPainter;
class QRect;

// Draws one picker item: the background, the text at (left + 4, top + 1) and, when the item has one and
// graphics are visible, its image 4 pixels right of the text (3 pixels below the top).
void DrawPickerItem(QPainter& p, const QRect& r, const QString& text, const QImage* image,
                    bool graphicVisible, const QColor& back, const QColor& font);

// What both kinds of picker draw their items with.
struct TPickerLook {
    bool GraphicVisible = true;
    QColor BackColor = Qt::white;
    QColor FontColor = Qt::black;
};

// Item data role that holds the style sample of an item.
constexpr int PickerImageRole = Qt::UserRole + 1;

// Draws the items of a picker by its look; the selected line is drawn inverted so the choice stays visible.
class TPickerItemDelegate : public QStyledItemDelegate {
public:
    TPickerItemDelegate(QObject* parent, const TPickerLook& look)
        : QStyledItemDelegate(parent), look_(look) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Room for the text and the style sample after it, so that a drop-down list shows both.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const TPickerLook& look_;
};

// The properties and items common to the drop-down and the list picker (Widget is QComboBox or QListWidget).
template <class Widget>
class TGraphicPicker : public Widget {
public:
    static constexpr int ItemHeight = 15;

    explicit TGraphicPicker(QWidget* parent) : Widget(parent) {
        this->setItemDelegate(new TPickerItemDelegate(this, look_));
    }

    bool GraphicVisible() const { return look_.GraphicVisible; }
    void SetGraphicVisible(bool on) {
        look_.GraphicVisible = on;
        Repaint();
    }
    QColor BackColor() const { return look_.BackColor; }
    void SetBackColor(const QColor& c) {
        look_.BackColor = c;
        Repaint();
    }
    QColor FontColor() const { return look_.FontColor; }
    void SetFontColor(const QColor& c) {
        look_.FontColor = c;
        Repaint();
    }

    // The size of the image every curve item gets: the control's width less 60, the item height less 6.
    QSize ImageSize() const { return {std::max(1, this->width() - 60), ItemHeight - 6}; }
    // Adds an item; a null image means the item has none.
    void AddGraphicItem(const QString& text, const QImage& image = QImage()) {
        this->addItem(text);
        if (!image.isNull())
            this->model()->setData(this->model()->index(this->count() - 1, 0), image, PickerImageRole);
    }
    // The image of item index (0-based); a null image when it has none.
    QImage ItemImage(int index) const {
        if (index < 0 || index >= this->count()) return {};
        return this->model()->index(index, 0).data(PickerImageRole).template value<QImage>();
    }

protected:
    void Repaint() {
        if constexpr (std::is_base_of_v<QAbstractScrollArea, Widget>)
            this->viewport()->update();
        else
            this->update();
    }

    TPickerLook look_;
};

class TGraphicComboBox : public TGraphicPicker<QComboBox> {
    Q_OBJECT
public:
    explicit TGraphicComboBox(QWidget* parent = nullptr) : TGraphicPicker<QComboBox>(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

// ---------------------------------------------------------------- colour and line-style picker

// What an item of a colour picker draws before its text.
// A class of its own: the fit model's guess styles use the same short names.
enum class TGraphicStyle { gsNone, gsBitmap, gsLine, gsBox, gsCircle };
// How the text is written: not at all, in the list's font colour, or in the item's own colour.
enum TStringStyle { ssNone, ssNormal, ssColored };

// The graphic of one picker item and the colour or line style the item stands for.
struct TColorBox {
    TGraphicStyle kind = TGraphicStyle::gsBox;
    TColor BorderColor = 0x000000;
    TColor FillColor = 0xFFFFFF; // the colour the item stands for
    Qt::BrushStyle BrushStyle = Qt::SolidPattern;
    TPenStyle PenStyle = psSolid; // the line style the item stands for
    int32_t sizex = 10;
    int32_t sizey = 10;
    QImage bitmap; // the graphic of kind TGraphicStyle::gsBitmap
};

// Draws one item of a colour picker into r: the graphic (grey when disabled), then the text unless the
// string style is ssNone.
void DrawColorItem(QPainter& p, const QRect& r, const TColorBox& box, const QString& text,
                   TStringStyle strings, bool disabled, const QColor& font);

// A drop-down list of colours or line styles. A colour picker filled by FillColors ends with "Other...",
// which opens the colour dialog; a colour chosen there that is none of the named ones gets an item of its
// own.
class TColorCombo : public QComboBox {
    Q_OBJECT
public:
    static constexpr int ItemHeight = 16;

    explicit TColorCombo(QWidget* parent = nullptr);

    TGraphicStyle GraphicStyle() const { return graphicStyle_; }
    void SetGraphicStyle(TGraphicStyle style);
    TStringStyle StringStyle() const { return stringStyle_; }
    void SetStringStyle(TStringStyle style);

    // A colour item, its box (item height - 4) square; a line item, 50 wide, its pen in the style.
    void AddColor(const QString& name, TColor color);
    void AddLineStyle(const QString& name, TPenStyle style);
    // The 18 standard colours, then "Other...".
    void FillColors();
    void FillLineStyles();
    // The first item of that colour or style (0-based), -1 when none.
    int IndexOfColor(TColor color) const;
    int IndexOfStyle(TPenStyle style) const;
    // The colour or style of the selected item; black and solid when nothing (or "Other...") is selected.
    TColor SelectedColor() const;
    TPenStyle SelectedStyle() const;
    // Selects the first item of the colour; a colour without one gets its own item, named by its #rrggbb
    // value, so that a curve's colour is never lost for want of a name.
    void SelectColor(TColor color);
    const TColorBox& Box(int index) const { return boxes_.at(static_cast<size_t>(index)); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The user chose another colour or style ("Other..." only when the colour dialog gave a colour).
    void Changed();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void AddBox(const QString& name, const TColorBox& box);
    void Chosen(int index);
    bool IsOther(int index) const { return index >= 0 && index == otherIndex_; }
    TColor SelectedColorAt(int index) const;

    std::vector<TColorBox> boxes_; // one per item
    TGraphicStyle graphicStyle_ = TGraphicStyle::gsBox;
    TStringStyle stringStyle_ = ssNormal;
    int otherIndex_ = -1;
    int customIndex_ = -1; // the item of a colour without a name, once there is one
    int lastIndex_ = -1;   // the selection before the present choice, put back when "Other..." is cancelled
};
