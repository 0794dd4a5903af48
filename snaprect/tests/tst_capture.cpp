#include "SnapRectDriver.h"

#include <X11TestSupport.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <algorithm>

// The real program, driven through the X server, on the layout that CTest
// gives this run: one or two monitors, scaled or not (QT_SCALE_FACTOR, which the program inherits),
// with or without a window manager. Positions are the server's pixels; DRAG
// may name the two ends of the region to save.
class tst_Capture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void fullScreenSavesDesktopWithoutMainWindow();
    void regionSaveAndWholeScreenFromOverlay();
    void toolbarStaysAboveOverlay();
    void failedSaveWarnsAndWritesNothing();

private:
    bool openOverlay();
    // The overlay, or its toolbar, which a window manager may give the
    // keyboard when it appears; both take S, F and Escape.
    QList<unsigned long> overlayOrToolbar() const;
    bool overlayCoversEveryMonitor() const;

    QImage m_desktop;
    QList<QRect> m_monitors;
    QRect m_bounds;
    std::unique_ptr<SnapRectDriver> m_program;
    unsigned long m_overlay = 0;
};

void tst_Capture::initTestCase()
{
    m_monitors = X11TestSupport::monitorLayout();
    m_bounds = X11TestSupport::monitorBounds();
    QCOMPARE(QGuiApplication::screens().size(), m_monitors.size());
    // Dead zones between monitors show the root picture too.
    m_desktop = X11TestSupport::patternPicture(X11TestSupport::screenSize());
    X11TestSupport::setRootPicture(m_desktop);
}

void tst_Capture::init()
{
    m_program = std::make_unique<SnapRectDriver>();
    QVERIFY(m_program->start());
}

bool tst_Capture::openOverlay()
{
    m_program->clickMainButton(QStringLiteral("btnSnapRect"));
    m_overlay = m_program->waitForWindow(QStringLiteral("Framzel－局部截图"));
    return m_overlay != 0;
}

QList<unsigned long> tst_Capture::overlayOrToolbar() const
{
    QList<unsigned long> windows{m_overlay};
    for (const QString &title : {QStringLiteral("Framzel－局部截图"), QStringLiteral("局部截图")})
        windows.append(X11TestSupport::findWindows(title));
    return windows;
}

// One overlay window, or one per screen where the program needs that, lies
// over each monitor.
bool tst_Capture::overlayCoversEveryMonitor() const
{
    QList<QRect> windows;
    for (unsigned long window : X11TestSupport::findWindows(QStringLiteral("Framzel－局部截图"))) {
        if (X11TestSupport::isViewable(window))
            windows.append(X11TestSupport::rootGeometry(window));
    }
    return std::all_of(m_monitors.cbegin(), m_monitors.cend(), [&](const QRect &monitor) {
        return std::any_of(windows.cbegin(), windows.cend(), [&](const QRect &w) { return w.contains(monitor); });
    });
}

void tst_Capture::fullScreenSavesDesktopWithoutMainWindow()
{
    m_program->clickMainButton(QStringLiteral("btnFullScreen"));
    const QString path = QDir(m_program->writableFolder()).filePath(QStringLiteral("full"));
    QVERIFY(m_program->answerSaveDialog(path));
    QString why;
    QTRY_VERIFY(QFile::exists(path + QStringLiteral(".png")));
    QVERIFY2(samePixels(path + QStringLiteral(".png"), m_desktop.copy(m_bounds), &why), qPrintable(why));
    QVERIFY(X11TestSupport::isViewable(m_program->mainWindow()));
}

