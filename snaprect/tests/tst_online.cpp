#include "AppConstants.h"
#include "StartUp.h"
#include "TAboutForm.h"
#include "TMainForm.h"
#include "ui_TMainForm.h"

#include <HttpTestServer.h>
#include <ModalAnswerer.h>
#include <OvAdHelper.h>
#include <OvAdImageData.h>
#include <OvCheckUpdate.h>
#include <UrlRecorder.h>

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>
#include <QTest>

// The program's windows against its site, served in this process on the
// address the test build compiles in; the browser is a recorder.
class tst_Online : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void updateQuestion_data();
    void updateQuestion();
    void pressOnAdPanelOpensShownLink();
    void aboutLinksOpenCompiledInAddresses_data();
    void aboutLinksOpenCompiledInAddresses();
    void chineseCatalogsAndSongFaceLoad();

private:
    HttpTestServer m_server;
    UrlRecorder m_browser;
};

void tst_Online::initTestCase()
{
    registerFontSubstitutes();
    QApplication::setFont(appFont);
    QVERIFY2(m_server.listen(SNAPRECT_TEST_SITE_PORT), "the test site's port on 127.0.0.1 is taken");
    QCOMPARE(siteUrl, m_server.url());
    QByteArray red;
    QBuffer buffer(&red);
    QImage picture(200, 60, QImage::Format_RGB32);
    picture.fill(Qt::red);
    picture.save(&buffer, "PNG");
    m_server.setHandler("/ad/red.png", HttpTestServer::reply(200, red, "image/png"));
    m_server.setHandler("/ad/ad_cfg_1.php", HttpTestServer::reply(
        200, "<ovk><ad image_url=\"red.png\" link_url=\"https://127.0.0.1:1/red\"/></ovk>", "text/xml"));
}

void tst_Online::updateQuestion_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("key");
    QTest::addColumn<QList<QUrl>>("opened");
    QTest::newRow("newer release, Return keeps Cancel") << QByteArray("1") << int(Qt::Key_Return) << QList<QUrl>();
    QTest::newRow("newer release, Ok opens the site") << QByteArray("1") << int(Qt::Key_O) << QList<QUrl>{QUrl(siteUrl)};
    QTest::newRow("no newer release, no question") << QByteArray("0") << 0 << QList<QUrl>();
}

void tst_Online::updateQuestion()
{
    QFETCH(QByteArray, body);
    QFETCH(int, key);
    QFETCH(QList<QUrl>, opened);
    m_server.setHandler("/ver.php", HttpTestServer::reply(200, body));
    ModalAnswerer answerer;
    if (key)
        answerer.then([key](QWidget *box) {
            if (key == Qt::Key_O)
                qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
            else
                QTest::keyClick(box, Qt::Key(key));
        });
    m_browser.urls.clear();
    TMainForm form;
    QSignalSpy answered(form.findChild<OvCheckUpdate *>(), &OvCheckUpdate::update);
    form.show();
    QVERIFY(answered.wait());
    QCOMPARE(answerer.pendingAnswers(), 0);
    QVERIFY(answerer.unexpected.isEmpty());
    QCOMPARE(m_browser.urls, opened);
    QList<QByteArray> targets;
    for (const HttpTestServer::Request &request : m_server.requests())
        targets.append(request.target);
    QVERIFY(targets.contains("/ver.php?id=snap_rect_windows_x86_32&&ver=2012-03-24"));
}

void tst_Online::pressOnAdPanelOpensShownLink()
{
    m_server.setHandler("/ver.php", HttpTestServer::reply(200, "0"));
    TMainForm form;
    form.show();
    auto *ads = form.findChild<OvAdHelper *>();
    QTRY_VERIFY(!ads->images().isEmpty() && ads->images().constFirst()->m_loaded);
    QVERIFY(QMetaObject::invokeMethod(ads, "play")); // the rotation's first tick
    m_browser.urls.clear();
    QTest::mouseClick(form.form()->wdtAd, Qt::RightButton, {}, QPoint(100, 30));
    QCOMPARE(m_browser.urls, QList<QUrl>{QUrl(QStringLiteral("https://127.0.0.1:1/red"))});
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
    const QFontMetrics metrics(appFont);
    for (const QChar c : QStringLiteral("全屏局部关于退出"))
        QVERIFY2(metrics.inFont(c), qPrintable(QFontInfo(appFont).family()));
}

QTEST_MAIN(tst_Online)
#include "tst_online.moc"
