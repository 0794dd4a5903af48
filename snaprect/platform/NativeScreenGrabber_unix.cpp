#include "PortalScreenGrabber.h"
#include "XcbScreenGrabber.h"

#include <QGuiApplication>

// X11 reads the server itself; a Wayland client can read neither the screen
// nor another window, so the desktop portal asks the compositor for it.
std::unique_ptr<ScreenGrabber> ScreenGrabber::createNative(const QByteArray &name)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        return XcbScreenGrabber::create(name == "plain" ? XcbScreenGrabber::Transfer::Connection
                                                        : XcbScreenGrabber::Transfer::SharedMemory);
    if (platform.startsWith(QLatin1String("wayland")))
        return std::make_unique<PortalScreenGrabber>();
    return {};
}

void ScreenGrabber::prepareBeforeApplication()
{
    // Only where Qt will use X11 as well, as far as the environment tells
    // before the application: by choice, or outside a Wayland session.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool x11 = platform.isEmpty() ? qgetenv("XDG_SESSION_TYPE") != "wayland" : platform.startsWith("xcb");
    const QByteArray grabber = qgetenv("SNAPRECT_GRABBER");
    if (x11 && grabber != "qt" && grabber != "plain")
        XcbScreenGrabber::prepareEarly();
}
