#pragma once

#include <QWidget>

class TSnapRectForm;

/// One screen's part of the region-capture overlay, when the form itself
/// cannot lie over every screen: a frameless window over that screen that
/// shows the form's picture and selection and hands the mouse and the keys
/// to the form, in the capture's pixels.
class TSnapRectSurface : public QWidget
{
    Q_OBJECT

public:
    /// A window of \a form, which owns it, for a screen whose top-left pixel
    /// lies at \a origin in the capture and whose units hold \a scale of the
    /// capture's pixels. Where windows cannot place themselves it has
    /// no parent window, so that the compositor treats it as a window of its
    /// own and makes it full-screen on its screen.
    TSnapRectSurface(TSnapRectForm *form, const QPoint &origin, qreal scale, bool ownWindow);

    /// Where the surface's top-left pixel lies in the capture.
    QPoint origin() const { return m_origin; }
    /// The capture's pixels per unit of the surface.
    qreal scale() const { return m_scale; }

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    QPaintEngine *paintEngine() const override;
    void childEvent(QChildEvent *event) override;

private:
    TSnapRectForm *m_form;
    QPoint m_origin;
    qreal m_scale;
};
