#include "AppConstants.h"
#include "StartUp.h"
#include "overlay/Mark.h"
#include "overlay/TSnapRectForm.h"
#include "overlay/TSnapRectToolForm.h"
#include "platform/PortalScreenGrabber.h"

#include <Pictures.h>
#include <Processes.h>
#include <virtual-pointer.h>

#include <QtDBus>
#include <QtGui>
#include <QtTest>

#include <linux/input-event-codes.h>

namespace {

const QString mainWindow = "[title=\"^Framzel$\"] ";
const QString overlay = "[title=\"^Framzel－局部截图$\"] ";
const QString saveDialog = "[title=\"^保存图像$\"] ";
const QString portalPath = "/org/freedesktop/portal/desktop";
enum { OlderPortal = -3, NoPortal = -2, NoAnswer = -1 };

// Waits until a sway command succeeds, or with criteria, until windows match
// them (or do not, with \a result false).
bool sway(const QString &command, bool result = true, int timeoutMs = 15000)
{
    return QTest::qWaitFor([&] { return (QProcess::execute("swaymsg", {"-q", command}) == 0) == result; }, timeoutMs);
}

// The titles of sway's windows and what the program printed: what a failed
// wait for a window saw.
QByteArray windowsAndOutput(QProcess &program)
{
    QProcess tree;
    tree.start("swaymsg", {"-t", "get_tree"});
    tree.waitForFinished();
    QStringList titles;
    const std::function<void(const QJsonObject &)> collect = [&](const QJsonObject &node) {
        if (node.contains("pid"))
            titles << node["name"].toString();
        for (const char *key : {"nodes", "floating_nodes"}) {
            for (const auto &child : node[key].toArray())
                collect(child.toObject());
        }
    };
    collect(QJsonDocument::fromJson(tree.readAllStandardOutput()).object());
    return "windows: " + titles.join(", ").toUtf8() + "; the program printed: " + program.readAllStandardError();
}

// Keys of a virtual keyboard, whose keymap reaches a client just before the
// first key; a client still busy with it would lose the key: wtype waits.
bool wtype(const QString &arguments)
{
    return QProcess::execute("wtype", QString("-s 300 " + arguments).split(' ')) == 0;
}

// What the outputs show, in their own pixels.
QImage grim()
{
    return printedPicture("grim", {"-"});
}

// The clipboard's picture, read as any program would paste it.
QImage pasted()
{
    return printedPicture("wl-paste", {"--no-newline", "--type", "image/png"});
}

// The clipboard's owners on this compositor.
QList<qint64> clipboardOwners()
{
    return processesWith("--serve-clipboard", "XDG_RUNTIME_DIR=" + qgetenv("XDG_RUNTIME_DIR"));
}

} // namespace

/// The desktop portal, for the answers that the real one never gives: each
/// Screenshot call gets its response and results, or no answer; as an older
/// portal, success on a request path of its own, after the call returns.
class StandInPortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    StandInPortal() { QDBusConnection::sessionBus().registerObject(portalPath, this, QDBusConnection::ExportAllSlots); }

    int response = 0;
    QVariantMap results;

public slots:
    QDBusObjectPath Screenshot(const QString &, const QVariantMap &options)
    {
        const QString caller = QDBusConnection::sessionBus().baseService();
        const QString path = response == OlderPortal ? portalPath + "/request/older/1"
                                                     : PortalScreenGrabber::requestPath(caller, options["handle_token"].toString());
        QDBusMessage answer = QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
        answer << uint(qMax(response, 0)) << results;
        // Before the reply, as a fast portal may: the caller listens already.
        if (response == OlderPortal)
            QTimer::singleShot(500, [answer] { QDBusConnection::sessionBus().send(answer); });
        else if (response != NoAnswer)
            QDBusConnection::sessionBus().send(answer);
        return QDBusObjectPath(path);
    }
};

class tst_Wayland : public QObject
{
    Q_OBJECT

    // Even logical coordinates are whole device pixels at every scale here.
    QRect scaled(const QRect &logical) const { return QRect(logical.topLeft() * m_scale, logical.size() * m_scale); }

