#include "Mark.h"

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QtMath>

namespace {

/// Antialiasing may tint the pixels just beyond a shape's outline.
constexpr int edgeMargin = 2;
/// How far beside a mark a press still picks it.
constexpr int pickTolerance = 3;

/// Where a stroke of \a width through pixel \a p runs: through the pixel's
/// centre when the width is odd, through its top-left corner when it is even,
/// so that a horizontal or vertical stroke covers whole pixels only.
QPointF strokePoint(const QPoint &p, int width)
{
    const qreal offset = width % 2 ? 0.5 : 0;
    return QPointF(p) + QPointF(offset, offset);
}

QRect strokeArea(const QRectF &through, int width)
{
    const qreal reach = width / 2.0 + edgeMargin;
    return through.adjusted(-reach, -reach, reach, reach).toAlignedRect();
}

bool nearPath(const QPainterPath &path, int width, const QPoint &p)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width + 2 * pickTolerance);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path).contains(QPointF(p) + QPointF(0.5, 0.5));
}

/// The box with corners \a a and \a b, both inside. (QRect::normalized()
/// would leave out the pixels of a corner that lies above or left of the
/// other.)
QRect spanning(const QPoint &a, const QPoint &b)
{
    return QRect(QPoint(qMin(a.x(), b.x()), qMin(a.y(), b.y())), QPoint(qMax(a.x(), b.x()), qMax(a.y(), b.y())));
}

int sign(int value)
{
    return value < 0 ? -1 : 1;
}

/// \a p moved, seen from \a start, onto the nearest of the eight directions
/// at multiples of 45°.
QPoint alongOctant(const QPoint &start, const QPoint &p)
{
    const QPoint d = p - start;
    const qint64 ax = qAbs(d.x()), ay = qAbs(d.y());
    // tan(22.5°) is about 0.4142.
    if (ay * 10000 < ax * 4142)
        return QPoint(p.x(), start.y());
    if (ax * 10000 < ay * 4142)
        return QPoint(start.x(), p.y());
    const int side = int((ax + ay + 1) / 2);
    return start + QPoint(sign(d.x()) * side, sign(d.y()) * side);
}

/// \a p moved so that the box from \a start to it is a square, as large as
/// the larger side of the dragged one.
QPoint squareCorner(const QPoint &start, const QPoint &p)
{
    const QPoint d = p - start;
    const int side = qMax(qAbs(d.x()), qAbs(d.y()));
    return start + QPoint(sign(d.x()) * side, sign(d.y()) * side);
}

/// The part of the painter's coordinates that painting can reach: within
/// its clip and the device's own (a widget's exposed region).
QRectF visibleArea(const QPainter &painter)
{
    QRectF visible(QPointF(-1e9, -1e9), QPointF(1e9, 1e9));
    if (painter.hasClipping())
        visible &= painter.clipBoundingRect();
    const QRegion deviceClip = painter.paintEngine() ? painter.paintEngine()->systemClip() : QRegion();
    if (!deviceClip.isEmpty())
        visible &= painter.deviceTransform().inverted().mapRect(QRectF(deviceClip.boundingRect()));
    return visible;
}

