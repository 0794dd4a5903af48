#include <OvCheckUpdate.h>

#include <HttpTestServer.h>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

namespace {
const QString productId = QStringLiteral("snap_rect_windows_x86_32");
const QString releaseDate = QStringLiteral("2012-03-24");
const QByteArray versionPath = QByteArrayLiteral("/ver.php");

enum class Shape { Complete, ClosedMidBody, Endless };
}
Q_DECLARE_METATYPE(Shape)

// The update check against a version service on 127.0.0.1.
class tst_OvCheckUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answer_data();
    void answer();
    void serverReceivesQueryWithDoubledAmpersand();
    void unreachableServiceMeansNoUpdate();
    void twoChecksGiveTwoAnswers();
    void slowReplyAnswersWhenItFinishes();
    void repliesAreReleasedOnceJudged_data();
    void repliesAreReleasedOnceJudged();
    void destroyedWhileWaitingNeverAnswers();

private:
    void check(OvCheckUpdate &checker);

    HttpTestServer m_server;
};

void tst_OvCheckUpdate::initTestCase()
{
    QVERIFY(m_server.listen());
}

void tst_OvCheckUpdate::check(OvCheckUpdate &checker)
{
    checker.exec(m_server.url(QStringLiteral("ver.php")), productId, releaseDate);
}

void tst_OvCheckUpdate::answer_data()
{
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("expected");

    const qint64 limit = OvCheckUpdate::maxReplySize;
    const QByteArray atLimit = QByteArray("1\0", 2) + QByteArray(limit - 2, 'x');

    QTest::newRow("body '1'") << Shape::Complete << 200 << QByteArray("1") << true;
    QTest::newRow("body '0'") << Shape::Complete << 200 << QByteArray("0") << false;
    QTest::newRow("empty body") << Shape::Complete << 200 << QByteArray() << false;
    QTest::newRow("body '1' followed by a line feed") << Shape::Complete << 200 << QByteArray("1\n") << false;
    QTest::newRow("body '1' followed by CR LF") << Shape::Complete << 200 << QByteArray("1\r\n") << false;
    QTest::newRow("body of a space and '1'") << Shape::Complete << 200 << QByteArray(" 1") << false;
    QTest::newRow("body '11'") << Shape::Complete << 200 << QByteArray("11") << false;
    QTest::newRow("body '1', NUL, 'x'") << Shape::Complete << 200 << QByteArray("1\0x", 3) << true;
    QTest::newRow("body NUL, '1'") << Shape::Complete << 200 << QByteArray("\0" "1", 2) << false;
    QTest::newRow("body full-width one") << Shape::Complete << 200 << QByteArray("１") << false;
    QTest::newRow("HTML page served with success") << Shape::Complete << 200
                                                   << QByteArray("<html><body>1</body></html>") << false;
    QTest::newRow("status 404 with body '1'") << Shape::Complete << 404 << QByteArray("1") << false;
    QTest::newRow("status 500 with body '1'") << Shape::Complete << 500 << QByteArray("1") << false;
    QTest::newRow("'1' and NUL padded to the size limit") << Shape::Complete << 200 << atLimit << true;
    QTest::newRow("'1' and NUL padded one byte past the size limit")
        << Shape::Complete << 200 << atLimit + 'x' << false;
    QTest::newRow("connection closed mid-body") << Shape::ClosedMidBody << 200 << QByteArray("1") << false;
    QTest::newRow("endless body") << Shape::Endless << 200 << QByteArray() << false;
}

void tst_OvCheckUpdate::answer()
{
    QFETCH(Shape, shape);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, expected);

    switch (shape) {
    case Shape::Complete:
        m_server.setHandler(versionPath, HttpTestServer::reply(status, body, "text/plain"));
        break;
    case Shape::ClosedMidBody:
        m_server.setHandler(versionPath, HttpTestServer::closeMidBody(body, 10));
        break;
    case Shape::Endless:
        // "1" and then NUL bytes for ever: were it read whole, it would say yes.
        m_server.setHandler(versionPath, HttpTestServer::endless("1", '\0'));
        break;
    }

    OvCheckUpdate checker(nullptr);
    QSignalSpy spy(&checker, &OvCheckUpdate::update);
    check(checker);
    QVERIFY(spy.wait());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), expected);
}