    // Each output shows its part of a pattern as its background; the desktop is
    // what they show once it stays and has them all. The headless seat has no
    // pointer: the test brings one, a virtual pointer on a connection of its
    // own, before the program, which must find it on the seat.
    bool setUpDesktop()
    {
        static const wl_registry_listener listener{
            [](void *manager, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
                if (qstrcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
                    *static_cast<void **>(manager) =
                        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
            },
            nullptr};
        zwlr_virtual_pointer_manager_v1 *manager = nullptr;
        wl_registry_add_listener(wl_display_get_registry(m_display), &listener, &manager);
        wl_display_roundtrip(m_display);
        m_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, nullptr);
        wl_display_roundtrip(m_display);
        // The program's font, in which the marks write their texts.
        registerFontSubstitutes();
        QGuiApplication::setFont(appFont);
        const QList<QScreen *> screens = QGuiApplication::screens();
        m_scale = qreal(grim().width()) / m_layout.width();
        const QImage pattern = patternPicture(scaled(m_layout).size());
        for (const QScreen *screen : screens) {
            const QString file = QDir::home().filePath(screen->name() + ".png");
            if (!pattern.copy(scaled(screen->geometry())).save(file)
                || !sway("output " + screen->name() + " bg " + file + " stretch"))
                return false;
        }
        // At a whole scale each output shows its part exactly; a picture
        // that has stayed may still hold a stale patch on a loaded machine.
        return QTest::qWaitFor([&] {
            const QImage last = std::exchange(m_desktop, grim());
            return m_desktop == last && std::all_of(screens.begin(), screens.end(), [&](const QScreen *screen) {
                const QRect area = scaled(screen->geometry());
                return m_scale == int(m_scale) ? m_desktop.copy(area) == pattern.copy(area)
                                               : m_desktop.pixel(area.center()) != m_desktop.pixel(area.topLeft());
            });
        }, 30000);
    }

    // Until a full-screen window's first arrangement is shown, sway sends it
    // the pointer by its old place, an output off: the user waits to see it.
    bool overlayShown()
    {
        const QList<QScreen *> screens = QGuiApplication::screens();
        return QTest::qWaitFor([&] {
            const QImage shown = grim();
            return std::all_of(screens.begin(), screens.end(), [&](const QScreen *screen) {
                return shown.pixel(scaled(screen->geometry()).center()) != m_desktop.pixel(scaled(screen->geometry()).center());
            });
        }, 30000);
    }

    // Drags the pointer with the left button, by way of the middle, then goes
    // back and forth as the user's hand does, which gives the keyboard to the
    // window of the release; returns once the compositor has it all.
    bool drag(const QPoint &from, const QPoint &to)
    {
        uint32_t time = 0, held = 0;
        const QPoint mid = (from + to) / 2;
        const std::pair<QPoint, uint> steps[] = {{from, 0}, {from, 1}, {mid, 1}, {to, 1}, {to, 0}, {from, 0}, {to, 0}};
        for (const auto &[at, down] : steps) {
            zwlr_virtual_pointer_v1_motion_absolute(m_pointer, ++time, at.x(), at.y(), m_layout.width(),
                                                    m_layout.height());
            if (down != held)
                zwlr_virtual_pointer_v1_button(m_pointer, time, BTN_LEFT, held = down);
            zwlr_virtual_pointer_v1_frame(m_pointer);
        }
        return wl_display_roundtrip(m_display) >= 0;
    }

private slots:
    void capture_data()
    {
        // The drag in offsets from the seam of the outputs (on one output,
        // from its middle); without a key, the main window's full-screen button.
        QTest::addColumn<QLine>("selection");
        QTest::addColumn<QString>("key");
        QTest::newRow("full screen") << QLine() << "";
        QTest::newRow("across the seam, S on the toolbar's second window") << QLine(-150, -100, 170, 120) << "s";
        QTest::newRow("left of the seam, a pixel left, the right edge back, S")
            << QLine(-300, -100, -60, 80) << "Left -M shift -k Right -m shift -k s";
        QTest::newRow("across the seam, B draws a rectangle, S") << QLine(-150, -100, 170, 120) << "b s";
        QTest::newRow("across the seam, T types a text, S") << QLine(-150, -100, 170, 120) << "t s";
        QTest::newRow("across the seam, the bottom right corner dragged out, S") << QLine(-150, -100, 170, 120) << "c s";
        QTest::newRow("whole desktop from the overlay, F") << QLine(-150, -100, 170, 120) << "f";
        QTest::newRow("Enter copies, the copy outlives 退出") << QLine(-150, -100, 170, 120) << "Return";
    }

