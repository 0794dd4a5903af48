#include "AppConstants.h"
#include "CaptureLock.h"
#include "StartUp.h"
#include "TMainForm.h"
#include "overlay/MarkControls.h"
#include "overlay/TSnapRectToolForm.h"
#include "platform/ScreenGrabber.h"

#include <Pictures.h>
#include <Processes.h>
#include <X11.h>

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <unistd.h>

namespace {
const QString overlayTitle = "Framzel－局部截图", toolbarTitle = "局部截图";

// "x,y" or "x,y,w,h", in the server's pixels; "all" for the whole desktop.
QRect rectangle(const QString &text)
{
    const QStringList n = text.split(',');
    return text == "all" ? X11::desktop() : QRect(n[0].toInt(), n[1].toInt(), n.value(2).toInt(), n.value(3).toInt());
}

// At a hand's pace: under load, a release that follows its press at once
// may go astray under a window manager.
void drag(const QString &from, const QString &to, const QString &button = "1")
{
    const QPoint a = rectangle(from).topLeft(), b = rectangle(to).topLeft();
    X11::xdotool(QString("mousemove %1 %2 mousedown %5 sleep 0.1 mousemove %3 %4 sleep 0.1 mouseup %5 sleep 0.1")
                     .arg(a.x()).arg(a.y()).arg(b.x()).arg(b.y()).arg(button).split(' '));
}
} // namespace

// The real program on this run's X server (one or two monitors, scaled by
// QT_SCALE_FACTOR, with or without a window manager, with or without MIT-SHM),
// driven through XTEST as a user drives it, against a root window whose every
// pixel tells its position.
class tst_Capture : public QObject
{
    Q_OBJECT

    QImage m_desktop;
    QProcess m_program;
    QTemporaryDir m_folder;
    X11::Window m_main = 0, m_overlay = 0;
    QHash<QString, QPoint> m_buttons;

    QString file(const QString &name) const { return m_folder.filePath(name); }

    void clickMainButton(const QString &name)
    {
        const QPoint at = X11::geometry(m_main).topLeft() + m_buttons.value(name);
        X11::xdotool(QString("mousemove %1 %2 click 1").arg(at.x()).arg(at.y()).split(' '));
        if (name == "btnSnapRect")
            QVERIFY((m_overlay = X11::waitForWindow(overlayTitle)));
    }

    // Keys go to the toolbar, which a user may click into, or to the
    // overlay's windows (one per screen on some layouts) or the toolbar,
    // whichever a window manager gave the keyboard: all take S, R, F and Q.
    void press(const QString &keys, const QString &title = overlayTitle)
    {
        const X11::Window toolbar = X11::waitForWindow(toolbarTitle);
        QVERIFY(toolbar && X11::focus(title == overlayTitle ? X11::windows(overlayTitle) << toolbar : QList{toolbar}));
        X11::xdotool({"key", "--delay", "50", keys});
    }

    // Presses \a key on the overlay while the server takes no more clients,
    // until \a program ends. The last copy's owner goes first, so that its
    // place on the server does not come free meanwhile.
    void pressWhileFull(const QString &key, QProcess &program)
    {
        const QByteArray session = "XDG_RUNTIME_DIR=" + qgetenv("XDG_RUNTIME_DIR");
        for (const qint64 pid : processesWith("--serve-clipboard", session))
            ::kill(pid_t(pid), SIGTERM);
        QTRY_VERIFY(processesWith("--serve-clipboard", session).isEmpty());
        QVERIFY(X11::focus(X11::windows(overlayTitle)));
        X11::pressWhileFull(m_overlay, key, [&] { program.waitForFinished(30000); });
    }

    bool save(const QString &name)
    {
        const X11::Window dialog = X11::waitForWindow("保存图像");
        if (!dialog || !X11::focus({dialog}))
            return false;
        X11::xdotool({"type", file(name)});
        // A Return that reaches the name field's completer list picks an
        // entry instead of saving, so Return is pressed until the dialog goes.
        for (int attempt = 0; attempt < 4; ++attempt) {
            QTest::qWait(300);
            X11::xdotool({"key", "Return"});
            if (QTest::qWaitFor([dialog] { return !X11::isViewable(dialog); }, 3000))
                return QTest::qWaitFor([&] { return QFile::exists(file(name.contains('.') ? name : name + ".png")); }, 15000);
        }
        return false;
    }