QPen roundPen(const QColor &colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

MarkStyle bounded(const MarkStyle &style)
{
    return MarkStyle{style.colour, qBound(MarkStyle::minimumWidth, style.width, MarkStyle::maximumWidth)};
}

/// \a v, a coordinate of a shape that stretches from \a fixed to \a from,
/// where the shape stretches from \a fixed to \a to. A shape without extent
/// along the axis keeps it.
int stretched(int v, int fixed, int from, int to)
{
    if (from == fixed)
        return v;
    return fixed + qRound(qreal(v - fixed) * (to - fixed) / (from - fixed));
}

/// A freehand stroke through the pixels the pointer passed.
class PenMark : public Mark
{
public:
    PenMark(const MarkStyle &style, const QPoint &start)
        : PenMark(style, start, style.width)
    {
    }

    /// Only the new piece of the stroke changes: the rest lies as it was.
    QRect extend(const QPoint &p, Qt::KeyboardModifiers) override
    {
        const QPoint last = m_points.last();
        if (p == last)
            return QRect();
        m_points << p;
        m_bounds |= QRect(p, QSize(1, 1));
        return throughArea(spanning(last, p));
    }
    bool isDegenerate() const override { return false; }
    void paint(QPainter &painter, int) const override
    {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        preparePainter(painter);
        painter.drawPath(path(visibleArea(painter)));
        painter.restore();
    }
    QRect area() const override { return throughArea(m_bounds); }
    bool contains(const QPoint &p) const override
    {
        return area().contains(p) && nearPath(path(area()), m_width, p);
    }
    QList<QPoint> handles() const override
    {
        return {m_bounds.topLeft(), m_bounds.topRight(), m_bounds.bottomRight(), m_bounds.bottomLeft()};
    }

protected:
    PenMark(const MarkStyle &style, const QPoint &start, int strokeWidth)
        : Mark(style)
        , m_colour(style.colour)
        , m_width(strokeWidth)
        , m_bounds(start, QSize(1, 1))
    {
        m_points << start;
    }

    std::unique_ptr<Mark> clone() const override { return std::make_unique<PenMark>(*this); }
    void shift(const QPoint &d) override
    {
        m_points.translate(d);
        m_bounds.translate(d);
    }
    /// The stroke scales with its box, the corner opposite the handle fixed.
    void takeHandle(int handle, const QPoint &p) override
    {
        const QList<QPoint> corners = handles();
        const QPoint from = corners[handle], fixed = corners[(handle + 2) % 4];
        for (QPoint &point : m_points)
            point = QPoint(stretched(point.x(), fixed.x(), from.x(), p.x()), stretched(point.y(), fixed.y(), from.y(), p.y()));
        m_bounds = m_points.boundingRect();
    }
    void takeStyle(const MarkStyle &style) override
    {
        m_style = style;
        m_colour = style.colour;
        m_width = strokeWidth(style.width);
    }
    /// The stroke's width for a style's \a width.
    virtual int strokeWidth(int width) const { return width; }
    /// The pen for the stroke; the painter is saved and restored around it.
    virtual void preparePainter(QPainter &painter) const { painter.setPen(roundPen(m_colour, m_width)); }

    QColor m_colour;
    int m_width;

private:
    /// The stroke's pieces that reach into \a visible, as one path, stroked
    /// once: where the stroke crosses itself, a translucent one is no darker.
    /// Pieces that do not reach the pixels painted add nothing to them, and
    /// a long stroke repainted a piece at a time costs no more than the piece.
    QPainterPath path(const QRectF &visible) const
    {
        QPainterPath path;
        if (m_points.size() == 1) {
            path.moveTo(strokePoint(m_points.first(), m_width));
            path.lineTo(path.currentPosition());
            return path;
        }
        bool joined = false;
        for (qsizetype i = 1; i < m_points.size(); ++i) {
            const bool reaches = visible.intersects(throughArea(spanning(m_points[i - 1], m_points[i])));
            if (reaches && !joined)
                path.moveTo(strokePoint(m_points[i - 1], m_width));
            if (reaches)
                path.lineTo(strokePoint(m_points[i], m_width));
            joined = reaches;
        }
        return path;
    }
    /// The area of a stroke through the pixels of \a pixels.
    QRect throughArea(const QRect &pixels) const
    {
        return strokeArea(QRectF(strokePoint(pixels.topLeft(), m_width), strokePoint(pixels.bottomRight(), m_width)),
                          m_width);
    }

    QPolygon m_points;
    QRect m_bounds;
};

/// A wide stroke that tints what lies under it as a marker pen tints paper:
/// multiplied in, so that dark text stays dark and readable and only the
/// light ground takes the colour.
class HighlighterMark : public PenMark
{
public:
    HighlighterMark(const MarkStyle &style, const QPoint &start)
        : PenMark(style, start, wide(style.width))
    {
    }

protected:
    static int wide(int width) { return qMax(12, 4 * width); }
    int strokeWidth(int width) const override { return wide(width); }
    std::unique_ptr<Mark> clone() const override { return std::make_unique<HighlighterMark>(*this); }
    void preparePainter(QPainter &painter) const override
    {
        QColor tint = m_colour;
        tint.setAlphaF(0.4);
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        painter.setPen(roundPen(tint, m_width));
    }
};

/// A mark dragged from one point to another; a click leaves nothing.
class DragMark : public Mark
{
public:
    DragMark(const MarkStyle &style, const QPoint &start)
        : Mark(style)
        , m_colour(style.colour)
        , m_width(style.width)
        , m_start(start)
        , m_end(start)
    {
    }

    QRect extend(const QPoint &p, Qt::KeyboardModifiers modifiers) override
    {
        const QRect before = area();
        m_end = modifiers & Qt::ShiftModifier ? constrained(p) : p;
        return before | area();
    }
    bool isDegenerate() const override { return m_start == m_end; }

protected:
    /// Where the drag ends when the pointer is at \a p with Shift held.
    virtual QPoint constrained(const QPoint &p) const = 0;
    void shift(const QPoint &d) override
    {
        m_start += d;
        m_end += d;
    }
    void takeStyle(const MarkStyle &style) override
    {
        m_style = style;
        m_colour = style.colour;
        m_width = style.width;
    }

    QColor m_colour;
    int m_width;
    QPoint m_start;
    QPoint m_end;
};

/// A straight line; a horizontal or vertical one is filled in whole pixels,
/// others are antialiased. With Shift it keeps to multiples of 45°.
class LineMark : public DragMark
{
public:
    using DragMark::DragMark;

    void paint(QPainter &painter, int) const override
    {
        if (isAxisAligned()) {
            painter.fillRect(axisBox(), m_colour);
            return;
        }
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(roundPen(m_colour, m_width));
        painter.drawLine(strokePoint(m_start, m_width), strokePoint(m_end, m_width));
        painter.restore();
    }
    QRect area() const override
    {
        if (isAxisAligned())
            return axisBox();
        return strokeArea(QRectF(strokePoint(m_start, m_width), strokePoint(m_end, m_width)).normalized(), m_width);
    }
    bool contains(const QPoint &p) const override
    {
        QPainterPath path(strokePoint(m_start, m_width));
        path.lineTo(strokePoint(m_end, m_width));
        return nearPath(path, m_width, p);
    }
    QList<QPoint> handles() const override { return {m_start, m_end}; }

protected:
    QPoint constrained(const QPoint &p) const override { return alongOctant(m_start, p); }
    std::unique_ptr<Mark> clone() const override { return std::make_unique<LineMark>(*this); }
    void takeHandle(int handle, const QPoint &p) override { (handle == 0 ? m_start : m_end) = p; }

private:
    bool isAxisAligned() const { return m_start.x() == m_end.x() || m_start.y() == m_end.y(); }
    /// The pixels of a horizontal or vertical line, with square ends: the
    /// width centred on the line as strokePoint() centres it.
    QRect axisBox() const
    {
        const int before = m_width / 2, after = (m_width - 1) / 2;
        const QRect through = spanning(m_start, m_end);
        return through.adjusted(-before, -before, after, after);
    }
};

/// A line whose end carries a filled head that points along it.
class ArrowMark : public LineMark
{
public:
    using LineMark::LineMark;

    void paint(QPainter &painter, int) const override
    {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        // The shaft stops inside the head, so that its round end cannot
        // blunt the tip.
        const QPolygonF head = this->head();
        const QPointF start = strokePoint(m_start, m_width);
        const QPointF tip = head[0], base = (head[1] + head[2]) / 2;
        painter.setPen(roundPen(m_colour, m_width));
        painter.drawLine(start, base + (tip - base) * 0.4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_colour);
        painter.drawPolygon(head);
        painter.restore();
    }
    QRect area() const override
    {
        return LineMark::area().united(head().boundingRect().toAlignedRect().adjusted(-edgeMargin, -edgeMargin,
                                                                                      edgeMargin, edgeMargin));
    }
    bool contains(const QPoint &p) const override
    {
        return LineMark::contains(p) || head().containsPoint(QPointF(p) + QPointF(0.5, 0.5), Qt::OddEvenFill);
    }

protected:
    std::unique_ptr<Mark> clone() const override { return std::make_unique<ArrowMark>(*this); }

private:
    /// The head's tip, then its two back corners; never longer than the line.
    QPolygonF head() const
    {
        const QPointF start = strokePoint(m_start, m_width), tip = strokePoint(m_end, m_width);
        const QPointF along = tip - start;
        const qreal length = qSqrt(QPointF::dotProduct(along, along));
        if (length == 0)
            return QPolygonF({tip, tip, tip});
        const qreal headLength = qMin<qreal>(4 * m_width + 8, length);
        const qreal halfWidth = headLength / 2;
        const QPointF unit = along / length, normal(-unit.y(), unit.x());
        const QPointF base = tip - unit * headLength;
        return QPolygonF({tip, base + normal * halfWidth, base - normal * halfWidth});
    }
};

/// A mark within the box dragged from one corner to the other, both corners'
/// pixels included; with Shift the box is a square.
class BoxMark : public DragMark
{
public:
    using DragMark::DragMark;

    QRect area() const override { return box(); }
    bool contains(const QPoint &p) const override { return box().contains(p); }
    /// The corners clockwise from the top left, then the sides' middles
    /// clockwise from the top.
    QList<QPoint> handles() const override
    {
        const QRect b = box();
        const QPoint c = b.center();
        return {b.topLeft(), b.topRight(), b.bottomRight(), b.bottomLeft(),
                QPoint(c.x(), b.top()), QPoint(b.right(), c.y()), QPoint(c.x(), b.bottom()), QPoint(b.left(), c.y())};
    }

protected:
    QPoint constrained(const QPoint &p) const override { return squareCorner(m_start, p); }
    QRect box() const { return spanning(m_start, m_end); }
    /// The sides that the handle moves go to \a p; the box keeps the corner
    /// it was dragged from, which the mosaic counts its blocks from.
    void takeHandle(int handle, const QPoint &p) override
    {
        // Per handle, the side it moves along each axis: -1 the left or top
        // one, 1 the right or bottom one, 0 neither.
        static const QPoint sides[8] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}, {0, -1}, {1, 0}, {0, 1}, {-1, 0}};
        const QRect b = box();
        int left = b.left(), top = b.top(), right = b.right(), bottom = b.bottom();
        const QPoint side = sides[handle];
        if (side.x() < 0)
            left = p.x();
        if (side.x() > 0)
            right = p.x();
        if (side.y() < 0)
            top = p.y();
        if (side.y() > 0)
            bottom = p.y();
        const auto place = [](int &start, int &end, int a, int b) {
            const bool forward = start <= end;
            start = forward ? qMin(a, b) : qMax(a, b);
            end = forward ? qMax(a, b) : qMin(a, b);
        };
        place(m_start.rx(), m_end.rx(), left, right);
        place(m_start.ry(), m_end.ry(), top, bottom);
    }
};

