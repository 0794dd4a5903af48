#include "WaylandDriver.h"

#include "SnapRectDriver.h"

#include <QTest>

using namespace WaylandTestSupport;

WaylandDriver::WaylandDriver() = default;

WaylandDriver::~WaylandDriver()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool WaylandDriver::start(const QSize &layout)
{
    if (!m_pointer.start(layout))
        return false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral(".config")));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    // The program runs as the test's own user: the portal looks into the
    // caller's process, and the portal's scratch file is the caller's to remove.
    m_process.start(QStringLiteral(SNAPRECT_BINARY), {});
    if (!m_process.waitForStarted())
        return false;
    m_mainWindow = waitForWindow(QStringLiteral("Framzel"));
    return m_mainWindow.id != 0;
}

bool WaylandDriver::clickMainButton(const QString &objectName)
{
    // The window may have been mapped anew since the last look.
    m_mainWindow = waitForWindow(QStringLiteral("Framzel"));
    return m_mainWindow.id && m_pointer.click(m_mainWindow.rect.topLeft() + mainButtonCentre(objectName));
}

bool WaylandDriver::answerSaveDialog(const QString &fileName)
{
    const SwayWindow dialog = waitForWindow(QStringLiteral("保存图像"));
    if (!dialog.id)
        return false;
    // sway leaves the keyboard with a full-screen window when a dialog opens
    // over it (the overlay's save dialog): the user clicks into the dialog
    // first, here on its empty margin, and goes to the name field with its
    // mnemonic, Alt+N.
    return m_pointer.click(dialog.rect.topLeft() + QPoint(3, 3)) && key(QStringLiteral("n"), {QStringLiteral("alt")})
        && type(fileName) && key(QStringLiteral("Return")) && waitForGone(dialog.id);
}
