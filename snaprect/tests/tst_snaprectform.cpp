#include "TSnapRectForm.h"
#include "TSnapRectToolForm.h"
#include "ui_TSnapRectToolForm.h"

#include <ModalAnswerer.h>
#include <X11TestSupport.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), changed, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget *widget, const QPoint &from, const QPoint &to, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(widget, QEvent::MouseButtonPress, from, button);
    sendMouse(widget, QEvent::MouseMove, (from + to) / 2, button);
    sendMouse(widget, QEvent::MouseMove, to, button);
    sendMouse(widget, QEvent::MouseButtonRelease, to, button);
}

// The selection that a drag from a to b leaves: edges min/max of the two.
QRect dragged(const QPoint &a, const QPoint &b)
{
    return QRect(QPoint(qMin(a.x(), b.x()), qMin(a.y(), b.y())), QPoint(qMax(a.x(), b.x()) - 1, qMax(a.y(), b.y()) - 1));
}

} // namespace

class tst_SnapRectForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void captureIsTheDesktop();
    void rubberBandWithEveryButton_data();
    void rubberBandWithEveryButton();
    void pressInsideMovesOutsideRestarts_data();
    void pressInsideMovesOutsideRestarts();
    void moveIsClampedAndFollowsAtOnceOnTheWayBack_data();
    void moveIsClampedAndFollowsAtOnceOnTheWayBack();
    void doubleClick_data();
    void doubleClick();
    void toolbarHiddenWhileHeldShownAtRelease();
    void keys_data();
    void keys();
    void twoSavesInARowKeepOverlayOpen();
    void savesWriteTheRightPixels_data();
    void savesWriteTheRightPixels();
    void toolbarButtons_data();
    void toolbarButtons();
    void escapeOrQOnToolbarLeavesCapture_data();
    void escapeOrQOnToolbarLeavesCapture();
    void paintShowsDimmedPictureCutOutAndFrame();
    void nextCaptureStartsAfresh();
    void leavingLetsThePicturesGo();

private:
    QImage m_desktop;
    std::unique_ptr<TSnapRectForm> m_form;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_SnapRectForm::initTestCase()
{
    m_desktop = X11TestSupport::patternPicture(QGuiApplication::primaryScreen()->virtualGeometry().size());
    X11TestSupport::setRootPicture(m_desktop);
}

void tst_SnapRectForm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_form = std::make_unique<TSnapRectForm>(nullptr);
    m_form->snapRect();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void tst_SnapRectForm::cleanup()
{
    m_form.reset();
}

void tst_SnapRectForm::captureIsTheDesktop()
{
    QCOMPARE(m_form->geometry(), QGuiApplication::primaryScreen()->virtualGeometry());
    QCOMPARE(m_form->capture().toImage().convertToFormat(QImage::Format_RGB32), m_desktop);
    QCOMPARE(m_form->selectionState(), TSnapRectForm::Selecting);
    QVERIFY(m_form->selectionRect().isEmpty());
    QVERIFY(m_form->toolForm()->isVisible());
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Framzel－局部截图"));
    QVERIFY(m_form->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!(m_form->windowFlags() & Qt::WindowStaysOnTopHint));
    QCOMPARE(m_form->windowState(), Qt::WindowNoState);
}

void tst_SnapRectForm::rubberBandWithEveryButton_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");

    QTest::newRow("left, down and right") << Qt::LeftButton << QPoint(100, 80) << QPoint(300, 200);
    QTest::newRow("right, up and left") << Qt::RightButton << QPoint(300, 200) << QPoint(100, 80);
    QTest::newRow("middle, down and left") << Qt::MiddleButton << QPoint(300, 80) << QPoint(40, 200);
    QTest::newRow("left, to the far corner") << Qt::LeftButton << QPoint(0, 0) << QPoint(799, 599);
}

void tst_SnapRectForm::rubberBandWithEveryButton()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);

    drag(m_form.get(), from, to, button);
    QCOMPARE(m_form->selectionRect(), dragged(from, to));
    QCOMPARE(m_form->selectionState(), TSnapRectForm::Selected);
}

