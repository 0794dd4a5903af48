#pragma once

#include <QRect>

#include <optional>

/// Where a box of \a size lies beside \a obstacle without covering it,
/// wholly within \a bounds: below it, above it, to its right or to its left,
/// the first of these that fits, lined up with the obstacle's right or bottom
/// edge as far as the bounds allow. None where none fits.
std::optional<QRect> placeBeside(const QRect &obstacle, const QSize &size, const QRect &bounds);
