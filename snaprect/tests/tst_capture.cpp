#include "SnapRectDriver.h"

#include <X11TestSupport.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

// The real program, driven through the X server, on the layout that CTest
// gives this run (one or two monitors, with or without a window manager).
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

    QImage m_desktop;
    QRect m_virtual;
    std::unique_ptr<SnapRectDriver> m_program;
    unsigned long m_overlay = 0;
};

void tst_Capture::initTestCase()
{
    m_virtual = QGuiApplication::primaryScreen()->virtualGeometry();
    QCOMPARE(QGuiApplication::screens().size(), qEnvironmentVariableIntValue("EXPECTED_SCREENS"));
    m_desktop = X11TestSupport::patternPicture(m_virtual.size());
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
    for (unsigned long toolbar : X11TestSupport::findWindows(QStringLiteral("局部截图")))
        windows.append(toolbar);
    return windows;
}

void tst_Capture::fullScreenSavesDesktopWithoutMainWindow()
{
    m_program->clickMainButton(QStringLiteral("btnFullScreen"));
    const QString path = QDir(m_program->writableFolder()).filePath(QStringLiteral("full"));
    QVERIFY(m_program->answerSaveDialog(path));
    QString why;
    QTRY_VERIFY(QFile::exists(path + QStringLiteral(".png")));
    QVERIFY2(samePixels(path + QStringLiteral(".png"), m_desktop, &why), qPrintable(why));
    QVERIFY(X11TestSupport::isViewable(m_program->mainWindow()));
}

void tst_Capture::regionSaveAndWholeScreenFromOverlay()
{
    QVERIFY(openOverlay());
    QTRY_COMPARE(X11TestSupport::rootGeometry(m_overlay), m_virtual);

    // Across the seam on two monitors.
    const QPoint from(m_virtual.width() / 2 - 150, 200), to(m_virtual.width() / 2 + 170, 420);
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
    QVERIFY2(samePixels(whole, m_desktop, &why), qPrintable(why));

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
    QTRY_VERIFY_WITH_TIMEOUT(above(), 15000);
    m_program->drag(QPoint(100, 100), QPoint(300, 250));
    QTRY_VERIFY_WITH_TIMEOUT(X11TestSupport::isViewable(toolbar), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(above(), 15000);
    // A click on the overlay outside the toolbar.
    m_program->drag(QPoint(50, 50), QPoint(50, 50));
    QTRY_VERIFY_WITH_TIMEOUT(above(), 15000);
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
