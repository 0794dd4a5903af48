#pragma once

#include <WaylandTestSupport.h>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

/// Runs the real program on the test's sway compositor and drives it as a
/// user does: a virtual pointer, wtype's keyboard, sway's window list.
class WaylandDriver
{
public:
    WaylandDriver();
    ~WaylandDriver();

    /// Starts the pointer over the layout, then the program, and waits for
    /// its main window; false on failure.
    bool start(const QSize &layout);
    QProcess &process() { return m_process; }
    const WaylandTestSupport::SwayWindow &mainWindow() const { return m_mainWindow; }
    WaylandTestSupport::VirtualPointer &pointer() { return m_pointer; }

    /// A folder the program may write to.
    QString writableFolder() const { return m_output.path(); }

    /// Clicks a button of the main window by its object name.
    bool clickMainButton(const QString &objectName);
    /// Answers an open save dialog with \a fileName and Return.
    bool answerSaveDialog(const QString &fileName);

private:
    static QPoint fileNameFieldCentre(const QSize &dialogSize);

    QProcess m_process;
    QTemporaryDir m_home;
    QTemporaryDir m_output;
    WaylandTestSupport::VirtualPointer m_pointer;
    WaylandTestSupport::SwayWindow m_mainWindow;
};
