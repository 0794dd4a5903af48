#pragma once

#include <QIcon>

#include <functional>

/// An icon that \a make draws or reads when it is first shown, rather than
/// when it is set: for a window that holds buttons from its start but shows
/// them after its first frame, such as the overlay's toolbar. Never null.
QIcon deferredIcon(std::function<QIcon()> make);

/// The PNG picture \a fileName (a resource, named without a suffix or with
/// one) as a deferred icon, read as PNG: a reader left to find the format
/// loads every image plug-in first, and an icon from a name without a suffix
/// asks the MIME database, each a few milliseconds of a cold start.
QIcon pngIcon(const QString &fileName);