/// An outline of whole pixels along the inside of the box.
class RectangleMark : public BoxMark
{
public:
    using BoxMark::BoxMark;

    void paint(QPainter &painter, int) const override
    {
        const QRect outer = box();
        const int w = m_width;
        if (2 * w >= outer.width() || 2 * w >= outer.height()) {
            painter.fillRect(outer, m_colour);
            return;
        }
        painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), w), m_colour);
        painter.fillRect(QRect(outer.left(), outer.bottom() - w + 1, outer.width(), w), m_colour);
        painter.fillRect(QRect(outer.left(), outer.top() + w, w, outer.height() - 2 * w), m_colour);
        painter.fillRect(QRect(outer.right() - w + 1, outer.top() + w, w, outer.height() - 2 * w), m_colour);
    }
    bool contains(const QPoint &p) const override
    {
        const QRect outer = box();
        const int inset = m_width + pickTolerance;
        return outer.adjusted(-pickTolerance, -pickTolerance, pickTolerance, pickTolerance).contains(p)
            && !outer.adjusted(inset, inset, -inset, -inset).contains(p);
    }

protected:
    std::unique_ptr<Mark> clone() const override { return std::make_unique<RectangleMark>(*this); }
};

/// An antialiased outline along the inside of the box.
class EllipseMark : public BoxMark
{
public:
    using BoxMark::BoxMark;

