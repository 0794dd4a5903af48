#pragma once

#include <QString>
#include <QStringList>

class QDateTime;
class QPixmap;
class QWidget;

/// Asks the user for a file name and writes \a pixmap there, in the format
/// that the name's suffix names (those offered below). A name typed without a
/// suffix gets the one of the selected file type. The dialog opens in the
/// folder of the last save, even of an earlier run, with its file type chosen
/// (the first time in the user's pictures folder), and proposes a name made of
/// \a taken, the picture's time, that no file there has yet. When writing
/// fails the user is told why and asked again; an existing file is replaced
/// only by a complete new one.
/// Returns the name written, or an empty string when the user cancelled.
QString saveImage(QWidget *parent, const QPixmap &pixmap, const QDateTime &taken);

/// Writes \a pixmap to \a fileName in the format that its suffix names;
/// an existing file is replaced only by a complete new one, and a failed write
/// leaves no file behind. Returns why it failed, in words for the user, or an
/// empty string.
QString writePixmap(const QPixmap &pixmap, const QString &fileName);

/// The suffixes of the formats that pictures are offered in, in order: png,
/// jpg, bmp, xpm, ppm, and webp and tiff where Qt's plug-ins write them.
QStringList offeredImageSuffixes();

/// Why \a fileName cannot be written as a picture (its suffix names no format
/// that Qt writes), in words for the user; empty when it can.
QString imageFormatProblem(const QString &fileName);
