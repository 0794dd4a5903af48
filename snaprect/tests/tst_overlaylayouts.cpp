#include "PixelOps.h"
#include "TSnapRectForm.h"
#include "TSnapRectToolForm.h"

#include <ModalAnswerer.h>
#include <X11TestSupport.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Everything sent is painted and on the server.
void settle()
{
    QCoreApplication::processEvents();
    QGuiApplication::sync();
    QCoreApplication::processEvents();
}

} // namespace

// The overlay in-process on the layout that CTest gives this run: its
// monitors, the scale in QT_SCALE_FACTOR, and in DRAG two points of the
// screen, in its own pixels, between which a selection is dragged (across the
// seam on two monitors). Qt 6.4 hands widgets the pointer in whole units of
// its own, so the points lie on that grid (multiples of 3 at scale 1.5, even
// at 2). What the screens show is read back from the X server.
class tst_OverlayLayouts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyMonitorShowsItsPartDimmed();
    void selectionIsShownAndSavedInScreenPixels();
    void toolbarGoesToTheReleasePoint();
    void partialRepaintsMatchAFullRepaint();
    void fullScreenSaveHoldsEveryPixel();

private:
    QWidget *surfaceAt(const QPoint &p) const;
    void sendMouse(QEvent::Type type, QWidget *surface, const QPoint &p);
    void drag(const QPoint &from, const QPoint &to);
    QImage shown() const;
    bool fullRepaintChangesNothing() const;
    void hideToolbar();

    QList<QRect> m_monitors;
    QRect m_bounds;
    QImage m_desktop;
    QPoint m_from, m_to;
    std::unique_ptr<TSnapRectForm> m_form;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_OverlayLayouts::initTestCase()
{
    m_monitors = X11TestSupport::monitorLayout();
    m_bounds = X11TestSupport::monitorBounds();
    QCOMPARE(QGuiApplication::screens().size(), m_monitors.size());
    m_desktop = X11TestSupport::patternPicture(X11TestSupport::screenSize());
    X11TestSupport::setRootPicture(m_desktop);
    const QList<QPoint> drag = X11TestSupport::pointsFromEnvironment("DRAG");
    QCOMPARE(drag.size(), 2);
    m_from = drag.at(0);
    m_to = drag.at(1);
}

void tst_OverlayLayouts::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_form = std::make_unique<TSnapRectForm>(nullptr);
    m_form->snapRect();
    m_form->show();
    for (QWidget *surface : m_form->surfaces())
        QVERIFY(QTest::qWaitForWindowExposed(surface));
    settle();
}

void tst_OverlayLayouts::cleanup()
{
    m_form.reset();
}

QWidget *tst_OverlayLayouts::surfaceAt(const QPoint &p) const
{
    for (QWidget *surface : m_form->surfaces()) {
        if (X11TestSupport::rootGeometry(surface->winId()).contains(p))
            return surface;
    }
    return nullptr;
}

// A mouse event at \a p, in the screen's pixels, for \a surface, which holds
// the pointer as X does from a press to its release.
void tst_OverlayLayouts::sendMouse(QEvent::Type type, QWidget *surface, const QPoint &p)
{
    // In whole units of Qt's, as Qt 6.4 delivers the pointer.
    const QPointF local = (QPointF(p - X11TestSupport::rootGeometry(surface->winId()).topLeft())
                           / surface->devicePixelRatio()).toPoint();
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, surface->mapToGlobal(local), changed, held, Qt::NoModifier);
    QApplication::sendEvent(surface, &event);
}

void tst_OverlayLayouts::drag(const QPoint &from, const QPoint &to)
{
    QWidget *surface = surfaceAt(from);
    QVERIFY(surface);
    sendMouse(QEvent::MouseButtonPress, surface, from);
    sendMouse(QEvent::MouseMove, surface, (from + to) / 2);
    sendMouse(QEvent::MouseMove, surface, to);
    sendMouse(QEvent::MouseButtonRelease, surface, to);
    settle();
}

// What the screens show once the overlay has finished repainting: hiding the
// toolbar, for one, has the server ask for the area beneath a little later.
QImage tst_OverlayLayouts::shown() const
{
    QImage last;
    for (int i = 0; i < 50; ++i) {
        settle();
        QImage now = X11TestSupport::screenPicture(m_bounds);
        if (now == last)
            return now;
        last = std::move(now);
        QTest::qWait(20);
    }
    return last;
}

void tst_OverlayLayouts::hideToolbar()
{
    m_form->toolForm()->hide();
    settle();
}

void tst_OverlayLayouts::everyMonitorShowsItsPartDimmed()
{
    hideToolbar();
    const QImage expected = dimmed(m_desktop, 100);
    for (const QRect &monitor : std::as_const(m_monitors)) {
        QWidget *surface = surfaceAt(monitor.center());
        QVERIFY(surface);
        QVERIFY(X11TestSupport::rootGeometry(surface->winId()).contains(monitor));
        QTRY_COMPARE(X11TestSupport::screenPicture(monitor), expected.copy(monitor));
    }
}

