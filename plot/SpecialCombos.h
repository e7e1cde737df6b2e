// Curve pickers: drop-down and list controls whose items show a text followed by a small image, the style
// sample of the curve the item stands for.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QComboBox>
#include <QImage>
#include <QStyledItemDelegate>

#include <algorithm>
#include <type_traits>

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
