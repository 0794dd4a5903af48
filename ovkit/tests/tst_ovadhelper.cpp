#include <OvAdHelper.h>
#include <OvAdImageData.h>

#include <EncodedImage.h>
#include <HttpTestServer.h>
#include <UrlRecorder.h>

#include <QBuffer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QWidget>

namespace {

const QStringList linkSchemes = {QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("file"),
                                 QStringLiteral("javascript"), QStringLiteral("mailto"), QStringLiteral("ovtest")};
// Long enough that the timer never fires while a test steps the rotation itself.
constexpr int manualInterval = 3600 * 1000;
// Short enough that the timer-driven tests run through several rounds quickly.
constexpr int shortInterval = 10;

/// "red", "green" or "blue" for the picture the widget shows, "" for none.
QString shownPicture(const QWidget &widget)
{
    const QBrush brush = widget.palette().brush(QPalette::Active, widget.backgroundRole());
    if (brush.style() != Qt::TexturePattern)
        return QString();
    const QImage texture = brush.texture().toImage();
    const QColor color = texture.pixelColor(texture.width() / 2, texture.height() / 2);
    if (color == QColor(Qt::red))
        return QStringLiteral("red");
    if (color == QColor(Qt::green))
        return QStringLiteral("green");
    if (color == QColor(Qt::blue))
        return QStringLiteral("blue");
    return color.name();
}

/// Records every picture drawn on a widget, as it is drawn.
class DrawRecorder : public QObject
{
public:
    explicit DrawRecorder(QWidget *widget) : m_widget(widget) { widget->installEventFilter(this); }
    QStringList drawn;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_widget && event->type() == QEvent::PaletteChange)
            drawn.append(shownPicture(*m_widget));
        return false;
    }

private:
    QWidget *m_widget;
};

} // namespace

// The ad rotation against an ad site on 127.0.0.1.
class tst_OvAdHelper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void defaults();
    void setWidgetGivesPointingHandAtOnce();
    void documentShapes_data();
    void documentShapes();
    void failedDocumentLeavesWidgetHidden_data();
    void failedDocumentLeavesWidgetHidden();
    void rejectedDocumentStillShowsWidget();
    void rotationTickByTick_data();
    void rotationTickByTick();
    void pictureLoadedLaterIsShownOnItsTurn();
    void timerRotatesInDocumentOrder_data();
    void timerRotatesInDocumentOrder();
    void stopKeepsPictureAndLink();
    void stopBeforeDocumentHasNoLastingEffect();
    void secondDocumentReplacesFirst_data();
    void secondDocumentReplacesFirst();
    void emptyListTicksAndClicksDoNothing();
    void clickOpensOnlyWebLinks_data();
    void clickOpensOnlyWebLinks();
    void withoutWidget();
    void withoutWidgetChild();

private:
    QString url(const QString &path) const { return m_server.url(path); }
    QString adElement(const QString &picture, const QString &link) const;
    void serveDocument(const QStringList &pictures);
    bool awaitDocument(OvAdHelper &helper);
    bool awaitPictures(const OvAdHelper &helper);
    void start(OvAdHelper &helper, QWidget &widget, int interval);
    bool startAndLoad(OvAdHelper &helper, QWidget &widget, int interval);
    static void tick(OvAdHelper &helper);
    static QStringList entries(const OvAdHelper &helper);

    HttpTestServer m_server;
};

void tst_OvAdHelper::initTestCase()
{
    QVERIFY(m_server.listen());
    m_server.setHandler("/red.png", HttpTestServer::reply(200, encodedImage(Qt::red), "image/png"));
    m_server.setHandler("/green.png", HttpTestServer::reply(200, encodedImage(Qt::green), "image/png"));
    m_server.setHandler("/blue.png", HttpTestServer::reply(200, encodedImage(Qt::blue), "image/png"));
    m_server.setHandler("/missing.png", HttpTestServer::reply(404, encodedImage(Qt::red), "image/png"));
}

void tst_OvAdHelper::init()
{
    m_server.setHandler("/held.png", HttpTestServer::silent());
}