    void paint(QPainter &painter, int) const override
    {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF outer(box());
        const qreal half = m_width / 2.0;
        const QRectF through = outer.adjusted(half, half, -half, -half);
        if (through.width() <= 0 || through.height() <= 0) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(m_colour);
            painter.drawEllipse(outer);
        } else {
            painter.setPen(QPen(m_colour, m_width));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(through);
        }
        painter.restore();
    }
    bool contains(const QPoint &p) const override
    {
        const QRectF outer(box());
        const qreal inset = m_width + pickTolerance;
        QPainterPath band;
        band.addEllipse(outer.adjusted(-pickTolerance, -pickTolerance, pickTolerance, pickTolerance));
        QPainterPath inner;
        inner.addEllipse(outer.adjusted(inset, inset, -inset, -inset));
        const QPointF at = QPointF(p) + QPointF(0.5, 0.5);
        return band.contains(at) && !(inner.boundingRect().isValid() && inner.contains(at));
    }

protected:
    std::unique_ptr<Mark> clone() const override { return std::make_unique<EllipseMark>(*this); }
};

/// The box filled with the colour, opaque whatever the colour's alpha: what
/// it hides must not show through.
class RedactionMark : public BoxMark
{
public:
    using BoxMark::BoxMark;

    void paint(QPainter &painter, int) const override
    {
        QColor solid = m_colour;
        solid.setAlpha(255);
        painter.fillRect(box(), solid);
    }

protected:
    std::unique_ptr<Mark> clone() const override { return std::make_unique<RedactionMark>(*this); }
};

