#pragma once

#include <QObject>

class QLocalServer;
class TSnapRectForm;

/// One capture at a time for this user on this display, across processes,
/// so that no capture grabs another one's dimmed overlay. A capture holds the
/// lock from just before its grab until its overlay or save dialog closes; a
/// start that finds it held asks the holder to come to the front instead of
/// capturing. The lock is a local server, named by serverName(): it goes with
/// the process that holds it, and a socket file left behind by a crashed run
/// is taken over.
class CaptureLock : public QObject
{
    Q_OBJECT

public:
    explicit CaptureLock(QObject *parent = nullptr);
    ~CaptureLock() override;

    /// Takes the lock and returns true; when another process holds it,
    /// asks that one to come to the front and returns false. True when this
    /// object holds it already, and when the lock cannot be had at all: it
    /// never stands in the way of a capture by itself.
    bool acquire();
    /// Lets the lock go, for the next capture; nothing when it is not held.
    void release();

    /// The local server's name, from the user and the display: a path in
    /// the user's runtime folder, else in the temporary folder.
    static QString serverName();
    /// Brings this process's capture to the front: \a overlay's windows,
    /// if shown, with the keyboard, and above them the dialog that the
    /// capture waits for (a save dialog, a message), if one is open.
    static void bringToFront(TSnapRectForm *overlay);

signals:
    /// Another start found the lock held by this object.
    void handoverRequested();

private:
    void answerRequests();

    QLocalServer *m_server;
};