QString tst_OvAdHelper::adElement(const QString &picture, const QString &link) const
{
    return QStringLiteral("<ad image_url=\"%1\" image_format=\"png\" link_url=\"%2\"/>").arg(url(picture), link);
}

/// Serves /ads.xml listing \a pictures; the link of entry i is /link/i.
void tst_OvAdHelper::serveDocument(const QStringList &pictures)
{
    QString document = QStringLiteral("<?xml version=\"1.0\"?><ovk version=\"1\">");
    for (int i = 0; i < pictures.size(); ++i)
        document += adElement(pictures.at(i), url(QStringLiteral("link/%1").arg(i + 1)));
    document += QStringLiteral("</ovk>");
    m_server.setHandler("/ads.xml", HttpTestServer::reply(200, document.toUtf8(), "text/xml"));
}

bool tst_OvAdHelper::awaitDocument(OvAdHelper &helper)
{
    auto *manager = helper.findChild<QNetworkAccessManager *>();
    if (!manager)
        return false;
    QSignalSpy finished(manager, &QNetworkAccessManager::finished);
    return finished.wait() && finished.count() == 1;
}

/// Waits until every picture download that can finish has finished.
bool tst_OvAdHelper::awaitPictures(const OvAdHelper &helper)
{
    const auto settled = [&helper] {
        for (const OvAdImageData *image : helper.images()) {
            if (!image->m_data.imageUrl.endsWith(QLatin1String("held.png"))
                && !image->m_manager->findChildren<QNetworkReply *>().isEmpty())
                return false;
        }
        return true;
    };
    return QTest::qWaitFor(settled);
}

void tst_OvAdHelper::start(OvAdHelper &helper, QWidget &widget, int interval)
{
    widget.resize(200, 60);
    helper.setWidget(&widget);
    helper.m_url = url(QStringLiteral("ads.xml"));
    helper.m_interval = interval;
    helper.exec();
}

/// start(), then waits for the document and the pictures.
bool tst_OvAdHelper::startAndLoad(OvAdHelper &helper, QWidget &widget, int interval)
{
    start(helper, widget, interval);
    return awaitDocument(helper) && awaitPictures(helper);
}

void tst_OvAdHelper::tick(OvAdHelper &helper)
{
    // What the rotation timer does on each timeout.
    QVERIFY(QMetaObject::invokeMethod(&helper, "play"));
}

QStringList tst_OvAdHelper::entries(const OvAdHelper &helper)
{
    QStringList result;
    for (const OvAdImageData *image : helper.images()) {
        const OvAdData &d = image->m_data;
        result << QStringList{d.imageUrl, d.imageFormat, d.fileName, d.linkUrl, d.text}.join(QLatin1Char('|'));
    }
    return result;
}

void tst_OvAdHelper::defaults()
{
    OvAdHelper helper(nullptr);
    QCOMPARE(helper.m_interval, 2000);
    QVERIFY(helper.m_url.isEmpty());
    QVERIFY(helper.images().isEmpty());
}

