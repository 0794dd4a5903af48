#pragma once

#include <QImage>
#include <QString>

/// A picture in which every pixel tells its position: red and green count x
/// and y, blue mixes them, so a shifted, scaled or cropped copy never matches
/// by accident.
QImage patternPicture(const QSize &size);

/// Why the picture in \a fileName is not exactly \a expected (its size or the
/// first differing pixel); empty when it is.
QString pixelDifference(const QString &fileName, const QImage &expected);
