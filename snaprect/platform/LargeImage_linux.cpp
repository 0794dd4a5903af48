#include "LargeImage.h"

#include <sys/mman.h>

namespace {

struct Mapping {
    void *data;
    size_t size;
};

void unmap(void *info)
{
    auto *mapping = static_cast<Mapping *>(info);
    munmap(mapping->data, mapping->size);
    delete mapping;
}

} // namespace

QImage newLargeImage(const QSize &size, QImage::Format format)
{
    if (size.isEmpty())
        return {};
    const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
    const size_t bytes = size_t(bytesPerLine) * size_t(size.height());
    void *data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED)
        return {};
    // Only a hint: without transparent huge pages it does nothing.
    madvise(data, bytes, MADV_HUGEPAGE);
    return QImage(static_cast<uchar *>(data), size.width(), size.height(), bytesPerLine, format, unmap,
                  new Mapping{data, bytes});
}
