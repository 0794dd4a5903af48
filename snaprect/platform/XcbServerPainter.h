#pragma once

#include "ServerPainter.h"

#include <QImage>

#include <cstdint>
#include <memory>

struct xcb_connection_t;

/// ServerPainter for an X11 window: the picture is copied from the MIT-SHM
/// segment that the grab wrote, colours are laid over by XRender, pieces the
/// program paints go over the connection.
class XcbServerPainter : public ServerPainter
{
public:
    /// A painter for \a window that copies from \a picture, which lies in
    /// the shared segment \a segment and is kept while the painter lives;
    /// null where the window is not 24 bits deep or the server has no
    /// XRender.
    static std::unique_ptr<XcbServerPainter> create(xcb_connection_t *connection, std::uint32_t window,
                                                    const QImage &picture, std::uint32_t segment);
    ~XcbServerPainter() override;

    void copyPicture(const QRect &area, const QPoint &at) override;
    void fill(const QList<QRect> &rects, const QColor &colour) override;
    void put(const QImage &image, const QPoint &at) override;
    void flush() override;

private:
    XcbServerPainter(xcb_connection_t *connection, std::uint32_t window, const QImage &picture,
                     std::uint32_t segment, std::uint32_t format);

    xcb_connection_t *m_connection;
    std::uint32_t m_window;
    QImage m_picture;          // holds the segment
    std::uint32_t m_segment;
    std::uint32_t m_gc;
    std::uint32_t m_rendered;  // the window as an XRender picture
};
