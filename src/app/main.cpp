#include "app/main_window/MainForm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvane"));
    TMain mainWindow;
    mainWindow.show();
    return QApplication::exec();
}
