#include "ScreenGrabber.h"

#include "QtScreenGrabber.h"
#include "ServerPainter.h"

#include <QScreen>

qreal ScreenGrabber::pixelsPerUnit(const QScreen *screen) const
{
    return screen->devicePixelRatio();
}

QRect ScreenGrabber::screenArea(const QScreen *screen) const
{
    const qreal ratio = pixelsPerUnit(screen);
    const QRect geometry = screen->geometry().translated(-desktopGeometry().topLeft());
    return QRect((QPointF(geometry.topLeft()) * ratio).toPoint(), (QSizeF(geometry.size()) * ratio).toSize());
}

std::unique_ptr<ServerPainter> ScreenGrabber::serverPainter(const QImage &, QWidget *) const
{
    return {};
}

void ScreenGrabber::requestDesktop(QObject *, Done done)
{
    const QPixmap picture = grabDesktop();
    done(picture, picture.isNull() ? QStringLiteral("窗口系统拒绝读取屏幕内容。") : QString());
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
