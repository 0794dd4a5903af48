#include "PixelOps.h"

#include "platform/LargeImage.h"

#include <cstdint>

namespace {

// x * a / 255 for the four bytes of x at once, rounded (two bytes per half).
inline uint32_t multiplyBytes(uint32_t x, uint32_t a)
{
    uint32_t redBlue = (x & 0xff00ff) * a;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint32_t alphaGreen = ((x >> 8) & 0xff00ff) * a;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return alphaGreen | redBlue;
}

} // namespace

void makeOpaque(QImage &picture)
{
    const qsizetype count = picture.sizeInBytes() / 4;
    auto *pixel = reinterpret_cast<uint32_t *>(picture.bits());
    for (qsizetype i = 0; i < count; ++i)
        pixel[i] |= 0xff000000u;
}

QImage dimmed(const QImage &picture, int alpha)
{
    const QImage source = picture.format() == QImage::Format_RGB32 ? picture
                                                                   : picture.convertToFormat(QImage::Format_RGB32);
    QImage result = newLargeImage(source.size(), QImage::Format_RGB32);
    if (result.isNull())
        return result;
    result.setDevicePixelRatio(picture.devicePixelRatio());
    const uint32_t keep = uint32_t(255 - qBound(0, alpha, 255));
    const int width = source.width();
    for (int y = 0; y < source.height(); ++y) {
        const auto *in = reinterpret_cast<const uint32_t *>(source.constScanLine(y));
        auto *out = reinterpret_cast<uint32_t *>(result.scanLine(y));
        for (int x = 0; x < width; ++x)
            out[x] = multiplyBytes(in[x], keep) | 0xff000000u;
    }
    return result;
}
