#pragma once

#include <QObject>
#include <QPointer>

class QPixmap;
class ServedPicture;

/// Puts pictures on the clipboard so that they stay there after this
/// process has ended: a detached copy of the program, the owner, holds the
/// clipboard until another program takes it over, and then ends. Where the
/// window system lets no program without a window own the clipboard
/// (Wayland without data-control), this process serves the picture itself
/// until a clipboard manager has kept a copy.
class ClipboardServer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~ClipboardServer() override;

    /// Puts \a picture on the clipboard from this process at once. Called
    /// while a window of the program has the keyboard focus, which Wayland
    /// asks of a client that sets the clipboard. The picture is encoded
    /// when first asked for, once.
    void serveHere(const QPixmap &picture);
    /// Hands \a picture to a detached owner; returns once the owner holds
    /// the clipboard, or has said that no program without a window may and
    /// serveHere() took the picture. Empty then; otherwise why the copy
    /// failed, in words for the user. An owner that failed is ended.
    QString handOver(const QPixmap &picture);
    /// Before the program ends: while this process still serves a picture
    /// that no owner took, waits, at most a few seconds, until a clipboard
    /// manager has read it or another program has taken the clipboard.
    /// Empty when the picture outlives the process; otherwise why not.
    QString keep();
    /// Whether handOver() is waiting for the owner's answer (with the event
    /// loop running).
    bool isHandingOver() const { return m_handingOver; }

signals:
    /// handOver() has its answer.
    void handedOver();

private:
    /// The picture served here was lost before the window system confirmed
    /// it: it was never the clipboard's.
    bool wasRefused() const;
    static QString refusal();

    QPointer<ServedPicture> m_served;
    bool m_handingOver = false;
};

/// The detached owner's work: reads the picture from the channel's end
/// that \a farEnd names (see OwnerChannel), takes the clipboard, tells the
/// program at the other end whether it holds it, and serves it until
/// another program takes it over. Needs a QGuiApplication. Returns the exit
/// status.
int serveClipboard(const QString &farEnd);
