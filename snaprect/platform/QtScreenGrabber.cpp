#include "QtScreenGrabber.h"

#include <QGuiApplication>
#include <QScreen>

QRect QtScreenGrabber::desktopGeometry() const
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? primary->virtualGeometry() : QRect();
}

QPixmap QtScreenGrabber::grabDesktop()
{
    QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return {};
    // grabWindow(0) alone returns the primary monitor only; its x, y count
    // from the primary screen's top-left, so the desktop's origin is
    // translated into that frame.
    const QRect desktop = primary->virtualGeometry();
    const QPoint origin = desktop.topLeft() - primary->geometry().topLeft();
    return primary->grabWindow(0, origin.x(), origin.y(), desktop.width(), desktop.height());
}
