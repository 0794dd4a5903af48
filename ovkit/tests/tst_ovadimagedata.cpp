#include <OvAdImageData.h>

#include <EncodedImage.h>
#include <HttpTestServer.h>

#include <QFile>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray gifBody()
{
    QFile file(QStringLiteral(OVKIT_TEST_DATA "/green.gif"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) < 12 && qAbs(a.green() - b.green()) < 12 && qAbs(a.blue() - b.blue()) < 12;
}

enum class Shape { Complete, ClosedMidBody, Endless };

} // namespace
Q_DECLARE_METATYPE(Shape)

// Downloading and decoding one ad picture from a server on 127.0.0.1.
class tst_OvAdImageData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsEmpty();
    void decodes_data();
    void decodes();
    void failureLeavesNotLoaded_data();
    void failureLeavesNotLoaded();
    void onlyWebAddressesAreFetched_data();
    void onlyWebAddressesAreFetched();
    void laterDownloadReplacesState();
    void repliesAreReleased();
    void destroyedDuringDownload();

private:
    /// Downloads \a path into \a image and waits for the reply.
    bool download(OvAdImageData &image, const QString &path, const QString &format = QString());

    HttpTestServer m_server;
};

void tst_OvAdImageData::initTestCase()
{
    QVERIFY(m_server.listen());
    QVERIFY(!gifBody().isEmpty());
}

bool tst_OvAdImageData::download(OvAdImageData &image, const QString &path, const QString &format)
{
    image.m_data.imageUrl = m_server.url(path);
    image.m_data.imageFormat = format;
    QSignalSpy finished(image.m_manager, &QNetworkAccessManager::finished);
    image.exec();
    return finished.wait() && finished.count() == 1;
}

void tst_OvAdImageData::startsEmpty()
{
    OvAdImageData image;
    QVERIFY(!image.m_loaded);
    QVERIFY(image.m_pixmap.isNull());
    QVERIFY(image.m_data.imageUrl.isNull());
    QVERIFY(image.m_data.imageFormat.isNull());
    QVERIFY(image.m_data.fileName.isNull());
    QVERIFY(image.m_data.linkUrl.isNull());
    QVERIFY(image.m_data.text.isNull());
    QCOMPARE(image.m_manager->parent(), &image);
}

void tst_OvAdImageData::decodes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QColor>("color");

    const QColor red(220, 30, 30);
    const QSize gifSize(24, 16); // all rows decode to the size of the GIF on disk
    QTest::newRow("PNG named png") << encodedImage(red, "PNG", gifSize) << "png" << red;
    QTest::newRow("PNG without image_format") << encodedImage(red, "PNG", gifSize) << "" << red;
    QTest::newRow("PNG named in capitals") << encodedImage(red, "PNG", gifSize) << "PNG" << red;
    QTest::newRow("JPEG named jpg") << encodedImage(red, "JPEG", gifSize) << "jpg" << red;
    QTest::newRow("JPEG without image_format") << encodedImage(red, "JPEG", gifSize) << "" << red;
    QTest::newRow("GIF named gif") << gifBody() << "gif" << QColor(0, 160, 0);
    QTest::newRow("GIF without image_format") << gifBody() << "" << QColor(0, 160, 0);

    // Bytes past the end of a PNG do not disturb the decoder.
    const QByteArray png = encodedImage(red, "PNG", gifSize);
    QTest::newRow("PNG padded to exactly the size limit")
        << png + QByteArray(OvAdImageData::maxImageSize - png.size(), '\0') << "png" << red;
}

void tst_OvAdImageData::decodes()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, format);
    QFETCH(QColor, color);
    m_server.setHandler("/picture", HttpTestServer::reply(200, body, "image/unknown"));

    OvAdImageData image;
    QVERIFY(download(image, QStringLiteral("picture"), format));
    QVERIFY(image.m_loaded);
    QCOMPARE(image.m_pixmap.size(), QSize(24, 16));
    const QColor shown = image.m_pixmap.toImage().pixelColor(12, 8);
    QVERIFY2(near(shown, color), qPrintable(shown.name()));
}

void tst_OvAdImageData::failureLeavesNotLoaded_data()
{
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("format");

    const QByteArray png = encodedImage(Qt::blue, "PNG");
    QTest::newRow("valid PNG with status 404") << Shape::Complete << 404 << png << "png";
    QTest::newRow("valid PNG with status 500") << Shape::Complete << 500 << png << "";
    QTest::newRow("empty body") << Shape::Complete << 200 << QByteArray() << "";
    QTest::newRow("text instead of a picture") << Shape::Complete << 200 << QByteArray("<html>ad</html>") << "";
    QTest::newRow("text named png") << Shape::Complete << 200 << QByteArray("not a picture") << "png";
    QTest::newRow("unknown format name") << Shape::Complete << 200 << QByteArray("not a picture") << "nosuchformat";
    QTest::newRow("PNG one byte past the size limit")
        << Shape::Complete << 200 << png + QByteArray(OvAdImageData::maxImageSize - png.size() + 1, '\0') << "png";
    QTest::newRow("connection closed mid-body") << Shape::ClosedMidBody << 200 << png.left(png.size() / 2) << "png";
    QTest::newRow("endless body after a PNG") << Shape::Endless << 200 << png << "png";
}

