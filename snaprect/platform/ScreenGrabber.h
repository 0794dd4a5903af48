#pragma once

#include <QList>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

class QObject;
class QScreen;
class QWidget;
class ServerPainter;

/// Reads the whole desktop into one picture. One implementation per window
/// system; create() picks the one that fits the running platform (on Wayland
/// the desktop portal), or the one that the environment variable
/// SNAPRECT_GRABBER names: "qt" (Qt's own grab), "shm" (X11 through shared
/// memory, falling back to "plain"; the default there), "plain" (X11 over the
/// connection).
class ScreenGrabber
{
public:
    /// Receives a finished grab: the picture, or a null picture and why the
    /// desktop could not be read, in words for the user.
    using Done = std::function<void(const QPixmap &picture, const QString &failure)>;

    virtual ~ScreenGrabber() = default;

    /// The desktop's extent in the coordinates that top-level widgets are
    /// moved in: the bounding rectangle of all screens.
    virtual QRect desktopGeometry() const = 0;

    /// How many of the picture's pixels one unit of \a screen's geometry
    /// spans. By default the screen's device-pixel ratio.
    virtual qreal pixelsPerUnit(const QScreen *screen) const;

    /// Where \a screen lies in the picture of the last grab, in that
    /// picture's pixels: the screen's geometry relative to desktopGeometry(),
    /// times pixelsPerUnit(). Right wherever the window system's pixels are
    /// the widgets' coordinates scaled by one factor, origins included.
    virtual QRect screenArea(const QScreen *screen) const;

    /// Whether a window covering the desktop must be one window per screen,
    /// because one window cannot lie over every screen's pixels one to one,
    /// or cannot place itself at all. False by default.
    virtual bool needsWindowPerScreen() const { return false; }

    /// Whether top-level windows can be placed where the program wants them.
    /// Where they cannot (Wayland), the overlay's windows are made full-screen
    /// on their screens and the toolbar lives inside them. True by default.
    virtual bool canPlaceWindows() const { return true; }

    /// Readies what the next grab needs, such as memory as large as the
    /// desktop, ahead of it: for a moment in which the program waits anyway.
    /// The next grab uses it or lets it go; a grab that prepareGrabNow()
    /// started stays the next one. By default nothing.
    virtual void prepare() {}

    /// As prepare(), and where the back end can, takes the next grab's
    /// picture now rather than when it is asked for: for a process that
    /// shows nothing of its own before its grab, which then costs the server
    /// one copy of the screen rather than two. By default only prepare().
    virtual void prepareGrabNow() { prepare(); }

    /// The whole desktop in the window system's pixels; null when the window
    /// system refused. Back ends that must wait for another process run a
    /// local event loop meanwhile.
    virtual QPixmap grabDesktop() = 0;

    /// The top-level windows on the desktop at the last grab, topmost first,
    /// as rectangles of that grab's picture with their window manager's
    /// frames, clipped to it; never this program's own. Empty where the
    /// window system tells no window tree (Wayland), the default.
    virtual QList<QRect> windowsAtGrab() const { return {}; }

    /// Whether the server can paint the pictures of this back end's grabs
    /// into windows itself (serverPainter()), so that the windows that show
    /// them need no buffer of their own. False by default.
    virtual bool paintsOnServer() const { return false; }

    /// A painter for the top-level \a window that copies from \a picture
    /// where the server holds it: only for the picture of the last grab,
    /// which it keeps while it lives. Null where the server holds no such
    /// picture, the default.
    virtual std::unique_ptr<ServerPainter> serverPainter(const QImage &picture, QWidget *window) const;

    /// Asks for the whole desktop and hands it to \a done, which runs
    /// exactly once, unless \a context is destroyed first. Back ends that
    /// must wait for another process answer later, from the event loop;
    /// this default grabs with grabDesktop() and answers at once.
    virtual void requestDesktop(QObject *context, Done done);

    /// The back end for the running platform, created on first use and shared
    /// by every capture of the process. Needs a QGuiApplication.
    static ScreenGrabber &instance();

    /// Starts readying, before the application exists, what the first grab
    /// of the back end that instance() will make needs, where the platform
    /// can (X11: shared memory, on a thread), so that it happens while Qt
    /// starts. For a process that grabs as soon as it runs.
    static void prepareBeforeApplication();

private:
    static std::unique_ptr<ScreenGrabber> create();
    /// The platform's own back end for the SNAPRECT_GRABBER choice \a name
    /// (empty when unset); null where there is none.
    static std::unique_ptr<ScreenGrabber> createNative(const QByteArray &name);
};
