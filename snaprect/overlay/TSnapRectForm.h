#pragma once

#include "MarkDocument.h"
#include "MarkEditor.h"
#include "OverlayScene.h"
#include "OverlayWindows.h"
#include "Selection.h"
#include "TextEditing.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QTimer>

#include <future>

class TSnapRectToolForm;

/// The frameless window, as large as the desktop, on which a region capture
/// takes place: it shows the frozen desktop dimmed, lets the user drag a
/// rectangle that shows undimmed inside a green frame, move it or draw it
/// anew, and saves the rectangle or the whole picture. One object serves
/// every capture of a run; snapRect() re-arms it.
///
/// Positions are kept in the capture's own pixels, the window system's, so
/// that what is saved is exactly what lies under the rectangle on the
/// screens, whatever their scaling. With a drawing tool chosen, a drag
/// draws a mark over the picture instead, which what is saved or copied
/// shows too; with the select tool, or with none on a placed mark, a press
/// picks the mark to change. The form wires the pieces: the Selection, the
/// MarkDocument of the marks, the MarkEditor that changes them, the OverlayScene that paints them, the OverlayWindows that
/// show it on each screen and place the toolbar, and the OverlayKeys.
class TSnapRectForm : public QDialog
{
    Q_OBJECT

public:
    using State = Selection::State;
    static constexpr State Selecting = Selection::Selecting;
    static constexpr State Selected = Selection::Selected;

    explicit TSnapRectForm(QWidget *parent);
    ~TSnapRectForm() override;

    /// The selection in the capture's pixels (at scale 1 these are the
    /// overlay's own coordinates); empty when nothing is selected.
    QRect selectionRect() const { return m_selection.rect(); }
    State selectionState() const { return m_selection.state(); }
    TSnapRectToolForm *toolForm() const { return m_toolForm; }
    /// The undimmed capture of the desktop.
    const QPixmap &capture() const { return m_fullPixmap; }
    /// The windows that show the overlay: the form, then a surface for each
    /// screen that the form does not cover.
    QList<QWidget *> surfaces() const { return m_windows.all(); }

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
    /// Opens the placed text mark at \a markIndex again in its box, as a
    /// double-click on it does; placed, the text replaces the mark as one
    /// undo step, and an emptied one removes it.
    void editText(int markIndex);

signals:
    /// Ctrl+C, Enter or the copy button: \a picture, the selection (the whole capture when
    /// nothing is selected), is to be copied; the overlay leaves right after.
    void selectionTaken(const QPixmap &picture);
    /// A save dialog wrote a file.
    void saved();
    /// The overlay's first frame is on the screen; the toolbar follows.
    void firstFrameShown();

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
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    QPaintEngine *paintEngine() const override;
    void childEvent(QChildEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    // The surfaces pass their mouse, keys and painting to these, with
    // positions in their own units.
    friend class TSnapRectSurface;
    void pressAt(QWidget *surface, const QPointF &position);
    void doubleClickAt(QWidget *surface, const QPointF &position);
    /// A press on a placed mark, with the select tool or none: picks it.
    bool pressOnMark(const QWidget *surface, const QPoint &p);
    void selectMark(int index);
    void showHandles();
    void pointerMoved(const QWidget *surface, const QMouseEvent *event);
    void releaseAt(QWidget *surface, const QMouseEvent *event);
    void paintSurface(QWidget *surface, const QRegion &region) const;
    void takeSelection();
    void markSaved();
    /// True when no mark would be lost by leaving, or the user lets them go.
    bool mayDropMarks();
    /// Closes the overlay and the toolbar without asking.
    void leave();
    Qt::CursorShape cursorAt(const QWidget *surface, const QPoint &p) const;
    /// How near the frame a press on \a surface takes an edge, in the capture's pixels.
    int edgeReach(const QWidget *surface) const;
    /// Acts on a key of the overlay, from any of its windows or the toolbar;
    /// accepts the event when the key is the overlay's.
    void handleKey(QKeyEvent *event);
    void nudgeSelection(const QKeyEvent *event, bool edges);
    void chooseTool(MarkTool tool);
    void dropTool();
    void changeWidth(int by);
    void undoMark(bool redo);
    /// \a area of the capture with its marks; the whole for an empty one.
    QPixmap pictureOf(const QRect &area) const;
    void selectWindowUnderPointer();
    void setMagnifier(bool shown, const QPoint &p);
    void toggleKeyHelp();
    void placeKeyHelp(bool shown);
    void dismissHint();
    void showWhatFollowsTheFirstFrame();
    void showSelection();
    void releaseWindowMemory();
    void waitForWindowMemory();
    void takeKeyboardBack();

    QPixmap m_fullPixmap;
    QDateTime m_taken;              // when m_fullPixmap was grabbed
    Selection m_selection;
    bool m_saveTakesSelection = false;
    bool m_selectionPressed = false; // the button held went to the selection
    TSnapRectToolForm *m_toolForm;
    OverlayWindows m_windows;
    MarkDocument m_marks;
    OverlayScene m_scene;
    MarkEditor m_editor;
    TextEditing m_text;
    QTimer m_widthShown;            // the width in the readout, after a change
    bool m_paintedWhole = false;    // since the last show
    int m_windowsToExpose = 0;      // before the toolbar window is shown
    bool m_hintDue = false;         // shown after the first frame
    QList<QRect> m_windowsAtGrab;   // the desktop's windows at the grab, topmost first
    std::future<void> m_windowMemory; // the buffer's memory being readied
};
