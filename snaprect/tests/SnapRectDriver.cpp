#include "SnapRectDriver.h"

#include "AppConstants.h"
#include "StartUp.h"
#include "TMainForm.h"

#include <X11TestSupport.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include <unistd.h>

namespace {
constexpr uid_t unprivilegedId = 65534; // nobody
const QString mainTitle = QStringLiteral("Framzel");
}

SnapRectDriver::SnapRectDriver()
{
    if (geteuid() == 0) {
        for (const QString &path : {m_home.path(), m_output.path()})
            (void)chown(QFile::encodeName(path).constData(), unprivilegedId, unprivilegedId);
    }
    QDir(m_output.path()).mkdir(QStringLiteral("locked"));
    QFile::setPermissions(lockedFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                              | QFileDevice::ExeOther);
}

SnapRectDriver::~SnapRectDriver()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString SnapRectDriver::lockedFolder() const
{
    return m_output.filePath(QStringLiteral("locked"));
}

bool SnapRectDriver::start(const QStringList &environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
    for (const QString &setting : environment)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    if (geteuid() == 0) {
        const QString id = QString::number(unprivilegedId);
        m_process.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                                                    QStringLiteral("--clear-groups"), QStringLiteral("--"),
                                                    QStringLiteral(SNAPRECT_BINARY)});
    } else {
        m_process.start(QStringLiteral(SNAPRECT_BINARY), {});
    }
    if (!m_process.waitForStarted())
        return false;
    m_mainWindow = X11TestSupport::waitForWindow(mainTitle);
    return m_mainWindow != 0;
}

QPoint mainButtonCentre(const QString &objectName)
{
    registerFontSubstitutes();
    QApplication::setFont(appFont);
    TMainForm probe;
    probe.setAttribute(Qt::WA_DontShowOnScreen);
    probe.show();
    const auto *button = probe.findChild<QPushButton *>(objectName);
    const QPoint centre = button->mapTo(&probe, button->rect().center());
    probe.hide();
    return centre;
}

void SnapRectDriver::clickMainButton(const QString &objectName)
{
    // The X server counts its own pixels, more of them when Qt scales.
    const QPoint centre = (QPointF(mainButtonCentre(objectName)) * qApp->devicePixelRatio()).toPoint();
    const QPoint at = X11TestSupport::rootGeometry(m_mainWindow).topLeft() + centre;
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
             QStringLiteral("1")});
}

void SnapRectDriver::drag(const QPoint &from, const QPoint &to)
{
    const QPoint middle = (from + to) / 2;
    xdotool({QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
             QStringLiteral("mousedown"), QStringLiteral("1"),
             QStringLiteral("mousemove"), QString::number(middle.x()), QString::number(middle.y()),
             QStringLiteral("mousemove"), QString::number(to.x()), QString::number(to.y()),
             QStringLiteral("mouseup"), QStringLiteral("1")});
}

void SnapRectDriver::key(const QString &keys)
{
    xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50"), keys});
}

void SnapRectDriver::type(const QString &text)
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text});
}

bool SnapRectDriver::xdotool(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

unsigned long SnapRectDriver::waitForWindow(const QString &title, unsigned long besides, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        for (unsigned long window : X11TestSupport::findWindows(title)) {
            if (window != besides && X11TestSupport::isViewable(window))
                return window;
        }
        QTest::qWait(20);
    }
    return 0;
}

bool SnapRectDriver::waitForGone(unsigned long window, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (X11TestSupport::isViewable(window)) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

bool SnapRectDriver::waitForKeyboard(const QList<unsigned long> &windows, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QDeadlineTimer patience(2000);
    while (!windows.contains(X11TestSupport::focusWindow())) {
        if (deadline.hasExpired())
            return false;
        if (patience.hasExpired()) {
            // A window manager that withholds the focus (its focus-stealing
            // rules under load): the user would click the window.
            xdotool({QStringLiteral("windowfocus"), QString::number(windows.first())});
            patience.setRemainingTime(2000);
        }
        QTest::qWait(20);
    }
    QTest::qWait(50);
    return true;
}

bool SnapRectDriver::submitFileName(unsigned long dialog, const QString &fileName)
{
    // The name field has the focus once the dialog has the keyboard.
    if (!waitForKeyboard({dialog}))
        return false;
    type(fileName);
    // While the name is typed the dialog's completer may pop up a list of
    // the folder's entries; a Return that reaches the list picks an entry
    // instead of saving, so Return is pressed until the dialog reacts.
    for (int attempt = 0; attempt < 4; ++attempt) {
        QTest::qWait(300);
        key(QStringLiteral("Return"));
        if (waitForGone(dialog, 3000))
            return true;
    }
    return false;
}

bool SnapRectDriver::answerSaveDialog(const QString &fileName)
{
    const unsigned long dialog = waitForWindow(QStringLiteral("保存图像"));
    return dialog && submitFileName(dialog, fileName);
}

bool samePixels(const QString &fileName, const QImage &expected, QString *why)
{
    const QImage saved(fileName);
    if (saved.isNull()) {
        *why = QStringLiteral("no picture in ") + fileName;
        return false;
    }
    const QImage a = saved.convertToFormat(QImage::Format_RGB32);
    const QImage b = expected.convertToFormat(QImage::Format_RGB32);
    if (a.size() != b.size()) {
        *why = QStringLiteral("size %1x%2, expected %3x%4").arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height());
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                *why = QStringLiteral("first difference at %1,%2: %3 instead of %4").arg(x).arg(y)
                           .arg(a.pixel(x, y), 8, 16).arg(b.pixel(x, y), 8, 16);
                return false;
            }
        }
    }
    return true;
}