void tst_SnapRectForm::pressInsideMovesOutsideRestarts_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<bool>("moves");

    const QPoint a(100, 100), b(200, 150); // edges 100..200 x 100..150
    QTest::newRow("first column") << a << b << QPoint(100, 120) << false;
    QTest::newRow("first row") << a << b << QPoint(150, 100) << false;
    QTest::newRow("just inside the top-left") << a << b << QPoint(101, 101) << true;
    QTest::newRow("last column and row") << a << b << QPoint(199, 149) << true;
    QTest::newRow("column of the right edge") << a << b << QPoint(200, 120) << false;
    QTest::newRow("row of the bottom edge") << a << b << QPoint(150, 150) << false;
    QTest::newRow("far outside") << a << b << QPoint(500, 400) << false;
    QTest::newRow("2x2 rectangle, its last pixel") << QPoint(10, 10) << QPoint(12, 12) << QPoint(11, 11) << true;
    QTest::newRow("1 pixel wide rectangle") << QPoint(10, 10) << QPoint(11, 50) << QPoint(10, 30) << false;
    QTest::newRow("1 pixel high rectangle") << QPoint(10, 10) << QPoint(50, 11) << QPoint(30, 10) << false;
}

void tst_SnapRectForm::pressInsideMovesOutsideRestarts()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QPoint, press);
    QFETCH(bool, moves);

    drag(m_form.get(), from, to);
    const QRect before = m_form->selectionRect();
    sendMouse(m_form.get(), QEvent::MouseButtonPress, press);
    if (moves) {
        QCOMPARE(m_form->selectionState(), TSnapRectForm::Selected);
        QCOMPARE(m_form->selectionRect(), before);
        QCOMPARE(m_form->cursor().shape(), Qt::SizeAllCursor);
        sendMouse(m_form.get(), QEvent::MouseMove, press + QPoint(7, 5));
        QCOMPARE(m_form->selectionRect(), before.translated(7, 5));
    } else {
        QCOMPARE(m_form->selectionState(), TSnapRectForm::Selecting);
        QCOMPARE(m_form->cursor().shape(), Qt::CrossCursor);
        sendMouse(m_form.get(), QEvent::MouseMove, press + QPoint(7, 5));
        QCOMPARE(m_form->selectionRect(), dragged(press, press + QPoint(7, 5)));
    }
    sendMouse(m_form.get(), QEvent::MouseButtonRelease, press + QPoint(7, 5));
    QCOMPARE(m_form->selectionState(), TSnapRectForm::Selected);
    QCOMPARE(m_form->cursor().shape(), Qt::ArrowCursor);
}

void tst_SnapRectForm::moveIsClampedAndFollowsAtOnceOnTheWayBack_data()
{
    QTest::addColumn<QPoint>("pushTo");
    QTest::addColumn<QRect>("atEdge");

    // A 100 x 50 rectangle at (100, 100), held at (150, 120), on 800 x 600.
    QTest::newRow("left") << QPoint(-300, 120) << QRect(0, 100, 100, 50);
    QTest::newRow("top") << QPoint(150, -300) << QRect(100, 0, 100, 50);
    QTest::newRow("right") << QPoint(2000, 120) << QRect(700, 100, 100, 50);
    QTest::newRow("bottom") << QPoint(150, 2000) << QRect(100, 550, 100, 50);
    QTest::newRow("top-left corner") << QPoint(-300, -300) << QRect(0, 0, 100, 50);
    QTest::newRow("bottom-right corner") << QPoint(2000, 2000) << QRect(700, 550, 100, 50);
}

