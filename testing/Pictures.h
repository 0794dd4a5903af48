#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

/// A picture in which every pixel tells its position: red and green count x
/// and y, blue mixes them, so a shifted, scaled or cropped copy never matches
/// by accident.
QImage patternPicture(const QSize &size);

/// Why the picture in \a fileName is not exactly \a expected (its size or the
/// first differing pixel); empty when it is.
QString pixelDifference(const QString &fileName, const QImage &expected);

/// What \a program printed on its standard output, read as a picture in
/// QImage::Format_RGB32 (the screen from grim, the clipboard from xclip or
/// wl-paste); null when it printed none.
QImage printedPicture(const QString &program, const QStringList &arguments);
