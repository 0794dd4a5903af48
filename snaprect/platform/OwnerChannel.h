#pragma once

#include <QByteArray>
#include <QString>

/// The socket pair between the program and the detached copy of it that
/// owns the clipboard: the copy inherits one end, which its command line
/// names, and reads the picture from it; its answer comes back the same way.
/// Both ends block.
class OwnerChannel
{
public:
    /// The program's side: a new pair, whose far end the processes started
    /// next inherit until closeFarEnd(). Invalid when none could be made.
    OwnerChannel();
    /// The copy's side: the end that \a farEnd names; invalid unless that
    /// is a socket, as the option is one that anybody may type.
    explicit OwnerChannel(const QString &farEnd);
    ~OwnerChannel();
    OwnerChannel(const OwnerChannel &) = delete;
    OwnerChannel &operator=(const OwnerChannel &) = delete;

    bool isValid() const { return m_end >= 0; }
    /// Why the pair could not be made, in words for the user.
    QString failure() const { return m_failure; }
    /// The far end, as the copy's command line names it.
    QString farEnd() const { return QString::number(m_farEnd); }
    void closeFarEnd();
    /// This side's descriptor, to be told when the answer comes.
    int descriptor() const { return m_end; }

    /// Sends \a png, its size first, waiting at most \a timeoutMs for the
    /// other side to take it; false if that side has gone or did not take
    /// it in time (\a timedOut).
    bool sendPicture(const QByteArray &png, int timeoutMs, bool *timedOut);
    /// What sendPicture() sent; empty unless it came whole and is at most
    /// \a maxBytes long.
    QByteArray receivePicture(quint64 maxBytes);
    /// Sends \a text whole; false if the other side has gone.
    bool send(const QByteArray &text);
    /// What has come, once descriptor() is readable; empty at the end.
    QByteArray receive();

    /// Ends the process \a pid at once: a copy that did not answer.
    static void end(qint64 pid);

private:
    int m_end = -1;
    int m_farEnd = -1;
    QString m_failure;
};