/// The mean colour of \a block of \a picture, which lies within it.
QColor meanColour(const QImage &picture, const QRect &block)
{
    const bool packed = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
        || picture.format() == QImage::Format_ARGB32_Premultiplied;
    const QImage pixels = packed ? picture : picture.copy(block).convertToFormat(QImage::Format_RGB32);
    const QPoint from = packed ? block.topLeft() : QPoint(0, 0);
    quint64 red = 0, green = 0, blue = 0;
    for (int y = 0; y < block.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(pixels.constScanLine(from.y() + y)) + from.x();
        for (int x = 0; x < block.width(); ++x) {
            red += qRed(row[x]);
            green += qGreen(row[x]);
            blue += qBlue(row[x]);
        }
    }
    const quint64 count = quint64(block.width()) * block.height();
    return QColor(int((red + count / 2) / count), int((green + count / 2) / count), int((blue + count / 2) / count));
}

/// The edges of the blocks that cut the pixels \a low to \a high in pieces of
/// \a size, counted from the side where the drag began; what is left over
/// joins the last block, so that no block is smaller than \a size unless the
/// whole span is.
QList<int> blockEdges(int low, int high, int size, bool fromHigh)
{
    const int count = qMax(1, (high - low + 1) / size);
    QList<int> edges{low};
    for (int i = 1; i < count; ++i)
        edges << (fromHigh ? high + 1 - (count - i) * size : low + i * size);
    edges << high + 1;
    return edges;
}

/// The box in blocks, each one colour, the mean of the capture under it:
/// coarse enough that no detail finer than a block survives. Wider pens make
/// larger blocks.
class MosaicMark : public BoxMark
{
public:
    MosaicMark(const MarkStyle &style, const QPoint &start, const QImage &capture)
        : BoxMark(style, start)
        , m_capture(capture)
    {
    }

    void paint(QPainter &painter, int) const override
    {
        const QRect area = box() & m_capture.rect();
        if (area.isEmpty())
            return;
        const int size = qMax(12, 3 * m_width);
        const QList<int> columns = blockEdges(area.left(), area.right(), size, m_start.x() > m_end.x());
        const QList<int> rows = blockEdges(area.top(), area.bottom(), size, m_start.y() > m_end.y());
        // Each block whole, but only those that reach the pixels painted:
        // an undo beside a large mosaic averages no more than it shows.
        const QRectF visible = visibleArea(painter);
        for (qsizetype j = 0; j + 1 < rows.size(); ++j) {
            for (qsizetype i = 0; i + 1 < columns.size(); ++i) {
                const QRect block(QPoint(columns[i], rows[j]), QPoint(columns[i + 1] - 1, rows[j + 1] - 1));
                if (visible.intersects(block))
                    painter.fillRect(block, meanColour(m_capture, block));
            }
        }
    }

protected:
    /// Moved or resized, the blocks are the mean of what lies under them there.
    std::unique_ptr<Mark> clone() const override { return std::make_unique<MosaicMark>(*this); }

private:
    QImage m_capture;
};

/// A filled circle round the pixel clicked, with its number in it.
class NumberMark : public Mark
{
public:
    NumberMark(const MarkStyle &style, const QPoint &centre)
        : Mark(style)
        , m_centre(centre)
    {
        takeStyle(style);
    }

