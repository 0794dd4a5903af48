#include "LargeImage.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

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
    // Populated in one go: a fault per page costs more than the copy into it.
    // Huge pages would need fewer faults, but a fresh huge page is slow to
    // come by (compaction, and a virtual machine's host backing it), more so
    // than the same memory in small pages.
    void *data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (data == MAP_FAILED)
        return {};
    return QImage(static_cast<uchar *>(data), size.width(), size.height(), bytesPerLine, format, unmap,
                  new Mapping{data, bytes});
}

void prefault(const QImage &image)
{
#ifdef MADV_POPULATE_WRITE
    const auto page = uintptr_t(sysconf(_SC_PAGESIZE));
    const auto begin = uintptr_t(image.constBits()) & ~(page - 1);
    const auto end = uintptr_t(image.constBits()) + uintptr_t(image.sizeInBytes());
    // Older kernels refuse the advice; the pages then come when written.
    madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    Q_UNUSED(image);
#endif
}
