#include "controller/DisplayController.h"

#include <QApplication>
#include <QMainWindow>
#include <QSettings>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));
    QApplication::setApplicationName(QStringLiteral("Bildwart"));

    QSettings store;
    DisplayController controller(store);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bildwart"));
    window.resize(1100, 720);
    window.show();
    return app.exec();
}
