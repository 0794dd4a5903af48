#include "PixelOps.h"

#include <QPainter>
#include <QTest>

#include <algorithm>

namespace {

// Every level of every channel: red runs along x, green along y, blue along
// both the other way.
QImage allLevels()
{
    QImage picture(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x)
            picture.setPixel(x, y, qRgb(x, y, 255 - ((x + y) & 0xff)));
    }
    return picture;
}

int largestChannelDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

} // namespace

class tst_PixelOps : public QObject
{
    Q_OBJECT

private slots:
    void dimmedIsAPainterFillWithinOneLevel_data();
    void dimmedIsAPainterFillWithinOneLevel();
    void dimmedKeepsSizeAndRatioAndIsOpaque();
    void dimmedReadsOtherFormats();
    void makeOpaqueSetsOnlyTheAlphaByte();
};

void tst_PixelOps::dimmedIsAPainterFillWithinOneLevel_data()
{
    QTest::addColumn<int>("alpha");
    QTest::newRow("the overlay's shade, 100") << 100;
    QTest::newRow("no shade, 0") << 0;
    QTest::newRow("faintest shade, 1") << 1;
    QTest::newRow("half, 128") << 128;
    QTest::newRow("nearly black, 254") << 254;
    QTest::newRow("black, 255") << 255;
}

void tst_PixelOps::dimmedIsAPainterFillWithinOneLevel()
{
    QFETCH(int, alpha);
    const QImage picture = allLevels();
    QImage painted = picture.copy();
    QPainter(&painted).fillRect(painted.rect(), QColor(0, 0, 0, alpha));

    const QImage result = dimmed(picture, alpha);
    QCOMPARE(result.size(), picture.size());
    QVERIFY(largestChannelDifference(result, painted) <= 1);
    if (alpha == 0)
        QCOMPARE(result, picture);
    if (alpha == 255) {
        QImage black(picture.size(), QImage::Format_RGB32);
        black.fill(Qt::black);
        QCOMPARE(result, black);
    }
}

void tst_PixelOps::dimmedKeepsSizeAndRatioAndIsOpaque()
{
    QImage picture = allLevels().copy(0, 0, 131, 77);
    picture.setDevicePixelRatio(1.5);
    const QImage before = picture.copy();
    const QImage result = dimmed(picture, 100);
    QCOMPARE(result.size(), QSize(131, 77));
    QCOMPARE(result.devicePixelRatio(), 1.5);
    QCOMPARE(result.format(), QImage::Format_RGB32);
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x)
            QCOMPARE(qAlpha(reinterpret_cast<const QRgb *>(result.constScanLine(y))[x]), 255);
    }
    // The source is left as it was.
    QCOMPARE(picture, before);
}

void tst_PixelOps::dimmedReadsOtherFormats()
{
    const QImage picture = allLevels();
    const QImage expected = dimmed(picture, 100);
    QCOMPARE(dimmed(picture.convertToFormat(QImage::Format_ARGB32_Premultiplied), 100), expected);
    QCOMPARE(dimmed(picture.convertToFormat(QImage::Format_RGB888), 100), expected);
}

void tst_PixelOps::makeOpaqueSetsOnlyTheAlphaByte()
{
    QImage picture(3, 2, QImage::Format_RGB32);
    const QRgb raw[] = {0x00123456, 0x7fabcdef, 0xff000000, 0x00ffffff, 0x01020304, 0x00000000};
    for (int i = 0; i < 6; ++i)
        reinterpret_cast<QRgb *>(picture.scanLine(i / 3))[i % 3] = raw[i];
    makeOpaque(picture);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(reinterpret_cast<const QRgb *>(picture.constScanLine(i / 3))[i % 3], raw[i] | 0xff000000u);
}

QTEST_GUILESS_MAIN(tst_PixelOps)
#include "tst_pixelops.moc"
