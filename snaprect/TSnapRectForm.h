#pragma once

#include <QDialog>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>

class TSnapRectScreen;
class TSnapRectToolForm;

/// The frameless window, as large as the desktop, on which a region capture
/// takes place: it shows the frozen desktop dimmed, lets the user drag a
/// rectangle that shows undimmed inside a green frame, move it or draw it
/// anew, and saves the rectangle or the whole picture. One object serves
/// every capture of a run; snapRect() re-arms it.
class TSnapRectForm : public QDialog
{
    Q_OBJECT

public:
    enum State { Selecting = 1, Selected = 2 };

    explicit TSnapRectForm(QWidget *parent);
    ~TSnapRectForm() override;

    /// The selection in overlay coordinates; empty when nothing is selected.
    QRect selectionRect() const;
    State selectionState() const { return static_cast<State>(m_state); }
    TSnapRectToolForm *toolForm() const { return m_toolForm; }
    /// The undimmed capture of the desktop.
    const QPixmap &capture() const { return m_fullPixmap; }

public slots:
    /// Prepares a new capture: clears the selection, covers the desktop,
    /// grabs it, dims the picture and shows the toolbar. Does not show the
    /// overlay itself.
    void snapRect();

public:
    /// As snapRect(), with a picture of the desktop already taken.
    void snapRect(const QPixmap &desktop);
    /// Where the desktop is covered by one window per screen (Wayland), the
    /// windows of the other screens than this one's; empty elsewhere.
    QList<QWidget *> screenSurfaces() const;

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
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The windows of the other screens hand their input and painting over in
    // desktop coordinates.
    friend class TSnapRectScreen;

    // Mouse and paint handling in desktop coordinates: relative to the
    // desktop's top-left corner, as the picture is.
    void pressAt(const QPoint &p);
    void moveTo(const QPoint &p);
    void releaseAt(const QPoint &p, const QPoint &globalPos, QWidget *receiver);
    void paintDesktop(QPainter &painter, const QPoint &surfaceOffset);
    /// Takes the shortcut override of a key that the overlay handles.
    static bool claimOverlayKey(QEvent *event);

    void beginRectangle(const QPoint &p);
    bool isStrictlyInside(const QPoint &p) const;
    void moveRectangle(const QPoint &p);
    void takeKeyboardBack();
    /// The part of the picture, in its own pixels, under \a area of the desktop.
    QRect pictureRect(const QRect &area) const;
    void updateSurfaces();
    void setSurfaceCursor(Qt::CursorShape shape);
    void coverScreens(const QRect &desktop);
    void embedToolbar(QWidget *surface, const QPoint &at);
    /// The window over desktop point \a p; \a fallback when none is.
    QWidget *surfaceAt(const QPoint &p, QWidget *fallback);
    QPoint surfaceOffset(const QWidget *surface) const;
    QWidget *dialogParent();

    QPixmap m_fullPixmap;
    QPixmap m_shadedPixmap;
    int m_left = 0;
    int m_top = 0;
    int m_right = 0;
    int m_bottom = 0;
    QPoint m_lastPos;
    QPoint m_startPos;
    int m_state = Selecting;
    TSnapRectToolForm *m_toolForm;
    QSize m_desktopSize;           ///< the desktop in logical units, which the selection stays within
    QPoint m_surfaceOffset;        ///< where this window lies on the desktop
    QList<TSnapRectScreen *> m_screens; ///< the other screens' windows, where each screen needs one
};
