#include "AppConstants.h"
#include "TMainForm.h"
#include "TSnapRectForm.h"
#include "platform/PortalScreenGrabber.h"
#include "ui_TMainForm.h"

#include <ModalAnswerer.h>

#include <QApplication>
#include <QBuffer>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// What a grab handed to its callback.
struct Answer {
    int count = 0;
    QPixmap picture;
    QString failure;
};

Answer requestAndWait(PortalScreenGrabber &grabber)
{
    Answer answer;
    QObject context;
    grabber.requestDesktop(&context, [&](const QPixmap &picture, const QString &failure) {
        ++answer.count;
        answer.picture = picture;
        answer.failure = failure;
    });
    // The callers compare the count: 0 when nothing came.
    (void)QTest::qWaitFor([&] { return answer.count > 0; }, 15000);
    return answer;
}

} // namespace

/// A request object of the stand-in portal, which records Close calls.
class FakePortalRequest : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")

public:
    FakePortalRequest(QObject *parent, QStringList *closed, const QString &path)
        : QObject(parent), m_closed(closed), m_path(path)
    {
    }

public slots:
    void Close() { m_closed->append(m_path); }

private:
    QStringList *m_closed;
    QString m_path;
};

/// A stand-in for the desktop portal on the test's private session bus, on
/// a connection of its own, for the answers that the real portal here never
/// gives: it answers each Screenshot call with a fixed response, or not at all.
class FakePortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    FakePortal()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal")))
    {
        m_bus.registerObject(portalPath, this, QDBusConnection::ExportAllSlots);
        registered = m_bus.registerService(portalService);
    }
    ~FakePortal() override
    {
        m_bus.unregisterService(portalService);
        m_bus.unregisterObject(portalPath);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
    }

    bool registered = false;
    bool answers = true;
    uint response = 0;
    QVariantMap results;
    QStringList closed; ///< request paths on which Close was called

public slots:
    QDBusObjectPath Screenshot(const QString &, const QVariantMap &options)
    {
        const QString token = options.value(QStringLiteral("handle_token")).toString();
        const QString path = PortalScreenGrabber::requestPath(message().service(), token);
        m_bus.registerObject(path, new FakePortalRequest(this, &closed, path), QDBusConnection::ExportAllSlots);
        if (answers) {
            // After the reply, as a portal answers.
            QTimer::singleShot(0, this, [this, path] {
                QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                                 QStringLiteral("Response"));
                signal << response << results;
                m_bus.send(signal);
            });
        }
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection m_bus;
};

// On a session bus without a portal, and with a stand-in that answers as a
// portal may: every failure reaches the caller once, with words for the user,
// and the main window comes back and says it.
class tst_PortalFailures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noPortalOnTheBus();
    void mainWindowComesBackWithMessage_data();
    void mainWindowComesBackWithMessage();
    void portalAnswers_data();
    void portalAnswers();
    void silentPortalTimesOutAndRequestIsClosed();

private:
    QTemporaryDir m_files;
};

void tst_PortalFailures::initTestCase()
{
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(portalService));
    QApplication::setQuitOnLastWindowClosed(false);
}

void tst_PortalFailures::noPortalOnTheBus()
{
    PortalScreenGrabber grabber;
    const Answer answer = requestAndWait(grabber);
    QCOMPARE(answer.count, 1);
    QVERIFY(answer.picture.isNull());
    QCOMPARE(answer.failure, QStringLiteral("没有找到桌面门户（xdg-desktop-portal）。"));
    QVERIFY(grabber.grabDesktop().isNull());
}

void tst_PortalFailures::mainWindowComesBackWithMessage_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("full screen") << "btnFullScreen";
    QTest::newRow("region") << "btnSnapRect";
}

void tst_PortalFailures::mainWindowComesBackWithMessage()
{
    QFETCH(QString, button);
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    ModalAnswerer answerer;
    answerer.then([](QWidget *modal) { static_cast<QMessageBox *>(modal)->accept(); });
    form.findChild<QPushButton *>(button)->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.titles.size(), 1, 15000);
    QCOMPARE(answerer.titles.first(), appTitle);
    QCOMPARE(answerer.texts.first(), QStringLiteral("无法截取屏幕：没有找到桌面门户（xdg-desktop-portal）。"));
    QVERIFY(form.isVisible());
    QVERIFY(!form.snapRectOverlay()->isVisible());
    QVERIFY(answerer.unexpected.isEmpty());
}

void tst_PortalFailures::portalAnswers_data()
{
    QTest::addColumn<uint>("response");
    QTest::addColumn<QString>("file");    // written where the portal points: "scratch" or "kept"
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("fileStays");

    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        red.save(&buffer, "PNG");
    }
    QTest::newRow("picture in the scratch folder is read and removed") << 0u << "scratch" << png << "" << false;
    QTest::newRow("picture elsewhere is read and left to the user") << 0u << "kept" << png << "" << true;
    QTest::newRow("user cancelled or refused") << 1u << "" << QByteArray() << "截屏被取消或被拒绝。" << false;
    QTest::newRow("portal failed otherwise") << 2u << "" << QByteArray() << "桌面门户截屏失败。" << false;
    QTest::newRow("success without a file") << 0u << "" << QByteArray() << "桌面门户没有给出截图文件。" << false;
    QTest::newRow("file that holds no picture")
        << 0u << "scratch" << QByteArray("not a picture") << "无法读取桌面门户给出的截图文件。" << false;
}

void tst_PortalFailures::portalAnswers()
{
    QFETCH(uint, response);
    QFETCH(QString, file);
    QFETCH(QByteArray, contents);
    QFETCH(QString, failure);
    QFETCH(bool, fileStays);

    FakePortal portal;
    QVERIFY(portal.registered);
    portal.response = response;
    QString path;
    if (!file.isEmpty()) {
        const QString folder = file == QLatin1String("scratch") ? QDir::tempPath() : m_files.path();
        static int serial = 0;
        path = QDir(folder).filePath(QStringLiteral("snaprect-portal-answer-%1-%2.png").arg(QCoreApplication::applicationPid()).arg(++serial));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(contents);
        out.close();
        portal.results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(path).toString());
    }

    PortalScreenGrabber grabber;
    const Answer answer = requestAndWait(grabber);
    QCOMPARE(answer.count, 1);
    QCOMPARE(answer.failure, failure);
    if (failure.isEmpty()) {
        QCOMPARE(answer.picture.toImage().pixel(0, 0), QColor(Qt::red).rgb());
        QCOMPARE(answer.picture.width(), 40);
    } else {
        QVERIFY(answer.picture.isNull());
    }
    if (!path.isEmpty())
        QCOMPARE(QFile::exists(path), fileStays);
    QVERIFY(portal.closed.isEmpty());
}

void tst_PortalFailures::silentPortalTimesOutAndRequestIsClosed()
{
    FakePortal portal;
    QVERIFY(portal.registered);
    portal.answers = false;
    PortalScreenGrabber grabber;
    grabber.setAnswerTimeout(100);
    const Answer answer = requestAndWait(grabber);
    QCOMPARE(answer.count, 1);
    QVERIFY(answer.picture.isNull());
    QCOMPARE(answer.failure, QStringLiteral("桌面门户没有应答。"));
    // The portal is told to drop the request.
    QTRY_COMPARE(portal.closed.size(), 1);
    QVERIFY(portal.closed.first().startsWith(
        PortalScreenGrabber::requestPath(QDBusConnection::sessionBus().baseService(), QString())));
}

QTEST_MAIN(tst_PortalFailures)
#include "tst_portalfailures.moc"
