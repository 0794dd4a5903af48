#include "platform/PortalScreenGrabber.h"

#include <Pictures.h>

#include <QtDBus>
#include <QtGui>
#include <QtTest>

namespace {

const QString mainWindow = QStringLiteral("[title=\"^Framzel$\"] ");
const QString overlay = QStringLiteral("[title=\"^Framzel－局部截图$\"] ");
const QString saveDialog = QStringLiteral("[title=\"^保存图像$\"] ");
enum { NoPortal = -2, NoAnswer = -1 };

bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok = process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && !process.exitCode();
    if (output)
        *output = process.readAllStandardOutput();
    return ok;
}

// A sway command; with criteria, it fails where no window matches them.
bool sway(const QString &command)
{
    return run(QStringLiteral("swaymsg"), {command});
}

bool waitFor(const QString &command, bool result = true, int timeoutMs = 15000)
{
    return QTest::qWaitFor([&] { return sway(command) == result; }, timeoutMs);
}

// Keys of a virtual keyboard, whose keymap reaches a client just before the
// first key; a client still busy with it would lose the key: wtype waits.
bool wtype(const QString &arguments)
{
    return run(QStringLiteral("wtype"), QStringLiteral("-s 300 ").append(arguments).split(QLatin1Char(' ')));
}

// What the outputs show, in their own pixels.
QImage grim()
{
    QByteArray png;
    run(QStringLiteral("grim"), {QStringLiteral("-")}, &png);
    return QImage::fromData(png).convertToFormat(QImage::Format_RGB32);
}

} // namespace

/// The desktop portal for the answers that the real one never gives: each
/// Screenshot call gets its response and results, or no answer.
class StandInPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    int response = 0;
    QVariantMap results;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in"));

public slots:
    QDBusObjectPath Screenshot(const QString &, const QVariantMap &options)
    {
        const QString path = PortalScreenGrabber::requestPath(message().service(),
                                                              options.value(QStringLiteral("handle_token")).toString());
        QDBusMessage answer = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                         QStringLiteral("Response"));
        answer << uint(response) << results;
        // After the reply, as a portal answers.
        if (response != NoAnswer)
            QTimer::singleShot(0, this, [this, answer] { bus.send(answer); });
        return QDBusObjectPath(path);
    }
};

class tst_Wayland : public QObject
{
    Q_OBJECT

private slots:
    void capture_data();
    void capture();
    void portalAnswers_data();
    void portalAnswers();

private:
    bool showPattern();
    bool point(const QPoint &at, bool down);
    // Even logical coordinates are whole device pixels at every scale here.
    QRect scaled(const QRect &logical) const { return QRect(logical.topLeft() * m_scale, logical.size() * m_scale); }

    QRect m_layout;
    qreal m_scale = 1;
    QImage m_desktop;
    QProcess m_pointer;
    int m_saves = 0;
    std::unique_ptr<StandInPortal> m_portal;
};

// Each output shows its part of a pattern as its background; the desktop is
// what they show once it stays and has them all.
bool tst_Wayland::showPattern()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens)
        m_layout |= screen->geometry();
    m_scale = qreal(grim().width()) / m_layout.width();
    const QImage pattern = patternPicture(scaled(m_layout).size());
    for (const QScreen *screen : screens) {
        const QString file = QDir::home().filePath(screen->name() + QStringLiteral(".png"));
        if (!pattern.copy(scaled(screen->geometry())).save(file)
            || !sway(QStringLiteral("output %1 bg %2 stretch").arg(screen->name(), file)))
            return false;
    }
    return QTest::qWaitFor([&] {
        const QImage last = std::exchange(m_desktop, grim());
        return m_desktop == last && std::all_of(screens.begin(), screens.end(), [&](const QScreen *screen) {
            const QRect area = scaled(screen->geometry());
            return m_desktop.pixel(area.center()) != m_desktop.pixel(area.topLeft());
        });
    }, 30000);
}

// Moves the seat's pointer to \a at with the left button \a down.
bool tst_Wayland::point(const QPoint &at, bool down)
{
    m_pointer.write(QStringLiteral("%1 %2 %3 %4 %5\n").arg(at.x()).arg(at.y()).arg(m_layout.width())
                        .arg(m_layout.height()).arg(int(down)).toLatin1());
    return m_pointer.waitForReadyRead() && m_pointer.readLine() == "ok\n";
}

void tst_Wayland::capture_data()
{
    // The main window's buttons by the keyboard; the drag in offsets from the
    // seam of the outputs (on one output, from its middle).
    QTest::addColumn<QString>("mainKeys");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QString>("overlayKey");
    const QString region = QStringLiteral("-k Tab -k space");
    QTest::newRow("full screen") << "-k space" << QPoint() << QPoint() << "";
    QTest::newRow("region across the seam, S on the window of the release")
        << region << QPoint(-150, -100) << QPoint(170, 120) << "s";
    QTest::newRow("region left of the seam, S on the window of the press")
        << region << QPoint(-300, -100) << QPoint(-60, 80) << "s";
    QTest::newRow("whole desktop from the overlay, F") << region << QPoint(-150, -100) << QPoint(170, 120) << "f";
}

