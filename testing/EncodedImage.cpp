#include "EncodedImage.h"

#include <QBuffer>
#include <QImage>

QByteArray encodedImage(const QColor &color, const char *format, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}
