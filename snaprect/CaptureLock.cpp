#include "CaptureLock.h"

#include "overlay/TSnapRectForm.h"
#include "overlay/TSnapRectToolForm.h"
#include "platform/DisplaySession.h"

#include <QApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWindow>

namespace {

// How long a second start waits for the holder to take its connection; the
// holder's event loop runs even while a save dialog is open.
constexpr int connectTimeoutMs = 1000;
// How long a start waits for another one that is taking the lock right now.
constexpr int guardTimeoutMs = 2000;

// Connecting is the request: the holder brings its capture to the front.
bool askHolder(const QString &name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(connectTimeoutMs))
        return false;
    socket.disconnectFromServer();
    return true;
}

} // namespace

CaptureLock::CaptureLock(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    // Another user on this machine may neither ask nor take it over.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &CaptureLock::answerRequests);
}

CaptureLock::~CaptureLock() = default;

QString CaptureLock::serverName()
{
    const QString session = DisplaySession::userAndDisplay();
    const QString name = session.isEmpty() ? QStringLiteral("snaprect-capture") : QStringLiteral("snaprect-capture-") + session;
    // The user's own runtime folder, where no other user can put a socket of
    // that name first; the shared temporary folder only where there is none.
    // (QStandardPaths would make one in the temporary folder, with a warning.)
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return QDir(runtime.isEmpty() ? QDir::tempPath() : runtime).filePath(name);
}

bool CaptureLock::acquire()
{
    if (m_server->isListening())
        return true;
    const QString name = serverName();
    // Two starts at once (a key repeating) must not both find the lock free,
    // nor one remove the other's new socket as stale. A guard that cannot be
    // had in time is not waited for any longer.
    QLockFile guard(name + QStringLiteral(".lock"));
    (void)guard.tryLock(guardTimeoutMs);
    if (askHolder(name))
        return false;
    // Nobody answers: the socket file, if any, is a crashed run's.
    QLocalServer::removeServer(name);
    (void)m_server->listen(name);
    return true;
}

void CaptureLock::release()
{
    m_server->close();
}

void CaptureLock::answerRequests()
{
    while (QLocalSocket *peer = m_server->nextPendingConnection())
        peer->deleteLater();
    emit handoverRequested();
}

void CaptureLock::bringToFront(TSnapRectForm *overlay)
{
    QWidget *keyboardTaker = nullptr;
    if (overlay && overlay->isVisible()) {
        for (QWidget *surface : overlay->surfaces())
            surface->raise();
        QWidget *toolbar = overlay->toolForm();
        if (toolbar->isWindow() && toolbar->isVisible())
            toolbar->raise();
        keyboardTaker = overlay;
    }
    if (QWidget *dialog = QApplication::activeModalWidget()) {
        dialog->raise();
        keyboardTaker = dialog;
    }
    // A native save dialog has a window of its own, not Qt's.
    if (QWindow *window = keyboardTaker ? keyboardTaker->windowHandle() : nullptr; window && window->isVisible())
        DisplaySession::giveKeyboard(window);
}
