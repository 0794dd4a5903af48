#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QByteArray;

/// Holds the clipboard with a picture in a program that has no window, and
/// serves it until another program takes the clipboard over. One
/// implementation per window system; create() picks the one for the running
/// platform, or Qt's own where the environment variable SNAPRECT_CLIPBOARD
/// is "qt" (on Wayland, one that data-control is not offered to). Needs a
/// QGuiApplication.
class ClipboardOwner : public QObject
{
    Q_OBJECT

public:
    enum class Taken {
        Held,       ///< this process holds the clipboard now
        NotOffered, ///< the window system lets no program without a window own it
        Failed,     ///< the window system refused, or another program came first
    };

    /// Offers \a png, a picture in PNG, as "image/png" and takes the
    /// clipboard with it. Returns once the window system has said whether
    /// this process holds it; \a failure then says why not, in words for
    /// the user.
    virtual Taken take(const QByteArray &png, QString *failure) = 0;

    /// Qt's clipboard, where the window system lets any client own it (X11),
    /// or the platform's own way for a client without a window.
    static std::unique_ptr<ClipboardOwner> create();

signals:
    /// Another program took the clipboard over: nothing is left to serve.
    void replaced();

private:
    /// The platform's own owner, where Qt's cannot serve without a window;
    /// null elsewhere.
    static std::unique_ptr<ClipboardOwner> createNative();
};
