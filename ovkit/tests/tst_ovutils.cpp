#include <OvUtils.h>

#include <QDesktopServices>
#include <QPainter>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWidget>

// Receives the URLs that QDesktopServices hands to a registered scheme.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class tst_OvUtils : public QObject
{
    Q_OBJECT

private slots:
    void textFileCodec_data();
    void textFileCodec();
    void moveCenterOnWidget_data();
    void moveCenterOnWidget();
    void moveCenterOnArea_data();
    void moveCenterOnArea();
    void drawImageStretchesToExactSize();
    void drawImageStartsFromFreshPalette();
    void drawImageAgainReplacesBackground();
    void openUrlHandsUrlToDesktop_data();
    void openUrlHandsUrlToDesktop();
};

void tst_OvUtils::textFileCodec_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("expected");

    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("single byte FF") << QByteArray("\xFF", 1) << 0;
    QTest::newRow("EF BB, too short for UTF-8") << QByteArray("\xEF\xBB", 2) << 0;
    QTest::newRow("FF FE") << QByteArray("\xFF\xFE", 2) << 3;
    QTest::newRow("FF FE 00 00") << QByteArray("\xFF\xFE\x00\x00", 4) << 3;
    QTest::newRow("FF FE then text") << QByteArray("\xFF\xFEh\x00i\x00", 6) << 3;
    QTest::newRow("FE FF") << QByteArray("\xFE\xFF", 2) << 4;
    QTest::newRow("EF BB BF") << QByteArray("\xEF\xBB\xBF", 3) << 1;
    QTest::newRow("EF BB BF then text") << QByteArray("\xEF\xBB\xBF" "abc") << 1;
    QTest::newRow("EF BB BE") << QByteArray("\xEF\xBB\xBE", 3) << 0;
    QTest::newRow("plain ASCII") << QByteArray("<?xml") << 0;
    QTest::newRow("FE alone then FF later") << QByteArray("\xFE\x00\xFF", 3) << 0;
}

void tst_OvUtils::textFileCodec()
{
    QFETCH(QByteArray, data);
    QFETCH(int, expected);
    QCOMPARE(ov::textFileCodec(data), expected);
}

void tst_OvUtils::moveCenterOnWidget_data()
{
    QTest::addColumn<QSize>("widgetSize");
    QTest::addColumn<QSize>("referenceSize");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("400x300 on 1024x768") << QSize(400, 300) << QSize(1024, 768) << QPoint(312, 234);
    QTest::newRow("401x301 on 1024x768") << QSize(401, 301) << QSize(1024, 768) << QPoint(311, 233);
    QTest::newRow("same size") << QSize(200, 100) << QSize(200, 100) << QPoint(0, 0);
    // Truncation toward zero: -3 / 2 is -1, not -2.
    QTest::newRow("3 pixels larger") << QSize(203, 103) << QSize(200, 100) << QPoint(-1, -1);
    QTest::newRow("much larger") << QSize(500, 400) << QSize(200, 100) << QPoint(-150, -150);
}

void tst_OvUtils::moveCenterOnWidget()
{
    QFETCH(QSize, widgetSize);
    QFETCH(QSize, referenceSize);
    QFETCH(QPoint, expected);

    QWidget reference;
    reference.resize(referenceSize);
    // The reference's own position must not enter the computation.
    reference.move(100, 50);
    QWidget *child = new QWidget(&reference);
    child->resize(widgetSize);
    ov::moveCenter(child, &reference);
    QCOMPARE(child->pos(), expected);
}

void tst_OvUtils::moveCenterOnArea_data()
{
    QTest::addColumn<QSize>("widgetSize");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("area at origin") << QSize(400, 300) << QRect(0, 0, 1024, 768) << QPoint(312, 234);
    QTest::newRow("second monitor to the right") << QSize(378, 70) << QRect(1024, 0, 1280, 1024) << QPoint(1475, 477);
    QTest::newRow("monitor left of the origin") << QSize(401, 301) << QRect(-1024, 0, 1024, 768) << QPoint(-713, 233);
    QTest::newRow("larger than the area") << QSize(203, 103) << QRect(10, 20, 200, 100) << QPoint(9, 19);
}

