// The list form of the curve picker: several curves can be chosen at once.
#pragma once

#include <QColor>
#include <QImage>
#include <QListWidget>

class TGraphicListBox : public QListWidget {
    Q_OBJECT
public:
    static constexpr int ItemHeight = 15;

    explicit TGraphicListBox(QWidget* parent = nullptr);

    bool GraphicVisible() const { return graphicVisible_; }
    void SetGraphicVisible(bool on);
    QColor BackColor() const { return back_; }
    void SetBackColor(const QColor& c);
    QColor FontColor() const { return font_; }
    void SetFontColor(const QColor& c);

    QSize ImageSize() const;
    void AddGraphicItem(const QString& text, const QImage& image = QImage());
    QImage ItemImage(int index) const;

private:
    bool graphicVisible_ = true;
    QColor back_ = Qt::white;
    QColor font_ = Qt::black;
};
