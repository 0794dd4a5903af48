#pragma once

#include <QImage>

/// A new image of \a size in the 32-bit \a format, uninitialised, for
/// pictures as large as the desktop. Where the system allows, all its memory
/// is there at once: filling tens of megabytes of fresh memory a page fault
/// at a time takes longer than the filling itself, most of all in virtual
/// machines. Null when the memory is not there.
QImage newLargeImage(const QSize &size, QImage::Format format);

/// Gives every page of \a image's memory a place now, in one go, rather than
/// a page fault at a time when it is first written. Where the system cannot,
/// nothing happens.
void prefault(const QImage &image);