void tst_OvAdHelper::setWidgetGivesPointingHandAtOnce()
{
    OvAdHelper helper(nullptr);
    QWidget hidden;
    helper.setWidget(&hidden);
    QCOMPARE(hidden.cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(hidden.isHidden());

    QWidget shown;
    shown.show();
    helper.setWidget(&shown);
    QCOMPARE(shown.cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(shown.isVisible());
}

void tst_OvAdHelper::documentShapes_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("expected");

    // Every row starts from an earlier accepted list holding one entry.
    const QString earlier = QStringLiteral("@/earlier.png|png|||");
    const QString full = QStringLiteral("<ad image_url=\"a.png\" image_format=\"png\" file_name=\"a.png\" "
                                        "link_url=\"http://127.0.0.1:1/a\" text=\"A\"/>");
    const QString fullEntry = QStringLiteral("@/a.png|png|a.png|http://127.0.0.1:1/a|A");
    const auto doc = [](const QString &text) { return text.toUtf8(); };

    QTest::newRow("root ovk with version 1") << doc("<ovk version=\"1\">" + full + "</ovk>") << QStringList{fullEntry};
    QTest::newRow("root ovk without version") << doc("<ovk>" + full + "</ovk>") << QStringList{fullEntry};
    QTest::newRow("root ovk with version 2") << doc("<ovk version=\"2\">" + full + "</ovk>") << QStringList{fullEntry};
    QTest::newRow("other root with version 1") << doc("<ads version=\"1\">" + full + "</ads>") << QStringList{fullEntry};
    QTest::newRow("other root with version 2 is rejected") << doc("<ads version=\"2\">" + full + "</ads>")
                                                           << QStringList{earlier};
    QTest::newRow("other root without version is rejected") << doc("<ads>" + full + "</ads>") << QStringList{earlier};
    QTest::newRow("root OVK in capitals is rejected") << doc("<OVK>" + full + "</OVK>") << QStringList{earlier};
    QTest::newRow("empty body is rejected") << QByteArray() << QStringList{earlier};
    QTest::newRow("plain text is rejected") << QByteArray("1") << QStringList{earlier};
    QTest::newRow("accepted root without entries") << doc("<ovk version=\"1\"><other/></ovk>") << QStringList();
    QTest::newRow("attributes in any order")
        << doc("<ovk><ad text=\"A\" link_url=\"http://127.0.0.1:1/a\" file_name=\"a.png\" image_format=\"png\" "
               "image_url=\"a.png\"/></ovk>")
        << QStringList{fullEntry};
    QTest::newRow("missing attributes are empty and not inherited")
        << doc("<ovk>" + full + "<ad image_url=\"b.png\"/><ad link_url=\"http://127.0.0.1:1/c\"/></ovk>")
        << QStringList{fullEntry, QStringLiteral("@/b.png||||"), QStringLiteral("|||http://127.0.0.1:1/c|")};
    QTest::newRow("ad nested below another child is ignored")
        << doc("<ovk><group><ad image_url=\"n.png\"/></group>" + full + "</ovk>") << QStringList{fullEntry};
    QTest::newRow("children and text inside ad are ignored")
        << doc("<ovk><ad image_url=\"b.png\">text<ad image_url=\"inner.png\"/><x/></ad>" + full + "</ovk>")
        << QStringList{QStringLiteral("@/b.png||||"), fullEntry};
    QTest::newRow("element AD in capitals is ignored") << doc("<ovk><AD image_url=\"b.png\"/></ovk>") << QStringList();
    QTest::newRow("three entries with duplicates in document order")
        << doc("<ovk><ad image_url=\"b.png\"/>" + full + "<ad image_url=\"b.png\"/></ovk>")
        << QStringList{QStringLiteral("@/b.png||||"), fullEntry, QStringLiteral("@/b.png||||")};
    QTest::newRow("malformed part way keeps the entries before")
        << doc("<ovk>" + full + "<ad image_url=\"b.png\"/><ad image_url=\"c.png\"</ovk>")
        << QStringList{fullEntry, QStringLiteral("@/b.png||||")};
    QTest::newRow("UTF-8 text") << doc("<ovk><ad image_url=\"b.png\" text=\"广告\"/></ovk>")
                                << QStringList{QStringLiteral("@/b.png||||广告")};
    QTest::newRow("absolute addresses stay as written")
        << doc("<ovk><ad image_url=\"HTTP://127.0.0.1:1/B.png\" link_url=\"https://127.0.0.1:1/x?a=1&amp;&amp;b=2\"/></ovk>")
        << QStringList{QStringLiteral("HTTP://127.0.0.1:1/B.png|||https://127.0.0.1:1/x?a=1&&b=2|")};
    QTest::newRow("relative addresses are resolved against the document")
        << doc("<ovk><ad image_url=\"pictures/b.png\" link_url=\"page.html\"/></ovk>")
        << QStringList{QStringLiteral("@/pictures/b.png|||@/page.html|")};

    QString many = QStringLiteral("<ovk>");
    QStringList capped;
    for (int i = 0; i <= OvAdHelper::maxEntries; ++i) {
        many += QStringLiteral("<ad image_url=\"http://127.0.0.1:1/%1.png\"/>").arg(i);
        if (i < OvAdHelper::maxEntries)
            capped << QStringLiteral("http://127.0.0.1:1/%1.png||||").arg(i);
    }
    QTest::newRow("entries past the cap are ignored") << doc(many + "</ovk>") << capped;

    QByteArray atLimit = doc("<ovk>" + full + "<!--");
    const QByteArray end = "--></ovk>";
    atLimit += QByteArray(OvAdHelper::maxDocumentSize - atLimit.size() - end.size(), ' ') + end;
    QTest::newRow("document of exactly the size limit") << atLimit << QStringList{fullEntry};
    QTest::newRow("document one byte past the size limit is dropped")
        << atLimit.replace("<!--", "<!-- ") << QStringList{earlier};
}

void tst_OvAdHelper::documentShapes()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, expected);
    expected.replaceInStrings(QStringLiteral("@/"), m_server.url());

    OvAdHelper helper(nullptr);
    QWidget widget;
    m_server.setHandler("/ads.xml", HttpTestServer::reply(200, "<ovk><ad image_url=\"earlier.png\" image_format=\"png\"/></ovk>"));
    start(helper, widget, manualInterval);
    QVERIFY(awaitDocument(helper));
    QCOMPARE(entries(helper), QStringList{m_server.url(QStringLiteral("earlier.png")) + QStringLiteral("|png|||")});

    m_server.setHandler("/ads.xml", HttpTestServer::reply(200, document, "text/xml"));
    helper.exec();
    QVERIFY(awaitDocument(helper));
    QCOMPARE(entries(helper), expected);
}

