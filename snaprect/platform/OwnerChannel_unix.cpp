#include "OwnerChannel.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool sendAll(int socket, const void *data, quint64 size)
{
    for (auto *at = static_cast<const char *>(data); size > 0;) {
        const ssize_t n = ::send(socket, at, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= quint64(n);
    }
    return true;
}

bool receiveAll(int socket, void *data, quint64 size)
{
    for (auto *at = static_cast<char *>(data); size > 0;) {
        const ssize_t n = ::recv(socket, at, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= quint64(n);
    }
    return true;
}

} // namespace

OwnerChannel::OwnerChannel()
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        m_failure = QStringLiteral("无法与保管剪贴板的进程通信：%1").arg(qt_error_string(errno));
        return;
    }
    m_end = ends[0];
    m_farEnd = ends[1];
    // The far end alone outlives the exec of the next program started.
    ::fcntl(m_farEnd, F_SETFD, 0);
}

OwnerChannel::OwnerChannel(const QString &farEnd)
{
    bool number = false;
    const int socket = farEnd.toInt(&number);
    int type = 0;
    socklen_t length = sizeof type;
    if (number && ::getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) == 0)
        m_end = socket;
}

OwnerChannel::~OwnerChannel()
{
    closeFarEnd();
    if (m_end >= 0)
        ::close(m_end);
}

void OwnerChannel::closeFarEnd()
{
    if (m_farEnd >= 0)
        ::close(m_farEnd);
    m_farEnd = -1;
}

bool OwnerChannel::sendPicture(const QByteArray &png, int timeoutMs, bool *timedOut)
{
    const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(m_end, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const quint64 size = quint64(png.size());
    if (sendAll(m_end, &size, sizeof size) && sendAll(m_end, png.constData(), size))
        return true;
    *timedOut = errno == EAGAIN || errno == EWOULDBLOCK;
    return false;
}

QByteArray OwnerChannel::receivePicture(quint64 maxBytes)
{
    quint64 size = 0;
    if (!receiveAll(m_end, &size, sizeof size) || size == 0 || size > maxBytes)
        return {};
    QByteArray png(qsizetype(size), Qt::Uninitialized);
    return receiveAll(m_end, png.data(), size) ? png : QByteArray();
}

bool OwnerChannel::send(const QByteArray &text)
{
    return sendAll(m_end, text.constData(), quint64(text.size()));
}

QByteArray OwnerChannel::receive()
{
    char chunk[512];
    ssize_t n;
    do
        n = ::recv(m_end, chunk, sizeof chunk, 0);
    while (n < 0 && errno == EINTR);
    return n > 0 ? QByteArray(chunk, n) : QByteArray();
}

void OwnerChannel::end(qint64 pid)
{
    ::kill(pid_t(pid), SIGKILL);
}
