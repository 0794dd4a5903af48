#pragma once

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRegion>
#include <QSize>

#include <map>
#include <memory>

class OverlayScene;
class QMouseEvent;
class QWidget;
class QScreen;
class ScreenGrabber;
class ServerPainter;
class TSnapRectForm;
class TSnapRectSurface;
class TSnapRectToolForm;

/// The windows that show the overlay, and the toolbar's place among them.
/// Where one window cannot lie over every screen pixel for pixel (screens
/// scaled while their origins are not), the form covers the primary screen
/// and one TSnapRectSurface covers each other screen. Where windows cannot
/// place themselves (Wayland), each of those windows is full-screen on its
/// screen and the toolbar lives inside the window of the release point.
/// Translates between each window's units and the capture's pixels.
class OverlayWindows
{
public:
    /// The windows of \a form, which owns the toolbar.
    explicit OverlayWindows(TSnapRectForm *form);
    ~OverlayWindows();
    OverlayWindows(const OverlayWindows &) = delete;
    OverlayWindows &operator=(const OverlayWindows &) = delete;

    /// Covers the screens as \a grabber lays them out in its picture.
    void cover(const ScreenGrabber &grabber);

    /// The form, then a surface for each screen that the form does not cover.
    QList<QWidget *> all() const;
    /// The surfaces beside the form.
    const QList<TSnapRectSurface *> &surfaces() const { return m_surfaces; }
    /// The capture's extent, in its pixels.
    QSize desktopSize() const { return m_desktopSize; }
    /// The capture's pixels per unit of the primary screen.
    qreal primaryScale() const { return m_scale; }
    /// The primary screen, in the capture's pixels.
    QRect primaryArea() const { return m_primaryArea; }
    /// Where the toolbar lies, in the capture's pixels; empty while it is hidden.
    QRect toolbarArea() const;

    /// The capture's pixels per unit of \a surface.
    qreal scaleOf(const QWidget *surface) const;
    /// \a position in \a surface's units, in the capture's pixels.
    QPoint toCapture(const QWidget *surface, const QPointF &position) const;
    /// \a p, in the capture's pixels, in \a surface's units.
    QPointF toSurface(const QWidget *surface, const QPoint &p) const;
    /// The window that shows \a p, in the capture's pixels; the form where none does.
    QWidget *surfaceAt(const QPoint &p) const;
    /// Where \a event happened in the units of its window, with the fraction
    /// that the window system gave: at scale 1.5 or 2 every device pixel is
    /// then one that the pointer can reach.
    static QPointF exactPosition(const QMouseEvent *event);
    /// \a devicePixels of \a surface's buffer in the capture's pixels, at
    /// least one: a distance that the pointer covers alike at every scale.
    int toCapture(const QWidget *surface, int devicePixels) const;
    /// Where the pointer is in the capture; (-1, -1) when on none of the windows.
    QPoint pointerInCapture() const;

    /// Schedules a repaint of \a changed, in the capture's pixels, on each window.
    void repaint(const QRegion &changed) const;
    /// Has the server paint \a picture, the grab of \a grabber, into the
    /// windows where it can: they then need no buffer of their own.
    void paintOnServer(const ScreenGrabber &grabber, const QImage &picture);
    /// Lets the painters of paintOnServer() go, and the picture with them.
    void dropServerPainters();
    /// Has Qt paint \a surface again once \a child, a widget inside it
    /// (a text being typed), is shown: such a widget paints only into the
    /// window's buffer.
    void childShown(QWidget *surface, const QObject *child);
    /// Paints \a region of \a surface, in its units, from \a scene.
    void paint(QWidget *surface, const QRegion &region, const OverlayScene &scene) const;
    void setCursor(Qt::CursorShape shape) const;

    /// Hides the toolbar while a button is held on the overlay.
    void hideToolbar();
    /// Puts the toolbar at the release point \a p (in the capture's pixels;
    /// \a global on the screen) on the window that took it, \a receiver.
    void placeToolbarAt(const QPoint &p, const QPoint &global, QWidget *receiver);
    /// Puts the toolbar beside \a selection, on its screen; at the release
    /// point as placeToolbarAt() does where the screen has no room.
    void placeToolbarBeside(const QRect &selection, const QPoint &p, const QPoint &global, QWidget *receiver);
    /// Has the toolbar window kept above the overlay's window that it lies on.
    void keepToolbarAbove();
    /// The window that a dialog of the overlay belongs over.
    QWidget *dialogParent() const;
    /// Lets each window's buffer go while the overlay is hidden.
    void releaseBuffers() const;

private:
    QPoint originOf(const QWidget *surface) const;
    QRect toLocal(const QWidget *surface, const QRect &area) const;
    QWidget *surfaceAt(const QPoint &p, QWidget *fallback) const;
    QWidget *surfaceUnderToolbar() const;
    void keepToolbarAbove(QWidget *surface);
    void embedToolbar(QWidget *surface, const QPoint &at);
    QMargins toolbarFrame() const;
    void moveToolbarFrame(const QPoint &topLeft);
    TSnapRectToolForm *toolbar() const;
    static void placeOnScreen(QWidget *window, QScreen *screen, bool fullScreen);
    void paintOnServer(QWidget *surface, ServerPainter &painter, const QRegion &region,
                       const OverlayScene &scene) const;
    /// Paints what paint() gathered for the server.
    void paintServerDirty(const OverlayScene &scene) const;

    TSnapRectForm *m_form;
    QList<TSnapRectSurface *> m_surfaces;
    QSize m_desktopSize;
    QRect m_primaryArea;
    QPoint m_origin;    // where the form's top-left lies in the capture
    qreal m_scale = 1;  // the capture's pixels per unit of the form
    QMargins m_toolbarFrame; // a window manager's frame round the toolbar, when last seen
    std::map<const QWidget *, std::unique_ptr<ServerPainter>> m_serverPainters;
    mutable std::map<const QWidget *, QRegion> m_serverDirty; // to paint on the server, of paint()
};
