#pragma once

#include <QPixmap>
#include <QRect>

#include <memory>

class QScreen;

/// Reads the whole desktop into one picture. One implementation per window
/// system; create() picks the one that fits the running platform, or the one
/// that the environment variable SNAPRECT_GRABBER names: "qt" (Qt's own
/// grab), "shm" (X11 through shared memory, falling back to "plain"),
/// "plain" (X11 over the connection).
class ScreenGrabber
{
public:
    virtual ~ScreenGrabber() = default;

    /// The desktop's extent in the coordinates that top-level widgets are
    /// moved in: the bounding rectangle of all screens.
    virtual QRect desktopGeometry() const = 0;

    /// Where \a screen lies in the picture that grabDesktop() returns, in
    /// that picture's pixels. By default the screen's geometry relative to
    /// desktopGeometry(), times its device-pixel ratio: right wherever the
    /// window system's pixels are the widgets' coordinates scaled by one
    /// factor, origins included.
    virtual QRect screenArea(const QScreen *screen) const;

    /// Whether a window covering the desktop must be one window per screen,
    /// because one window cannot lie over every screen's pixels one to one.
    /// False by default.
    virtual bool needsWindowPerScreen() const { return false; }

    /// The whole desktop in the window system's pixels, with the primary
    /// screen's device-pixel ratio; null when the window system refused.
    virtual QPixmap grabDesktop() = 0;

    /// The back end for the running platform, created on first use and shared
    /// by every capture of the process. Needs a QGuiApplication.
    static ScreenGrabber &instance();

private:
    static std::unique_ptr<ScreenGrabber> create();
    /// The platform's own back end for the SNAPRECT_GRABBER choice \a name
    /// (empty when unset); null where there is none.
    static std::unique_ptr<ScreenGrabber> createNative(const QByteArray &name);
};
