#pragma once

#include <QImage>

/// Sets the alpha byte of every pixel of an RGB32 \a picture to 255, as the
/// format requires (X servers leave it undefined).
void makeOpaque(QImage &picture);

/// \a picture darkened as if a black layer of opacity \a alpha (0 to 255)
/// lay over it: each channel times (255 - alpha) / 255, rounded. The result
/// is opaque RGB32 with the picture's size and device-pixel ratio.
QImage dimmed(const QImage &picture, int alpha);