    QRect extend(const QPoint &p, Qt::KeyboardModifiers) override
    {
        const QRect before = area();
        m_centre = p;
        return before | area();
    }
    bool isDegenerate() const override { return false; }
    bool isNumbered() const override { return true; }
    void paint(QPainter &painter, int number) const override
    {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_colour);
        const QRectF circle = this->circle();
        painter.drawEllipse(circle);
        const QString text = QString::number(number);
        // The application's font, not the painter's: a window's painter
        // may have another, and the number must not change at the release.
        QFont font;
        font.setBold(true);
        font.setPixelSize(qMax(1, qRound(m_radius * (text.size() == 1 ? 1.2 : 2.4 / text.size()))));
        painter.setFont(font);
        painter.setPen(qGray(m_colour.rgb()) > 160 ? Qt::black : Qt::white);
        painter.drawText(circle, Qt::AlignCenter, text);
        painter.restore();
    }
    QRect area() const override { return circle().toAlignedRect().adjusted(-1, -1, 1, 1); }
    bool contains(const QPoint &p) const override
    {
        const QPointF d = QPointF(p) - QPointF(m_centre);
        return QPointF::dotProduct(d, d) <= qreal(m_radius + pickTolerance) * (m_radius + pickTolerance);
    }
    QList<QPoint> handles() const override { return {}; }

protected:
    std::unique_ptr<Mark> clone() const override { return std::make_unique<NumberMark>(*this); }
    void shift(const QPoint &d) override { m_centre += d; }
    void takeHandle(int, const QPoint &) override {}
    void takeStyle(const MarkStyle &style) override
    {
        m_style = style;
        m_colour = style.colour;
        m_colour.setAlpha(255);
        m_radius = 10 + 2 * style.width;
    }

private:
    QRectF circle() const
    {
        const QPointF centre = QPointF(m_centre) + QPointF(0.5, 0.5);
        return QRectF(centre - QPointF(m_radius, m_radius), QSizeF(2 * m_radius, 2 * m_radius));
    }

    QColor m_colour;
    int m_radius = 0;
    QPoint m_centre;
};

/// Lines of text in the Song face, the first line's box with its top-left
/// corner at the pixel clicked. Its area holds the ink of every glyph, also
/// those that reach beyond their advance or come from a fallback face. It
/// moves and takes another style, but has no handles: its size is the width's.
class TextMark : public Mark
{
public:
    explicit TextMark(const MarkText &text)
        : Mark(bounded(text.style))
        , m_text(text)
    {
        takeStyle(m_style);
    }

    QRect extend(const QPoint &, Qt::KeyboardModifiers) override { return QRect(); }
    bool isDegenerate() const override { return m_text.text.trimmed().isEmpty(); }
    void paint(QPainter &painter, int) const override
    {
        painter.save();
        painter.setFont(m_font);
        painter.setPen(m_text.style.colour);
        const QFontMetricsF metrics(m_font);
        const QStringList lines = m_text.text.split('\n');
        for (qsizetype i = 0; i < lines.size(); ++i)
            painter.drawText(baseline(metrics, int(i)), lines[i]);
        painter.restore();
    }
    QRect area() const override { return m_area; }
    /// Anywhere on its lines' box, also between the glyphs.
    bool contains(const QPoint &p) const override
    {
        return m_box.adjusted(-pickTolerance, -pickTolerance, pickTolerance, pickTolerance).contains(p);
    }
    QList<QPoint> handles() const override { return {}; }
    std::optional<MarkText> text() const override { return m_text; }

protected:
    std::unique_ptr<Mark> clone() const override { return std::make_unique<TextMark>(*this); }
    void shift(const QPoint &d) override
    {
        m_text.topLeft += d;
        m_box.translate(d);
        m_area.translate(d);
    }
    void takeHandle(int, const QPoint &) override {}
    void takeStyle(const MarkStyle &style) override
    {
        m_style = style;
        m_text.style = style;
        m_font = MarkText::font(style.width);
        measure();
    }

private:
    /// Where line \a line starts on its baseline. Lines follow at the face's
    /// line spacing, as in an editor.
    QPointF baseline(const QFontMetricsF &metrics, int line) const
    {
        return QPointF(m_text.topLeft) + QPointF(0, metrics.ascent() + line * metrics.lineSpacing());
    }
    void measure()
    {
        const QFontMetricsF metrics(m_font);
        QRectF box(QPointF(m_text.topLeft), QSizeF(0, 0));
        QRectF ink = box;
        const QStringList lines = m_text.text.split('\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QPointF baseline = this->baseline(metrics, int(i));
            box |= QRectF(baseline.x(), baseline.y() - metrics.ascent(), metrics.horizontalAdvance(lines[i]),
                          metrics.lineSpacing());
            if (!lines[i].isEmpty())
                ink |= metrics.boundingRect(lines[i]).translated(baseline);
        }
        m_box = box.toAlignedRect();
        m_area = ink.toAlignedRect().adjusted(-edgeMargin, -edgeMargin, edgeMargin, edgeMargin);
    }

