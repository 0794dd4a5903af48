#pragma once

#include <QtGlobal>

class QByteArray;

// A check of binary Qt resource files (rcc --binary), whose registration Qt
// guards by their header alone. Internal to the library.
namespace ov {

/// The largest size that a compressed entry of a resource file may claim to
/// unpack to.
constexpr qint64 maxUnpackedResourceSize = 64 * 1024 * 1024;

/// Whether \a data is a binary Qt resource (format versions 1 to 3) whose tree
/// Qt may walk: every entry, name and payload reached from the root lies
/// inside \a data, every entry has one parent, and no compressed payload
/// claims to unpack to more than maxUnpackedResourceSize.
bool isResourceData(const QByteArray &data);

} // namespace ov
