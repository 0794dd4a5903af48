#include "AppConstants.h"
#include "ModalResponder.h"
#include "StartUp.h"
#include "TMainForm.h"
#include "ui_TMainForm.h"

#include <EncodedImage.h>
#include <HttpTestServer.h>
#include <OvAdHelper.h>
#include <OvAdImageData.h>
#include <OvCheckUpdate.h>
#include <UrlRecorder.h>

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

/// Counts the mouse presses that reach a widget.
class PressCounter : public QObject
{
public:
    int presses = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            ++presses;
        return false;
    }
};

/// What the update question looked like, and the answer it was given.
struct Question {
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

} // namespace

// The main window's update question and ad panel, against the test site
// served on 127.0.0.1 in this process.
class tst_OnlineHooks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void updateQuestionEnterKeepsCancel();
    void updateQuestionOkOpensSite();
    void noQuestionWithoutNewerRelease_data();
    void noQuestionWithoutNewerRelease();
    void adPanelShownWhenDocumentArrives();
    void adPanelStaysHiddenWhenDocumentFails();
    void pressOnPanelOpensShownAd_data();
    void pressOnPanelOpensShownAd();
    void pressElsewhereIsNotTaken();

private:
    /// Runs a main window until its update check has answered; \a answer
    /// handles a question if one comes.
    int runUpdateCheck(const std::function<void(QMessageBox *)> &answer, Question *question = nullptr);
    /// Shows \a form and waits until its ad panel has a picture.
    bool showFirstAd(TMainForm &form);

    HttpTestServer m_server;
};

void tst_OnlineHooks::initTestCase()
{
    registerFontSubstitutes();
    QApplication::setFont(appFont);
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY2(m_server.listen(SNAPRECT_TEST_SITE_PORT),
             qPrintable(QStringLiteral("port %1 on 127.0.0.1 is taken; configure another with -DSNAPRECT_TEST_SITE_PORT=")
                            .arg(SNAPRECT_TEST_SITE_PORT)));
    QCOMPARE(siteUrl, m_server.url());
    m_server.setHandler("/ad/red.png", HttpTestServer::reply(200, encodedImage(Qt::red), "image/png"));
    m_server.setHandler("/ad/green.png", HttpTestServer::reply(200, encodedImage(Qt::green), "image/png"));
}

void tst_OnlineHooks::init()
{
    // Quiet defaults: no newer release, no ads.
    m_server.setHandler("/ver.php", HttpTestServer::reply(200, "0"));
    m_server.setHandler("/ad/ad_cfg_1.php", HttpTestServer::reply(404, "none"));
}

void tst_OnlineHooks::cleanup()
{
    QVERIFY(!QApplication::activeModalWidget());
}

int tst_OnlineHooks::runUpdateCheck(const std::function<void(QMessageBox *)> &answer, Question *question)
{
    ModalResponder responder([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return;
        if (question) {
            question->title = box->windowTitle();
            question->text = box->text();
            question->buttons = box->standardButtons();
            question->defaultButton = box->standardButton(box->defaultButton());
        }
        answer(box);
    });
    const int before = m_server.requestCount("/ver.php");
    TMainForm form;
    auto *checker = form.findChild<OvCheckUpdate *>();
    if (!checker)
        return -1;
    QSignalSpy answered(checker, &OvCheckUpdate::update);
    form.show();
    if (!answered.wait())
        return -1;
    return m_server.requestCount("/ver.php") - before == 1 ? responder.seen : -1;
}

void tst_OnlineHooks::updateQuestionEnterKeepsCancel()
{
    m_server.setHandler("/ver.php", HttpTestServer::reply(200, "1"));
    UrlRecorder browser;
    Question question;
    QCOMPARE(runUpdateCheck([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Return); }, &question), 1);

    QCOMPARE(question.title, QStringLiteral("更新提示"));
    QCOMPARE(question.text, QStringLiteral("有新版本是否查看？"));
    QCOMPARE(question.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(question.defaultButton, QMessageBox::Cancel);
    QVERIFY(browser.urls.isEmpty());
    const QList<HttpTestServer::Request> requests = m_server.requests();
    const auto check = std::find_if(requests.crbegin(), requests.crend(),
                                    [](const HttpTestServer::Request &r) { return r.path == "/ver.php"; });
    QVERIFY(check != requests.crend());
    QCOMPARE(check->target, QByteArray("/ver.php?id=snap_rect_windows_x86_32&&ver=2012-03-24"));
}

void tst_OnlineHooks::updateQuestionOkOpensSite()
{
    m_server.setHandler("/ver.php", HttpTestServer::reply(200, "1"));
    UrlRecorder browser;
    QCOMPARE(runUpdateCheck([](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); }), 1);
    QCOMPARE(browser.urls, QList<QUrl>{QUrl(homeUrl)});
    QCOMPARE(homeUrl, siteUrl);
}

void tst_OnlineHooks::noQuestionWithoutNewerRelease_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("body '0'") << 200 << QByteArray("0");
    QTest::newRow("body '1' followed by a line feed") << 200 << QByteArray("1\n");
    QTest::newRow("status 404") << 404 << QByteArray("1");
}

