#include "app/mainform.h"

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Graphmill - Main Form"));
    resize(800, 600);
}
