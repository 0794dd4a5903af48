#pragma once

#include <QPixmap>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

class QObject;

/// Reads the whole desktop into one picture. One implementation per window
/// system; create() picks the one that fits the running platform.
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

    /// The whole desktop, desktopGeometry() large; null when the window
    /// system refused.
    virtual QPixmap grabDesktop() = 0;

    /// Asks for the whole desktop and hands it to \a done, which runs
    /// exactly once, unless \a context is destroyed first. Back ends that
    /// must wait for another process answer later, from the event loop;
    /// this default grabs with grabDesktop() and answers at once. A picture
    /// whose devicePixelRatio() is above 1 holds that many pixels per unit of
    /// desktopGeometry().
    virtual void requestDesktop(QObject *context, Done done);

    /// Whether windows cannot place themselves on this platform, so that a
    /// window covering the desktop must be one full-screen window per screen.
    virtual bool needsWindowPerScreen() const { return false; }

    /// The back end for the running platform, created on first use and shared
    /// by every capture of the process. Needs a QGuiApplication.
    static ScreenGrabber &instance();

private:
    static std::unique_ptr<ScreenGrabber> create();
};
