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

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), changed, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A drag as the compositor delivers it: every event goes to the window of the
// press, in its coordinates, also past its edge.
void drag(QWidget *window, const QPoint &from, const QPoint &to)
{
    sendMouse(window, QEvent::MouseButtonPress, from);
    sendMouse(window, QEvent::MouseMove, (from + to) / 2);
    sendMouse(window, QEvent::MouseMove, to);
    sendMouse(window, QEvent::MouseButtonRelease, to);
}

} // namespace

// The overlay where each output needs a window of its own (the wayland
// platform, on a headless sway with two outputs at scale 2): the windows share
// one selection in the picture's pixels and show their parts of it.
class tst_SnapRectScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void oneFullScreenWindowPerOutput();
    void selectionAcrossTheSeamAndToolbarAtRelease();
    void moveFromTheOtherWindow();
    void keysOnEitherWindowActOnce_data();
    void keysOnEitherWindowActOnce();
    void eachWindowPaintsItsPart();
    void escapeClosesEveryWindow();

private:
    QWidget *second() const { return m_form->surfaces().at(1); }

    QRect m_layout;
    QRect m_first;    ///< the primary output, where the form itself stands
    QRect m_second;
    QImage m_picture; ///< the desktop in device pixels
    std::unique_ptr<TSnapRectForm> m_form;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_SnapRectScreens::initTestCase()
{
    QCOMPARE(QGuiApplication::screens().size(), 2);
    m_first = QGuiApplication::primaryScreen()->geometry();
    for (const QScreen *screen : QGuiApplication::screens()) {
        m_layout |= screen->geometry();
        if (screen != QGuiApplication::primaryScreen())
            m_second = screen->geometry();
    }
    m_picture = X11TestSupport::patternPicture(m_layout.size() * 2);
    QApplication::setQuitOnLastWindowClosed(false);
}

void tst_SnapRectScreens::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_form = std::make_unique<TSnapRectForm>(nullptr);
    QPixmap picture = QPixmap::fromImage(m_picture);
    picture.setDevicePixelRatio(2);
    m_form->snapRect(picture);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QCOMPARE(m_form->surfaces().size(), 2);
    QVERIFY(QTest::qWaitForWindowExposed(second()));
}

void tst_SnapRectScreens::cleanup()
{
    m_form.reset();
}

void tst_SnapRectScreens::oneFullScreenWindowPerOutput()
{
    QTRY_VERIFY(m_form->windowState() & Qt::WindowFullScreen);
    QTRY_VERIFY(second()->windowState() & Qt::WindowFullScreen);
    QCOMPARE(m_form->screen(), QGuiApplication::primaryScreen());
    QCOMPARE(second()->screen()->geometry(), m_second);
    QCOMPARE(second()->windowTitle(), m_form->windowTitle());
    // The toolbar sits inside the form's window, in the middle.
    QVERIFY(m_form->toolForm()->isVisible());
    QVERIFY(!m_form->toolForm()->isWindow());
    QCOMPARE(m_form->toolForm()->parentWidget(), m_form.get());
    // (Its layout may settle its size by a pixel or two once shown.)
    const QPoint middle = QRect(QPoint(0, 0), m_first.size()).center();
    QVERIFY((m_form->toolForm()->geometry().center() - middle).manhattanLength() <= 4);
}

void tst_SnapRectScreens::selectionAcrossTheSeamAndToolbarAtRelease()
{
    // From the form's window past its right edge onto the second output.
    const QPoint from(m_first.width() - 100, 50);
    const QPoint to(m_first.width() + 60, 120);
    drag(m_form.get(), from, to);
    QCOMPARE(m_form->selectionRect(), QRect(from * 2, to * 2 - QPoint(1, 1)));
    QCOMPARE(m_form->selectionState(), TSnapRectForm::Selected);
    // The toolbar goes into the window under the release point.
    QCOMPARE(m_form->toolForm()->parentWidget(), second());
    QCOMPARE(m_form->toolForm()->pos(), to - (m_second.topLeft() - m_layout.topLeft()));
    QVERIFY(m_form->toolForm()->isVisible());

    // Saved in the picture's own pixels.
    const QString path = m_dir->filePath(QStringLiteral("seam.png"));
    ModalAnswerer answerer;
    answerer.saveAs(path);
    QTest::keyClick(second(), Qt::Key_S);
    QCOMPARE(answerer.titles.size(), 1);
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32),
             m_picture.copy(QRect(from * 2, QSize(to.x() - from.x(), to.y() - from.y()) * 2)));
}

