#include "ScreenGrabber.h"

#include "QtScreenGrabber.h"

#include <QScreen>

QRect ScreenGrabber::screenArea(const QScreen *screen) const
{
    const qreal ratio = screen->devicePixelRatio();
    const QRect geometry = screen->geometry().translated(-desktopGeometry().topLeft());
    return QRect((QPointF(geometry.topLeft()) * ratio).toPoint(), (QSizeF(geometry.size()) * ratio).toSize());
}

std::unique_ptr<ScreenGrabber> ScreenGrabber::create()
{
    const QByteArray name = qgetenv("SNAPRECT_GRABBER");
    if (name != "qt") {
        if (std::unique_ptr<ScreenGrabber> native = createNative(name))
            return native;
    }
    return std::make_unique<QtScreenGrabber>();
}

ScreenGrabber &ScreenGrabber::instance()
{
    static const std::unique_ptr<ScreenGrabber> grabber = create();
    return *grabber;
}
