#pragma once

#include "ovkit_export.h"

class QByteArray;
class QPixmap;
class QRect;
class QSize;
class QString;
class QWidget;

namespace ov {

/// Byte-order marks that textFileCodec() recognises.
enum TextFileCodec {
    NoByteOrderMark = 0,
    Utf8ByteOrderMark = 1,
    Utf16LittleEndianByteOrderMark = 3,
    Utf16BigEndianByteOrderMark = 4
};

/// Returns the code of the byte-order mark at the start of \a data (one of
/// TextFileCodec): 3 for FF FE, 4 for FE FF, 1 for EF BB BF, otherwise 0.
/// Looks at the first three bytes at most.
OVKIT_EXPORT int textFileCodec(const QByteArray &data);

/// Hands \a url to the user's default handler (web browser, or mail program
/// for "mailto:"). Failure is not reported.
OVKIT_EXPORT void openUrl(const QString &url);

/// Moves \a widget so that it is centred on a widget of the size of
/// \a reference, measured from the origin: only the two sizes count, as for a
/// child widget inside its parent. Both pointers must be valid.
OVKIT_EXPORT void moveCenter(QWidget *widget, QWidget *reference);

/// Moves \a widget so that it is centred inside \a area, given in the
/// coordinates that widget->move() takes (for a top-level window, the
/// desktop's coordinates, e.g. a screen's geometry).
OVKIT_EXPORT void moveCenter(QWidget *widget, const QRect &area);

/// Makes \a pixmap, stretched smoothly to exactly \a size, the auto-filled
/// background of \a widget. The widget gets a fresh default palette in which
/// only its background role is changed.
OVKIT_EXPORT void drawImage(QWidget *widget, const QPixmap &pixmap, const QSize &size);

} // namespace ov
