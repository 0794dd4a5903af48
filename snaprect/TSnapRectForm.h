#pragma once

#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QRect>

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
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void beginRectangle(const QPoint &p);
    bool isStrictlyInside(const QPoint &p) const;
    void moveRectangle(const QPoint &p);
    void takeKeyboardBack();

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
};
