#pragma once

#include <QWidget>

class QScreen;
class TSnapRectForm;

/// One screen's part of the region-capture overlay, when the form itself
/// cannot lie over every screen: a frameless window over that screen that
/// shows the form's picture and selection and hands the mouse and the keys
/// to the form, in the capture's pixels.
class TSnapRectSurface : public QWidget
{
    Q_OBJECT

public:
    /// Covers \a screen, whose top-left pixel lies at \a origin in the
    /// capture; a window of \a form, which owns it.
    TSnapRectSurface(TSnapRectForm *form, QScreen *screen, const QPoint &origin);

    QPoint origin() const { return m_origin; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint toCapture(const QPointF &position) const;

    TSnapRectForm *m_form;
    QPoint m_origin;
};
