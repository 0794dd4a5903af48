#include "WaylandDriver.h"

#include "SnapRectDriver.h"

#include "AppConstants.h"
#include "StartUp.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
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

QPoint WaylandDriver::fileNameFieldCentre(const QSize &dialogSize)
{
    // The same dialog, laid out in this process with the program's font at
    // the size the compositor gave it, tells where its name field sits.
    registerFontSubstitutes();
    QApplication::setFont(appFont);
    QFileDialog probe;
    probe.setOption(QFileDialog::DontUseNativeDialog);
    probe.setAcceptMode(QFileDialog::AcceptSave);
    probe.setAttribute(Qt::WA_DontShowOnScreen);
    probe.resize(dialogSize);
    probe.show();
    const auto *field = probe.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    const QPoint centre = field ? field->mapTo(&probe, field->rect().center()) : QPoint();
    probe.hide();
    return centre;
}

bool WaylandDriver::answerSaveDialog(const QString &fileName)
{
    const SwayWindow dialog = waitForWindow(QStringLiteral("保存图像"));
    if (!dialog.id)
        return false;
    // sway leaves the keyboard with a full-screen window when a dialog opens
    // over it (the overlay's save dialog): the user clicks into the dialog
    // first, here into its name field.
    if (!m_pointer.click(dialog.rect.topLeft() + fileNameFieldCentre(dialog.rect.size())) || !type(fileName))
        return false;
    // Return may meet the name field's completion list, still open while it
    // catches up with the typing, or come before a busy client has taken
    // wtype's keymap: as a user does, press it again while the dialog stays.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (key(QStringLiteral("Return")) && waitForGone(dialog.id, 5000))
            return true;
    }
    return false;
}
