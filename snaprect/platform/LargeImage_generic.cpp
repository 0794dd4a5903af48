#include "LargeImage.h"

QImage newLargeImage(const QSize &size, QImage::Format format)
{
    return QImage(size, format);
}

void prefault(const QImage &)
{
}