void tst_OnlineHooks::noQuestionWithoutNewerRelease()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    m_server.setHandler("/ver.php", HttpTestServer::reply(status, body));
    UrlRecorder browser;
    QCOMPARE(runUpdateCheck([](QMessageBox *box) { box->reject(); }), 0);
    QVERIFY(browser.urls.isEmpty());
}

bool tst_OnlineHooks::showFirstAd(TMainForm &form)
{
    form.show();
    auto *helper = form.findChild<OvAdHelper *>();
    if (!helper || !QTest::qWaitForWindowExposed(&form) || !QTest::qWaitFor([&form] { return form.form()->wdtAd->isVisible(); }))
        return false;
    const auto loaded = [helper] {
        const QList<OvAdImageData *> images = helper->images();
        return !images.isEmpty() && std::all_of(images.cbegin(), images.cend(), [](auto *i) { return i->m_loaded; });
    };
    if (!QTest::qWaitFor(loaded))
        return false;
    // One tick of the rotation, as its timer would give after 5 s.
    return QMetaObject::invokeMethod(helper, "play");
}

void tst_OnlineHooks::adPanelShownWhenDocumentArrives()
{
    m_server.setHandler("/ad/ad_cfg_1.php", HttpTestServer::reply(
        200, "<ovk version=\"1\"><ad image_url=\"red.png\" link_url=\"http://127.0.0.1:1/red\"/></ovk>", "text/xml"));
    TMainForm form;
    auto *helper = form.findChild<OvAdHelper *>();
    QVERIFY(helper);
    QCOMPARE(helper->m_url, adConfigUrl);
    QCOMPARE(helper->m_interval, 5000);
    QWidget *panel = form.form()->wdtAd;
    QCOMPARE(panel->cursor().shape(), Qt::PointingHandCursor);

    QVERIFY(showFirstAd(form));
    QCOMPARE(m_server.requestCount("/ad/red.png"), 1);
    const QList<HttpTestServer::Request> requests = m_server.requests();
    QVERIFY(std::any_of(requests.cbegin(), requests.cend(), [](const HttpTestServer::Request &r) {
        return r.target == "/ad/ad_cfg_1.php?id=snap_rect_windows_x86_32";
    }));
    const QImage shown = panel->grab().toImage();
    QCOMPARE(shown.size(), QSize(200, 60));
    QCOMPARE(QColor(shown.pixel(100, 30)), QColor(Qt::red));
    form.hide();
}

void tst_OnlineHooks::adPanelStaysHiddenWhenDocumentFails()
{
    TMainForm form;
    auto *helper = form.findChild<OvAdHelper *>();
    QVERIFY(helper);
    QSignalSpy finished(helper->findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    form.show();
    QVERIFY(finished.wait());
    QVERIFY(!form.form()->wdtAd->isVisible());
    form.hide();
}

void tst_OnlineHooks::pressOnPanelOpensShownAd_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left button") << Qt::LeftButton;
    QTest::newRow("right button") << Qt::RightButton;
    QTest::newRow("middle button") << Qt::MiddleButton;
}

void tst_OnlineHooks::pressOnPanelOpensShownAd()
{
    QFETCH(Qt::MouseButton, button);
    m_server.setHandler("/ad/ad_cfg_1.php", HttpTestServer::reply(
        200,
        "<ovk><ad image_url=\"red.png\" link_url=\"http://127.0.0.1:1/red\"/>"
        "<ad image_url=\"green.png\" link_url=\"https://127.0.0.1:1/green\"/></ovk>",
        "text/xml"));
    TMainForm form;
    QVERIFY(showFirstAd(form));
    PressCounter behind;
    form.form()->centralWidget->installEventFilter(&behind);

    UrlRecorder browser;
    QTest::mousePress(form.form()->wdtAd, button, {}, QPoint(100, 30));
    QTest::mouseRelease(form.form()->wdtAd, button, {}, QPoint(100, 30));
    QCOMPARE(browser.urls, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:1/red"))});
    // Had the panel seen the press, it would have passed it on to its parent.
    QCOMPARE(behind.presses, 0);
    form.hide();
}

void tst_OnlineHooks::pressElsewhereIsNotTaken()
{
    m_server.setHandler("/ad/ad_cfg_1.php", HttpTestServer::reply(
        200, "<ovk><ad image_url=\"red.png\" link_url=\"http://127.0.0.1:1/red\"/></ovk>", "text/xml"));
    TMainForm form;
    QVERIFY(showFirstAd(form));
    PressCounter central;
    form.form()->centralWidget->installEventFilter(&central);
    QSignalSpy aboutPressed(form.form()->btnAbout, &QPushButton::pressed);

    UrlRecorder browser;
    // The window's left margin, outside every button and the panel.
    QTest::mouseClick(form.form()->centralWidget, Qt::LeftButton, {}, QPoint(1, 35));
    QTest::mousePress(form.form()->btnAbout, Qt::LeftButton);
    QCOMPARE(aboutPressed.count(), 1);
    QTest::mouseRelease(form.form()->btnAbout, Qt::LeftButton, {}, QPoint(-5, -5));
    QVERIFY(browser.urls.isEmpty());
    QVERIFY(central.presses >= 1);
    form.hide();
}

QTEST_MAIN(tst_OnlineHooks)
#include "tst_onlinehooks.moc"
