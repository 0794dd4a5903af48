#pragma once

#include "KeyHelp.h"
#include "Magnifier.h"
#include "SelectionReadout.h"

#include <QList>
#include <QRect>
#include <QRegion>

class MarkDocument;
class QPainter;
class ServerPainter;

/// What the overlay shows, in the capture's pixels: the frozen picture with
/// its marks and the one being drawn, dimmed outside the selection, the selection's frame and size, the
/// handles of a selected mark, the key panel or the hint at it, and the magnifier. Each change returns the part
/// of the capture that must be painted again, so that the windows repaint
/// only that.
class OverlayScene
{
public:
    /// A scene of the picture that \a marks keeps with its marks.
    explicit OverlayScene(const MarkDocument *marks);

    /// A fresh scene, nothing selected or shown, for a desktop of \a desktop
    /// pixels whose primary screen has \a pixelsPerUnit of them per unit.
    void reset(const QSize &desktop, qreal pixelsPerUnit);

    /// The selection's new \a box (a negative position when there is none).
    QRegion setSelection(const QRect &box);
    /// The magnifier shown or not at the pointer \a p.
    QRegion setMagnifier(bool shown, const QPoint &p);
    /// The key panel shown or not: in the middle of \a screen, or beside
    /// \a avoid where it would lie under it.
    QRegion setKeyHelp(bool shown, const QRect &screen, const QRect &avoid);
    /// The hint at the key panel shown or not, on \a screen.
    QRegion setHint(bool shown, const QRect &screen);
    /// A word after the selection's size; none when empty.
    QRegion setReadoutNote(const QString &note);
    /// The squares that show a selected mark's handles; none when empty.
    QRegion setHandles(const QList<QRect> &squares);

    /// The selection with its frame, which lies just past its last column and row.
    QRect selectionArea() const;
    bool keyHelpShown() const { return m_keyHelpShown; }
    bool magnifying() const { return m_magnifying; }
    QPoint pointer() const { return m_pointer; }

    /// Paints \a areas of the scene with \a painter, whose coordinates are
    /// the capture's pixels less \a origin; the decorations and the mark
    /// being drawn are left to the painter's clip.
    void paint(QPainter &painter, const QList<QRect> &areas, const QPoint &origin) const;

    /// Where the scene needs QPainter, in the capture's pixels: the
    /// readout, the hint, the key panel, the magnifier and the handles;
    /// everything while there are marks. Elsewhere it is the picture, the
    /// shade and the frame's rectangles, which paintOnServer() paints.
    QRegion painterArea() const;
    /// Paints \a area of the scene as paint() does, but for what lies in
    /// painterArea(), with \a painter, which copies the picture itself.
    void paintOnServer(ServerPainter &painter, const QRect &area, const QPoint &origin) const;

private:
    QRect magnifierArea() const;
    /// The frame's four sides; none while nothing is selected.
    QList<QRect> frameRects() const;
    void paintFrame(QPainter &painter, const QPoint &origin) const;

    const MarkDocument *m_marks;
    QSize m_desktop;
    int m_frameWidth = 1;       // the green frame, in the capture's pixels
    QRect m_selection{-1, -1, 0, 0};
    SelectionReadout m_readout;
    Magnifier m_magnifier;
    KeyHelp m_keyHelp;
    bool m_keyHelpShown = false;
    QPoint m_keyHelpCentre;
    bool m_hintShown = false;
    QRect m_hintScreen;
    QList<QRect> m_handles;
    bool m_magnifying = false;  // while Shift is held
    QPoint m_pointer;           // in the capture's pixels, at the last move
};
