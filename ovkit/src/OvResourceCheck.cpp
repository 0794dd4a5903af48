#include "OvResourceCheck.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <limits>

namespace {

/// The size that the zstd frame of \a size bytes at \a offset of \a data
/// unpacks to, as its header states it; -1 when it states none or is no frame
/// of today's format. The zstd library also unpacks frames of its old
/// formats, whose headers may claim any size; rcc writes none of them.
qint64 zstdContentSize(const QByteArray &data, qint64 offset, qint64 size)
{
    // The longest header: magic (4 bytes), descriptor (1), window (1),
    // dictionary (4), content size (8, little-endian).
    const QByteArray frame = data.mid(offset, qMin<qint64>(size, 18));
    if (frame.size() < 5 || !frame.startsWith("\x28\xb5\x2f\xfd"))
        return -1;
    static constexpr int dictionarySizes[] = {0, 1, 2, 4};
    const int descriptor = quint8(frame.at(4));
    const bool singleSegment = descriptor & 0x20;
    const int sizeBytes = descriptor >> 6 ? 1 << (descriptor >> 6) : int(singleSegment);
    const int start = 5 + !singleSegment + dictionarySizes[descriptor & 3];
    if (sizeBytes == 0 || frame.size() < start + sizeBytes)
        return -1;
    quint64 value = 0;
    for (int i = sizeBytes - 1; i >= 0; --i)
        value = value << 8 | quint8(frame.at(start + i));
    if (sizeBytes == 2)
        value += 256;
    return qint64(qMin<quint64>(value, std::numeric_limits<qint64>::max()));
}

} // namespace

namespace ov {

bool isResourceData(const QByteArray &data)
{
    const auto fits = [&data](qint64 offset, qint64 size) {
        return offset >= 0 && size >= 0 && offset + size <= data.size();
    };
    // A big-endian number at a place that fits() has vouched for.
    const auto number = [&data](qint64 offset, int bytes) {
        qint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | quint8(data.at(offset + i));
        return value;
    };
    // The fixed head: magic, version, then where the tree of entries, the
    // payloads and the names start; version 3 adds four bytes of flags.
    if (!fits(0, 24) || !data.startsWith("qres"))
        return false;
    const qint64 version = number(4, 4);
    const qint64 tree = number(8, 4);
    const qint64 payloads = number(12, 4);
    const qint64 names = number(16, 4);
    if (version < 1 || version > 3)
        return false;
    // A name: its length in UTF-16 units (2 bytes), a hash (4), the units.
    // One that is empty, "." or ".." or holds a "/" would lead a path back
    // into a folder it has passed, for ever.
    const auto isSoundName = [&](qint64 name) {
        if (!fits(name, 6) || !fits(name + 6, 2 * number(name, 2)))
            return false;
        QString text;
        for (qint64 unit = 0; unit < number(name, 2); ++unit)
            text += QChar(char16_t(number(name + 6 + 2 * unit, 2)));
        return !text.isEmpty() && text != QLatin1String(".") && text != QLatin1String("..")
            && !text.contains(QLatin1Char('/'));
    };
    // An entry: name offset (4 bytes), flags (2), then for a folder the count
    // and index of its children (4 + 4), for a file its locale (2 + 2) and
    // payload offset (4); from version 2 on a time stamp (8) follows.
    const qint64 entrySize = version == 1 ? 14 : 22;
    enum Flag { Zlib = 0x01, Folder = 0x02, Zstd = 0x04 };

    // Entry 0 is the root folder. Every entry reached from it is checked once;
    // one reached twice would make the walk endless or quadratic.
    QList<qint64> pending{0};
    QSet<qint64> reached{0};
    while (!pending.isEmpty()) {
        const qint64 node = pending.takeLast();
        const qint64 entry = tree + node * entrySize;
        const bool root = node == 0;
        if (!fits(entry, entrySize))
            return false;
        const qint64 flags = number(entry + 4, 2);
        // Qt never reads the root's name.
        if (!root && !isSoundName(names + number(entry, 4)))
            return false;
        if (flags & Folder) {
            const qint64 count = number(entry + 6, 4);
            const qint64 first = number(entry + 10, 4);
            if (!fits(tree + first * entrySize, count * entrySize))
                return false;
            for (qint64 child = first; child < first + count; ++child) {
                if (reached.contains(child))
                    return false;
                reached.insert(child);
                pending.append(child);
            }
            continue;
        }
        if (root)
            return false;
        // A payload: its size (4 bytes), then its bytes; a zlib one starts
        // with the size it unpacks to, a zstd one is a zstd frame.
        const qint64 payload = payloads + number(entry + 10, 4);
        if (!fits(payload, 4) || !fits(payload + 4, number(payload, 4)))
            return false;
        const qint64 size = number(payload, 4);
        if ((flags & Zlib) && (size < 4 || number(payload + 4, 4) > maxUnpackedResourceSize))
            return false;
        if (flags & Zstd) {
            const qint64 unpacked = zstdContentSize(data, payload + 4, size);
            if (unpacked < 0 || unpacked > maxUnpackedResourceSize)
                return false;
        }
    }
    return true;
}

} // namespace ov
