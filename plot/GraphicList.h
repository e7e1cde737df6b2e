// The list form of the curve picker: several curves can be chosen at once.
#pragma once

#include "plot/SpecialCombos.h"

#include <QListWidget>

class TGraphicListBox : public TGraphicPicker<QListWidget> {
    Q_OBJECT
public:
    explicit TGraphicListBox(QWidget* parent = nullptr);
};
