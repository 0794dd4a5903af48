#include "AppConstants.h"
#include "StartUp.h"
#include "TMainForm.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    loadTranslator(QStringLiteral("qt_"));
    QCoreApplication::setApplicationName(appTitle);
    registerFontSubstitutes();
    QApplication::setFont(appFont);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/snaprect.png")));

    TMainForm mainForm;
    mainForm.show();
    return app.exec();
}
