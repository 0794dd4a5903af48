#pragma once

#include <QList>
#include <QRect>

class QColor;
class QImage;

/// Paints a window where the window system does the work: the picture of a
/// grab copied from memory that the server reads already, and colours laid
/// over rectangles by the server, so that the program neither fills a window
/// buffer as large as the screen nor sends the screen's pixels. Positions are
/// the window's own pixels. Made by ScreenGrabber::serverPainter().
class ServerPainter
{
public:
    virtual ~ServerPainter() = default;

    /// Copies \a area of the grab's picture to \a at.
    virtual void copyPicture(const QRect &area, const QPoint &at) = 0;
    /// Lays \a colour over \a rects, blended by its alpha as QPainter blends
    /// an opaque or black colour over opaque pixels.
    virtual void fill(const QList<QRect> &rects, const QColor &colour) = 0;
    /// Shows \a image, painted by the program, at \a at.
    virtual void put(const QImage &image, const QPoint &at) = 0;
    /// Sends what was asked for to the server.
    virtual void flush() = 0;
};