void tst_OvAdHelper::failedDocumentLeavesWidgetHidden_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("status 404") << "404";
    QTest::newRow("status 500") << "500";
    QTest::newRow("connection closed mid-body") << "closed";
    QTest::newRow("endless body") << "endless";
    QTest::newRow("nothing listening") << "refused";
}

void tst_OvAdHelper::failedDocumentLeavesWidgetHidden()
{
    QFETCH(QString, kind);
    const QByteArray document = "<ovk version=\"1\"><ad image_url=\"red.png\"/></ovk>";
    if (kind == QLatin1String("404") || kind == QLatin1String("500"))
        m_server.setHandler("/ads.xml", HttpTestServer::reply(kind.toInt(), document, "text/xml"));
    else if (kind == QLatin1String("closed"))
        m_server.setHandler("/ads.xml", HttpTestServer::closeMidBody(document, document.size() * 2));
    else if (kind == QLatin1String("endless"))
        m_server.setHandler("/ads.xml", HttpTestServer::endless("<ovk version=\"1\"><!--", ' '));

    HttpTestServer gone;
    QVERIFY(gone.listen());
    const QString deadAddress = gone.url(QStringLiteral("ads.xml"));
    gone.close();

    OvAdHelper helper(nullptr);
    QWidget widget;
    widget.hide();
    helper.setWidget(&widget);
    helper.m_url = kind == QLatin1String("refused") ? deadAddress : url(QStringLiteral("ads.xml"));
    helper.m_interval = shortInterval;
    helper.exec();
    QVERIFY(awaitDocument(helper));
    QVERIFY(widget.isHidden());
    QVERIFY(helper.images().isEmpty());
    QCOMPARE(shownPicture(widget), QString());
}

void tst_OvAdHelper::rejectedDocumentStillShowsWidget()
{
    m_server.setHandler("/ads.xml", HttpTestServer::reply(200, "<html>not an ad document</html>", "text/html"));
    OvAdHelper helper(nullptr);
    QWidget widget;
    widget.hide();
    start(helper, widget, shortInterval);
    QVERIFY(awaitDocument(helper));
    QVERIFY(!widget.isHidden());
    QVERIFY(helper.images().isEmpty());
    tick(helper);
    QCOMPARE(shownPicture(widget), QString());
}

