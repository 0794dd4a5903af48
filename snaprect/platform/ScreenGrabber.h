#pragma once

#include <QPixmap>
#include <QRect>

#include <memory>

/// Reads the whole desktop into one picture. One implementation per window
/// system; create() picks the one that fits the running platform.
class ScreenGrabber
{
public:
    virtual ~ScreenGrabber() = default;

    /// The desktop's extent in the coordinates that top-level widgets are
    /// moved in: the bounding rectangle of all screens.
    virtual QRect desktopGeometry() const = 0;

    /// The whole desktop, desktopGeometry() large; null when the window
    /// system refused.
    virtual QPixmap grabDesktop() = 0;

    /// The back end for the running platform, created on first use and shared
    /// by every capture of the process. Needs a QGuiApplication.
    static ScreenGrabber &instance();

private:
    static std::unique_ptr<ScreenGrabber> create();
};
