#include "AppConstants.h"
#include "StartUp.h"
#include "TAboutForm.h"
#include "TMainForm.h"

#include <HttpTestServer.h>
#include <ModalAnswerer.h>
#include <OvCheckUpdate.h>
#include <UrlRecorder.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

// The program's windows against its site, served in this process on the
// address that the test build compiles in; the browser is a recorder.
class tst_Online : public QObject
{
    Q_OBJECT

private slots:
    void updateQuestion_data();
    void updateQuestion();
    void aboutLinksOpenCompiledInAddresses_data();
    void aboutLinksOpenCompiledInAddresses();
    void chineseCatalogsAndSongFaceLoad();

private:
    UrlRecorder m_browser;
};

void tst_Online::updateQuestion_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<QUrl>>("opened");
    QTest::newRow("newer release, Return keeps Cancel") << QByteArray("1") << false << QList<QUrl>();
    QTest::newRow("newer release, Ok opens the site") << QByteArray("1") << true << QList<QUrl>{QUrl(siteUrl)};
    QTest::newRow("no newer release, no question") << QByteArray("0") << false << QList<QUrl>();
}

void tst_Online::updateQuestion()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, ok);
    QFETCH(QList<QUrl>, opened);
    HttpTestServer site;
    QVERIFY2(site.listen(SNAPRECT_TEST_SITE_PORT), "the test site's port on 127.0.0.1 is taken");
    site.setHandler("/ver.php", HttpTestServer::reply(200, body));
    ModalAnswerer answerer;
    answerer.then([ok](QWidget *box) {
        if (ok)
            qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
        else
            QTest::keyClick(box, Qt::Key_Return);
    });
    m_browser.urls.clear();
    TMainForm form;
    QSignalSpy answered(form.findChild<OvCheckUpdate *>(), &OvCheckUpdate::update);
    form.show();
    QVERIFY(answered.wait());
    QTRY_COMPARE(answerer.texts.size(), body == "1" ? 1 : 0);
    QCOMPARE(m_browser.urls, opened);
    const auto sent = site.requests();
    QVERIFY(std::any_of(sent.cbegin(), sent.cend(), [](const HttpTestServer::Request &request) {
        return request.target == "/ver.php?id=snap_rect_windows_x86_32&&ver=2012-03-24";
    }));
}

void tst_Online::aboutLinksOpenCompiledInAddresses_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QUrl>("expected");
    QTest::newRow("site") << "lblGoSite" << QUrl(siteUrl);
    QTest::newRow("mail") << "lblGoMail" << QUrl(QStringLiteral("mailto:") + mailAddress);
}

void tst_Online::aboutLinksOpenCompiledInAddresses()
{
    QFETCH(QString, label);
    QFETCH(QUrl, expected);
    TAboutForm about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto *link = about.findChild<QLabel *>(label);
    m_browser.urls.clear();
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(8, link->height() / 2));
    QCOMPARE(m_browser.urls, QList<QUrl>{expected});
}

void tst_Online::chineseCatalogsAndSongFaceLoad()
{
    std::unique_ptr<QTranslator> translator(installTranslator(QStringLiteral("qt_"), QStringLiteral(SNAPRECT_LOCALE_DIR)));
    QMessageBox box(QMessageBox::Question, {}, {}, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("取消"));
    registerFontSubstitutes();
    const QFontMetrics metrics(appFont);
    for (const QChar c : QStringLiteral("全屏局部关于退出"))
        QVERIFY2(metrics.inFont(c), qPrintable(QFontInfo(appFont).family()));
}

QTEST_MAIN(tst_Online)
#include "tst_online.moc"
