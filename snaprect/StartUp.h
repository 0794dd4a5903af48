#pragma once

#include <QString>

#include <future>

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

/// Fills Qt's font database on a thread of its own, for a process whose first
/// text comes after a wait that leaves the processor to it (a capture from
/// the command line waits for the grab); the text then finds it filled. Needs
/// the application, and the future must be waited for before it goes.
[[nodiscard]] std::future<void> fillFontDatabaseAhead();