void tst_OvAdImageData::failureLeavesNotLoaded()
{
    QFETCH(Shape, shape);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, format);

    switch (shape) {
    case Shape::Complete:
        m_server.setHandler("/picture", HttpTestServer::reply(status, body));
        break;
    case Shape::ClosedMidBody:
        m_server.setHandler("/picture", HttpTestServer::closeMidBody(body, body.size() * 2));
        break;
    case Shape::Endless:
        m_server.setHandler("/picture", HttpTestServer::endless(body, '\0'));
        break;
    }

    OvAdImageData image;
    QVERIFY(download(image, QStringLiteral("picture"), format));
    QVERIFY(!image.m_loaded);
}

void tst_OvAdImageData::onlyWebAddressesAreFetched_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("fetched");

    QTest::newRow("http on 127.0.0.1") << m_server.url(QStringLiteral("picture")) << true;
    QTest::newRow("http, scheme in capitals") << QStringLiteral("HTTP://127.0.0.1:%1/picture").arg(m_server.port()) << true;
    QTest::newRow("file") << QStringLiteral("file://%1/picture.png") << false;
    QTest::newRow("data URL") << QStringLiteral("data:image/png;base64,")
                                     + QString::fromLatin1(encodedImage(Qt::blue, "PNG").toBase64())
                              << false;
    QTest::newRow("qrc") << QStringLiteral("qrc:/picture.png") << false;
    QTest::newRow("ftp") << QStringLiteral("ftp://127.0.0.1:%1/picture").arg(m_server.port()) << false;
    QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << false;
    QTest::newRow("relative path") << QStringLiteral("picture.png") << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_OvAdImageData::onlyWebAddressesAreFetched()
{
    QFETCH(QString, address);
    QFETCH(bool, fetched);

    // A real picture on disk, where a file address would find it.
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("picture.png")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(encodedImage(Qt::blue, "PNG"));
    file.close();
    if (address.contains(QLatin1String("%1")))
        address = address.arg(folder.path());
    m_server.setHandler("/picture", HttpTestServer::reply(200, encodedImage(Qt::blue, "PNG")));

    OvAdImageData image;
    image.m_data.imageUrl = address;
    image.exec();
    // A request under way is a reply object of the entry's manager.
    QCOMPARE(image.m_manager->findChildren<QNetworkReply *>().size(), fetched ? 1 : 0);
    if (fetched)
        QTRY_VERIFY(image.m_loaded);
    else
        QVERIFY(!image.m_loaded);
}

void tst_OvAdImageData::laterDownloadReplacesState()
{
    OvAdImageData image;
    m_server.setHandler("/picture", HttpTestServer::reply(200, encodedImage(Qt::blue, "PNG")));
    QVERIFY(download(image, QStringLiteral("picture")));
    QVERIFY(image.m_loaded);

    // While the next download is under way the entry keeps its state.
    QPointer<QTcpSocket> held;
    m_server.setHandler("/picture", [&held](const HttpTestServer::Request &, QTcpSocket *socket) { held = socket; });
    QSignalSpy finished(image.m_manager, &QNetworkAccessManager::finished);
    image.exec();
    QTRY_VERIFY(held);
    QVERIFY(image.m_loaded);

    HttpTestServer::respond(held, 404, encodedImage(Qt::blue, "PNG"));
    QVERIFY(finished.wait());
    QVERIFY(!image.m_loaded);
}

void tst_OvAdImageData::repliesAreReleased()
{
    m_server.setHandler("/picture", HttpTestServer::reply(200, encodedImage(Qt::blue, "PNG")));
    OvAdImageData image;
    image.m_data.imageUrl = m_server.url(QStringLiteral("picture"));
    QSignalSpy finished(image.m_manager, &QNetworkAccessManager::finished);
    image.exec();
    QVERIFY(finished.wait());
    QPointer<QNetworkReply> reply = finished.at(0).at(0).value<QNetworkReply *>();
    QTRY_VERIFY(reply.isNull());
}

void tst_OvAdImageData::destroyedDuringDownload()
{
    QPointer<QTcpSocket> held;
    m_server.setHandler("/picture", [&held](const HttpTestServer::Request &, QTcpSocket *socket) { held = socket; });
    auto *image = new OvAdImageData;
    image->m_data.imageUrl = m_server.url(QStringLiteral("picture"));
    image->exec();
    QTRY_VERIFY(held);

    QSignalSpy closed(held.data(), &QTcpSocket::disconnected);
    delete image;
    QVERIFY(closed.wait());
}

QTEST_MAIN(tst_OvAdImageData)
#include "tst_ovadimagedata.moc"
