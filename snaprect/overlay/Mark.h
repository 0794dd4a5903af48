#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>
#include <optional>

class QPainter;

/// The drawing tools, each with its key in the overlay.
enum class MarkTool {
    Pen,         ///< P: a freehand stroke
    Line,        ///< L: a straight line; with Shift at a multiple of 45°
    Arrow,       ///< A: a line with a filled head at its end
    Rectangle,   ///< B: an outline inside the dragged box; with Shift a square
    Ellipse,     ///< E: an outline inside the dragged box; with Shift a circle
    Highlighter, ///< M: a wide translucent stroke that leaves text readable
    Number,      ///< N: a filled circle with the next number
    Mosaic,      ///< X: the dragged box in blocks, each the mean of the capture under it
    Redaction,   ///< D: the dragged box filled with the colour
    Select,      ///< V: picks a placed mark to move, resize, restyle or remove; draws nothing
    Text,        ///< T: lines typed into a box opened by a click
};

/// A tool as the user meets it: its key and its name.
struct MarkToolInfo {
    MarkTool tool;
    Qt::Key key; ///< a letter key
    QString name;

    /// The name with its key, as a button's tool tip shows it: "画笔(P)".
    QString toolTip() const { return QStringLiteral("%1(%2)").arg(name, QChar(key)); }
};

/// Every tool, in the order of MarkTool (the toolbar's).
const QList<MarkToolInfo> &markTools();
/// The tool whose key is \a key (a Qt::Key), if any.
std::optional<MarkTool> markToolForKey(int key);

/// The colour and width that a new mark takes.
struct MarkStyle {
    static constexpr int minimumWidth = 1;
    static constexpr int maximumWidth = 50;

    QColor colour = Qt::red;
    int width = 3; ///< in the capture's pixels, minimumWidth to maximumWidth

    bool operator==(const MarkStyle &other) const { return colour == other.colour && width == other.width; }
};

/// What a text mark shows, where and how: to place one, or to open a placed
/// one again.
struct MarkText {
    QString text;    ///< its lines, separated by '\n'
    QPoint topLeft;  ///< of its first line's box, in the capture's pixels
    MarkStyle style; ///< its colour, and its size by the width

    bool operator==(const MarkText &other) const
    {
        return text == other.text && topLeft == other.topLeft && style == other.style;
    }

    /// The face of a text of \a width: the application's (the Song face the
    /// program sets), 14 + 2 × width pixels high, so that a line takes
    /// about 20 pixels at the default width.
    static QFont font(int width);
};

/// One mark drawn over a capture. Everything is in the capture's pixels:
/// a mark paints onto a painter whose coordinates are those pixels (whatever
/// device lies behind it) and tells the area it covers, so that only that
/// area is repainted. A mark is shaped while it is drawn, by extend(), and
/// does not change once placed: a placed mark is changed by making a new one
/// from it (moved(), withHandleAt(), restyled()), which an undo step swaps in.
class Mark
{
public:
    virtual ~Mark() = default;

    /// Makes the mark of \a tool begun at \a start; \a capture is the picture
    /// it lies on (implicitly shared: the mosaic reads it). None for the
    /// select tool, which draws nothing.
    static std::unique_ptr<Mark> make(MarkTool tool, const MarkStyle &style, const QPoint &start,
                                      const QImage &capture);

    /// Makes the text mark of \a text; one without any visible character
    /// is degenerate.
    static std::unique_ptr<Mark> makeText(const MarkText &text);

    /// Takes the pointer, held with \a modifiers, to \a p; returns the area
    /// whose pixels may have changed (a stroke's new piece, a box's old and
    /// new place).
    virtual QRect extend(const QPoint &p, Qt::KeyboardModifiers modifiers) = 0;
    /// True when there is nothing to place, as for a click with a tool that
    /// needs a drag.
    virtual bool isDegenerate() const = 0;
    /// Paints the mark; \a number is its place among the numbered marks
    /// (read by those only).
    virtual void paint(QPainter &painter, int number) const = 0;
    /// Every pixel that paint() may touch: the shape, the pen's width and the
    /// antialiased edge.
    virtual QRect area() const = 0;
    /// Whether a press at \a p lies on the mark, for picking it.
    virtual bool contains(const QPoint &p) const = 0;
    /// Whether the mark shows a number, so that those after it count on.
    virtual bool isNumbered() const { return false; }
    /// What a text mark shows; none for other marks.
    virtual std::optional<MarkText> text() const { return std::nullopt; }

    /// The colour and width it was drawn with.
    MarkStyle style() const { return m_style; }
    /// The points by which it can be reshaped: a box's corners and the
    /// middles of its sides, a line's two ends, a stroke's corners (the
    /// stroke scales with its box); none for a number, which only moves.
    virtual QList<QPoint> handles() const = 0;
    /// The mark moved by \a d.
    std::unique_ptr<Mark> moved(const QPoint &d) const;
    /// The mark with its handle \a handle (an index into handles()) taken
    /// to \a p, the other handles' side staying where it was.
    std::unique_ptr<Mark> withHandleAt(int handle, const QPoint &p) const;
    /// The mark in \a style, its shape and place kept.
    std::unique_ptr<Mark> restyled(const MarkStyle &style) const;

protected:
    explicit Mark(const MarkStyle &style)
        : m_style(style)
    {
    }
    Mark(const Mark &) = default;
    Mark &operator=(const Mark &) = delete;

    virtual std::unique_ptr<Mark> clone() const = 0;
    virtual void shift(const QPoint &d) = 0;
    virtual void takeHandle(int handle, const QPoint &p) = 0;
    /// Takes \a style, which style() then returns, into what the mark paints with.
    virtual void takeStyle(const MarkStyle &style) = 0;

    MarkStyle m_style;
};