// The real program with the real portal: each save holds exactly the device
// pixels under the selection, each key acts once, the main window comes back.
void tst_Wayland::capture()
{
    QFETCH(QString, mainKeys);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QString, overlayKey);
    if (m_desktop.isNull()) {
        QVERIFY(showPattern());
        // Before the program, which must find a pointer on the seat.
        m_pointer.start(QStringLiteral(WL_VIRTUAL_POINTER), {});
        QVERIFY(point(QPoint(), false));
    }
    QProcess program;
    program.start(QStringLiteral(SNAPRECT_BINARY), {});
    QVERIFY(waitFor(mainWindow + QStringLiteral("focus")) && wtype(mainKeys));
    const QPoint seam = QGuiApplication::screens().size() > 1
                            ? QPoint(QGuiApplication::primaryScreen()->geometry().right() + 1, 300)
                            : m_layout.center();
    if (!overlayKey.isEmpty()) {
        QVERIFY(waitFor(overlay + QStringLiteral("nop")));
        QVERIFY(point(seam + from, false) && point(seam + from, true) && point(seam + (from + to) / 2, true)
                && point(seam + to, true) && point(seam + to, false) && wtype(QStringLiteral("-k ") + overlayKey));
    }
    // sway leaves the keyboard with a full-screen window when a dialog opens
    // over it: the user clicks into the dialog. Return may meet the name
    // field's completion list, still catching up with the typing: as a user
    // does, press it again.
    const QString path = QDir::home().filePath(QStringLiteral("%1.png").arg(++m_saves));
    QVERIFY(waitFor(saveDialog + QStringLiteral("focus")) && wtype(QStringLiteral("-- ") + path));
    QVERIFY(QTest::qWaitFor([] {
        return wtype(QStringLiteral("-k Return")) && waitFor(saveDialog + QStringLiteral("nop"), false, 3000);
    }, 15000));
    const QImage expected = overlayKey == QLatin1String("s")
                                ? m_desktop.copy(scaled(QRect(seam + from, seam + to - QPoint(1, 1))))
                                : m_desktop;
    QTRY_COMPARE_WITH_TIMEOUT(pixelDifference(path, expected), QString(), 15000);
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/out.png")));
    // Escape leaves the overlay; a second save dialog would hold it.
    QVERIFY(wtype(QStringLiteral("-k Escape")) && waitFor(overlay + QStringLiteral("nop"), false));
    QVERIFY(sway(mainWindow + QStringLiteral("nop")));
    program.terminate();
    QVERIFY(program.waitForFinished());
}

void tst_Wayland::portalAnswers_data()
{
    QTest::addColumn<int>("response");
    QTest::addColumn<QString>("folder"); // where the portal's file lies, if it gives one
    QTest::addColumn<bool>("picture");   // or an empty file
    QTest::addColumn<QString>("failure");
    // No portal first: the stand-in stays once it is there.
    QTest::newRow("no portal") << int(NoPortal) << "" << false << "没有找到桌面门户（xdg-desktop-portal）。";
    QTest::newRow("cancelled or refused") << 1 << "" << false << "截屏被取消或被拒绝。";
    QTest::newRow("failed") << 2 << "" << false << "桌面门户截屏失败。";
    QTest::newRow("success without a file") << 0 << "" << false << "桌面门户没有给出截图文件。";
    QTest::newRow("no picture in a scratch file, removed") << 0 << "/tmp" << false << "无法读取桌面门户给出的截图文件。";
    QTest::newRow("a picture in a scratch file, removed") << 0 << "/tmp" << true << "";
    QTest::newRow("a picture of the user's, kept") << 0 << QDir::homePath() << true << "";
    QTest::newRow("no answer") << int(NoAnswer) << "" << false << "桌面门户没有应答。";
}

// In-process against a stand-in portal: each answer reaches the caller once;
// a picture one and a half times the desktop's width has the scale 1.5,
// which Qt reports as 2.
void tst_Wayland::portalAnswers()
{
    QFETCH(int, response);
    QFETCH(QString, folder);
    QFETCH(bool, picture);
    QFETCH(QString, failure);
    if (response != NoPortal && !m_portal) {
        m_portal = std::make_unique<StandInPortal>();
        QVERIFY(m_portal->bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), m_portal.get(),
                                             QDBusConnection::ExportAllSlots));
        QVERIFY(m_portal->bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }
    PortalScreenGrabber grabber;
    grabber.setAnswerTimeout(3000);
    const QString path = folder + QStringLiteral("/snaprect-portal-%1.png").arg(QCoreApplication::applicationPid());
    if (m_portal) {
        m_portal->response = response;
        m_portal->results.clear();
        if (!folder.isEmpty())
            m_portal->results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(path).toString());
    }
    QVERIFY(folder.isEmpty() || (picture ? patternPicture(grabber.desktopGeometry().size() * 1.5).save(path)
                                         : QFile(path).open(QIODevice::WriteOnly)));
    QObject context;
    QStringList answers;
    grabber.requestDesktop(&context, [&](const QPixmap &got, const QString &why) {
        answers << (got.isNull() ? why : QString());
    });
    QTRY_COMPARE_WITH_TIMEOUT(answers, QStringList{failure}, 15000);
    QCOMPARE(grabber.pixelsPerUnit(nullptr), picture ? 1.5 : 1.0);
    QVERIFY(folder.isEmpty() || QFile::exists(path) == (folder != QLatin1String("/tmp")));
}

QTEST_MAIN(tst_Wayland)
#include "tst_wayland.moc"