void tst_SnapRectForm::moveIsClampedAndFollowsAtOnceOnTheWayBack()
{
    QFETCH(QPoint, pushTo);
    QFETCH(QRect, atEdge);
    QCOMPARE(m_form->size(), QSize(800, 600));

    drag(m_form.get(), QPoint(100, 100), QPoint(200, 150));
    const QPoint hold(150, 120);
    sendMouse(m_form.get(), QEvent::MouseButtonPress, hold);
    sendMouse(m_form.get(), QEvent::MouseMove, pushTo);
    QCOMPARE(m_form->selectionRect(), atEdge);
    // Back by 10 pixels: the rectangle moves by 10 at once, from the edge.
    const QPoint back(pushTo.x() < 0 ? 10 : pushTo.x() > 800 ? -10 : 0, pushTo.y() < 0 ? 10 : pushTo.y() > 600 ? -10 : 0);
    sendMouse(m_form.get(), QEvent::MouseMove, pushTo + back);
    QCOMPARE(m_form->selectionRect(), atEdge.translated(back));
    sendMouse(m_form.get(), QEvent::MouseButtonRelease, pushTo + back);
    QCOMPARE(m_form->selectionRect(), atEdge.translated(back));
}

void tst_SnapRectForm::doubleClick_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("inside");
    QTest::newRow("inside the rectangle") << QPoint(150, 120) << true;
    QTest::newRow("outside") << QPoint(400, 300) << false;
}

void tst_SnapRectForm::doubleClick()
{
    QFETCH(QPoint, at);
    QFETCH(bool, inside);

    drag(m_form.get(), QPoint(100, 100), QPoint(200, 150));
    const QRect before = m_form->selectionRect();
    // As the window system delivers it: press, release, double-click, release.
    sendMouse(m_form.get(), QEvent::MouseButtonPress, at);
    sendMouse(m_form.get(), QEvent::MouseButtonRelease, at);
    sendMouse(m_form.get(), QEvent::MouseButtonDblClick, at);
    sendMouse(m_form.get(), QEvent::MouseButtonRelease, at);
    QCOMPARE(m_form->selectionState(), TSnapRectForm::Selected);
    if (inside)
        QCOMPARE(m_form->selectionRect(), before);
    else
        QCOMPARE(m_form->selectionRect(), dragged(at, at));
}

void tst_SnapRectForm::toolbarHiddenWhileHeldShownAtRelease()
{
    TSnapRectToolForm *toolbar = m_form->toolForm();
    sendMouse(m_form.get(), QEvent::MouseButtonPress, QPoint(100, 100));
    QVERIFY(!toolbar->isVisible());
    sendMouse(m_form.get(), QEvent::MouseMove, QPoint(790, 590));
    QVERIFY(!toolbar->isVisible());
    sendMouse(m_form.get(), QEvent::MouseButtonRelease, QPoint(790, 590));
    QVERIFY(toolbar->isVisible());
    // At the release point even though most of it is then off-screen.
    QCOMPARE(toolbar->pos(), m_form->mapToGlobal(QPoint(790, 590)));
}

void tst_SnapRectForm::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("action");

    QTest::newRow("S") << int(Qt::Key_S) << Qt::KeyboardModifiers() << "save";
    QTest::newRow("Shift+S") << int(Qt::Key_S) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "save";
    QTest::newRow("Ctrl+S") << int(Qt::Key_S) << Qt::KeyboardModifiers(Qt::ControlModifier) << "save";
    QTest::newRow("F") << int(Qt::Key_F) << Qt::KeyboardModifiers() << "save";
    QTest::newRow("Alt+F") << int(Qt::Key_F) << Qt::KeyboardModifiers(Qt::AltModifier) << "save";
    QTest::newRow("R") << int(Qt::Key_R) << Qt::KeyboardModifiers() << "reselect";
    QTest::newRow("Ctrl+R") << int(Qt::Key_R) << Qt::KeyboardModifiers(Qt::ControlModifier) << "reselect";
    QTest::newRow("Q") << int(Qt::Key_Q) << Qt::KeyboardModifiers() << "exit";
    QTest::newRow("Escape") << int(Qt::Key_Escape) << Qt::KeyboardModifiers() << "exit";
    QTest::newRow("Shift+Q") << int(Qt::Key_Q) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "exit";
    QTest::newRow("X does nothing") << int(Qt::Key_X) << Qt::KeyboardModifiers() << "none";
    QTest::newRow("Return does nothing") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << "none";
}

