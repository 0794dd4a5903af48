#include "StartUp.h"

#include "DeferredIcon.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QStringList>
#include <QTranslator>

namespace {
const QString localeName = QStringLiteral("zh_CN");
}

QString translationFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Locale/") + localeName + QLatin1Char('/');
}

void loadTranslator(const QString &prefix)
{
    installTranslator(prefix, translationFolder());
}

QTranslator *installTranslator(const QString &prefix, const QString &folder)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    // A failed load is not an error: Qt's own texts then stay in English.
    (void)translator->load(prefix + localeName, folder);
    QCoreApplication::installTranslator(translator);
    return translator;
}

void registerFontSubstitutes()
{
    // Tried in order; the first installed one wins. Where 宋体 itself exists
    // (Windows) the substitutes are never consulted.
    QFont::insertSubstitutions(QStringLiteral("宋体"), {
        QStringLiteral("SimSun"),
        QStringLiteral("AR PL UMing CN"),
        QStringLiteral("Noto Serif CJK SC"),
        QStringLiteral("Source Han Serif SC"),
        QStringLiteral("Songti SC"),
    });
}

void setProgramIcon()
{
    QGuiApplication::setWindowIcon(pngIcon(QStringLiteral(":/snaprect.png")));
}
