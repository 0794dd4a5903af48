#pragma once

#include <QImage>

/// A new image of \a size in the 32-bit \a format, uninitialised, for
/// pictures as large as the desktop. Where the system allows, its memory
/// comes in huge pages: filling tens of megabytes of fresh memory then takes
/// a few hundred page faults instead of many thousands, which matters most in
/// virtual machines. Null when the memory is not there.
QImage newLargeImage(const QSize &size, QImage::Format format);