void tst_SnapRectForm::keys()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, action);

    drag(m_form.get(), QPoint(100, 100), QPoint(200, 150));
    const QRect selection = m_form->selectionRect();
    ModalAnswerer answerer;
    if (action == QLatin1String("save"))
        answerer.cancel();
    QTest::keyClick(m_form.get(), Qt::Key(key), modifiers);

    QCOMPARE(answerer.titles.size(), action == QLatin1String("save") ? 1 : 0);
    QVERIFY(answerer.unexpected.isEmpty());
    const bool open = action != QLatin1String("exit");
    QCOMPARE(m_form->isVisible(), open);
    QCOMPARE(m_form->toolForm()->isVisible(), open);
    if (action == QLatin1String("reselect")) {
        QVERIFY(m_form->selectionRect().isEmpty());
        QCOMPARE(m_form->selectionState(), TSnapRectForm::Selecting);
    } else {
        QCOMPARE(m_form->selectionRect(), selection);
        QCOMPARE(m_form->selectionState(), TSnapRectForm::Selected);
    }
}

void tst_SnapRectForm::twoSavesInARowKeepOverlayOpen()
{
    drag(m_form.get(), QPoint(100, 100), QPoint(200, 150));
    ModalAnswerer answerer;
    answerer.saveAs(m_dir->filePath(QStringLiteral("one.png")));
    answerer.saveAs(m_dir->filePath(QStringLiteral("two.png")));
    QTest::keyClick(m_form.get(), Qt::Key_S);
    QTest::keyClick(m_form.get(), Qt::Key_S);
    QCOMPARE(answerer.titles.size(), 2);
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("one.png"))));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("two.png"))));
    QVERIFY(m_form->isVisible());
    QVERIFY(m_form->toolForm()->isVisible());
    QCOMPARE(m_form->selectionState(), TSnapRectForm::Selected);
}

void tst_SnapRectForm::savesWriteTheRightPixels_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<int>("key");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("S saves the selection") << QPoint(100, 80) << QPoint(300, 200) << int(Qt::Key_S) << QRect(100, 80, 200, 120);
    QTest::newRow("selection at the bottom-right edge") << QPoint(700, 500) << QPoint(800, 600) << int(Qt::Key_S) << QRect(700, 500, 100, 100);
    QTest::newRow("F saves the whole undimmed capture") << QPoint(100, 80) << QPoint(300, 200) << int(Qt::Key_F) << QRect(0, 0, 800, 600);
    QTest::newRow("a click without a drag saves everything") << QPoint(100, 80) << QPoint(100, 80) << int(Qt::Key_S) << QRect(0, 0, 800, 600);
    QTest::newRow("zero width saves everything") << QPoint(100, 80) << QPoint(100, 200) << int(Qt::Key_S) << QRect(0, 0, 800, 600);
}

void tst_SnapRectForm::savesWriteTheRightPixels()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(int, key);
    QFETCH(QRect, expected);

    drag(m_form.get(), from, to);
    const QString path = m_dir->filePath(QStringLiteral("shot.png"));
    ModalAnswerer answerer;
    answerer.saveAs(path);
    QTest::keyClick(m_form.get(), Qt::Key(key));
    QCOMPARE(answerer.titles.size(), 1);
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), m_desktop.copy(expected));
}

void tst_SnapRectForm::toolbarButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("action");

    QTest::newRow("save") << "btnSave" << "save";
    QTest::newRow("whole screen") << "btnFull" << "full";
    QTest::newRow("reselect") << "btnReSelect" << "reselect";
    QTest::newRow("leave") << "btnExit" << "exit";
}

void tst_SnapRectForm::toolbarButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, action);

    drag(m_form.get(), QPoint(100, 80), QPoint(300, 200));
    TSnapRectToolForm *toolbar = m_form->toolForm();
    QVERIFY(QTest::qWaitForWindowExposed(toolbar));
    auto *pushButton = toolbar->findChild<QPushButton *>(button);
    QVERIFY(pushButton);
    QVERIFY(pushButton->text().isEmpty());
    QVERIFY(!pushButton->icon().isNull());

    const QString path = m_dir->filePath(QStringLiteral("shot.png"));
    ModalAnswerer answerer;
    if (action == QLatin1String("save") || action == QLatin1String("full"))
        answerer.saveAs(path);
    QTest::mouseClick(pushButton, Qt::LeftButton);

    if (action == QLatin1String("save"))
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), m_desktop.copy(QRect(100, 80, 200, 120)));
    else if (action == QLatin1String("full"))
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), m_desktop);
    else
        QVERIFY(!QFile::exists(path));
    QCOMPARE(m_form->selectionRect().isEmpty(), action == QLatin1String("reselect"));
    QCOMPARE(m_form->isVisible(), action != QLatin1String("exit"));
    QCOMPARE(toolbar->isVisible(), action != QLatin1String("exit"));
    QVERIFY(answerer.unexpected.isEmpty());
}

