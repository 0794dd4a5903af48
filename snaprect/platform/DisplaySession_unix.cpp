#include "DisplaySession.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QStringList>
#include <QWindow>

#include <X11/Xlib.h>
#include <cstdlib>
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

// On X11 Qt asks for the keyboard with the time of the last event that the
// program saw, older than the user's last click elsewhere, and the server
// (or a window manager's focus-stealing rules) refuses. A second start is
// the user's own request: made now, and to a window manager as one from a
// pager, which those rules let through.
void giveX11Keyboard(const QNativeInterface::QX11Application *x11, QWindow *window)
{
    xcb_connection_t *connection = x11->connection();
    const auto id = xcb_window_t(window->winId());
    static const char name[] = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    message.data.data32[0] = 2; // a pager's request
    message.data.data32[1] = XCB_CURRENT_TIME;
    std::free(atom);
    xcb_send_event(connection, 0, xcb_window_t(DefaultRootWindow(x11->display())),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    // Without a window manager nobody reads the message.
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME);
    xcb_flush(connection);
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

QString DisplaySession::userAndDisplay()
{
    // A program on XWayland shares the Wayland session's name.
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_.-]"));
    QString name = QString::number(getuid()) + QLatin1Char('-') + display;
    return name.replace(unsafe, QStringLiteral("_"));
}

void DisplaySession::giveKeyboard(QWindow *window)
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->display())
        giveX11Keyboard(x11, window);
    else
        window->requestActivate();
}
