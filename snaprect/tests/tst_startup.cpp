#include "AppConstants.h"
#include "StartUp.h"

#include <QApplication>
#include <QFontInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

class tst_StartUp : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void messageBoxButtons_data();
    void messageBoxButtons();
    void songFamilyResolvesToInstalledChineseFace();
    void derivedAddresses();

private:
    QTranslator *m_translator = nullptr;
};

void tst_StartUp::cleanup()
{
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator);
        delete m_translator;
        m_translator = nullptr;
    }
}

void tst_StartUp::messageBoxButtons_data()
{
    QTest::addColumn<bool>("withCatalogs");
    QTest::addColumn<QString>("okText");
    QTest::addColumn<QString>("cancelText");

    QTest::newRow("Locale/zh_CN as the build lays it out") << true << QStringLiteral("确定") << QStringLiteral("取消");
    QTest::newRow("no catalogs") << false << QStringLiteral("OK") << QStringLiteral("Cancel");
}

void tst_StartUp::messageBoxButtons()
{
    QFETCH(bool, withCatalogs);
    QFETCH(QString, okText);
    QFETCH(QString, cancelText);

    QTemporaryDir empty;
    const QString folder = withCatalogs ? QStringLiteral(SNAPRECT_LOCALE_DIR) : empty.path();
    m_translator = installTranslator(QStringLiteral("qt_"), folder);
    QCOMPARE(m_translator->isEmpty(), !withCatalogs);

    QMessageBox box(QMessageBox::Question, QStringLiteral("更新提示"), QStringLiteral("有新版本是否查看？"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Ok)->text().remove(QLatin1Char('&')), okText);
    QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), cancelText);
}

void tst_StartUp::songFamilyResolvesToInstalledChineseFace()
{
    registerFontSubstitutes();
    const QFontInfo info(appFont);
    QCOMPARE(appFont.family(), QStringLiteral("宋体"));
    QCOMPARE(appFont.pointSize(), 12);
    // Whatever face stands in, it must carry the Chinese labels itself rather
    // than leave them to a per-glyph fallback.
    QVERIFY2(info.family() != QLatin1String("DejaVu Sans"), qPrintable(info.family()));
    const QFontMetrics metrics(appFont);
    for (const QChar c : QStringLiteral("全屏局部关于退出"))
        QVERIFY2(metrics.inFont(c), qPrintable(QString(c) + QLatin1String(" missing from ") + info.family()));
}

void tst_StartUp::derivedAddresses()
{
    QVERIFY(siteUrl.endsWith(QLatin1Char('/')));
    QCOMPARE(adConfigUrl, siteUrl + QStringLiteral("ad/ad_cfg_1.php?id=snap_rect_windows_x86_32"));
    QCOMPARE(updateUrl, siteUrl + QStringLiteral("ver.php"));
    QCOMPARE(updateVersion, QStringLiteral("2012-03-24"));
    QCOMPARE(mailUrl, QStringLiteral("mailto:") + mailAddress);
    QCOMPARE(homeUrl, siteUrl);
}

QTEST_MAIN(tst_StartUp)
#include "tst_startup.moc"