void tst_SnapRectScreens::moveFromTheOtherWindow()
{
    drag(m_form.get(), QPoint(m_first.width() - 100, 50), QPoint(m_first.width() + 60, 120));
    const QRect before = m_form->selectionRect();
    // A press inside the selection on the second window moves it, clamped at
    // the desktop's bottom-right corner.
    drag(second(), QPoint(30, 100), QPoint(m_second.width() + 500, m_layout.height() + 500));
    QCOMPARE(m_form->selectionRect().size(), before.size());
    QCOMPARE(m_form->selectionRect().bottomRight(), QPoint(m_layout.width() * 2 - 1, m_layout.height() * 2 - 1));
    // Released past every output: the toolbar stays with the window that had
    // the drag.
    QCOMPARE(m_form->toolForm()->parentWidget(), second());
}

void tst_SnapRectScreens::keysOnEitherWindowActOnce_data()
{
    QTest::addColumn<bool>("onSecond");
    QTest::addColumn<int>("key");
    QTest::newRow("S on the form") << false << int(Qt::Key_S);
    QTest::newRow("S on the second window, which holds the toolbar") << true << int(Qt::Key_S);
    QTest::newRow("F on the second window") << true << int(Qt::Key_F);
}

void tst_SnapRectScreens::keysOnEitherWindowActOnce()
{
    QFETCH(bool, onSecond);
    QFETCH(int, key);
    drag(second(), QPoint(10, 10), QPoint(50, 40));
    QCOMPARE(m_form->toolForm()->parentWidget(), second());
    // The toolbar's buttons carry the same keys as shortcuts: one save dialog.
    ModalAnswerer answerer;
    answerer.cancel();
    QTest::keyClick(onSecond ? second() : static_cast<QWidget *>(m_form.get()), Qt::Key(key));
    QCOMPARE(answerer.titles.size(), 1);
    QTest::qWait(0);
    QVERIFY(answerer.unexpected.isEmpty());
    QVERIFY(m_form->isVisible());
}

void tst_SnapRectScreens::eachWindowPaintsItsPart()
{
    const QPoint offset = m_second.topLeft() - m_layout.topLeft();
    const QPoint from = offset + QPoint(20, 20), to = offset + QPoint(80, 60);
    drag(second(), from - offset, to - offset);
    m_form->toolForm()->hide();
    const QImage shown = second()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), m_second.size() * 2);
    // Inside the selection: the undimmed picture, device pixel for pixel.
    const QPoint inside = (from + QPoint(10, 10)) * 2;
    QCOMPARE(shown.pixel(inside - offset * 2), m_picture.pixel(inside));
    // Outside: dimmed.
    const QPoint outside = (to + QPoint(20, 20)) * 2;
    QVERIFY(shown.pixel(outside - offset * 2) != m_picture.pixel(outside));
}

void tst_SnapRectScreens::escapeClosesEveryWindow()
{
    QTest::keyClick(second(), Qt::Key_Escape);
    QVERIFY(!m_form->isVisible());
    QVERIFY(!second()->isVisible());
    QVERIFY(!m_form->toolForm()->isVisible());
    // The next capture shows them all again.
    m_form->show();
    QVERIFY(second()->isVisible());
}

QTEST_MAIN(tst_SnapRectScreens)
#include "tst_snaprectscreens.moc"