    MarkText m_text;
    QFont m_font;
    QRect m_box;  // the lines' boxes, from the top of the first to the bottom of the last
    QRect m_area; // their ink and its antialiased edge
};

} // namespace

QFont MarkText::font(int width)
{
    // The application's font, as the numbers take it: a window's may differ.
    QFont font;
    font.setPixelSize(14 + 2 * qBound(MarkStyle::minimumWidth, width, MarkStyle::maximumWidth));
    return font;
}

const QList<MarkToolInfo> &markTools()
{
    static const QList<MarkToolInfo> tools{
        {MarkTool::Pen, Qt::Key_P, QStringLiteral("画笔")},
        {MarkTool::Line, Qt::Key_L, QStringLiteral("直线")},
        {MarkTool::Arrow, Qt::Key_A, QStringLiteral("箭头")},
        {MarkTool::Rectangle, Qt::Key_B, QStringLiteral("矩形")},
        {MarkTool::Ellipse, Qt::Key_E, QStringLiteral("椭圆")},
        {MarkTool::Highlighter, Qt::Key_M, QStringLiteral("荧光笔")},
        {MarkTool::Number, Qt::Key_N, QStringLiteral("序号")},
        {MarkTool::Mosaic, Qt::Key_X, QStringLiteral("马赛克")},
        {MarkTool::Redaction, Qt::Key_D, QStringLiteral("遮盖")},
        {MarkTool::Select, Qt::Key_V, QStringLiteral("选择")},
        {MarkTool::Text, Qt::Key_T, QStringLiteral("文字")},
    };
    return tools;
}

std::optional<MarkTool> markToolForKey(int key)
{
    for (const MarkToolInfo &info : markTools()) {
        if (info.key == key)
            return info.tool;
    }
    return std::nullopt;
}

std::unique_ptr<Mark> Mark::make(MarkTool tool, const MarkStyle &style, const QPoint &start, const QImage &capture)
{
    const MarkStyle bounded = ::bounded(style);
    switch (tool) {
    case MarkTool::Pen:
        return std::make_unique<PenMark>(bounded, start);
    case MarkTool::Line:
        return std::make_unique<LineMark>(bounded, start);
    case MarkTool::Arrow:
        return std::make_unique<ArrowMark>(bounded, start);
    case MarkTool::Rectangle:
        return std::make_unique<RectangleMark>(bounded, start);
    case MarkTool::Ellipse:
        return std::make_unique<EllipseMark>(bounded, start);
    case MarkTool::Highlighter:
        return std::make_unique<HighlighterMark>(bounded, start);
    case MarkTool::Number:
        return std::make_unique<NumberMark>(bounded, start);
    case MarkTool::Mosaic:
        return std::make_unique<MosaicMark>(bounded, start, capture);
    case MarkTool::Redaction:
        return std::make_unique<RedactionMark>(bounded, start);
    case MarkTool::Select:
        break;
    case MarkTool::Text:
        // Typed into a box rather than drawn: nothing until makeText().
        return makeText(MarkText{QString(), start, bounded});
    }
    return nullptr;
}

std::unique_ptr<Mark> Mark::moved(const QPoint &d) const
{
    std::unique_ptr<Mark> mark = clone();
    mark->shift(d);
    return mark;
}

std::unique_ptr<Mark> Mark::withHandleAt(int handle, const QPoint &p) const
{
    std::unique_ptr<Mark> mark = clone();
    if (handle >= 0 && handle < handles().size())
        mark->takeHandle(handle, p);
    return mark;
}

std::unique_ptr<Mark> Mark::restyled(const MarkStyle &style) const
{
    std::unique_ptr<Mark> mark = clone();
    mark->takeStyle(bounded(style));
    return mark;
}

std::unique_ptr<Mark> Mark::makeText(const MarkText &text)
{
    return std::make_unique<TextMark>(text);
}