void tst_OvUtils::moveCenterOnArea()
{
    QFETCH(QSize, widgetSize);
    QFETCH(QRect, area);
    QFETCH(QPoint, expected);

    QWidget widget;
    widget.resize(widgetSize);
    ov::moveCenter(&widget, area);
    QCOMPARE(widget.pos(), expected);
}

static QPixmap quarteredPixmap(const QSize &size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::red);
    QPainter painter(&pixmap);
    painter.fillRect(QRect(QPoint(size.width() / 2, 0), QSize(size.width() - size.width() / 2, size.height())), Qt::blue);
    return pixmap;
}

void tst_OvUtils::drawImageStretchesToExactSize()
{
    QWidget widget;
    widget.resize(200, 60);
    ov::drawImage(&widget, quarteredPixmap(QSize(40, 30)), QSize(200, 60));

    QVERIFY(widget.autoFillBackground());
    const QBrush brush = widget.palette().brush(QPalette::Active, widget.backgroundRole());
    const QImage texture = brush.textureImage().isNull() ? brush.texture().toImage() : brush.textureImage();
    QCOMPARE(texture.size(), QSize(200, 60));
    QCOMPARE(QColor(texture.pixel(5, 30)), QColor(Qt::red));
    QCOMPARE(QColor(texture.pixel(195, 30)), QColor(Qt::blue));

    // And the widget really paints it.
    const QImage shown = widget.grab().toImage();
    QCOMPARE(QColor(shown.pixel(5, 5)), QColor(Qt::red));
    QCOMPARE(QColor(shown.pixel(195, 55)), QColor(Qt::blue));
}

void tst_OvUtils::drawImageStartsFromFreshPalette()
{
    QWidget widget;
    widget.resize(50, 50);
    QPalette custom = widget.palette();
    custom.setColor(QPalette::WindowText, QColor(1, 2, 3));
    custom.setColor(QPalette::Button, QColor(4, 5, 6));
    widget.setPalette(custom);

    ov::drawImage(&widget, quarteredPixmap(QSize(10, 10)), QSize(50, 50));

    const QPalette fresh;
    QCOMPARE(widget.palette().color(QPalette::WindowText), fresh.color(QPalette::WindowText));
    QCOMPARE(widget.palette().color(QPalette::Button), fresh.color(QPalette::Button));
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        QCOMPARE(widget.palette().brush(group, widget.backgroundRole()).style(), Qt::TexturePattern);
}

void tst_OvUtils::drawImageAgainReplacesBackground()
{
    QWidget widget;
    widget.resize(20, 20);
    QPixmap green(5, 5);
    green.fill(Qt::green);
    QPixmap yellow(5, 5);
    yellow.fill(Qt::yellow);

    ov::drawImage(&widget, green, widget.size());
    ov::drawImage(&widget, yellow, widget.size());
    QCOMPARE(QColor(widget.grab().toImage().pixel(10, 10)), QColor(Qt::yellow));
}

void tst_OvUtils::openUrlHandsUrlToDesktop_data()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("site address") << "ovtest://www.snaprect.example/";
    QTest::newRow("query with doubled ampersand") << "ovtest://host/ver.php?id=a&&ver=b";
    QTest::newRow("non-ASCII path") << "ovtest://host/广告?x=1";
}

void tst_OvUtils::openUrlHandsUrlToDesktop()
{
    QFETCH(QString, url);
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("ovtest"), &recorder, "open");
    ov::openUrl(url);
    QDesktopServices::unsetUrlHandler(QStringLiteral("ovtest"));
    QCOMPARE(recorder.urls.size(), 1);
    QCOMPARE(recorder.urls.first(), QUrl(url));
}

QTEST_MAIN(tst_OvUtils)
#include "tst_ovutils.moc"