void tst_OverlayLayouts::selectionIsShownAndSavedInScreenPixels()
{
    drag(m_from, m_to);
    const QRect selection(m_from, m_to - QPoint(1, 1));
    QCOMPARE(m_form->selectionRect(), selection);
    hideToolbar();

    // Undimmed inside a green frame, which covers the first columns and rows
    // and the ones just past the last, as many as the scale has pixels to
    // one of Qt's.
    const int frame = qMax(1, qRound(QGuiApplication::primaryScreen()->devicePixelRatio()));
    const QImage screen = shown();
    const QRect inside = selection.adjusted(frame, frame, 0, 0);
    QCOMPARE(screen.copy(inside), m_desktop.copy(inside));
    const QColor green(Qt::green);
    for (int i = 0; i < frame; ++i) {
        for (const QPoint &p : {QPoint(m_from.x() + i, m_from.y() + 40), QPoint(m_to.x() + i, m_to.y() - 40),
                                QPoint(m_from.x() + 40, m_from.y() + i), QPoint(m_to.x() - 40, m_to.y() + i)})
            QCOMPARE(screen.pixelColor(p), green);
    }
    const QImage dim = dimmed(m_desktop, 100);
    for (const QPoint &p : {m_from - QPoint(1, 1), m_to + QPoint(frame, frame), QPoint(m_from.x() - 1, m_to.y()),
                            QPoint(m_to.x() + frame, m_from.y() - 1)})
        QCOMPARE(screen.pixelColor(p), dim.pixelColor(p));

    const QString path = m_dir->filePath(QStringLiteral("region.png"));
    ModalAnswerer answerer;
    answerer.saveAs(path);
    QTest::keyClick(m_form.get(), Qt::Key_S);
    QCOMPARE(answerer.titles.size(), 1);
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), m_desktop.copy(selection));
}

void tst_OverlayLayouts::toolbarGoesToTheReleasePoint()
{
    drag(m_from, m_to);
    TSnapRectToolForm *toolbar = m_form->toolForm();
    QVERIFY(QTest::qWaitForWindowExposed(toolbar));
    QTRY_COMPARE(X11TestSupport::rootGeometry(toolbar->winId()).topLeft(), m_to);
}

bool tst_OverlayLayouts::fullRepaintChangesNothing() const
{
    const QImage partial = shown();
    for (QWidget *surface : m_form->surfaces())
        surface->repaint();
    settle();
    return shown() == partial;
}

void tst_OverlayLayouts::partialRepaintsMatchAFullRepaint()
{
    // A rubber band, moves of the finished rectangle, a new one elsewhere
    // and a reset: a repaint that missed a pixel leaves a trace of the frame
    // or the cut-out.
    drag(m_from, m_to);
    hideToolbar();
    QVERIFY(fullRepaintChangesNothing());

    const QPoint inside = (m_from + m_to) / 2;
    QWidget *surface = surfaceAt(inside);
    QVERIFY(surface);
    sendMouse(QEvent::MouseButtonPress, surface, inside);
    QPoint at = inside;
    for (const QPoint &step : {QPoint(3, 1), QPoint(-7, 5), QPoint(11, -13), QPoint(1, 1), QPoint(-2, 0)}) {
        at += step;
        sendMouse(QEvent::MouseMove, surface, at);
        settle();
    }
    QCOMPARE(m_form->selectionRect(), QRect(m_from, m_to - QPoint(1, 1)).translated(at - inside));
    QVERIFY(fullRepaintChangesNothing());
    sendMouse(QEvent::MouseButtonRelease, surface, at);
    hideToolbar();

    drag(m_from + QPoint(33, 17), m_from + QPoint(97, 61));
    hideToolbar();
    QVERIFY(fullRepaintChangesNothing());

    QTest::keyClick(m_form.get(), Qt::Key_R);
    settle();
    QVERIFY(fullRepaintChangesNothing());
    const QImage dim = dimmed(m_desktop, 100);
    for (const QRect &monitor : std::as_const(m_monitors))
        QCOMPARE(shown().copy(monitor.translated(-m_bounds.topLeft())), dim.copy(monitor));
}

void tst_OverlayLayouts::fullScreenSaveHoldsEveryPixel()
{
    const QString path = m_dir->filePath(QStringLiteral("whole.png"));
    ModalAnswerer answerer;
    answerer.saveAs(path);
    QTest::keyClick(m_form.get(), Qt::Key_F);
    QCOMPARE(answerer.titles.size(), 1);
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), m_desktop.copy(m_bounds));
}

QTEST_MAIN(tst_OverlayLayouts)
#include "tst_overlaylayouts.moc"
