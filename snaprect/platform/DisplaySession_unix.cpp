#include "DisplaySession.h"

#include <QStringList>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

// The platforms that Qt 6.4 tries, in its order: the list in
// QT_QPA_PLATFORM, or Wayland before X11 in a Wayland session, X11 alone
// otherwise. Trying both there is more than Qt may do on GNOME, which is
// never stricter than Qt.
QStringList platformsToTry()
{
    const QString forced = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!forced.isEmpty())
        return forced.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland"))
        return {QStringLiteral("wayland"), QStringLiteral("xcb")};
    return {QStringLiteral("xcb")};
}

QString x11Problem()
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("无法连接显示服务器（DISPLAY 未设置）");
    xcb_connection_t *connection = xcb_connect(display.constData(), nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (failed)
        return QStringLiteral("无法连接显示服务器“%1”（DISPLAY）").arg(QString::fromLocal8Bit(display));
    return {};
}

bool acceptsConnections(const QByteArray &socketPath)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (socketPath.isEmpty() || size_t(socketPath.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    const bool connected = ::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(socket);
    return connected;
}

// Where libwayland connects: a socket handed down in WAYLAND_SOCKET, or the
// one that WAYLAND_DISPLAY names ("wayland-0" by default), beneath
// XDG_RUNTIME_DIR unless it is a path.
QString waylandProblem()
{
    if (qEnvironmentVariableIsSet("WAYLAND_SOCKET"))
        return {};
    const QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    const QString name = display.isEmpty() ? QStringLiteral("wayland-0") : display;
    const QString path = name.startsWith(QLatin1Char('/'))
        ? name : qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + name;
    if (acceptsConnections(path.toLocal8Bit()))
        return {};
    if (display.isEmpty())
        return QStringLiteral("无法连接显示服务器（WAYLAND_DISPLAY 未设置）");
    return QStringLiteral("无法连接显示服务器“%1”（WAYLAND_DISPLAY）").arg(display);
}

} // namespace

QString DisplaySession::unreachable()
{
    QString firstProblem;
    for (const QString &platform : platformsToTry()) {
        QString problem;
        if (platform.startsWith(QLatin1String("xcb")))
            problem = x11Problem();
        else if (platform.startsWith(QLatin1String("wayland")))
            problem = waylandProblem();
        // Any other platform (offscreen, vnc ...) needs no display.
        if (problem.isEmpty())
            return {};
        if (firstProblem.isEmpty())
            firstProblem = problem;
    }
    return firstProblem;
}
