#include "app/mainform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Graphmill"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    TMainForm form;
    form.show();
    return QApplication::exec();
}
