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
