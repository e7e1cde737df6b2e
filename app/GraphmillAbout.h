// The about box: the program's picture, its name and version.
#pragma once

#include <QDialog>

class TGraphmillAbout : public QDialog {
    Q_OBJECT
public:
    explicit TGraphmillAbout(QWidget* parent = nullptr);
};
