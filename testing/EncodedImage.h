#pragma once

#include <QByteArray>
#include <QColor>
#include <QSize>

/// The bytes of a picture of one colour in an image file format ("PNG",
/// "JPEG", ...), as a server would send it.
QByteArray encodedImage(const QColor &color, const char *format = "PNG", const QSize &size = QSize(20, 10));
