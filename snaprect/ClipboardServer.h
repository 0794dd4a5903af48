#pragma once

#include <QString>

class QImage;

/// Puts \a picture on the clipboard so that it stays there after this
/// process has ended: a detached copy of the program owns the clipboard until
/// another program takes it over. Returns once that copy owns it; an empty
/// string then, otherwise why it failed, in words for the user.
QString handOverToClipboard(const QImage &picture);

/// The detached copy's work: puts the picture in \a fileName on the
/// clipboard, removes the file, and serves the clipboard until another
/// program owns it. Needs a QGuiApplication. Returns the exit status.
int serveClipboard(const QString &fileName);
