#include "plot/GraphicList.h"

TGraphicListBox::TGraphicListBox(QWidget* parent) : TGraphicPicker<QListWidget>(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
}
