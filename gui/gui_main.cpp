// nerax-lt: the tool's main window.
#include <QApplication>
#include <QStyle>

#include "app/formatters.h"
#include "pages/main_window.h"
#include "gui/qt_host.h"
#include "gui/window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QtHost host;
    QApplication::setApplicationName(qtText(host.applicationTitle));

    TFrmTestQOB form(host);
    // The INI file takes the program's name and is looked up in the
    // current working directory.
    form.iniFileName = iniFileNameFor(modelText(QCoreApplication::applicationFilePath()));
    MainWindow window(form, host);
    window.startUp();
    window.show();
    return app.exec();
}