    // The real program with the real portal: each save holds exactly the device
    // pixels under the selection, each key acts once, the main window comes back.
    void capture()
    {
        QFETCH(QLine, selection);
        QFETCH(QString, key);
        QVERIFY(!m_desktop.isNull() || setUpDesktop());
        QFile settings(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Framzel/save.xml");
        QVERIFY(QDir().mkpath(QFileInfo(settings).path()) && settings.open(QIODevice::WriteOnly)
                && settings.write(QString(R"(<snaprect><save folder="%1" type="0"/></snaprect>)").arg(QDir::homePath()).toUtf8()));
        settings.close();
        QProcess program;
        program.start(SNAPRECT_BINARY, {});
        QVERIFY(sway(mainWindow + "focus") && wtype(key.isEmpty() ? "-k space" : "-k Tab -k space"));
        const QRect first = QGuiApplication::primaryScreen()->geometry();
        const QLine at = selection.translated(first == m_layout ? first.center() : first.topRight() + QPoint(1, 300));
        // The portal's grab of the whole layout may take long on a loaded
        // machine, under the sanitizer most.
        if (!key.isEmpty()) {
            QVERIFY2(sway(overlay + "nop", true, 30000), windowsAndOutput(program));
            QVERIFY2(overlayShown(), windowsAndOutput(program));
            QVERIFY(drag(at.p1(), at.p2()));
        }
        // "b s": a rectangle drawn inside the selection, then S.
        const QLine mark(at.p1() + QPoint(20, 20), at.p2() - QPoint(20, 20));
        QImage shown = m_desktop;
        if (key.startsWith("b ")) {
            QVERIFY(wtype("-k b") && drag(mark.p1(), mark.p2()));
            // In the colour and width of a first run.
            const auto drawn = Mark::make(MarkTool::Rectangle, MarkStyle(), mark.p1() * m_scale, m_desktop);
            drawn->extend(mark.p2() * m_scale, Qt::NoModifier);
            QPainter painter(&shown);
            drawn->paint(painter, 0);
            key = key.mid(2);
        }
        const QPoint cornerMoved = key.startsWith("c ") ? QPoint(10, 10) : QPoint();
        if (key.startsWith("c ")) {
            QVERIFY(drag(at.p2() - QPoint(1, 1), at.p2() + cornerMoved - QPoint(1, 1)));
            key = key.mid(2);
        }
        // "t s": a text typed at the mark's first corner and placed, then S.
        if (key.startsWith("t ")) {
            QVERIFY(wtype("-k t") && drag(mark.p1(), mark.p1()) && wtype("ab你好") && wtype("-M ctrl -k Return -m ctrl"));
            QPainter painter(&shown);
            Mark::makeText(MarkText{"ab你好", mark.p1() * m_scale, MarkStyle()})->paint(painter, 0);
            key = key.mid(2);
        }
        if (!key.isEmpty())
            QVERIFY(wtype("-k " + key));
        const QRect area = scaled(QRect(at.p1(), at.p2() + cornerMoved - QPoint(1, 1))).adjusted(key.startsWith("Left") ? -1 : 0, 0, 0, 0);
        if (key == "Return") {
            // 退出 is two buttons after 局部.
            QVERIFY(sway(overlay + "nop", false) && sway(mainWindow + "focus") && wtype("-k Tab -k Tab -k space"));
            QVERIFY(program.waitForFinished(30000));
            QCOMPARE(pasted(), m_desktop.copy(area));
            return;
        }
        // sway leaves the keyboard with a full-screen window when a dialog opens
        // over it: the dialog gets it, as by the user's click. It opens in the
        // folder of the last save, where the name proposed is replaced; a path
        // typed in full would have it open folders on the way. Return may meet
        // the name field's completion list, still catching up with the typing:
        // as a user does, press it again.
        const QString name = QUuid::createUuid().toString(QUuid::Id128) + ".png", path = QDir::home().filePath(name);
        QVERIFY(sway(saveDialog + "focus") && wtype("-M ctrl -k a -m ctrl " + name));
        QVERIFY(QTest::qWaitFor([] { return wtype("-k Return") && sway(saveDialog + "nop", false, 3000); }, 15000));
        QTRY_COMPARE_WITH_TIMEOUT(pixelDifference(path, key.endsWith("s") ? shown.copy(area) : shown), QString(), 15000);
        QVERIFY(!QFile::exists("/tmp/out.png"));
        // Escape leaves the overlay; a second save dialog would hold it.
        // (With a tool chosen the first only drops it.)
        QVERIFY(wtype(shown != m_desktop ? "-k Escape -k Escape" : "-k Escape") && sway(overlay + "nop", false) && sway(mainWindow + "nop"));
        program.terminate();
        QVERIFY(program.waitForFinished());
    }

    // The options through the real portal: a rectangle across the seam to
    // standard output, exact; then to the clipboard, where it stays after
    // the command through data-control; then a rectangle of --region copied
    // with Enter, which replaces it, leaving one owner.
    void commandLine()
    {
        QVERIFY(!m_desktop.isNull() || setUpDesktop());
        QProcess program;
        const QStringList rectangle{"-f", "-g", "400x200+900+100"};
        program.start(SNAPRECT_BINARY, rectangle + QStringList{"-o", "-"});
        QVERIFY2(program.waitForFinished(30000) && program.exitCode() == 0, program.readAllStandardError());
        QCOMPARE(QImage::fromData(program.readAllStandardOutput()).convertToFormat(QImage::Format_RGB32),
                 m_desktop.copy(900, 100, 400, 200));
        program.start(SNAPRECT_BINARY, rectangle + QStringList{"-c"});
        QVERIFY2(program.waitForFinished(30000) && program.exitCode() == 0, program.readAllStandardError());
        QCOMPARE(pasted(), m_desktop.copy(900, 100, 400, 200));
        program.start(SNAPRECT_BINARY, {"--region"});
        // The drag begins once the dimmed picture is on the screen there.
        QTRY_VERIFY_WITH_TIMEOUT(grim().pixel(300, 200) != m_desktop.pixel(300, 200), 15000);
        QVERIFY(drag({300, 200}, {700, 500}) && wtype("-k Return"));
        QVERIFY2(program.waitForFinished(30000) && program.exitCode() == 0, program.readAllStandardError());
        QCOMPARE(pasted(), m_desktop.copy(300, 200, 400, 300));
        QTRY_COMPARE_WITH_TIMEOUT(clipboardOwners().size(), 1, 15000);

        // As where data-control is not offered (GNOME): no copy without a
        // window; the overlay's served by the program until it has been read.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SNAPRECT_CLIPBOARD", "qt");
        program.setProcessEnvironment(environment);
        program.start(SNAPRECT_BINARY, rectangle + QStringList{"-c"});
        QVERIFY(program.waitForFinished(30000) && program.exitCode() == 1);
        QVERIFY(program.readAllStandardError().contains("--full --output - | wl-copy"));
        program.start(SNAPRECT_BINARY, {"--region"});
        QTRY_VERIFY_WITH_TIMEOUT(grim().pixel(300, 200) != m_desktop.pixel(300, 200), 15000);
        QVERIFY(drag({300, 200}, {600, 400}) && wtype("-k Return"));
        // It serves one reader, the first that is not the last owner's: read
        // once, as QTRY_* would read again after its condition held, when
        // the program may have ended.
        QImage served;
        QVERIFY(QTest::qWaitFor([&] { return !(served = pasted()).isNull() && served.size() != QSize(400, 300); }, 15000));
        QCOMPARE(served, m_desktop.copy(300, 200, 300, 200));
        QVERIFY2(program.waitForFinished(30000) && program.exitCode() == 0, program.readAllStandardError());
        // Another program's copy before anyone read ours takes it over,
        // which is no failure; a refusal would be one.
        program.start(SNAPRECT_BINARY, {"--region"});
        QTRY_VERIFY_WITH_TIMEOUT(grim().pixel(300, 200) != m_desktop.pixel(300, 200), 15000);
        QVERIFY(drag({300, 200}, {600, 400}) && wtype("-k Return"));
        QProcess types;
        QTRY_VERIFY_WITH_TIMEOUT((types.start("wl-paste", {"--list-types"}), types.waitForFinished() && types.readAll() == "image/png\n"), 15000);
        QVERIFY(QProcess::execute("wl-copy", {"--paste-once", "taken"}) == 0);
        QVERIFY2(program.waitForFinished(30000) && program.exitCode() == 0, program.readAllStandardError());
    }

    void portalAnswers_data()
    {
        QTest::addColumn<int>("response");
        QTest::addColumn<QString>("folder"); // where the portal's file lies: a picture, or empty on failure
        QTest::addColumn<QString>("failure");
        // No portal first: the stand-in stays once it is there.
        QTest::newRow("no portal") << int(NoPortal) << "" << "没有找到桌面门户（xdg-desktop-portal）。";
        QTest::newRow("cancelled or refused") << 1 << "" << "截屏被取消或被拒绝。";
        QTest::newRow("failed") << 2 << "" << "桌面门户截屏失败。";
        QTest::newRow("success without a file") << 0 << "" << "桌面门户没有给出截图文件。";
        QTest::newRow("no picture in a scratch file, removed") << 0 << "/tmp" << "无法读取桌面门户给出的截图文件。";
        QTest::newRow("a picture of the user's, kept") << 0 << QDir::homePath() << "";
        QTest::newRow("an older portal's own request path") << int(OlderPortal) << QDir::homePath() << "";
        QTest::newRow("no answer") << int(NoAnswer) << "" << "桌面门户没有应答。";
    }

    // In-process against a stand-in portal: each answer reaches the caller once;
    // a picture one and a half times the desktop's width has the scale 1.5,
    // which Qt reports as 2.
    void portalAnswers()
    {
        QFETCH(int, response);
        QFETCH(QString, folder);
        QFETCH(QString, failure);
        QVERIFY(response == NoPortal
                || QDBusConnection::sessionBus().registerService("org.freedesktop.portal.Desktop"));
        PortalScreenGrabber grabber;
        grabber.setAnswerTimeout(3000);
        const QString path = folder + QString("/snaprect-portal-%1.png").arg(QCoreApplication::applicationPid());
        m_portal.response = response;
        m_portal.results = {{"uri", folder.isEmpty() ? QString() : QUrl::fromLocalFile(path).toString()}};
        QVERIFY(folder.isEmpty() || (failure.isEmpty() ? patternPicture(grabber.desktopGeometry().size() * 1.5).save(path)
                                             : QFile(path).open(QIODevice::WriteOnly)));
        QObject context;
        QStringList answers;
        grabber.requestDesktop(&context, [&](const QPixmap &got, const QString &why) {
            answers << (got.isNull() ? why : "");
        });
        QTRY_COMPARE_WITH_TIMEOUT(answers, QStringList{failure}, 15000);
        QCOMPARE(grabber.pixelsPerUnit(nullptr), failure.isEmpty() ? 1.5 : 1.0);
        QVERIFY(folder.isEmpty() || QFile::exists(path) == (folder != "/tmp"));
    }

    // Each capture starts with the toolbar in the middle of the primary
    // output, also after the last one moved it to another output.
    void toolbarBackOnThePrimaryOutput()
    {
        QVERIFY(QDBusConnection::sessionBus().registerService("org.freedesktop.portal.Desktop"));
        const QString path = QDir::home().filePath("desktop.png");
        QVERIFY(patternPicture(m_layout.size()).save(path));
        m_portal.response = 0;
        m_portal.results = {{"uri", QUrl::fromLocalFile(path).toString()}};
        TSnapRectForm form(nullptr);
        form.snapRect();
        QWidget *other = form.surfaces().constLast();
        QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(other->width() - 5, other->height() - 5));
        QCOMPARE(form.toolForm()->parentWidget(), other);
        form.snapRect();
        QCOMPARE(form.toolForm()->parentWidget(), &form);
        QVERIFY(form.rect().contains(form.toolForm()->geometry()));
    }

private:
    const QRect m_layout = QGuiApplication::primaryScreen()->virtualGeometry();
    qreal m_scale = 1;
    QImage m_desktop;
    wl_display *const m_display = wl_display_connect(nullptr);
    zwlr_virtual_pointer_v1 *m_pointer = nullptr;
    StandInPortal m_portal;
};

QTEST_MAIN(tst_Wayland)
#include "tst_wayland.moc"
