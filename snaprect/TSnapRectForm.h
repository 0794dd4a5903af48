#pragma once

#include "KeyHelp.h"
#include "Magnifier.h"
#include "SelectionReadout.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QRect>

#include <future>

class QPainter;
class ScreenGrabber;
class TSnapRectSurface;
class TSnapRectToolForm;

/// The frameless window, as large as the desktop, on which a region capture
/// takes place: it shows the frozen desktop dimmed, lets the user drag a
/// rectangle that shows undimmed inside a green frame, move it or draw it
/// anew, and saves the rectangle or the whole picture. One object serves
/// every capture of a run; snapRect() re-arms it.
///
/// Positions are kept in the capture's own pixels, the window system's, so
/// that what is saved is exactly what lies under the rectangle on the
/// screens, whatever their scaling. Where one window cannot lie over every
/// screen pixel for pixel (screens scaled while their origins are not), the
/// form covers the primary screen and one TSnapRectSurface covers each other
/// screen; they show and share the form's one selection. Where windows cannot
/// place themselves (Wayland), each of those windows is full-screen on its
/// screen and the toolbar lives inside the window of the release point.
class TSnapRectForm : public QDialog
{
    Q_OBJECT

public:
    enum State { Selecting = 1, Selected = 2 };

    explicit TSnapRectForm(QWidget *parent);
    ~TSnapRectForm() override;

    /// The selection in the capture's pixels (at scale 1 these are the
    /// overlay's own coordinates); empty when nothing is selected.
    QRect selectionRect() const;
    State selectionState() const { return static_cast<State>(m_state); }
    TSnapRectToolForm *toolForm() const { return m_toolForm; }
    /// The undimmed capture of the desktop.
    const QPixmap &capture() const { return m_fullPixmap; }
    /// The windows that show the overlay: the form, then a surface for each
    /// screen that the form does not cover.
    QList<QWidget *> surfaces() const;

    /// As snapRect(), with a picture of the desktop already taken by
    /// ScreenGrabber::instance().
    void snapRect(const QPixmap &desktop);
    /// Lets the last capture's pictures go, so that the next grab does not
    /// hold two captures at once.
    void releasePictures();
    /// Readies the grab's memory and, where the overlay's place does not
    /// depend on the picture, the overlay's window and its buffer for the
    /// next capture: for the moment in which the main window leaves the
    /// screen.
    void prepare();
    /// Makes S and the toolbar's save button do what the copy keys do,
    /// rather than open the save dialog.
    void setSaveTakesSelection(bool takes) { m_saveTakesSelection = takes; }

signals:
    /// Ctrl+C or Enter: \a picture, the selection (the whole capture when
    /// nothing is selected), is to be copied; the overlay leaves right after.
    void selectionTaken(const QPixmap &picture);
    /// A save dialog wrote a file.
    void saved();

public slots:
    /// Prepares a new capture: clears the selection, grabs the desktop,
    /// covers it, dims the picture and shows the toolbar. Does not show the
    /// overlay itself.
    void snapRect();

private slots:
    void onSave();
    void onReSelect();
    void fullScreenSave();
    void onExit();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    // The surfaces pass their mouse, keys and painting to these.
    friend class TSnapRectSurface;
    void pressAt(const QPoint &p);
    void moveTo(const QPoint &p);
    void pointerMoved(const QPoint &p, const QMouseEvent *event);
    void releaseAt(const QPoint &p, const QPoint &globalPosition, QWidget *receiver);
    void paintSurface(QWidget *surface, const QRegion &region) const;
    void paintFrame(QPainter &painter, const QPoint &origin) const;
    /// Takes the shortcut override of a key that the overlay handles.
    static bool claimOverlayKey(QEvent *event);
    static bool isCopyKey(const QKeyEvent *event);
    void takeSelection();
    /// Acts on a key of the overlay, from any of its windows or the toolbar;
    /// accepts the event when the key is the overlay's.
    void handleKey(QKeyEvent *event);
    bool nudgeSelection(const QKeyEvent *event);
    void selectWindowUnderPointer();
    void setMagnifier(bool shown, const QPoint &p);
    QRect magnifierArea() const;
    void toggleKeyHelp();
    QPoint keyHelpCentre() const;
    void describeSelection();
    QPoint pointerInCapture() const;

    void coverScreens(const ScreenGrabber &grabber);
    void placeOnScreen(QWidget *window, QScreen *screen, bool fullScreen);
    void embedToolbar(QWidget *surface, const QPoint &at);
    QWidget *surfaceAt(const QPoint &p, QWidget *fallback) const;
    QWidget *surfaceUnderToolbar() const;
    void keepToolbarAbove(QWidget *surface);
    QWidget *dialogParent();
    void beginRectangle(const QPoint &p);
    bool isStrictlyInside(const QPoint &p) const;
    void moveRectangle(const QPoint &p);
    void shiftRectangle(const QPoint &d);
    void resizeRectangle(const QPoint &d);
    QPoint originOf(const QWidget *surface) const;
    qreal scaleOf(const QWidget *surface) const;
    QPoint toCapture(const QWidget *surface, const QPointF &position) const;
    QRect selectionBox() const;
    QRect selectionArea() const;
    void repaintChange(const QRect &before);
    void repaintCapture(const QRegion &changed);
    void releaseWindowMemory();
    void waitForWindowMemory();
    void setSurfaceCursor(Qt::CursorShape shape);
    void takeKeyboardBack();

    QPixmap m_fullPixmap;
    QDateTime m_taken;              // when m_fullPixmap was grabbed
    int m_left = 0;
    int m_top = 0;
    int m_right = 0;
    int m_bottom = 0;
    QPoint m_lastPos;
    QPoint m_startPos;
    int m_state = Selecting;
    bool m_saveTakesSelection = false;
    TSnapRectToolForm *m_toolForm;

    QSize m_desktopSize;            // the capture's extent, in its pixels
    QPoint m_origin;                // where the form's top-left lies in it
    qreal m_scale = 1;              // the capture's pixels per unit of the form
    int m_frameWidth = 1;           // the green frame, in the capture's pixels
    bool m_paintedWhole = false;    // since the last show
    int m_windowsToExpose = 0;      // before the toolbar window is shown
    QList<TSnapRectSurface *> m_surfaces;
    QList<QRect> m_windows;         // the desktop's windows at the grab, topmost first
    SelectionReadout m_readout;
    Magnifier m_magnifier;
    KeyHelp m_keyHelp;
    bool m_keyHelpShown = false;
    bool m_magnifying = false;      // while Shift is held
    QPoint m_pointer;               // in the capture's pixels, at the last move
    std::future<void> m_windowMemory; // the buffer's memory being readied
};