    // The window's own picture in its frame, which is taken as saved where a
    // window manager draws it, but must be there.
    static QImage windowAsShown(const QLabel &window, const QString &saved)
    {
        const QRect frame = X11::frameGeometry(window.winId()), inside = X11::geometry(window.winId());
        QImage shown = QImage(saved).convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), frame.size()));
        QPainter(&shown).drawPixmap(inside.topLeft() - frame.topLeft(), window.pixmap());
        return shown;
    }

    // The desktop with \a marks drawn in as the overlay draws them: each
    // "K x,y x,y", the tool of key K dragged between the two (a click where
    // they are one), or "t x,y TEXT", in the colour and width that the
    // program starts with.
    QImage marked(const QStringList &marks) const
    {
        QImage picture = m_desktop;
        QPainter painter(&picture);
        int number = 0;
        for (const QString &each : marks) {
            const QStringList word = each.split(' ');
            MarkControls controls;
            controls.setTool(*markToolForKey(word[0].toUpper().front().unicode()));
            const QPoint start = rectangle(word[1]).topLeft();
            const auto mark = word[0] == "t" ? Mark::makeText(MarkText{word[2], start, controls.style()})
                                             : Mark::make(*controls.tool(), controls.style(), start, m_desktop);
            if (word[0] != "t")
                mark->extend(rectangle(word[2]).topLeft(), Qt::NoModifier);
            mark->paint(painter, mark->isNumbered() ? ++number : 0);
        }
        return picture;
    }

    // Does \a act and waits until the screen shows \a area otherwise: a text
    // box opened or gone, before keys meant for it or for the overlay.
    static void changeShown(const QRect &area, const std::function<void()> &act)
    {
        const QImage before = X11::screenPicture(area);
        act();
        QTRY_VERIFY_WITH_TIMEOUT(X11::screenPicture(area) != before, 15000);
    }

    // Maps each character of \a text beyond ASCII to a key of its own, from
    // the last keycode down, for the rest of the run.
    static void keepKeysFor(const QString &text)
    {
        QStringList mappings;
        int keycode = 255;
        for (const QChar c : text) {
            if (c.unicode() > 0x7f)
                mappings << "-e" << QString("keycode %1 = U%2").arg(keycode--).arg(c.unicode(), 4, 16, QChar('0'));
        }
        QVERIFY(mappings.isEmpty() || QProcess::execute("xmodmap", mappings) == 0);
    }

    // "write x,y TEXT END" or "reopen x,y TEXT END": a click with the text
    // tool (a double-click on a placed text) at x,y, TEXT typed ("-" erases
    // the box; "nihao=你好" types nihao and a space through pinyin), then END,
    // a key or "click:x,y"; \a marks follow.
    void writeText(const QStringList &word, QStringList &marks)
    {
        const QRect around(rectangle(word[1]).topLeft() - QPoint(12, 12), QSize(120, 50));
        changeShown(around, [&] {
            X11::xdotool(QString("mousemove %1 sleep 0.5 click --repeat %2 1").arg(QString(word[1]).replace(',', ' '))
                             .arg(word[0] == "reopen" ? 2 : 1).split(' '));
        });
        const QString typed = word[2].section('=', 0, 0), shown = word[2].section('=', -1);
        // Pinyin for the box, once the input method sees it focused.
        const auto pinyin = [] {
            QProcess remote;
            remote.start("fcitx5-remote", {});
            return QProcess::execute("fcitx5-remote", {"-o"}) == 0 && remote.waitForFinished() && remote.readAll() == "2\n";
        };
        if (typed != shown)
            QTRY_VERIFY_WITH_TIMEOUT(pinyin(), 15000);
        // xdotool types a line break as a key of no text, and all that
        // follows "type" as text; a character that no key gives it types by
        // remapping a key for a moment, and a program that looks the keymap
        // up late reads another: such characters get keys of their own.
        keepKeysFor(typed);
        const QStringList lines = typed.split('\n');
        for (qsizetype i = 0; typed != "-" && i < lines.size(); ++i)
            X11::xdotool(QStringList{"key", "Return"}.mid(0, i ? 2 : 0) + QStringList{"type", lines[i]});
        if (typed == "-" || typed != shown)
            X11::xdotool(typed == "-" ? QStringList{"key", "ctrl+a", "BackSpace"} : QStringList{"key", "space"});
        changeShown(around, [&] {
            X11::xdotool(word[3].startsWith("click:") ? QString("mousemove %1 click 1").arg(word[3].mid(6).replace(',', ' ')).split(' ')
                                                      : QStringList{"key", word[3]});
        });
        if (word[3] == "Escape" || (typed == "-" && word[0] == "write"))
            return;
        if (word[0] == "write")
            marks.append(QString("t %1 %2").arg(word[1], shown));
        else if (typed == "-")
            marks.removeLast();
        else
            marks.last() += shown;
    }

    void magnify(const QPoint &p)
    {
        QVERIFY(X11::focus(X11::windows(overlayTitle)));
        X11::xdotool(QString("keydown shift mousemove %1 %2").arg(p.x()).arg(p.y()).split(' '));
        const auto enlarged = [&] {
            const QImage around = X11::screenPicture(X11::desktop());
            const auto *pixels = reinterpret_cast<const QRgb *>(around.constBits());
            return std::count(pixels, pixels + around.width() * around.height(), m_desktop.pixel(p));
        };
        QTRY_VERIFY_WITH_TIMEOUT(enlarged() >= 64, 15000);
        X11::xdotool({"keyup", "shift"});
    }

    // The smallest rectangle that holds every pixel outside \a ignored where
    // the monitors show other than \a expected by more than a level of rounding.
    static QRect shownChanges(const QImage &expected, const QRegion &ignored)
    {
        QRect changed;
        for (const QRect &monitor : X11::monitors()) {
            const QImage shown = X11::screenPicture(monitor);
            for (int y = 0; y < monitor.height(); ++y) {
                for (int x = 0; x < monitor.width(); ++x) {
                    const QPoint p = monitor.topLeft() + QPoint(x, y);
                    const QRgb a = shown.pixel(x, y), b = expected.pixel(p);
                    if (qMax(qAbs(qRed(a) - qRed(b)), qMax(qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b)))) > 1
                        && !ignored.contains(p))
                        changed |= QRect(p, QSize(1, 1));
                }
            }
        }
        return changed;
    }

    // Once the toolbar shows after a step of \a word: "apart x,y,w,h", it
    // lies clear of that rectangle; "dimmed", the monitors show nothing but
    // the dimmed desktop beside it; "panel", the key panel whole, clear of it.
    void verifyShown(const QStringList &word)
    {
        const X11::Window toolbar = X11::waitForWindow(toolbarTitle);
        const QRect apart = word[0] == "apart" ? rectangle(word[1]) : QRect();
        QRect bar;
        QTRY_VERIFY_WITH_TIMEOUT(X11::isViewable(toolbar) && !(bar = X11::frameGeometry(toolbar)).intersects(apart), 15000);
        QImage dimmed = m_desktop;
        QPainter(&dimmed).fillRect(dimmed.rect(), QColor(0, 0, 0, 100));
        if (word[0] == "dimmed")
            QTRY_COMPARE_WITH_TIMEOUT(shownChanges(dimmed, bar), QRect(), 15000);
        QRect panel;
        if (word[0] == "panel")
            QTRY_VERIFY_WITH_TIMEOUT((panel = shownChanges(dimmed, bar)).isValid() && panel == shownChanges(dimmed, bar), 15000);
        QVERIFY(!panel.intersects(bar));
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->virtualSiblings().size(), X11::monitors().size());
        // Dead zones between monitors show the root too.
        m_desktop = patternPicture(QSize(X11::desktop().right() + 1, X11::desktop().bottom() + 1));
        X11::setRootPicture(m_desktop);
        // Where the main window's buttons lie, from the same form in this process.
        registerFontSubstitutes();
        // The program's font, in which the marks set their numbers.
        QApplication::setFont(appFont);
        TMainForm probe;
        TSnapRectToolForm toolbar(nullptr);
        for (QWidget *form : QList<QWidget *>{&probe, &toolbar}) {
            form->setAttribute(Qt::WA_DontShowOnScreen);
            form->show();
            for (auto *button : form->findChildren<QPushButton *>())
                m_buttons.insert(QString(form == &toolbar ? "tool." : "") + button->objectName(),
                                 button->mapTo(form, button->rect().center()) * qApp->devicePixelRatio());
        }
    }

    void init()
    {
        if (QTest::currentTestFunction() == QLatin1String("commandLine"))
            return;
        if (QByteArray(QTest::currentDataTag()).contains("input method") && qgetenv("QT_IM_MODULE") != "fcitx")
            QSKIP("typed through fcitx5 by tst_capture_input_method only");
        m_program.setProcessChannelMode(QProcess::ForwardedChannels);
        m_program.start(SNAPRECT_BINARY, {});
        m_main = X11::waitForWindow("Framzel");
        QVERIFY(m_main);
    }

    void cleanup()
    {
        m_program.kill();
        m_program.waitForFinished();
        for (const QString &name : QDir(m_folder.path()).entryList(QDir::Files))
            QFile::remove(file(name));
    }

    void mainWindowCentredFixedAndClosing()
    {
        const QRect window = X11::geometry(m_main), primary = X11::monitors().constFirst();
        QVERIFY(primary.contains(window));
        // A window manager's frame may push the window down by its title bar.
        QVERIFY2((window.center() - primary.center()).manhattanLength() <= 30, "not centred on the primary monitor");
        for (const char *limit : {"minimum", "maximum"})
            QVERIFY(X11::sizeHints(m_main).contains(QString("%1 size: %2 by %3").arg(limit).arg(window.width()).arg(window.height())));
        clickMainButton("btnSnapRect");
        X11::requestClose(m_main);
        QVERIFY(m_program.waitForFinished(10000));
        QCOMPARE(m_program.exitCode(), 0);
    }

    // "全屏" saves the desktop without the main window. Then "局部" and two
    // drags (the second DRAG, across a seam of two monitors where there is
    // one): the toolbar comes to the release point above the overlay; the
    // monitors show the desktop dimmed, the last rectangle undimmed in a green
    // frame as wide as a scaled pixel, and nothing of the first; S saves
    // exactly the rectangle.
    void fullScreenAndRegionExactlyAsShown()
    {
        clickMainButton("btnFullScreen");
        QVERIFY(save("full"));
        QCOMPARE(pixelDifference(file("full.png"), m_desktop.copy(X11::desktop())), QString());

        const QStringList ends = qEnvironmentVariable("DRAG").split(' ');
        // Moved a pixel to the left by a key, then the right edge back by another.
        const QRect selection = QRect(rectangle(ends[0]).topLeft(), rectangle(ends[1]).topLeft() - QPoint(1, 1)).adjusted(-1, 0, 0, 0);
        clickMainButton("btnSnapRect");
        const X11::Window toolbar = X11::waitForWindow(toolbarTitle);
        // Above the overlay's window that it lies on, one of one per monitor on some layouts.
        const auto toolbarOnTop = [&] {
            const QList<X11::Window> order = X11::stackingOrder(); // empty without a window manager
            const QPoint centre = X11::geometry(toolbar).center();
            const QList<X11::Window> overlays = X11::windows(overlayTitle);
            return std::none_of(overlays.cbegin(), overlays.cend(), [&](X11::Window overlay) {
                return X11::geometry(overlay).contains(centre) && order.indexOf(toolbar) < order.indexOf(overlay);
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(toolbarOnTop(), 15000);
        // Released low on the left, so that the toolbar lies clear of the second.
        drag("20,660", "60,700");
        drag(ends[0], ends[1]);
        QRect toolbarArea;
        QTRY_VERIFY_WITH_TIMEOUT((toolbarArea = X11::geometry(toolbar).adjusted(-40, -40, 40, 40)).contains(rectangle(ends[1]).topLeft()),
                                 15000);
        QTRY_VERIFY_WITH_TIMEOUT(toolbarOnTop(), 15000);
        press("Left");
        press("shift+Right");
        // A rectangle and a mosaic across the seam, on the grid of Qt's units.
        const QPoint a = rectangle(ends[0]).topLeft(), b = rectangle(ends[1]).topLeft();
        // And a text, typed at the device pixel clicked whatever the scale.
        QStringList marks{QString("b %1,%2 %3,%4").arg(a.x() + 24).arg(a.y() + 24).arg(b.x() - 24).arg(b.y() - 24),
                          QString("x %1,%2 %3,%4").arg(a.x() + 48).arg(a.y() + 36).arg(b.x() - 48).arg(b.y() - 36)};
        for (const QString &mark : QStringList(marks)) {
            press(mark.section(' ', 0, 0));
            drag(mark.section(' ', 1, 1), mark.section(' ', 2, 2));
        }
        press("t");
        writeText({"write", QString("%1,%2").arg(a.x() + 31).arg(a.y() + 29), "ab你好", "ctrl+Return"}, marks);
        const QImage shown = marked(marks);
        QImage expected = shown;
        const int k = qMax(1, qRound(qApp->devicePixelRatio()));
        QPainter painter(&expected);
        painter.fillRect(expected.rect(), QColor(0, 0, 0, 100));
        painter.fillRect(selection.adjusted(0, 0, k, k), Qt::green);
        painter.drawImage(selection.adjusted(k, k, 0, 0), shown, selection.adjusted(k, k, 0, 0));
        painter.end();
        // The size, in a label above the selection, and nowhere else.
        const QRect label(selection.topLeft() - QPoint(0, 40 * k), QSize(200 * k, 40 * k));
        QTRY_COMPARE_WITH_TIMEOUT(shownChanges(expected, QRegion(toolbarArea) + label), QRect(), 15000);
        QVERIFY2(shownChanges(expected, toolbarArea).isValid(), "no size shown");
        press("s");
        QVERIFY(save("region.png"));
        QCOMPARE(pixelDifference(file("region.png"), shown.copy(selection)), QString());
    }

    // Each row: what the user does on a 1024x768 screen after "局部", and the
    // rectangle each file written must hold, or "gone" when the overlay must
    // have left ("window": the window opened, in its frame). Steps: "drag x,y x,y [button]", "click x,y" (a double-click),
    // "move x,y" (the pointer), "button NAME" (a click on the toolbar's),
    // "close" (the window manager's, of the overlay), "answer K" (key K on the question), "magnify x,y" (Shift held there: the
    // pixel shows enlarged, undimmed), "key K" on the overlay, "tool K" on the
    // toolbar, "save NAME", "apart", "dimmed" and "panel" (see verifyShown()),
    // "draw K x,y x,y" (see marked(); Ctrl+Z and Ctrl+Y undo and redo them), "edit x,y x,y as K x,y x,y"
    // (a drag that leaves the last mark drawn as after "as"), "write" and "reopen" (see writeText());
    // before "局部", "window x,y,w,h" opens a window there that shows what the root shows.
    void gestures_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        const QString drag = "drag 100,100 300,250;";
        QTest::newRow("S saves the rectangle, format from the suffix") << drag + "key s;save a.jpg" << "a.jpg=100,100,200,150";
        QTest::newRow("right button, drawn backwards") << "drag 300,250 100,100 3;key s;save a.png" << "a.png=100,100,200,150";
        QTest::newRow("middle button inside moves") << drag + "drag 150,150 170,180 2;key s;save a.png" << "a.png=120,130,200,150";
        QTest::newRow("corners dragged by a device pixel")
            << drag + "drag 100,100 99,101;drag 304,246 305,247;key s;save a.png" << "a.png=99,101,202,150";
        QTest::newRow("an edge stops a pixel short of the other") << drag + "drag 200,100 200,400;key s;save a.png"
                                                                  << "a.png=100,249,200,1";
        QTest::newRow("beyond the frame's reach starts anew") << drag + "drag 94,150 400,300;key s;save a.png"
                                                              << "a.png=94,150,306,150";
        QTest::newRow("moved past the top left stops at full size") << drag + "drag 200,200 0,0;key s;save a.png" << "a.png=0,0,200,150";
        QTest::newRow("moved past the bottom right stops at full size")
            << drag + "drag 200,200 1023,767;key s;save a.png" << "a.png=824,618,200,150";
        QTest::newRow("double-click inside keeps the rectangle") << drag + "click 200,200;key s;save a.png" << "a.png=100,100,200,150";
        QTest::newRow("double-click outside keeps the rectangle") << drag + "click 500,500;key s;save a.png"
                                                                  << "a.png=100,100,200,150";
        QTest::newRow("a click selects and shows nothing") << "click 500,500;dimmed;key s;save a.png" << "a.png=all";
        QTest::newRow("a drag of no height selects and shows nothing") << "drag 100,250 300,250;dimmed;key s;save a.png"
                                                                       << "a.png=all";
        QTest::newRow("P, L, A, B and E draw") << drag + "draw p 110,110 290,240;draw l 120,230 280,120;draw a 130,130 200,200;"
                                                  "draw b 150,110 250,160;draw e 120,170 290,240;key s;save a.png"
                                               << "a.png=100,100,200,150";
        QTest::newRow("M, N, X and D draw; N numbers") << drag + "draw m 110,120 290,125;draw n 130,200 130,200;draw x 150,110 250,180;"
                                                          "draw n 160,220 160,220;draw d 200,190 280,240;key s;save a.png"
                                                       << "a.png=100,100,200,150";
        QTest::newRow("V, a click, a corner dragged: saved at the new size")
            << drag + "draw b 150,110 250,160;key v;click 250,160;edit 250,160 280,200 as b 150,110 280,200;key s;save a.png"
            << "a.png=100,100,200,150";
        QTest::newRow("no tool, a mark dragged: saved at its new place")
            << drag + "draw e 150,110 250,160;key e;edit 150,135 170,165 as e 170,140 270,190;key s;save a.png"
            << "a.png=100,100,200,150";
        QTest::newRow("no tool, a box along the frame: the frame's edge moves")
            << drag + "draw b 100,100 299,249;key b;drag 100,150 90,150;key s;save a.png" << "a.png=90,100,210,150";
        QTest::newRow("T writes Latin and CJK, Return breaks the line, S and Q go into the box")
            << drag + "key t;write 150,130 ab你好s\nq ctrl+Return;key s;save a.png" << "a.png=100,100,200,150";
        QTest::newRow("Escape drops the box only, a click beside places, an empty box nothing")
            << drag + "key t;write 150,130 gone Escape;write 120,200 你好 click:280,230;write 200,120 - click:280,230;key s;save a.png"
            << "a.png=100,100,200,150";
        QTest::newRow("a double-click with T opens a text again, emptied it goes")
            << drag + "key t;write 150,130 ab ctrl+Return;reopen 153,135 你 ctrl+Return;write 150,180 cd ctrl+Return;"
                      "reopen 152,185 - ctrl+Return;key s;save a.png"
            << "a.png=100,100,200,150";
        QTest::newRow("input method: nihao and a space through pinyin")
            << drag + "key t;write 150,130 nihao=你好 ctrl+Return;key Return" << "gone clipboard=100,100,200,150";
        QTest::newRow("undone to the capture, redone, R keeps the marks")
            << drag + "draw b 120,120 200,200;draw x 150,150 250,230;key ctrl+z;key ctrl+z;key s;save a.png;key ctrl+y;key r;key f;save b.png"
            << "a.png=100,100,200,150 b.png=all";
        QTest::newRow("F1 panel beside the toolbar") << "key F1;panel;key s;save a.png" << "a.png=all";
        QTest::newRow("moved, the toolbar goes beside") << drag + "drag 150,150 170,180;apart 120,130,200,150;key s;save a.png"
                                                        << "a.png=120,130,200,150";
        QTest::newRow("moved to the bottom, the toolbar goes above")
            << drag + "drag 200,200 200,767;apart 100,618,200,150;key s;save a.png" << "a.png=100,618,200,150";
        QTest::newRow("released in the corner, the toolbar stays on the screen")
            << "drag 800,600 1023,767;apart 1024,0,200,768;apart 0,768,1024,200;key s;save a.png" << "a.png=800,600,223,167";
        QTest::newRow("R reselects, S then saves the whole") << drag + "key r;key s;save a.png" << "a.png=all";
        QTest::newRow("two saves in a row, F undimmed") << drag + "key s;save a.ppm;key f;save b.bmp" << "a.ppm=100,100,200,150 b.bmp=all";
        QTest::newRow("toolbar S, R, F") << drag + "tool s;save a.xpm;tool r;tool f;save b.png" << "a.xpm=100,100,200,150 b.png=all";
        QTest::newRow("arrows by one, Ctrl+arrows by ten") << drag + "key Right;key Down;key ctrl+Left;key s;save a.png"
                                                           << "a.png=91,101,200,150";
        QTest::newRow("Shift+arrows move the right and bottom edges")
            << drag + "key shift+Right;key shift+ctrl+Up;key s;save a.png" << "a.png=100,100,201,140";
        QTest::newRow("Shift+arrows never below one pixel")
            << "drag 100,100 102,102;key shift+ctrl+Left;key shift+Up;key shift+Up;key s;save a.png" << "a.png=100,100,1,1";
        QTest::newRow("arrows stop at the top left") << "drag 5,5 205,155;key ctrl+Left;key ctrl+Up;key s;save a.png"
                                                     << "a.png=0,0,200,150";
        QTest::newRow("arrows stop at the bottom right")
            << "drag 1000,700 1020,760;key ctrl+Right;key ctrl+Down;key shift+ctrl+Right;key s;save a.png"
            << "a.png=1004,708,20,60";
        QTest::newRow("toolbar arrows, Shift+S") << drag + "tool Left;tool shift+Down;tool shift+s;save a.png"
                                                 << "a.png=99,100,200,151";
        QTest::newRow("W selects the window under the pointer")
            << "window 50,60,300,200;move 100,100;key w;key s;save a.png" << "a.png=window";
        QTest::newRow("magnifier, not saved") << drag + "magnify 600,500;key s;save a.png" << "a.png=100,100,200,150";
        QTest::newRow("Escape leaves") << drag + "key Escape" << "gone";
        QTest::newRow("Q leaves") << drag + "key q" << "gone";
        QTest::newRow("Q on the toolbar leaves") << drag + "tool q" << "gone";
        QTest::newRow("Escape on the toolbar leaves") << drag + "tool Escape" << "gone";
        QTest::newRow("unsaved marks: the window manager's close asks, 否 keeps them")
            << drag + "draw b 120,120 200,200;close;answer Return;key s;save a.png" << "a.png=100,100,200,150";
        QTest::newRow("unsaved marks: Escape asks until 是") << drag + "draw b 120,120 200,200;key Escape;key Escape;"
                                                                     "answer Escape;key Escape;answer y" << "gone";
        QTest::newRow("saved marks: Q leaves at once") << drag + "draw b 120,120 200,200;key s;save a.png;key q" << "gone";
        QTest::newRow("the copy button copies and leaves") << drag + "button btnCopy" << "gone clipboard=100,100,200,150";
        QTest::newRow("Enter copies and leaves, the copy outlives 退出") << drag + "key Return" << "gone clipboard=100,100,200,150";
    }

    void gestures()
    {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        QLabel window;
        bool snapped = false;
        QStringList marks, undone;
        QHash<QString, QImage> saved;
        for (const QString &step : steps.split(';')) {
            const QStringList word = step.split(' ');
            if (word[0] == "window") {
                window.setPixmap(QPixmap::fromImage(m_desktop.copy(rectangle(word[1]))));
                window.setGeometry(rectangle(word[1]));
                window.show();
                QVERIFY(QTest::qWaitForWindowExposed(&window));
                continue;
            }
            if (!std::exchange(snapped, true))
                clickMainButton("btnSnapRect");
            if (word[0] == "drag")
                drag(word[1], word[2], word.value(3, "1"));
            else if (word[0] == "click")
                X11::xdotool(QString("mousemove %1 click --repeat 2 1").arg(QString(word[1]).replace(',', ' ')).split(' '));
            else if (word[0] == "button") {
                const QPoint at = X11::geometry(X11::waitForWindow(toolbarTitle)).topLeft() + m_buttons.value("tool." + word[1]);
                X11::xdotool(QString("mousemove %1 %2 click 1").arg(at.x()).arg(at.y()).split(' '));
            } else if (word[0] == "close")
                X11::requestClose(m_overlay);
            else if (word[0] == "answer") {
                const X11::Window question = X11::waitForWindow("放弃标注");
                // It takes the keyboard of its own accord, over the overlay.
                QTRY_COMPARE_WITH_TIMEOUT(X11::xdotool({"getwindowfocus"}).trimmed().toULong(), question, 15000);
                X11::xdotool({"key", word[1]});
            } else if (word[0] == "move")
                X11::xdotool({"mousemove", word[1].section(',', 0, 0), word[1].section(',', 1)});
            else if (word[0] == "magnify")
                magnify(rectangle(word[1]).topLeft());
            else if (word[0] == "write" || word[0] == "reopen") {
                writeText(word, marks);
                if (QTest::currentTestFailed())
                    return;
            }
            else if (word[0] == "draw") {
                press(word[1]);
                drag(word[2], word[3]);
                marks.append(step.mid(5));
            }
            else if (word[0] == "edit") {
                drag(word[1], word[2]);
                marks.last() = step.section(" as ", 1);
            } else if (word[0] == "save") {
                QVERIFY2(save(word[1]), qPrintable(step));
                saved.insert(word[1], marked(marks));
            } else if (word[0] == "apart" || word[0] == "dimmed" || word[0] == "panel")
                verifyShown(word);
            else {
                if (step == "key ctrl+z")
                    undone.append(marks.takeLast());
                else if (step == "key ctrl+y")
                    marks.append(undone.takeLast());
                press(word[1], word[0] == "key" ? overlayTitle : toolbarTitle);
            }
        }
        if (expected.startsWith("gone")) {
            QVERIFY(X11::waitForGone(m_overlay));
            QVERIFY(X11::windows(toolbarTitle).isEmpty());
            if (expected.contains("clipboard=")) {
                clickMainButton("btnExit");
                QVERIFY(m_program.waitForFinished(10000));
                QCOMPARE(printedPicture("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"}),
                         marked(marks).copy(rectangle(expected.section('=', 1))));
            }
            return;
        }
        QStringList written;
        for (const QString &item : expected.split(' ')) {
            written.append(item.section('=', 0, 0));
            const QImage shown = item.endsWith("=window") ? windowAsShown(window, file(written.last()))
                                                          : saved.value(written.last()).copy(rectangle(item.section('=', 1)));
            if (written.last().endsWith(".jpg"))
                QCOMPARE(QImage(file(written.last())).size(), shown.size());
            else
                QCOMPARE(pixelDifference(file(written.last()), shown), QString());
        }
        // Each key acted once: no other file, no dialog left open, overlay still up.
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files), written);
        QVERIFY(X11::windows("保存图像").isEmpty());
        QVERIFY(X11::isViewable(m_overlay));
    }

    // Each row: the options (files relative to where the program starts),
    // what the user does ("invert" the root after the grab of a later run, "no display",
    // "closed stdout", or gestures as above), the exit status, and what must come out: files,
    // "stdout" or "clipboard" holding a rectangle, or text in "out:"/"err:".
    void commandLine_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");
        QTest::newRow("--full --output, no window") << "-f -o a.png" << "" << 0 << "a.png=all";
        QTest::newRow("--geometry across the seam, clipped") << "--full --geometry 300x100+900+300 --output a.bmp" << "" << 0
                                                             << "a.bmp=900,300,300,100";
        QTest::newRow("- writes PNG to standard output") << "-f -g 100x50+10+20 -o -" << "" << 0 << "stdout=10,20,100,50";
        QTest::newRow("--clipboard outlives the command, no TMPDIR folder needed") << "-f -c -g 100x50+10+20" << "no TMPDIR"
                                                                                 << 0 << "clipboard=10,20,100,50";
        QTest::newRow("--clipboard and --output do both") << "-f -c -o a.png" << "" << 0 << "a.png=all clipboard=all";
        QTest::newRow("--delay waits before the grab") << "-f -d 4000 -o a.ppm" << "invert" << 0 << "a.ppm=all";
        QTest::newRow("--region, drag and Enter copy") << "-r" << "drag 100,100 300,250;key Return" << 0
                                                       << "clipboard=100,100,200,150";
        QTest::newRow("--region, Ctrl+C on the toolbar copies") << "--region" << "drag 200,150 400,300;tool ctrl+c" << 0
                                                                << "clipboard=200,150,200,150";
        QTest::newRow("--region, a click and Enter copy the whole") << "-r" << "drag 600,100 600,100;key Return" << 0
                                                                   << "clipboard=all";
        QTest::newRow("--region, a drag of no width and Enter copy the whole") << "-r" << "drag 100,100 100,300;key Return"
                                                                              << 0 << "clipboard=all";
        QTest::newRow("--region, Enter on the toolbar copies") << "--region" << "drag 50,50 250,150;tool Return" << 0
                                                               << "clipboard=50,50,200,100";
        QTest::newRow("--region, an owner that the display refuses fails at once")
            << "-r" << "drag 100,100 300,250;crowded Return" << 1 << "err:没有取得剪贴板";
        QTest::newRow("--region --output, S writes and leaves") << "-r -o a.png" << "drag 100,100 300,250;key s" << 0
                                                                << "a.png=100,100,200,150";
        QTest::newRow("--region, Escape leaves with nothing") << "-r" << "key Escape" << 2 << "";
        QTest::newRow("a second --region brings the first back, which copies the screen")
            << "-r" << "second -r;drag 100,100 300,250;key Return" << 0 << "clipboard=100,100,200,150";
        QTest::newRow("a crashed run's socket does not block") << "-r" << "crashed;drag 50,50 250,150;key Return" << 0
                                                               << "clipboard=50,50,200,100";
        QTest::newRow("--region without a display") << "-r" << "no display" << 1 << "err:（DISPLAY";
        QTest::newRow("main window on a display that cannot be opened") << "" << "display :4711" << 1 << "err::4711";
        QTest::newRow("--version without a display") << "--version" << "no display" << 0 << "out:2.0.0";
        QTest::newRow("--help names the formats for --output") << "--help" << "no display" << 0 << "out:bmp、xpm";
        QTest::newRow("unknown option without a display") << "-f --bogus" << "no display" << 1 << "err:--bogus";
        QTest::newRow("--delay out of range") << "-f -d 60001" << "" << 1 << "err:-d";
        QTest::newRow("unwritable folder, no file") << "-f -o missing/a.png" << "" << 1 << "err:missing/a.png";
        QTest::newRow("unknown format, no file") << "-f -o a.xyz" << "" << 1 << "err:a.xyz";
        QTest::newRow("--geometry outside the desktop") << "-f -g 10x10+9000+0 -o a.png" << "" << 1 << "err:9000";
        QTest::newRow("--geometry partly outside, clipped with a word") << "-f -g 2000x2000+1000+700 -o a.png" << "" << 0
                                                                       << "a.png=1000,700,2000,2000 err:超出桌面";
        QTest::newRow("no suffix writes PNG") << "-f -o shot" << "" << 0 << "shot.png=all";
        QTest::newRow("WebP, lossless") << "-f -g 100x50+10+20 -o a.webp" << "" << 0 << "a.webp=10,20,100,50";
        QTest::newRow("a value for --full") << "--full=x" << "" << 1 << "err:不带值";
        QTest::newRow("--region, unknown format refused before the overlay") << "-r -o a.txt" << "no display" << 1 << "err:a.txt";
        QTest::newRow("- with standard output closed") << "-f -o -" << "closed stdout" << 1 << "err:已关闭";
    }

    void commandLine()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, steps);
        QFETCH(int, status);
        QFETCH(QString, expected);
        QImage desktop = m_desktop;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (steps.endsWith("display")) {
            environment.remove("DISPLAY");
            environment.remove("WAYLAND_DISPLAY");
        } else if (steps.startsWith("display")) {
            environment.insert("DISPLAY", steps.section(' ', 1));
        } else if (steps.startsWith("crashed;")) {
            QProcess crashed;
            crashed.start(SNAPRECT_BINARY, {"-r"});
            const X11::Window overlay = X11::waitForWindow(overlayTitle);
            crashed.kill();
            QVERIFY(overlay && crashed.waitForFinished() && X11::waitForGone(overlay));
            QVERIFY(QFile::exists(CaptureLock::serverName()));
            steps = steps.section(';', 1);
        } else if (steps == "no TMPDIR") {
            environment.insert("TMPDIR", file("missing"));
        }
        const QByteArray session = "XDG_RUNTIME_DIR=" + qgetenv("XDG_RUNTIME_DIR"); // this run's own
        const QList<qint64> owners = processesWith("--serve-clipboard", session);
        QProcess program;
        program.setProcessEnvironment(environment);
        if (steps == "closed stdout")
            program.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
        program.setWorkingDirectory(m_folder.path());
        program.start(SNAPRECT_BINARY, arguments.split(' ', Qt::SkipEmptyParts));
        QWidget above; // a window that took the keyboard above the overlay
        if (steps == "invert") {
            // Once a second run, started later, has grabbed and written.
            QProcess later;
            later.start(SNAPRECT_BINARY, {"-f", "-o", "-"});
            QVERIFY(later.waitForFinished() && later.exitCode() == 0);
            desktop.invertPixels();
            X11::setRootPicture(desktop);
        } else if (steps.startsWith("drag") || steps.startsWith("key") || steps.startsWith("second")) {
            QVERIFY((m_overlay = X11::waitForWindow(overlayTitle)));
            // Given after the first frame.
            QTRY_VERIFY(X11::property(m_overlay, "_NET_WM_ICON", 8).contains("Icon (256 x 256)"));
            for (const QString &step : steps.split(';')) {
                const QStringList word = step.split(' ');
                if (word[0] == "second") {
                    above.setGeometry(50, 50, 400, 300);
                    above.show();
                    QVERIFY(QTest::qWaitForWindowExposed(&above) && X11::focus({above.winId()}));
                    const qsizetype overlays = X11::windows(overlayTitle).size();
                    QProcess second;
                    second.start(SNAPRECT_BINARY, word.mid(1));
                    QVERIFY(second.waitForFinished());
                    QCOMPARE(second.exitCode(), 2);
                    QCOMPARE(second.readAllStandardError().count('\n'), 1);
                    QCOMPARE(X11::windows(overlayTitle).size(), overlays);
                    QTRY_VERIFY(X11::windows(overlayTitle).contains(X11::xdotool({"getwindowfocus"}).trimmed().toULong()));
                } else if (word[0] == "drag") {
                    drag(word[1], word[2]);
                } else if (word[0] == "crowded") {
                    pressWhileFull(word[1], program);
                } else {
                    press(word[1], word[0] == "key" ? overlayTitle : toolbarTitle);
                }
            }
        }
        QVERIFY(program.state() == QProcess::NotRunning || program.waitForFinished(30000));
        // A failed copy leaves no owner of its own behind.
        for (const qint64 pid : processesWith("--serve-clipboard", session))
            QVERIFY(status != 1 || owners.contains(pid));
        if (steps == "invert")
            X11::setRootPicture(m_desktop);
        const QByteArray out = program.readAllStandardOutput(), error = program.readAllStandardError();
        QCOMPARE(program.exitCode(), status);
        QVERIFY2(status != 1 || error.count('\n') == 1, error);
        QStringList files;
        for (const QString &item : expected.split(' ', Qt::SkipEmptyParts)) {
            const QString name = item.section('=', 0, 0);
            if (name.startsWith("out:") || name.startsWith("err:")) {
                QVERIFY2((name.startsWith("out:") ? out : error).contains(item.mid(4).toUtf8()), out + error);
                continue;
            }
            QProcess xclip;
            if (name == "clipboard") {
                xclip.start("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"});
                QVERIFY(xclip.waitForFinished());
            }
            QFile written(file(name));
            QVERIFY(name != "stdout" || out.startsWith("\x89PNG"));
            if (name == "stdout" || name == "clipboard")
                QVERIFY(written.open(QIODevice::WriteOnly) && written.write(name == "stdout" ? out : xclip.readAll()) > 0);
            written.close();
            files.append(name);
            QCOMPARE(pixelDifference(file(name), desktop.copy(rectangle(item.section('=', 1)) & X11::desktop())), QString());
        }
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files), files);
    }

    // The grabber keeps its shared-memory segment for the next grab; a
    // picture handed out before must not change with it.
    void reusedSharedMemoryNeverSharedByTwoPictures()
    {
        const QPixmap first = ScreenGrabber::instance().grabDesktop();
        const QImage kept = first.toImage().copy();
        QImage other = m_desktop;
        other.invertPixels();
        X11::setRootPicture(other);
        const QPixmap second = ScreenGrabber::instance().grabDesktop();
        X11::setRootPicture(m_desktop);
        QCOMPARE(first.toImage(), kept);
        QVERIFY(second.toImage() != kept);
    }
};

QTEST_MAIN(tst_Capture)
#include "tst_capture.moc"
