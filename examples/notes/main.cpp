// Ovkit Notes: a small viewer that shows OvXmlFile, OvSkin and OvDynamicMenu
// in use. Its settings live in ovkit-notes/settings.xml in the user's
// configuration folder; its skins in skins/ beside the program.
#include "NotesWindow.h"

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("ovkit-notes"));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    NotesWindow window(folder + QStringLiteral("/settings.xml"));
    window.show();
    return app.exec();
}
