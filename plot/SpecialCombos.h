// Curve pickers: drop-down and list controls whose items show a text followed by a small image, the style
// sample of the curve the item stands for.
#pragma once

#include <QColor>
#include <QComboBox>
#include <QImage>

class QPainter;
class QRect;

// Draws one picker item: the background, the text at (left + 4, top + 1) and, when the item has one and
// graphics are visible, its image 4 pixels right of the text (3 pixels below the top).
void DrawPickerItem(QPainter& p, const QRect& r, const QString& text, const QImage* image,
                    bool graphicVisible, const QColor& back, const QColor& font);

class TGraphicComboBox : public QComboBox {
    Q_OBJECT
public:
    static constexpr int ItemHeight = 15;

    explicit TGraphicComboBox(QWidget* parent = nullptr);

    bool GraphicVisible() const { return graphicVisible_; }
    void SetGraphicVisible(bool on);
    QColor BackColor() const { return back_; }
    void SetBackColor(const QColor& c);
    QColor FontColor() const { return font_; }
    void SetFontColor(const QColor& c);

    // The size of the image every curve item gets: the control's width less 60, the item height less 6.
    QSize ImageSize() const;
    // Adds an item; a null image means the item has none.
    void AddGraphicItem(const QString& text, const QImage& image = QImage());
    // The image of item index (0-based); a null image when it has none.
    QImage ItemImage(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool graphicVisible_ = true;
    QColor back_ = Qt::white;
    QColor font_ = Qt::black;
    friend class TGraphicItemDelegate;
};
