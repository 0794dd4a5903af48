#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QTemporaryDir>

/// Runs the real program and drives it as a user does, with xdotool's
/// pointer and keyboard on the X server. When the test runs as root the
/// program runs as an unprivileged user, so that file permissions mean for it
/// what they mean for a user.
class SnapRectDriver
{
public:
    SnapRectDriver();
    ~SnapRectDriver();

    /// Starts the program and waits for its main window; false on failure.
    bool start(const QStringList &environment = {});
    QProcess &process() { return m_process; }
    unsigned long mainWindow() const { return m_mainWindow; }

    /// A folder the program may write to, and one it may not.
    QString writableFolder() const { return m_output.path(); }
    QString lockedFolder() const;

    /// Clicks a button of the main window by its object name.
    void clickMainButton(const QString &objectName);
    void drag(const QPoint &from, const QPoint &to);
    void key(const QString &keys);
    void type(const QString &text);

    /// Waits for a viewable window titled \a title other than \a besides.
    unsigned long waitForWindow(const QString &title, unsigned long besides = 0, int timeoutMs = 10000);
    /// Waits until \a window is no longer viewable.
    bool waitForGone(unsigned long window, int timeoutMs = 10000);
    /// Waits until one of \a windows has the keyboard focus, so that keys
    /// reach it; after a while gives the first of them the focus, as a user's
    /// click would.
    bool waitForKeyboard(const QList<unsigned long> &windows, int timeoutMs = 10000);
    /// Types \a fileName into the save dialog \a dialog and saves; true once
    /// the dialog has closed.
    bool submitFileName(unsigned long dialog, const QString &fileName);
    /// Answers an open save dialog with \a fileName and Return.
    bool answerSaveDialog(const QString &fileName);

    static bool xdotool(const QStringList &arguments);

private:
    QProcess m_process;
    QTemporaryDir m_home;
    QTemporaryDir m_output;
    unsigned long m_mainWindow = 0;
};

/// Where the main window's button \a objectName sits inside the window, as
/// the same form lays it out in this process with the program's font, in
/// Qt's coordinates, which a Wayland compositor counts in too.
QPoint mainButtonCentre(const QString &objectName);

/// Whether a saved picture holds exactly \a expected.
bool samePixels(const QString &fileName, const QImage &expected, QString *why);
