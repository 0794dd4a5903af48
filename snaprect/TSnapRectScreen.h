#pragma once

#include <QPointer>
#include <QScreen>
#include <QWidget>

class TSnapRectForm;

/// One screen's window of the region-capture overlay where a window cannot
/// place itself and must cover each screen on its own (Wayland): it shows
/// its part of the overlay's picture and selection and hands the mouse and
/// the keys to the overlay in desktop coordinates, so that one selection
/// spans every screen.
class TSnapRectScreen : public QWidget
{
    Q_OBJECT

public:
    TSnapRectScreen(TSnapRectForm *overlay, QScreen *screen);

    QScreen *targetScreen() const { return m_screen; }
    /// Where the window lies on the desktop, relative to its top-left corner.
    QPoint offset() const { return m_offset; }
    /// Makes the window cover its screen, full-screen, once shown.
    void cover(const QRect &desktop);

    /// Makes \a window cover \a screen full-screen once it is shown.
    static void coverScreen(QWidget *window, QScreen *screen);

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    TSnapRectForm *m_overlay;
    QPointer<QScreen> m_screen;
    QPoint m_offset;
};
