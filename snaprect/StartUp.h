#pragma once

#include <QString>

class QTranslator;

/// The folder that holds the Chinese catalogs: Locale/zh_CN beside the program.
QString translationFolder();

/// Creates a translator owned by the application, loads prefix + "zh_CN" from
/// translationFolder() and installs it, loaded or not. A missing catalog
/// leaves Qt's own texts in English.
void loadTranslator(const QString &prefix);

/// As loadTranslator(), from \a folder; returns the installed translator.
QTranslator *installTranslator(const QString &prefix, const QString &folder);

/// Lets the Windows family names of the program's fonts ("宋体") resolve to an
/// installed Song/Ming face where no font of that name exists, so that the
/// Chinese labels render in one consistent face instead of a per-glyph fallback.
void registerFontSubstitutes();

/// Gives the application's windows the program's icon, those shown already
/// as well.
void setProgramIcon();
