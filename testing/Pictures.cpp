#include "Pictures.h"

#include <QProcess>

QImage patternPicture(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) * 64 + (y >> 8) * 16 + (x ^ y)) & 0xFF));
    }
    return image;
}

QString pixelDifference(const QString &fileName, const QImage &expected)
{
    const QImage a = QImage(fileName).convertToFormat(QImage::Format_RGB32);
    const QImage b = expected.convertToFormat(QImage::Format_RGB32);
    if (a.size() != b.size())
        return QString("%1: %2x%3, not %4x%5").arg(fileName).arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height());
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y))
                return QString("at %1,%2: %3, not %4").arg(x).arg(y).arg(a.pixel(x, y), 8, 16).arg(b.pixel(x, y), 8, 16);
        }
    }
    return {};
}

QImage printedPicture(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return QImage::fromData(process.readAllStandardOutput()).convertToFormat(QImage::Format_RGB32);
}
