#include "SnapRectDriver.h"
#include "WaylandDriver.h"

#include <WaylandTestSupport.h>
#include <X11TestSupport.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace WaylandTestSupport;

namespace {
const QString mainTitle = QStringLiteral("Framzel");
const QString overlayTitle = QStringLiteral("Framzel－局部截图");
// What the wlroots portal leaves behind while it works.
const QString portalScratchFile = QStringLiteral("/tmp/out.png");
} // namespace

// The real program on a real headless sway with the desktop portal, on the
// layout that CTest gives this run; the outputs show a known picture, and
// every saved file must hold exactly its pixels.
class tst_WaylandCapture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void fullScreenSavesDesktopWithoutMainWindow();
    void regionSaveAcrossOutputsAndWholeScreen();
    void refusedPortalBringsMainWindowBackWithMessage();

private:
    QList<SwayWindow> visibleWindows(const QString &title) const;

    QRect m_layout;
    qreal m_scale = 1;
    QImage m_desktop;
    QTemporaryDir m_pictures;
    std::unique_ptr<WaylandDriver> m_program;
};

void tst_WaylandCapture::initTestCase()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), qEnvironmentVariableIntValue("EXPECTED_SCREENS"));
    for (const QScreen *screen : screens)
        m_layout |= screen->geometry();
    // One scale for every output, so that each output's share of the picture
    // is exactly its own pixels.
    m_scale = expectedScale();
    // Qt 6.4 rounds a fractional output scale up; the picture has the
    // output's own.
    for (const QScreen *screen : screens)
        QCOMPARE(screen->devicePixelRatio(), std::ceil(m_scale));
    m_desktop = showOnOutputs(X11TestSupport::patternPicture(layoutPixels(m_scale)), m_scale, m_pictures.path());
    QVERIFY(!m_desktop.isNull());
}

void tst_WaylandCapture::init()
{
    m_program = std::make_unique<WaylandDriver>();
    QVERIFY(m_program->start(m_layout.size()));
}

QList<SwayWindow> tst_WaylandCapture::visibleWindows(const QString &title) const
{
    QList<SwayWindow> found = windows(title);
    found.removeIf([](const SwayWindow &window) { return !window.visible; });
    return found;
}

void tst_WaylandCapture::fullScreenSavesDesktopWithoutMainWindow()
{
    QVERIFY(m_program->clickMainButton(QStringLiteral("btnFullScreen")));
    const QString path = QDir(m_program->writableFolder()).filePath(QStringLiteral("full"));
    QVERIFY(m_program->answerSaveDialog(path));
    QString why;
    QTRY_VERIFY(QFile::exists(path + QStringLiteral(".png")));
    QVERIFY2(samePixels(path + QStringLiteral(".png"), m_desktop, &why), qPrintable(why));
    QCOMPARE(visibleWindows(mainTitle).size(), 1);
    QVERIFY(!QFile::exists(portalScratchFile));
}

void tst_WaylandCapture::regionSaveAcrossOutputsAndWholeScreen()
{
    QVERIFY(m_program->clickMainButton(QStringLiteral("btnSnapRect")));
    // One full-screen window on each output.
    const int outputs = int(QGuiApplication::screens().size());
    QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(overlayTitle).size(), outputs, 15000);
    QSet<QString> covered;
    for (const SwayWindow &window : visibleWindows(overlayTitle)) {
        QVERIFY(window.fullScreen);
        covered.insert(window.output);
    }
    QCOMPARE(covered.size(), outputs);

    // Across the seam on two outputs.
    const QPoint from(m_layout.width() / 2 - 150, 200), to(m_layout.width() / 2 + 170, 420);
    QVERIFY(m_program->pointer().drag(from, to));
    QVERIFY(key(QStringLiteral("s")));
    const QString region = QDir(m_program->writableFolder()).filePath(QStringLiteral("region.png"));
    QVERIFY(m_program->answerSaveDialog(region));
    QString why;
    QTRY_VERIFY(QFile::exists(region));
    QVERIFY2(samePixels(region, m_desktop.copy(scaledRect(QRect(from, to - QPoint(1, 1)), m_scale)), &why),
             qPrintable(why));

    // The overlay stays for more: F saves the undimmed whole.
    QCOMPARE(visibleWindows(overlayTitle).size(), outputs);
    QVERIFY(key(QStringLiteral("f")));
    const QString whole = QDir(m_program->writableFolder()).filePath(QStringLiteral("whole.bmp"));
    QVERIFY(m_program->answerSaveDialog(whole));
    QTRY_VERIFY(QFile::exists(whole));
    QVERIFY2(samePixels(whole, m_desktop, &why), qPrintable(why));

    QVERIFY(key(QStringLiteral("Escape")));
    QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(overlayTitle).size(), 0, 15000);
    QCOMPARE(visibleWindows(mainTitle).size(), 1);
    QVERIFY(!QFile::exists(portalScratchFile));
}

void tst_WaylandCapture::refusedPortalBringsMainWindowBackWithMessage()
{
    for (const QString &button : {QStringLiteral("btnFullScreen"), QStringLiteral("btnSnapRect")}) {
        QVERIFY(m_program->clickMainButton(button));
        // The main window and, over it, the message, both titled "Framzel".
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(mainTitle).size(), 2, 15000);
        QVERIFY(key(QStringLiteral("Return")));
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(mainTitle).size(), 1, 15000);
        QVERIFY(visibleWindows(overlayTitle).isEmpty());
        QVERIFY(visibleWindows(QStringLiteral("保存图像")).isEmpty());
    }
}

QTEST_MAIN(tst_WaylandCapture)
#include "tst_waylandcapture.moc"
