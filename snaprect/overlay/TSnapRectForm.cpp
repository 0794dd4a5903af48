#include "TSnapRectForm.h"

#include "MarkControls.h"
#include "OverlayKeys.h"
#include "PixelOps.h"
#include "SaveImage.h"
#include "TSnapRectSurface.h"
#include "TSnapRectToolForm.h"
#include "platform/LargeImage.h"
#include "platform/ScreenGrabber.h"

#include <QAbstractButton>
#include <QBackingStore>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QUndoStack>
#include <QWheelEvent>
#include <QWindow>

#include <utility>

namespace {

// How near the selection's frame a press takes hold of an edge, in the
// buffer's pixels, so that at every scale the hand finds the same distance.
constexpr int edgeReachDevicePixels = 5;

// Posted once every overlay window is exposed, below every normal event.
const QEvent::Type firstFrameEvent = QEvent::Type(QEvent::registerEventType());

// Asks whether the marks that were neither saved nor copied may go; 否,
// also Return and Escape, keeps them.
bool confirmDroppingMarks(QWidget *parent)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("放弃标注"), QStringLiteral("放弃标注？"),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    // Without the mnemonics of Qt's own texts, Y and N still answer.
    box.button(QMessageBox::Yes)->setShortcut(Qt::Key_Y);
    box.button(QMessageBox::No)->setShortcut(Qt::Key_N);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

TSnapRectForm::TSnapRectForm(QWidget *parent)
    : QDialog(parent)
    , m_windows(this)
    , m_scene(&m_marks)
    , m_editor(&m_marks)
    , m_text(&m_marks, &m_windows)
{
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Framzel－局部截图"));
    setAccessibleName(QStringLiteral("局部截图"));
    // paintEvent() covers every pixel; the background need not be filled first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The magnifier follows the pointer also when no button is held.
    setMouseTracking(true);
    m_toolForm = new TSnapRectToolForm(this);
    connect(m_toolForm, &TSnapRectToolForm::onSave, this, &TSnapRectForm::onSave);
    connect(m_toolForm, &TSnapRectToolForm::onReSelect, this, &TSnapRectForm::onReSelect);
    connect(m_toolForm, &TSnapRectToolForm::onExit, this, &TSnapRectForm::onExit);
    connect(m_toolForm, &TSnapRectToolForm::onCopy, this, &TSnapRectForm::takeSelection);
    connect(m_toolForm, &TSnapRectToolForm::otherKey, this, &TSnapRectForm::handleKey);
    // The whole-screen button has no signal of its own on the toolbar; a click
    // on it does what F does.
    connect(m_toolForm->fullScreenButton(), &QAbstractButton::clicked, this, &TSnapRectForm::fullScreenSave);

    MarkControls *controls = m_toolForm->markControls();
    controls->watchUndoStack(m_marks.undoStack());
    connect(controls, &MarkControls::undoRequested, this, [this] { undoMark(false); });
    connect(controls, &MarkControls::redoRequested, this, [this] { undoMark(true); });
    connect(controls, &MarkControls::colourChosen, this, [this](const QColor &colour) { m_editor.recolour(colour); });
    connect(&m_marks, &MarkDocument::changed, this, [this](const QRect &area) { m_windows.repaint(area); });
    m_widthShown.setSingleShot(true);
    m_widthShown.setInterval(1500);
    connect(&m_widthShown, &QTimer::timeout, this, [this] { m_windows.repaint(m_scene.setReadoutNote({})); });
}

TSnapRectForm::~TSnapRectForm()
{
    waitForWindowMemory();
}

void TSnapRectForm::snapRect()
{
    // The last capture's pictures go before the next one is taken, so that
    // a capture never holds two.
    releasePictures();
    snapRect(ScreenGrabber::instance().grabDesktop());
}

void TSnapRectForm::snapRect(const QPixmap &desktop)
{
    onReSelect();
    waitForWindowMemory();
    // Where the screens lie in the picture may depend on the picture (the
    // portal's scale), so they are covered once it is there.
    ScreenGrabber &grabber = ScreenGrabber::instance();
    m_windows.cover(grabber);
    m_selection.setDesktop(m_windows.desktopSize());
    m_scene.reset(m_windows.desktopSize(), m_windows.primaryScale());
    // The picture is dimmed where it is painted: a dimmed copy would be
    // another picture as large as the desktop to fill before the overlay can
    // show, and to keep while it does.
    m_fullPixmap = desktop;
    // Without marks: the picture is shared, not copied.
    m_marks.setCapture(desktop.toImage());
    m_windows.paintOnServer(grabber, desktop.toImage());
    m_taken = QDateTime::currentDateTime();
    m_windowsAtGrab = grabber.windowsAtGrab();
    // The hint's text needs fonts, which a process finds in milliseconds
    // the first time: it follows the first frame.
    if (isVisible())
        m_windows.repaint(m_scene.setHint(true, m_windows.primaryArea()));
    else
        m_hintDue = true;
    for (QWidget *surface : surfaces())
        surface->update();
    // A toolbar window waits for the overlay's windows: see showEvent().
    if (!m_toolForm->isWindow() || isVisible())
        m_toolForm->setVisible(true);
}

void TSnapRectForm::releasePictures()
{
    m_windows.dropServerPainters();
    m_fullPixmap = QPixmap();
    m_marks.setCapture(QImage());
}

QPixmap TSnapRectForm::pictureOf(const QRect &area) const
{
    return m_marks.isEmpty() ? m_fullPixmap.copy(area) : QPixmap::fromImage(m_marks.picture(area));
}

void TSnapRectForm::prepare()
{
    ScreenGrabber &grabber = ScreenGrabber::instance();
    // Only where the window's place does not wait for the picture.
    if (grabber.canPlaceWindows() && !grabber.needsWindowPerScreen() && !isVisible()) {
        waitForWindowMemory();
        setGeometry(grabber.desktopGeometry());
        create();
        // Where the server paints the window, it needs no buffer.
        QBackingStore *store = grabber.paintsOnServer() ? nullptr : backingStore();
        // The window's buffer, as large as the desktop, gets its memory in
        // one go rather than a page fault at a time during the first paint;
        // on another thread, while this one readies the grab.
        if (store) {
            store->resize(size());
            QPaintDevice *device = store->paintDevice();
            if (device && device->devType() == QInternal::Image) {
                const QImage buffer = *static_cast<QImage *>(device);
                m_windowMemory = std::async(std::launch::async, [buffer] { prefault(buffer); });
            }
        }
    }
    grabber.prepare();
}

void TSnapRectForm::waitForWindowMemory()
{
    // The buffer must stay while its memory is being readied.
    if (m_windowMemory.valid())
        m_windowMemory.get();
}

void TSnapRectForm::releaseWindowMemory()
{
    waitForWindowMemory();
    m_windows.releaseBuffers();
}

void TSnapRectForm::onSave()
{
    m_text.place();
    if (m_saveTakesSelection) {
        takeSelection();
        return;
    }
    if (!saveImage(m_windows.dialogParent(), pictureOf(selectionRect()), m_taken).isEmpty())
        markSaved();
    takeKeyboardBack();
}

void TSnapRectForm::onReSelect()
{
    // The marks stay; the tools are for a selection.
    selectMark(-1);
    dropTool();
    m_selection.clear();
    showSelection();
}

void TSnapRectForm::fullScreenSave()
{
    m_text.place();
    if (!saveImage(m_windows.dialogParent(), pictureOf(QRect()), m_taken).isEmpty())
        markSaved();
    takeKeyboardBack();
}

void TSnapRectForm::takeKeyboardBack()
{
    // Without a window manager nobody hands the keyboard back to the overlay
    // when the save dialog closes, and S, F and Q would go nowhere.
    if (isVisible())
        activateWindow();
}

void TSnapRectForm::markSaved()
{
    // The marks as they are now need not be asked about when leaving.
    m_marks.undoStack()->setClean();
    emit saved();
}

void TSnapRectForm::takeSelection()
{
    m_text.place();
    m_marks.undoStack()->setClean();
    emit selectionTaken(pictureOf(selectionRect()));
    leave();
}

void TSnapRectForm::onExit()
{
    // What is typed counts among the marks asked about.
    m_text.place();
    if (!mayDropMarks())
        return;
    leave();
}

bool TSnapRectForm::mayDropMarks()
{
    if (m_marks.isEmpty() || m_marks.undoStack()->isClean())
        return true;
    const bool drop = confirmDroppingMarks(m_windows.dialogParent());
    takeKeyboardBack();
    return drop;
}

void TSnapRectForm::leave()
{
    m_text.close();
    close();
    m_toolForm->close();
    releasePictures();
}

void TSnapRectForm::closeEvent(QCloseEvent *event)
{
    // The window manager's close leaves as 退出 does, asking first, and with
    // the toolbar; queued, as a close() from within this event does nothing.
    if (event->spontaneous()) {
        event->ignore();
        QMetaObject::invokeMethod(this, &TSnapRectForm::onExit, Qt::QueuedConnection);
        return;
    }
    QDialog::closeEvent(event);
}

Qt::CursorShape TSnapRectForm::cursorAt(const QWidget *surface, const QPoint &p) const
{
    // A drawing tool draws wherever it is pressed; the text tool types there.
    if (const std::optional<MarkTool> tool = m_toolForm->markControls()->tool())
        return tool == MarkTool::Text ? Qt::IBeamCursor : Qt::CrossCursor;
    return m_selection.shapeAt(p, edgeReach(surface));
}

int TSnapRectForm::edgeReach(const QWidget *surface) const
{
    return m_windows.toCapture(surface, edgeReachDevicePixels);
}

void TSnapRectForm::showSelection()
{
    const QRect box = m_selection.box();
    setAccessibleDescription(m_selection.isClear()
                                 ? QStringLiteral("未选择区域")
                                 : QStringLiteral("选区 %1 × %2 像素").arg(box.width()).arg(box.height()));
    m_windows.repaint(m_scene.setSelection(box));
    m_toolForm->showMarkControls(!m_selection.isClear());
}

void TSnapRectForm::dismissHint()
{
    m_hintDue = false;
    m_windows.repaint(m_scene.setHint(false, m_windows.primaryArea()));
}

void TSnapRectForm::showWhatFollowsTheFirstFrame()
{
    if (!isVisible())
        return;
    if (std::exchange(m_hintDue, false))
        m_windows.repaint(m_scene.setHint(true, m_windows.primaryArea()));
    if (m_toolForm->isWindow()) {
        m_windows.keepToolbarAbove();
        m_toolForm->setVisible(true);
    }
    emit firstFrameShown();
}

void TSnapRectForm::pressAt(QWidget *surface, const QPointF &position)
{
    dismissHint();
    const QPoint p = m_windows.toCapture(surface, position);
    MarkControls *controls = m_toolForm->markControls();
    const std::optional<MarkTool> tool = controls->tool();
    m_selectionPressed = false;
    // A press beside the open box places its text, and does nothing else;
    // with the text tool, one opens a box, but on a placed text it waits
    // for the double-click that opens that text again.
    if (m_text.isOpen()) {
        m_text.place();
        return;
    }
    if (tool == MarkTool::Text) {
        if (m_text.textAt(p) < 0)
            m_text.open(surface, p, controls->style());
        return;
    }
    if (tool && tool != MarkTool::Select) {
        m_windows.repaint(m_marks.begin(*tool, controls->style(), p));
        return;
    }
    if (tool) {
        // Elsewhere the select tool only lets the mark go.
        pressOnMark(surface, p);
        return;
    }
    // With no tool, a press near the selection's frame takes the frame
    // unless it lands on the selected mark: a mark drawn along the frame
    // must not hide the edges from the hand.
    const int reach = edgeReach(surface);
    const bool onFrame = m_selection.edgesAt(p, reach) != Selection::NoEdge;
    if ((!onFrame || m_editor.selected() >= 0) && pressOnMark(surface, p))
        return;
    m_editor.select(-1);
    showHandles();
    m_selectionPressed = true;
    const Qt::CursorShape shape = m_selection.shapeAt(p, reach);
    m_selection.press(p, reach);
    m_windows.setCursor(shape);
    showSelection();
    m_windows.hideToolbar();
}

bool TSnapRectForm::pressOnMark(const QWidget *surface, const QPoint &p)
{
    const bool grabbed = m_editor.press(p, MarkEditor::grabRadius(m_windows.scaleOf(surface), surface->devicePixelRatio()));
    showHandles();
    if (grabbed)
        m_windows.setCursor(Qt::SizeAllCursor);
    return grabbed;
}

void TSnapRectForm::doubleClickAt(QWidget *surface, const QPointF &position)
{
    // A double-click on a placed text with the text or the select tool, or
    // none, opens it again. Qt gives the second press of any other here
    // rather than as a press: it picks as the first did.
    const int text = m_text.textAt(m_windows.toCapture(surface, position));
    const std::optional<MarkTool> tool = m_toolForm->markControls()->tool();
    if (text >= 0 && !m_text.isOpen() && (!tool || tool == MarkTool::Text || tool == MarkTool::Select)) {
        selectMark(-1);
        editText(text);
    } else {
        pressAt(surface, position);
    }
}

void TSnapRectForm::selectMark(int index)
{
    m_editor.select(index);
    showHandles();
}

void TSnapRectForm::showHandles()
{
    m_windows.repaint(m_scene.setHandles(m_editor.squares()));
}

void TSnapRectForm::pointerMoved(const QWidget *surface, const QMouseEvent *event)
{
    const QPoint p = m_windows.toCapture(surface, OverlayWindows::exactPosition(event));
    if (m_marks.isDrawing()) {
        m_windows.repaint(m_marks.extend(p, event->modifiers()));
    } else if (m_editor.isDragging()) {
        m_editor.dragTo(p);
        showHandles();
    } else if (m_selectionPressed && event->buttons() != Qt::NoButton) {
        m_selection.dragTo(p);
        showSelection();
    } else {
        m_windows.setCursor(cursorAt(surface, p));
    }
    setMagnifier(event->modifiers() & Qt::ShiftModifier, p);
}

void TSnapRectForm::releaseAt(QWidget *surface, const QMouseEvent *event)
{
    // A mark placed; the toolbar stays where it is.
    if (m_marks.isDrawing()) {
        m_windows.repaint(m_marks.finish());
        return;
    }
    // A mark changed, or a drag let go by a key (Escape, Delete, Ctrl+Z):
    // the selection and the toolbar stay.
    if (!std::exchange(m_selectionPressed, false)) {
        m_editor.release();
        m_windows.setCursor(Qt::ArrowCursor);
        return;
    }
    const bool drawn = m_selection.release();
    const QPoint p = m_windows.toCapture(surface, OverlayWindows::exactPosition(event));
    m_windows.setCursor(cursorAt(surface, p));
    // A new rectangle ends where the pointer is, and so does the toolbar; a
    // rectangle moved or resized, or kept by a click, is what the user wants
    // to see.
    if (drawn || m_selection.isClear())
        m_windows.placeToolbarAt(p, event->globalPosition().toPoint(), surface);
    else
        m_windows.placeToolbarBeside(m_scene.selectionArea(), p, event->globalPosition().toPoint(), surface);
    m_toolForm->setVisible(true);
    if (m_scene.keyHelpShown())
        placeKeyHelp(true);
}

bool TSnapRectForm::event(QEvent *event)
{
    // Showing a window asks for a full repaint later, which comes after the
    // first exposure has painted everything already: once is enough.
    if (event->type() == QEvent::UpdateLater && m_paintedWhole) {
        m_paintedWhole = false;
        return true;
    }
    if (event->type() == firstFrameEvent) {
        showWhatFollowsTheFirstFrame();
        return true;
    }
    return OverlayKeys::claim(event) || QDialog::event(event);
}

void TSnapRectForm::mousePressEvent(QMouseEvent *event)
{
    pressAt(this, OverlayWindows::exactPosition(event));
    QDialog::mousePressEvent(event);
}

void TSnapRectForm::mouseMoveEvent(QMouseEvent *event)
{
    pointerMoved(this, event);
    QDialog::mouseMoveEvent(event);
}

void TSnapRectForm::mouseDoubleClickEvent(QMouseEvent *event)
{
    doubleClickAt(this, OverlayWindows::exactPosition(event));
}

void TSnapRectForm::mouseReleaseEvent(QMouseEvent *event)
{
    releaseAt(this, event);
    QDialog::mouseReleaseEvent(event);
}

void TSnapRectForm::wheelEvent(QWheelEvent *event)
{
    if (event->angleDelta().y() != 0)
        changeWidth(event->angleDelta().y() > 0 ? 1 : -1);
    event->accept();
}

void TSnapRectForm::keyPressEvent(QKeyEvent *event)
{
    handleKey(event);
}

void TSnapRectForm::keyReleaseEvent(QKeyEvent *event)
{
    handleKey(event);
}

void TSnapRectForm::handleKey(QKeyEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        dismissHint();
    // The magnifier shows while Shift is held.
    if (event->key() == Qt::Key_Shift) {
        setMagnifier(event->type() == QEvent::KeyPress, m_windows.pointerInCapture());
        event->accept();
        return;
    }
    // QDialog's own Escape and Enter handling must not run: Escape leaves
    // through onExit() like Q.
    const OverlayKeys::Action action = OverlayKeys::action(event);
    event->setAccepted(event->type() == QEvent::KeyPress && action != OverlayKeys::Action::None);
    if (!event->isAccepted())
        return;
    switch (action) {
    case OverlayKeys::Action::Exit:
        onExit();
        break;
    case OverlayKeys::Action::Cancel:
        if (m_editor.selected() >= 0)
            selectMark(-1);
        else if (m_toolForm->markControls()->tool())
            dropTool();
        else
            onExit();
        break;
    case OverlayKeys::Action::ChooseTool:
        chooseTool(OverlayKeys::tool(event));
        break;
    case OverlayKeys::Action::Undo:
    case OverlayKeys::Action::Redo:
        undoMark(action == OverlayKeys::Action::Redo);
        break;
    case OverlayKeys::Action::Narrower:
    case OverlayKeys::Action::Wider:
        changeWidth(action == OverlayKeys::Action::Wider ? 1 : -1);
        break;
    case OverlayKeys::Action::Save:
        onSave();
        break;
    case OverlayKeys::Action::ReSelect:
        onReSelect();
        break;
    case OverlayKeys::Action::SaveFullScreen:
        fullScreenSave();
        break;
    case OverlayKeys::Action::Copy:
        takeSelection();
        break;
    case OverlayKeys::Action::SelectWindow:
        selectWindowUnderPointer();
        break;
    case OverlayKeys::Action::ToggleKeyHelp:
        toggleKeyHelp();
        break;
    case OverlayKeys::Action::Delete:
        m_editor.removeSelected();
        showHandles();
        break;
    case OverlayKeys::Action::Move:
    case OverlayKeys::Action::Resize:
        nudgeSelection(event, action == OverlayKeys::Action::Resize);
        break;
    case OverlayKeys::Action::None:
        break;
    }
}

void TSnapRectForm::nudgeSelection(const QKeyEvent *event, bool edges)
{
    // A selected mark moves rather than the selection.
    if (!edges && m_editor.selected() >= 0) {
        m_editor.nudge(OverlayKeys::nudge(event));
        showHandles();
        return;
    }
    // Nothing is selected after a reset.
    if (m_selection.isClear())
        return;
    // Shift moves the right or bottom edge; otherwise the rectangle moves
    // and stops at the desktop's edges as a drag does.
    if (edges)
        m_selection.resize(OverlayKeys::nudge(event));
    else
        m_selection.shift(OverlayKeys::nudge(event));
    showSelection();
}

void TSnapRectForm::chooseTool(MarkTool tool)
{
    // The tools are for a selection, as the toolbar offers them.
    MarkControls *controls = m_toolForm->markControls();
    if (m_selection.isClear())
        return;
    if (tool != MarkTool::Select)
        selectMark(-1);
    if (controls->tool() == tool) {
        dropTool();
    } else {
        m_text.place();
        controls->setTool(tool);
    }
}

void TSnapRectForm::dropTool()
{
    m_text.place();
    m_windows.repaint(m_marks.cancel());
    m_toolForm->markControls()->dropTool();
}

void TSnapRectForm::changeWidth(int by)
{
    MarkControls *controls = m_toolForm->markControls();
    int width = m_editor.widen(by);
    if (width == 0) {
        controls->setWidth(controls->style().width + by);
        width = controls->style().width;
    }
    showHandles();
    m_windows.repaint(m_scene.setReadoutNote(QStringLiteral("线宽 %1").arg(width)));
    m_widthShown.start();
}

void TSnapRectForm::undoMark(bool redo)
{
    // The step may take the selected mark away.
    selectMark(-1);
    // A mark being drawn, or a text being typed, is dropped rather than undone.
    if (m_text.isOpen()) {
        m_text.close();
        return;
    }
    if (m_marks.isDrawing()) {
        m_windows.repaint(m_marks.cancel());
        return;
    }
    if (redo)
        m_marks.undoStack()->redo();
    else
        m_marks.undoStack()->undo();
}

void TSnapRectForm::editText(int markIndex)
{
    m_text.edit(markIndex);
}

void TSnapRectForm::selectWindowUnderPointer()
{
    const QPoint p = m_windows.pointerInCapture();
    for (const QRect &window : std::as_const(m_windowsAtGrab)) {
        if (window.contains(p)) {
            m_selection.select(window);
            showSelection();
            return;
        }
    }
}

void TSnapRectForm::setMagnifier(bool shown, const QPoint &p)
{
    m_windows.repaint(m_scene.setMagnifier(shown, p));
}

void TSnapRectForm::toggleKeyHelp()
{
    placeKeyHelp(!m_scene.keyHelpShown());
}

void TSnapRectForm::placeKeyHelp(bool shown)
{
    // Never under the toolbar, which stays above the overlay.
    m_windows.repaint(m_scene.setKeyHelp(shown, m_windows.primaryArea(), m_windows.toolbarArea()));
}

void TSnapRectForm::paintEvent(QPaintEvent *event)
{
    m_paintedWhole = QRegion(rect()).subtracted(event->region()).isEmpty();
    paintSurface(this, event->region());
}

QPaintEngine *TSnapRectForm::paintEngine() const
{
    // Painted by the server, without a buffer of Qt's (see OverlayWindows).
    return testAttribute(Qt::WA_PaintOnScreen) ? nullptr : QDialog::paintEngine();
}

void TSnapRectForm::childEvent(QChildEvent *event)
{
    if (event->type() == QEvent::ChildPolished)
        m_windows.childShown(this, event->child());
    QDialog::childEvent(event);
}

void TSnapRectForm::paintSurface(QWidget *surface, const QRegion &region) const
{
    m_windows.paint(surface, region, m_scene);
}

void TSnapRectForm::showEvent(QShowEvent *event)
{
    m_paintedWhole = false;
    QDialog::showEvent(event);
    for (TSnapRectSurface *surface : m_windows.surfaces())
        surface->show();
    // A toolbar window is shown once every overlay window is on screen. Shown
    // earlier, a window manager may stack an overlay window above it: openbox,
    // for one, counts an undecorated window of the monitor's size as
    // full-screen and lifts it over all windows but its own transients, and
    // takes a window as transient only for one that it manages already.
    // (Hiding the toolbar and showing it again races with the window manager,
    // which may then lose the toolbar altogether.)
    m_windowsToExpose = 0;
    for (QWidget *surface : surfaces()) {
        if (QWindow *window = surface->windowHandle()) {
            window->installEventFilter(this);
            ++m_windowsToExpose;
        }
    }
}

void TSnapRectForm::hideEvent(QHideEvent *event)
{
    for (TSnapRectSurface *surface : m_windows.surfaces())
        surface->hide();
    QDialog::hideEvent(event);
    releaseWindowMemory();
}

bool TSnapRectForm::eventFilter(QObject *watched, QEvent *event)
{
    auto *window = qobject_cast<QWindow *>(watched);
    if (event->type() == QEvent::Expose && window && window->isExposed()) {
        window->removeEventFilter(this);
        // The exposures queue the first frame (the server's paint is
        // gathered): what needs fonts, the toolbar's buttons and the hint,
        // comes after it, posted below every normal event.
        if (--m_windowsToExpose == 0)
            QCoreApplication::postEvent(this, new QEvent(firstFrameEvent), Qt::LowEventPriority);
    }
    return QDialog::eventFilter(watched, event);
}
