#pragma once

#include <QImage>

/// Sets the alpha byte of every pixel of an RGB32 \a picture to 255, as the
/// format requires (X servers leave it undefined).
void makeOpaque(QImage &picture);
