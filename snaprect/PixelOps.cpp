#include "PixelOps.h"

#include <cstdint>

void makeOpaque(QImage &picture)
{
    const qsizetype count = picture.sizeInBytes() / 4;
    auto *pixel = reinterpret_cast<uint32_t *>(picture.bits());
    for (qsizetype i = 0; i < count; ++i)
        pixel[i] |= 0xff000000u;
}
