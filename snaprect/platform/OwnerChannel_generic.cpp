#include "OwnerChannel.h"

// Without the POSIX sockets that a detached owner inherits, a copy outlives
// nothing.
OwnerChannel::OwnerChannel()
    : m_failure(QStringLiteral("此系统上没有保管剪贴板的进程。"))
{
}

OwnerChannel::OwnerChannel(const QString &) {}

OwnerChannel::~OwnerChannel() = default;

void OwnerChannel::closeFarEnd() {}

bool OwnerChannel::sendPicture(const QByteArray &, int, bool *)
{
    return false;
}

QByteArray OwnerChannel::receivePicture(quint64)
{
    return {};
}

bool OwnerChannel::send(const QByteArray &)
{
    return false;
}

QByteArray OwnerChannel::receive()
{
    return {};
}

void OwnerChannel::end(qint64) {}
