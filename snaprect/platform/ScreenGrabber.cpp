#include "ScreenGrabber.h"

#include "PortalScreenGrabber.h"
#include "QtScreenGrabber.h"

#include <QGuiApplication>

void ScreenGrabber::requestDesktop(QObject *, Done done)
{
    const QPixmap picture = grabDesktop();
    done(picture, picture.isNull() ? QStringLiteral("窗口系统拒绝读取屏幕内容。") : QString());
}

std::unique_ptr<ScreenGrabber> ScreenGrabber::create()
{
    // A Wayland client can read neither the screen nor another window; the
    // desktop portal asks the compositor on its behalf.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return std::make_unique<PortalScreenGrabber>();
    return std::make_unique<QtScreenGrabber>();
}

ScreenGrabber &ScreenGrabber::instance()
{
    static const std::unique_ptr<ScreenGrabber> grabber = create();
    return *grabber;
}
