#include "platform/PortalScreenGrabber.h"

#include <WaylandTestSupport.h>
#include <X11TestSupport.h>

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace WaylandTestSupport;

namespace {
// Where the wlroots portal leaves its picture.
const QString portalScratchFile = QStringLiteral("/tmp/out.png");

// The picture's pixels alone, whatever scale it carries.
QImage pixelsOf(const QPixmap &picture)
{
    QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(1);
    return image;
}
}

// The portal back end against the real desktop portal of a headless sway,
// whose outputs show a known picture.
class tst_PortalGrabber : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void requestPath_data();
    void requestPath();
    void fitToDesktop_data();
    void fitToDesktop();
    void grabIsWhatTheOutputsShow();
    void synchronousGrabWaitsForTheAnswer();

private:
    QRect m_layout;
    qreal m_scale = 1;
    QImage m_desktop;
    QTemporaryDir m_pictures;
};

void tst_PortalGrabber::initTestCase()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QVERIFY(!screens.isEmpty());
    for (const QScreen *screen : screens)
        m_layout |= screen->geometry();
    m_scale = expectedScale();
    m_desktop = showOnOutputs(X11TestSupport::patternPicture(layoutPixels(m_scale)), m_scale, m_pictures.path());
    QVERIFY(!m_desktop.isNull());
}

void tst_PortalGrabber::requestPath_data()
{
    QTest::addColumn<QString>("uniqueName");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("path");

    QTest::newRow("colon dropped, dot as underscore")
        << ":1.42" << "snaprect1" << "/org/freedesktop/portal/desktop/request/1_42/snaprect1";
    QTest::newRow("several dots") << ":12.3456" << "t" << "/org/freedesktop/portal/desktop/request/12_3456/t";
}

void tst_PortalGrabber::requestPath()
{
    QFETCH(QString, uniqueName);
    QFETCH(QString, token);
    QFETCH(QString, path);
    QCOMPARE(PortalScreenGrabber::requestPath(uniqueName, token), path);
}

void tst_PortalGrabber::fitToDesktop_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("desktop");
    QTest::addColumn<qreal>("scale");

    QTest::newRow("scale 1") << QSize(1920, 1080) << QRect(0, 0, 1920, 1080) << 1.0;
    QTest::newRow("scale 2") << QSize(1920, 1080) << QRect(0, 0, 960, 540) << 2.0;
    QTest::newRow("scale 1.5, which Qt reports as 2") << QSize(2880, 1620) << QRect(0, 0, 1920, 1080) << 1.5;
    QTest::newRow("two outputs, desktop not at the origin")
        << QSize(5760, 2160) << QRect(-960, 0, 2880, 1080) << 2.0;
}

void tst_PortalGrabber::fitToDesktop()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, desktop);
    QFETCH(qreal, scale);

    QImage image(picture, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QPixmap fitted = PortalScreenGrabber::fitToDesktop(image, desktop);
    QCOMPARE(fitted.devicePixelRatio(), scale);
    QCOMPARE(fitted.size(), picture);
    QCOMPARE(fitted.deviceIndependentSize(), QSizeF(desktop.size()));
}

void tst_PortalGrabber::grabIsWhatTheOutputsShow()
{
    PortalScreenGrabber grabber;
    QCOMPARE(grabber.desktopGeometry(), m_layout);
    QVERIFY(grabber.needsWindowPerScreen());

    QObject context;
    int answers = 0;
    QPixmap picture;
    QString failure = QStringLiteral("none yet");
    grabber.requestDesktop(&context, [&](const QPixmap &p, const QString &f) {
        ++answers;
        picture = p;
        failure = f;
    });
    // The answer comes through the event loop, never at once.
    QCOMPARE(answers, 0);
    QTRY_COMPARE_WITH_TIMEOUT(answers, 1, 30000);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(picture.devicePixelRatio(), m_scale);
    QCOMPARE(pixelsOf(picture), m_desktop);
    // Each screen's share of the picture follows from the picture, whatever
    // ratio Qt reports for the screen.
    for (const QScreen *screen : QGuiApplication::screens()) {
        QCOMPARE(grabber.pixelsPerUnit(screen), m_scale);
        QCOMPARE(grabber.screenArea(screen), scaledRect(screen->geometry().translated(-m_layout.topLeft()), m_scale));
    }
    // Nothing of the picture stays in the scratch folder.
    QVERIFY(!QFile::exists(portalScratchFile));
    QTest::qWait(0);
    QCOMPARE(answers, 1);
}

void tst_PortalGrabber::synchronousGrabWaitsForTheAnswer()
{
    PortalScreenGrabber grabber;
    const QPixmap picture = grabber.grabDesktop();
    QCOMPARE(pixelsOf(picture), m_desktop);
    QVERIFY(!QFile::exists(portalScratchFile));
}

QTEST_MAIN(tst_PortalGrabber)
#include "tst_portalgrabber.moc"