void tst_OvCheckUpdate::serverReceivesQueryWithDoubledAmpersand()
{
    m_server.setHandler(versionPath, HttpTestServer::reply(200, "0"));
    const int before = m_server.requests().size();

    OvCheckUpdate checker(nullptr);
    QSignalSpy spy(&checker, &OvCheckUpdate::update);
    check(checker);
    QVERIFY(spy.wait());

    QCOMPARE(m_server.requests().size(), before + 1);
    const HttpTestServer::Request request = m_server.requests().last();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.target, QByteArray("/ver.php?id=snap_rect_windows_x86_32&&ver=2012-03-24"));
}

void tst_OvCheckUpdate::unreachableServiceMeansNoUpdate()
{
    // A port that was just free: nothing listens there any more.
    quint16 port = 0;
    {
        HttpTestServer gone;
        QVERIFY(gone.listen());
        port = gone.port();
    }
    OvCheckUpdate checker(nullptr);
    QSignalSpy spy(&checker, &OvCheckUpdate::update);
    checker.exec(QStringLiteral("http://127.0.0.1:%1/ver.php").arg(port), productId, releaseDate);
    QVERIFY(spy.wait());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), false);
}

void tst_OvCheckUpdate::twoChecksGiveTwoAnswers()
{
    m_server.setHandler(versionPath, HttpTestServer::reply(200, "1"));
    OvCheckUpdate checker(nullptr);
    QSignalSpy spy(&checker, &OvCheckUpdate::update);
    check(checker);
    check(checker);
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QCOMPARE(spy.at(1).at(0).toBool(), true);
}

void tst_OvCheckUpdate::slowReplyAnswersWhenItFinishes()
{
    QPointer<QTcpSocket> held;
    m_server.setHandler(versionPath, [&held](const HttpTestServer::Request &, QTcpSocket *socket) { held = socket; });

    OvCheckUpdate checker(nullptr);
    QSignalSpy spy(&checker, &OvCheckUpdate::update);
    check(checker);
    QTRY_VERIFY(held);
    QCOMPARE(spy.count(), 0);

    HttpTestServer::respond(held, 200, "1");
    QVERIFY(spy.wait());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
}

void tst_OvCheckUpdate::repliesAreReleasedOnceJudged_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("newer release") << 200;
    QTest::newRow("error status") << 404;
}

void tst_OvCheckUpdate::repliesAreReleasedOnceJudged()
{
    QFETCH(int, status);
    m_server.setHandler(versionPath, HttpTestServer::reply(status, "1"));

    OvCheckUpdate checker(nullptr);
    auto *manager = checker.findChild<QNetworkAccessManager *>();
    QVERIFY(manager);
    QSignalSpy finished(manager, &QNetworkAccessManager::finished);
    QSignalSpy spy(&checker, &OvCheckUpdate::update);
    check(checker);
    QVERIFY(spy.wait());
    QCOMPARE(finished.count(), 1);
    QPointer<QNetworkReply> reply = finished.at(0).at(0).value<QNetworkReply *>();
    QTRY_VERIFY(reply.isNull());
}

void tst_OvCheckUpdate::destroyedWhileWaitingNeverAnswers()
{
    QPointer<QTcpSocket> held;
    m_server.setHandler(versionPath, [&held](const HttpTestServer::Request &, QTcpSocket *socket) { held = socket; });

    int answers = 0;
    auto *checker = new OvCheckUpdate(nullptr);
    connect(checker, &OvCheckUpdate::update, this, [&answers] { ++answers; });
    check(*checker);
    QTRY_VERIFY(held);

    // Destroying the checker ends the request: the server sees the client go.
    QSignalSpy closed(held.data(), &QTcpSocket::disconnected);
    delete checker;
    QVERIFY(closed.wait());
    QCOMPARE(answers, 0);
}

QTEST_GUILESS_MAIN(tst_OvCheckUpdate)
#include "tst_ovcheckupdate.moc"
