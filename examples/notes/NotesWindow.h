#pragma once

#include "NotesSettings.h"

#include <QMainWindow>

class OvDynamicMenu;
class OvSkin;
class QPlainTextEdit;

// A plain-text viewer with a skin menu (OvSkin), a capped list of recent files
// (OvDynamicMenu) and settings kept in an XML file (NotesSettings).
class NotesWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Loads the settings from \a settingsFile; closing the window saves them.
    explicit NotesWindow(const QString &settingsFile, QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createFileMenu();
    void createViewMenu();
    void createSkinMenu();
    void openFile(const QString &path);
    void chooseFont();
    void chooseColor();
    void applyFontAndColor();

    QString m_settingsFile;
    NotesSettings m_settings;
    QPlainTextEdit *m_editor;
    OvDynamicMenu *m_recent;
    OvSkin *m_skin;
};