void tst_OvAdHelper::rotationTickByTick_data()
{
    QTest::addColumn<QStringList>("pictures");
    QTest::addColumn<QStringList>("shown");  // after each tick
    QTest::addColumn<QStringList>("clicked"); // link opened by a click after each tick

    QTest::newRow("three loaded") << QStringList{"red.png", "green.png", "blue.png"}
                                  << QStringList{"red", "green", "blue", "red", "green"}
                                  << QStringList{"link/1", "link/2", "link/3", "link/1", "link/2"};
    QTest::newRow("second failed") << QStringList{"red.png", "missing.png", "blue.png"}
                                   << QStringList{"red", "red", "blue", "red", "red"}
                                   << QStringList{"link/1", "link/1", "link/3", "link/1", "link/1"};
    QTest::newRow("first failed, nothing drawn at first")
        << QStringList{"missing.png", "green.png", "blue.png"}
        << QStringList{"", "green", "blue", "blue", "green"}
        << QStringList{"", "link/2", "link/3", "link/3", "link/2"};
    QTest::newRow("one entry") << QStringList{"blue.png"} << QStringList{"blue", "blue"}
                               << QStringList{"link/1", "link/1"};
}

void tst_OvAdHelper::rotationTickByTick()
{
    QFETCH(QStringList, pictures);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, clicked);

    serveDocument(pictures);
    OvAdHelper helper(nullptr);
    QWidget widget;
    QVERIFY(startAndLoad(helper, widget, manualInterval));

    UrlRecorder browser(linkSchemes);
    helper.click();
    QVERIFY2(browser.urls.isEmpty(), "a click before any picture was drawn opens nothing");
    for (int i = 0; i < shown.size(); ++i) {
        tick(helper);
        QCOMPARE(shownPicture(widget), shown.at(i));
        browser.urls.clear();
        helper.click();
        if (clicked.at(i).isEmpty())
            QVERIFY(browser.urls.isEmpty());
        else
            QCOMPARE(browser.urls, QList<QUrl>{QUrl(url(clicked.at(i)))});
    }
}

void tst_OvAdHelper::pictureLoadedLaterIsShownOnItsTurn()
{
    QPointer<QTcpSocket> held;
    m_server.setHandler("/held.png", [&held](const HttpTestServer::Request &, QTcpSocket *socket) { held = socket; });
    serveDocument({"red.png", "held.png", "blue.png"});
    OvAdHelper helper(nullptr);
    QWidget widget;
    QVERIFY(startAndLoad(helper, widget, manualInterval));
    QTRY_VERIFY(held);

    tick(helper);
    tick(helper);
    QCOMPARE(shownPicture(widget), QStringLiteral("red"));
    tick(helper);
    QCOMPARE(shownPicture(widget), QStringLiteral("blue"));

    QSignalSpy finished(helper.images().at(1)->m_manager, &QNetworkAccessManager::finished);
    HttpTestServer::respond(held, 200, encodedImage(Qt::green));
    QVERIFY(finished.wait());
    tick(helper);
    QCOMPARE(shownPicture(widget), QStringLiteral("red"));
    tick(helper);
    QCOMPARE(shownPicture(widget), QStringLiteral("green"));
}

void tst_OvAdHelper::timerRotatesInDocumentOrder_data()
{
    QTest::addColumn<QStringList>("pictures");
    QTest::addColumn<QStringList>("drawn");

    QTest::newRow("three loaded") << QStringList{"red.png", "green.png", "blue.png"}
                                  << QStringList{"red", "green", "blue", "red", "green", "blue"};
    QTest::newRow("second failed") << QStringList{"red.png", "missing.png", "blue.png"}
                                   << QStringList{"red", "blue", "red", "blue"};
}

