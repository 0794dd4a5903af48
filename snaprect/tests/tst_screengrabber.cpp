#include "platform/ScreenGrabber.h"
#include "platform/XcbScreenGrabber.h"

#include <X11TestSupport.h>

#include <QGuiApplication>
#include <QRegularExpression>
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

// The X11 back end against the X server that CTest gives this run: the
// layout is in MONITOR_LAYOUT (as given to the server, empty for one plain
// screen), and SHARED_MEMORY says whether the server offers MIT-SHM.
class tst_ScreenGrabber : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void grabsTheRootPicture_data();
    void grabsTheRootPicture();
    void programUsesTheX11BackEndUnlessToldOtherwise();
    void screenAreasAreTheMonitors();
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
    // "WxH+X+Y ..." as the server was given them; xrr-monitors names them
    // M1, M2, ... A plain server has one monitor over the whole screen.
    const QStringList layout = qEnvironmentVariable("MONITOR_LAYOUT").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QMap<QString, QRect> expected;
    QRect bounds;
    static const QRegularExpression geometry(QStringLiteral("^(\\d+)x(\\d+)\\+(\\d+)\\+(\\d+)$"));
    for (int i = 0; i < layout.size(); ++i) {
        const QRegularExpressionMatch m = geometry.match(layout.at(i));
        QVERIFY(m.hasMatch());
        const QRect rect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
        expected.insert(QStringLiteral("M%1").arg(i + 1), rect);
        bounds |= rect;
    }
    const QList<QScreen *> screens = QGuiApplication::screens();
    const std::unique_ptr<XcbScreenGrabber> grabber = XcbScreenGrabber::create(XcbScreenGrabber::Transfer::SharedMemory);
    if (layout.isEmpty()) {
        QCOMPARE(screens.size(), 1);
        QCOMPARE(grabber->screenArea(screens.first()), QRect(QPoint(0, 0), X11TestSupport::screenSize()));
        return;
    }
    QCOMPARE(screens.size(), layout.size());
    for (const QScreen *screen : screens) {
        QVERIFY2(expected.contains(screen->name()), qPrintable(screen->name()));
        QCOMPARE(grabber->screenArea(screen), expected.value(screen->name()).translated(-bounds.topLeft()));
    }
    QCOMPARE(grabber->grabDesktop().size(), bounds.size());
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
