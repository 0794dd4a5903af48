#include "platform/ScreenGrabber.h"
#include "platform/XcbScreenGrabber.h"

#include <X11TestSupport.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

namespace {

// The picture's pixels, whatever its device-pixel ratio.
QImage pixels(const QPixmap &picture)
{
    QImage image = picture.toImage();
    image.setDevicePixelRatio(1);
    return image;
}

} // namespace

// The X11 back end against the X server that CTest gives this run, on its
// monitors; SHARED_MEMORY says whether the server offers MIT-SHM, and
// WINDOW_PER_SCREEN whether Qt's scaled coordinates leave gaps between them.
class tst_ScreenGrabber : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void grabsTheRootPicture_data();
    void grabsTheRootPicture();
    void programUsesTheX11BackEndUnlessToldOtherwise();
    void screenAreasAreTheMonitors();
    void windowPerScreenWhereQtLeavesGaps();
    void reusedMemoryHoldsTheNewPicture();
    void twoPicturesAtOnceStayApart();

private:
    QImage m_desktop;
};

void tst_ScreenGrabber::initTestCase()
{
    m_desktop = X11TestSupport::patternPicture(X11TestSupport::screenSize());
    X11TestSupport::setRootPicture(m_desktop);
}

void tst_ScreenGrabber::grabsTheRootPicture_data()
{
    QTest::addColumn<XcbScreenGrabber::Transfer>("transfer");
    QTest::addColumn<bool>("shared");

    const bool serverShares = qEnvironmentVariableIntValue("SHARED_MEMORY") == 1;
    QTest::newRow("shared memory where the server offers it") << XcbScreenGrabber::Transfer::SharedMemory
                                                              << serverShares;
    QTest::newRow("over the connection") << XcbScreenGrabber::Transfer::Connection << false;
}

void tst_ScreenGrabber::grabsTheRootPicture()
{
    QFETCH(XcbScreenGrabber::Transfer, transfer);
    QFETCH(bool, shared);

    const std::unique_ptr<XcbScreenGrabber> grabber = XcbScreenGrabber::create(transfer);
    QVERIFY(grabber);
    for (int round = 0; round < 2; ++round) {
        const QPixmap picture = grabber->grabDesktop();
        QCOMPARE(grabber->lastGrabShared(), shared);
        QCOMPARE(picture.devicePixelRatio(), QGuiApplication::primaryScreen()->devicePixelRatio());
        QCOMPARE(picture.toImage().format(), QImage::Format_RGB32);
        QCOMPARE(pixels(picture), m_desktop);
    }
}

void tst_ScreenGrabber::programUsesTheX11BackEndUnlessToldOtherwise()
{
    const bool x11 = dynamic_cast<XcbScreenGrabber *>(&ScreenGrabber::instance()) != nullptr;
    QCOMPARE(x11, qgetenv("SNAPRECT_GRABBER") != "qt");
}

void tst_ScreenGrabber::screenAreasAreTheMonitors()
{
    // xrr-monitors names the monitors M1, M2, ...; a plain server has one
    // monitor over the whole screen, named after its output.
    const QList<QRect> monitors = X11TestSupport::monitorLayout();
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), monitors.size());
    const QRect bounds = X11TestSupport::monitorBounds();
    const std::unique_ptr<XcbScreenGrabber> grabber = XcbScreenGrabber::create(XcbScreenGrabber::Transfer::SharedMemory);
    for (const QScreen *screen : screens) {
        const int index = monitors.size() == 1 ? 0 : screen->name().mid(1).toInt() - 1;
        QVERIFY2(index >= 0 && index < monitors.size(), qPrintable(screen->name()));
        QCOMPARE(grabber->screenArea(screen), monitors.at(index).translated(-bounds.topLeft()));
    }
    QCOMPARE(grabber->grabDesktop().size(), bounds.size());
}

void tst_ScreenGrabber::windowPerScreenWhereQtLeavesGaps()
{
    const std::unique_ptr<XcbScreenGrabber> grabber = XcbScreenGrabber::create(XcbScreenGrabber::Transfer::SharedMemory);
    QCOMPARE(grabber->needsWindowPerScreen(), qEnvironmentVariableIntValue("WINDOW_PER_SCREEN") == 1);
}

void tst_ScreenGrabber::reusedMemoryHoldsTheNewPicture()
{
    const std::unique_ptr<XcbScreenGrabber> grabber = XcbScreenGrabber::create(XcbScreenGrabber::Transfer::SharedMemory);
    QCOMPARE(pixels(grabber->grabDesktop()), m_desktop);
    // The first picture is gone; the next grab may write where it lay.
    const QImage changed = m_desktop.mirrored(true, true);
    X11TestSupport::setRootPicture(changed);
    QCOMPARE(pixels(grabber->grabDesktop()), changed);
    X11TestSupport::setRootPicture(m_desktop);
}

void tst_ScreenGrabber::twoPicturesAtOnceStayApart()
{
    const std::unique_ptr<XcbScreenGrabber> grabber = XcbScreenGrabber::create(XcbScreenGrabber::Transfer::SharedMemory);
    const QPixmap first = grabber->grabDesktop();
    const QImage changed = m_desktop.mirrored(true, false);
    X11TestSupport::setRootPicture(changed);
    const QPixmap second = grabber->grabDesktop();
    X11TestSupport::setRootPicture(m_desktop);
    const QPixmap third = grabber->grabDesktop();
    QCOMPARE(pixels(first), m_desktop);
    QCOMPARE(pixels(second), changed);
    QCOMPARE(pixels(third), m_desktop);
}

QTEST_MAIN(tst_ScreenGrabber)
#include "tst_screengrabber.moc"