void tst_OvAdHelper::timerRotatesInDocumentOrder()
{
    QFETCH(QStringList, pictures);
    QFETCH(QStringList, drawn);

    serveDocument(pictures);
    OvAdHelper helper(nullptr);
    QWidget widget;
    QVERIFY(startAndLoad(helper, widget, manualInterval));

    // A rejected document keeps the loaded list and restarts the rotation at
    // its first entry, now with the short period.
    DrawRecorder recorder(&widget);
    m_server.setHandler("/ads.xml", HttpTestServer::reply(200, "<none/>", "text/xml"));
    helper.m_interval = shortInterval;
    helper.exec();
    QTRY_VERIFY(recorder.drawn.size() >= drawn.size());
    QCOMPARE(recorder.drawn.mid(0, drawn.size()), drawn);
}

void tst_OvAdHelper::stopKeepsPictureAndLink()
{
    serveDocument({"red.png", "green.png"});
    OvAdHelper helper(nullptr);
    QWidget widget;
    DrawRecorder recorder(&widget);
    start(helper, widget, shortInterval);
    QVERIFY(awaitDocument(helper));
    QTRY_VERIFY(recorder.drawn.size() >= 2);

    helper.stop();
    const QStringList drawn = recorder.drawn;
    // Time for many periods: none of them may change the picture.
    QTest::qWait(30 * shortInterval);
    QCOMPARE(recorder.drawn, drawn);

    UrlRecorder browser(linkSchemes);
    helper.click();
    const QString link = shownPicture(widget) == QLatin1String("red") ? QStringLiteral("link/1")
                                                                        : QStringLiteral("link/2");
    QCOMPARE(browser.urls, QList<QUrl>{QUrl(url(link))});
}

void tst_OvAdHelper::stopBeforeDocumentHasNoLastingEffect()
{
    serveDocument({"red.png"});
    OvAdHelper helper(nullptr);
    QWidget widget;
    DrawRecorder recorder(&widget);
    start(helper, widget, shortInterval);
    helper.stop();
    QVERIFY(awaitDocument(helper));
    QTRY_VERIFY(!recorder.drawn.isEmpty());
    QCOMPARE(recorder.drawn.first(), QStringLiteral("red"));
}

void tst_OvAdHelper::secondDocumentReplacesFirst_data()
{
    QTest::addColumn<int>("entries");
    QTest::newRow("shorter list") << 1;
    QTest::newRow("list as long") << 3;
}

void tst_OvAdHelper::secondDocumentReplacesFirst()
{
    QFETCH(int, entries);
    serveDocument({"red.png", "green.png", "blue.png"});
    OvAdHelper helper(nullptr);
    QWidget widget;
    QVERIFY(startAndLoad(helper, widget, manualInterval));
    tick(helper);
    tick(helper);
    tick(helper);
    QCOMPARE(shownPicture(widget), QStringLiteral("blue"));
    QList<QPointer<OvAdImageData>> first;
    for (OvAdImageData *image : helper.images())
        first.append(image);

    // The entry on screen belongs to the old list: until the new list has
    // drawn a picture, a click has nothing to open.
    QString document = QStringLiteral("<ovk>");
    for (int i = 0; i < entries; ++i)
        document += adElement(QStringLiteral("green.png"), url(QStringLiteral("other/%1").arg(i + 1)));
    m_server.setHandler("/ads.xml", HttpTestServer::reply(200, (document + QStringLiteral("</ovk>")).toUtf8()));
    helper.exec();
    QVERIFY(awaitDocument(helper));
    QCOMPARE(helper.images().size(), entries);
    for (const QPointer<OvAdImageData> &image : first)
        QVERIFY(image.isNull());

    UrlRecorder browser(linkSchemes);
    helper.click();
    QVERIFY(browser.urls.isEmpty());

    // The rotation starts again at the new list's first entry.
    QVERIFY(awaitPictures(helper));
    tick(helper);
    QCOMPARE(shownPicture(widget), QStringLiteral("green"));
    helper.click();
    QCOMPARE(browser.urls, QList<QUrl>{QUrl(url(QStringLiteral("other/1")))});
}