void tst_SnapRectForm::escapeOrQOnToolbarLeavesCapture_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("Q") << int(Qt::Key_Q);
}

void tst_SnapRectForm::escapeOrQOnToolbarLeavesCapture()
{
    QFETCH(int, key);
    TSnapRectToolForm *toolbar = m_form->toolForm();
    QSignalSpy exit(toolbar, &TSnapRectToolForm::onExit);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(toolbar, &press);
    QCOMPARE(exit.size(), 1);
    QVERIFY(!m_form->isVisible());
    QVERIFY(!toolbar->isVisible());
}

void tst_SnapRectForm::paintShowsDimmedPictureCutOutAndFrame()
{
    drag(m_form.get(), QPoint(100, 80), QPoint(300, 200));
    const QImage shown = m_form->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), m_desktop.size());

    // Undimmed inside the frame.
    const QRect inside(101, 81, 199, 119);
    QCOMPARE(shown.copy(inside), m_desktop.copy(inside));
    // A one-pixel green frame: on the selection's first column and row, and
    // just past its last ones (a stroked QRect is one pixel larger).
    for (const QPoint &p : {QPoint(100, 80), QPoint(300, 80), QPoint(100, 200), QPoint(300, 200), QPoint(200, 80),
                            QPoint(100, 150), QPoint(300, 150), QPoint(200, 200)})
        QCOMPARE(QColor(shown.pixel(p)), QColor(Qt::green));
    // Outside: black at alpha 100 over the picture.
    for (const QPoint &p : {QPoint(10, 10), QPoint(99, 150), QPoint(301, 150), QPoint(799, 599), QPoint(200, 79), QPoint(200, 201)}) {
        const QColor original = m_desktop.pixelColor(p);
        const QColor dimmed = shown.pixelColor(p);
        for (auto channel : {&QColor::red, &QColor::green, &QColor::blue})
            QVERIFY2(qAbs((original.*channel)() * 155 / 255 - (dimmed.*channel)()) <= 1,
                     qPrintable(QStringLiteral("at %1,%2").arg(p.x()).arg(p.y())));
    }
}

void tst_SnapRectForm::nextCaptureStartsAfresh()
{
    drag(m_form.get(), QPoint(100, 80), QPoint(300, 200));
    QTest::keyClick(m_form.get(), Qt::Key_Q);
    QVERIFY(!m_form->isVisible());

    const QImage changed = X11TestSupport::patternPicture(m_desktop.size()).mirrored(true, false);
    X11TestSupport::setRootPicture(changed);
    m_form->snapRect();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QCOMPARE(m_form->selectionState(), TSnapRectForm::Selecting);
    QVERIFY(m_form->selectionRect().isEmpty());
    QVERIFY(m_form->toolForm()->isVisible());
    QCOMPARE(m_form->capture().toImage().convertToFormat(QImage::Format_RGB32), changed);
    X11TestSupport::setRootPicture(m_desktop);
}

void tst_SnapRectForm::leavingLetsThePicturesGo()
{
    // Between captures the overlay holds no picture of the desktop.
    QVERIFY(!m_form->capture().isNull());
    QTest::keyClick(m_form.get(), Qt::Key_Escape);
    QVERIFY(!m_form->isVisible());
    QVERIFY(m_form->capture().isNull());
    QVERIFY(m_form->palette().brush(m_form->backgroundRole()).texture().isNull());
}

QTEST_MAIN(tst_SnapRectForm)
#include "tst_snaprectform.moc"
