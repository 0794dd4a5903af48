#include "XcbServerPainter.h"

#include <QColor>

#include <xcb/render.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace {

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};

// The XRender format of \a visual; 0 when the server has none for it.
xcb_render_pictformat_t formatOf(xcb_connection_t *connection, xcb_visualid_t visual)
{
    const std::unique_ptr<xcb_render_query_pict_formats_reply_t, FreeReply> formats(
        xcb_render_query_pict_formats_reply(connection, xcb_render_query_pict_formats(connection), nullptr));
    if (!formats)
        return 0;
    for (auto s = xcb_render_query_pict_formats_screens_iterator(formats.get()); s.rem;
         xcb_render_pictscreen_next(&s)) {
        for (auto d = xcb_render_pictscreen_depths_iterator(s.data); d.rem; xcb_render_pictdepth_next(&d)) {
            for (auto v = xcb_render_pictdepth_visuals_iterator(d.data); v.rem; xcb_render_pictvisual_next(&v)) {
                if (v.data->visual == visual)
                    return v.data->format;
            }
        }
    }
    return 0;
}

// XRender takes colours premultiplied, 16 bits a channel.
xcb_render_color_t premultiplied(const QColor &colour)
{
    const auto channel = [&colour](int value) { return uint16_t(qRound(value * colour.alpha() / 255.0) * 257); };
    return {channel(colour.red()), channel(colour.green()), channel(colour.blue()), uint16_t(colour.alpha() * 257)};
}

} // namespace

std::unique_ptr<XcbServerPainter> XcbServerPainter::create(xcb_connection_t *connection, std::uint32_t window,
                                                           const QImage &picture, std::uint32_t segment)
{
    const xcb_query_extension_reply_t *render = xcb_get_extension_data(connection, &xcb_render_id);
    if (!render || !render->present)
        return {};
    const std::unique_ptr<xcb_get_window_attributes_reply_t, FreeReply> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr));
    const std::unique_ptr<xcb_get_geometry_reply_t, FreeReply> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    // The grab's pixels are the root's: 24 bits in 32.
    if (!attributes || !geometry || geometry->depth != 24)
        return {};
    const xcb_render_pictformat_t format = formatOf(connection, attributes->visual);
    if (!format)
        return {};
    return std::unique_ptr<XcbServerPainter>(new XcbServerPainter(connection, window, picture, segment, format));
}

XcbServerPainter::XcbServerPainter(xcb_connection_t *connection, std::uint32_t window, const QImage &picture,
                                   std::uint32_t segment, std::uint32_t format)
    : m_connection(connection)
    , m_window(window)
    , m_picture(picture)
    , m_segment(segment)
    , m_gc(xcb_generate_id(connection))
    , m_rendered(xcb_generate_id(connection))
{
    const uint32_t noExposures = 0;
    xcb_create_gc(m_connection, m_gc, m_window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    xcb_render_create_picture(m_connection, m_rendered, m_window, format, 0, nullptr);
}

XcbServerPainter::~XcbServerPainter()
{
    xcb_render_free_picture(m_connection, m_rendered);
    xcb_free_gc(m_connection, m_gc);
    // The segment may go with the picture: the server must be done with it.
    xcb_flush(m_connection);
}

void XcbServerPainter::copyPicture(const QRect &area, const QPoint &at)
{
    const QRect shown = area & m_picture.rect();
    if (shown.isEmpty())
        return;
    const QPoint to = at + shown.topLeft() - area.topLeft();
    xcb_shm_put_image(m_connection, m_window, m_gc, uint16_t(m_picture.width()), uint16_t(m_picture.height()),
                      uint16_t(shown.x()), uint16_t(shown.y()), uint16_t(shown.width()), uint16_t(shown.height()),
                      int16_t(to.x()), int16_t(to.y()), 24, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, m_segment, 0);
}

void XcbServerPainter::fill(const QList<QRect> &rects, const QColor &colour)
{
    QList<xcb_rectangle_t> boxes;
    for (const QRect &rect : rects) {
        if (!rect.isEmpty())
            boxes.append({int16_t(rect.x()), int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height())});
    }
    // A few thousand a request keeps it within any server's request size.
    constexpr qsizetype batch = 4096;
    const uint8_t op = colour.alpha() == 255 ? XCB_RENDER_PICT_OP_SRC : XCB_RENDER_PICT_OP_OVER;
    for (qsizetype i = 0; i < boxes.size(); i += batch)
        xcb_render_fill_rectangles(m_connection, op, m_rendered, premultiplied(colour),
                                   uint32_t(std::min(batch, boxes.size() - i)), boxes.constData() + i);
}

void XcbServerPainter::put(const QImage &image, const QPoint &at)
{
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    // In strips that each fit one request.
    const size_t lineBytes = size_t(pixels.bytesPerLine());
    const size_t requestBytes = size_t(xcb_get_maximum_request_length(m_connection)) * 4 - 64;
    const int stripLines = int(std::max<size_t>(1, requestBytes / lineBytes));
    for (int top = 0; top < pixels.height(); top += stripLines) {
        const int lines = std::min(stripLines, pixels.height() - top);
        xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_window, m_gc, uint16_t(pixels.width()),
                      uint16_t(lines), int16_t(at.x()), int16_t(at.y() + top), 0, 24,
                      uint32_t(lineBytes * size_t(lines)), pixels.constScanLine(top));
    }
}

void XcbServerPainter::flush()
{
    xcb_flush(m_connection);
}