void tst_OvAdHelper::emptyListTicksAndClicksDoNothing()
{
    m_server.setHandler("/ads.xml", HttpTestServer::reply(200, "<ovk version=\"1\"/>", "text/xml"));
    OvAdHelper helper(nullptr);
    QWidget widget;
    start(helper, widget, manualInterval);
    QVERIFY(awaitDocument(helper));
    QVERIFY(helper.images().isEmpty());
    QVERIFY(!widget.isHidden());

    UrlRecorder browser(linkSchemes);
    for (int i = 0; i < 3; ++i) {
        tick(helper);
        helper.click();
    }
    QCOMPARE(shownPicture(widget), QString());
    QVERIFY(browser.urls.isEmpty());
}

void tst_OvAdHelper::clickOpensOnlyWebLinks_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("opened");

    QTest::newRow("http") << "http://127.0.0.1:1/page" << "http://127.0.0.1:1/page";
    QTest::newRow("https") << "https://127.0.0.1:1/page?a=1" << "https://127.0.0.1:1/page?a=1";
    QTest::newRow("https, scheme in capitals") << "HTTPS://127.0.0.1:1/page" << "https://127.0.0.1:1/page";
    QTest::newRow("relative to the document") << "page.html" << "@/page.html";
    QTest::newRow("file") << "file:///etc/passwd" << "";
    QTest::newRow("custom scheme with a handler") << "ovtest://run/something" << "";
    QTest::newRow("javascript") << "javascript:alert(1)" << "";
    QTest::newRow("mailto") << "mailto:someone@127.0.0.1" << "";
    QTest::newRow("empty") << "" << "";
}

void tst_OvAdHelper::clickOpensOnlyWebLinks()
{
    QFETCH(QString, link);
    QFETCH(QString, opened);
    opened.replace(QStringLiteral("@/"), m_server.url());

    const QString document = QStringLiteral("<ovk><ad image_url=\"red.png\" link_url=\"%1\"/></ovk>").arg(link);
    m_server.setHandler("/ads.xml", HttpTestServer::reply(200, document.toUtf8(), "text/xml"));
    OvAdHelper helper(nullptr);
    QWidget widget;
    QVERIFY(startAndLoad(helper, widget, manualInterval));
    tick(helper);
    QCOMPARE(shownPicture(widget), QStringLiteral("red"));

    UrlRecorder browser(linkSchemes);
    helper.click();
    if (opened.isEmpty())
        QVERIFY(browser.urls.isEmpty());
    else
        QCOMPARE(browser.urls, QList<QUrl>{QUrl(opened)});
}

void tst_OvAdHelper::withoutWidget()
{
#ifdef QT_NO_DEBUG
    // Without assertions, a missing widget drops the document and the tick.
    serveDocument({"red.png"});
    OvAdHelper helper(nullptr);
    helper.m_url = url(QStringLiteral("ads.xml"));
    helper.m_interval = shortInterval;
    helper.exec();
    QVERIFY(awaitDocument(helper));
    QVERIFY(helper.images().isEmpty());

    // Also with a loaded picture to draw.
    QByteArray document = ("<ovk>" + adElement(QStringLiteral("red.png"), url(QStringLiteral("link"))) + "</ovk>").toUtf8();
    QBuffer buffer(&document);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    helper.readConfig(&buffer);
    QCOMPARE(helper.images().size(), 1);
    helper.downloadAll();
    QTRY_VERIFY(helper.images().constFirst()->m_loaded);
    UrlRecorder browser(linkSchemes);
    tick(helper);
    helper.click();
    QVERIFY(browser.urls.isEmpty());
#else
    // With assertions, it is the caller's error and stops the program.
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OVADHELPER_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("withoutWidgetChild")});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QByteArray output = child.readAll();
    QVERIFY2(output.contains("ASSERT: \"m_widget != NULL\""), output.constData());
#endif
}

void tst_OvAdHelper::withoutWidgetChild()
{
    if (!qEnvironmentVariableIsSet("OVADHELPER_CHILD"))
        QSKIP("runs only as the child process of withoutWidget");
    OvAdHelper helper(nullptr);
    tick(helper);
}

QTEST_MAIN(tst_OvAdHelper)
#include "tst_ovadhelper.moc"