void tst_Capture::regionSaveAndWholeScreenFromOverlay()
{
    QVERIFY(openOverlay());
    QTRY_VERIFY(overlayCoversEveryMonitor());

    // Across the seam on two monitors.
    const QList<QPoint> ends = X11TestSupport::pointsFromEnvironment("DRAG");
    const QPoint from = ends.size() == 2 ? ends.at(0) : QPoint(m_bounds.width() / 2 - 150, 200);
    const QPoint to = ends.size() == 2 ? ends.at(1) : QPoint(m_bounds.width() / 2 + 170, 420);
    m_program->drag(from, to);
    QVERIFY(m_program->waitForKeyboard(overlayOrToolbar()));
    m_program->key(QStringLiteral("s"));
    const QString region = QDir(m_program->writableFolder()).filePath(QStringLiteral("region.png"));
    QVERIFY(m_program->answerSaveDialog(region));
    QString why;
    QTRY_VERIFY(QFile::exists(region));
    QVERIFY2(samePixels(region, m_desktop.copy(QRect(from, to - QPoint(1, 1))), &why), qPrintable(why));

    // The overlay stays for more: F saves the undimmed whole.
    QVERIFY(X11TestSupport::isViewable(m_overlay));
    QVERIFY(m_program->waitForKeyboard(overlayOrToolbar()));
    m_program->key(QStringLiteral("f"));
    const QString whole = QDir(m_program->writableFolder()).filePath(QStringLiteral("whole.bmp"));
    QVERIFY(m_program->answerSaveDialog(whole));
    QTRY_VERIFY(QFile::exists(whole));
    QVERIFY2(samePixels(whole, m_desktop.copy(m_bounds), &why), qPrintable(why));

    QVERIFY(m_program->waitForKeyboard(overlayOrToolbar()));
    m_program->key(QStringLiteral("Escape"));
    QVERIFY(m_program->waitForGone(m_overlay));
    QVERIFY(X11TestSupport::isViewable(m_program->mainWindow()));
}

void tst_Capture::toolbarStaysAboveOverlay()
{
    if (!qEnvironmentVariableIsSet("TEST_WINDOW_MANAGER"))
        QSKIP("stacking is the window manager's business");
    QVERIFY(openOverlay());
    const unsigned long toolbar = m_program->waitForWindow(QStringLiteral("局部截图"));
    QVERIFY(toolbar);
    const auto above = [&] {
        const QList<unsigned long> order = X11TestSupport::stackingOrder();
        return order.indexOf(toolbar) > order.indexOf(m_overlay) && order.contains(m_overlay);
    };
    // The program maps the toolbar once more when the overlay first comes on
    // screen, so for a moment the toolbar may be gone from the stack: each
    // step waits until the condition holds, and QTRY_VERIFY, which would
    // fail on seeing it come and go, is not used.
    QVERIFY(QTest::qWaitFor(above, 15000));
    m_program->drag(QPoint(100, 100), QPoint(300, 250));
    QVERIFY(QTest::qWaitFor([&] { return X11TestSupport::isViewable(toolbar) && above(); }, 15000));
    // A click on the overlay outside the toolbar.
    m_program->drag(QPoint(50, 50), QPoint(50, 50));
    QVERIFY(QTest::qWaitFor([&] { return X11TestSupport::isViewable(toolbar) && above(); }, 15000));
}

void tst_Capture::failedSaveWarnsAndWritesNothing()
{
    QVERIFY(openOverlay());
    m_program->drag(QPoint(100, 100), QPoint(300, 250));
    QVERIFY(m_program->waitForKeyboard(overlayOrToolbar()));
    m_program->key(QStringLiteral("s"));
    const unsigned long dialog = m_program->waitForWindow(QStringLiteral("保存图像"));
    QVERIFY(dialog);
    const QString target = QDir(m_program->lockedFolder()).filePath(QStringLiteral("shot.png"));
    QVERIFY(m_program->submitFileName(dialog, target));

    const unsigned long warning = m_program->waitForWindow(QStringLiteral("保存图像"), dialog);
    QVERIFY2(warning, "no warning");
    QVERIFY(m_program->waitForKeyboard({warning}));
    m_program->key(QStringLiteral("Return"));
    QVERIFY(m_program->waitForGone(warning));
    // The dialog comes back for another try; the user gives up.
    const unsigned long again = m_program->waitForWindow(QStringLiteral("保存图像"));
    QVERIFY(again);
    QVERIFY(m_program->waitForKeyboard({again}));
    m_program->key(QStringLiteral("Escape"));
    QVERIFY(m_program->waitForGone(again));
    QVERIFY(!QFile::exists(target));
    QVERIFY(X11TestSupport::isViewable(m_overlay));
}

QTEST_MAIN(tst_Capture)
#include "tst_capture.moc"
