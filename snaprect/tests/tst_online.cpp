#include <HttpTestServer.h>
#include <X11TestSupport.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString questionTitle = QStringLiteral("更新提示");

struct Ad {
    const char *name;
    QColor color;
    const char *link;
};
// The pictures of the test site's ad document, by their background colour.
const Ad ads[] = {
    {"ad1", QColor(200, 40, 40), "pages/ad1.html"},
    {"ad2", QColor(40, 150, 60), "pages/ad2.html"},
    {"ad3", QColor(40, 80, 200), "pages/ad3.html"},
};

bool near(QRgb pixel, const QColor &color)
{
    return qAbs(qRed(pixel) - color.red()) < 40 && qAbs(qGreen(pixel) - color.green()) < 40
        && qAbs(qBlue(pixel) - color.blue()) < 40;
}

/// The ad shown in the area of the screen (by colour), or nullptr; \a centre
/// gets the middle of its picture.
const Ad *shownAd(const QRect &area, QPoint *centre = nullptr)
{
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    for (const Ad &ad : ads) {
        QRect box;
        int count = 0;
        for (int y = 0; y < screen.height(); ++y) {
            for (int x = 0; x < screen.width(); ++x) {
                if (near(screen.pixel(x, y), ad.color)) {
                    ++count;
                    box |= QRect(x, y, 1, 1);
                }
            }
        }
        // Most of a 200 x 60 picture; the rest is its white text.
        if (count > 6000) {
            if (centre)
                *centre = area.topLeft() + box.center();
            return &ad;
        }
    }
    return nullptr;
}

} // namespace

// The real program, built with its site on 127.0.0.1, against the test site
// in the repository, with a stand-in for xdg-open that records what the
// program asks the desktop to open.
class tst_Online : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cancelThenAdClick();
    void okOpensSite();

private:
    void startProgram(QProcess &program);
    QStringList opened() const;
    static void xdotool(const QStringList &arguments);
    unsigned long answerQuestion(const QStringList &keys);
    void closeProgram(QProcess &program);

    HttpTestServer m_site;
    QTemporaryDir m_folder;
};

void tst_Online::initTestCase()
{
    QVERIFY2(m_site.listen(SNAPRECT_TEST_SITE_PORT),
             qPrintable(QStringLiteral("port %1 on 127.0.0.1 is taken; configure another with -DSNAPRECT_TEST_SITE_PORT=")
                            .arg(SNAPRECT_TEST_SITE_PORT)));
    m_site.serveFolder(QStringLiteral(SNAPRECT_TEST_SITE));

    QVERIFY(m_folder.isValid());
    QVERIFY(QDir(m_folder.path()).mkpath(QStringLiteral("bin")));
    QFile script(m_folder.filePath(QStringLiteral("bin/xdg-open")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + m_folder.filePath(QStringLiteral("opened")).toUtf8() + "'\n");
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
}

void tst_Online::startProgram(QProcess &program)
{
    QFile::remove(m_folder.filePath(QStringLiteral("opened")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), m_folder.filePath(QStringLiteral("bin")) + QLatin1Char(':')
                                                   + environment.value(QStringLiteral("PATH")));
    for (const char *name : {"BROWSER", "DEFAULT_BROWSER", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION"})
        environment.remove(QLatin1String(name));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(SNAPRECT_BINARY), {});
    QVERIFY(program.waitForStarted());
}

QStringList tst_Online::opened() const
{
    QFile log(m_folder.filePath(QStringLiteral("opened")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void tst_Online::xdotool(const QStringList &arguments)
{
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), arguments), 0);
}

/// Waits for the update question, types \a keys into it and waits until it
/// has gone; returns the main window.
unsigned long tst_Online::answerQuestion(const QStringList &keys)
{
    const unsigned long question = X11TestSupport::waitForWindow(questionTitle, 30000);
    if (!question)
        return 0;
    if (!QTest::qWaitFor([question] { return X11TestSupport::isViewable(question); }))
        return 0;
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(question)});
    for (const QString &key : keys)
        xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), key});
    if (!QTest::qWaitFor([] { return X11TestSupport::findWindows(questionTitle).isEmpty(); }, 10000))
        return 0;
    return X11TestSupport::waitForWindow(QStringLiteral("Framzel"));
}

void tst_Online::closeProgram(QProcess &program)
{
    const unsigned long window = X11TestSupport::waitForWindow(QStringLiteral("Framzel"));
    QVERIFY(window);
    X11TestSupport::requestClose(window);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

void tst_Online::cancelThenAdClick()
{
    const int checksBefore = m_site.requestCount("/ver.php");
    QProcess program;
    startProgram(program);

    // Enter takes the default button, Cancel: nothing is opened.
    const unsigned long window = answerQuestion({QStringLiteral("Return")});
    QVERIFY(window);
    QCOMPARE(m_site.requestCount("/ver.php") - checksBefore, 1);
    const QList<HttpTestServer::Request> requests = m_site.requests();
    QVERIFY(std::any_of(requests.cbegin(), requests.cend(), [](const HttpTestServer::Request &r) {
        return r.target == "/ver.php?id=snap_rect_windows_x86_32&&ver=2012-03-24";
    }));

    // The panel appears with a picture, and a period later shows another.
    const QRect area = X11TestSupport::rootGeometry(window);
    const Ad *first = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((first = shownAd(area)) != nullptr, 30000);
    const Ad *next = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((next = shownAd(area)) != nullptr && next != first, 30000);

    QPoint centre;
    const Ad *before = shownAd(area, &centre);
    QVERIFY(before);
    xdotool({QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y()),
             QStringLiteral("click"), QStringLiteral("1")});
    QTRY_VERIFY_WITH_TIMEOUT(!opened().isEmpty(), 10000);
    const Ad *after = shownAd(area);

    // The link of the picture on screen; should the rotation have moved on
    // just then, the one after it.
    const QString link = opened().constFirst();
    QVERIFY2(link == m_site.url(QLatin1String(before->link)) || (after && link == m_site.url(QLatin1String(after->link))),
             qPrintable(link));
    QCOMPARE(opened().size(), 1);
    closeProgram(program);
}

void tst_Online::okOpensSite()
{
    QProcess program;
    startProgram(program);
    // Tab moves from the default Cancel to Ok, space presses it.
    QVERIFY(answerQuestion({QStringLiteral("Tab"), QStringLiteral("space")}));
    QTRY_VERIFY_WITH_TIMEOUT(!opened().isEmpty(), 10000);
    QCOMPARE(opened(), QStringList{m_site.url()});
    closeProgram(program);
}

QTEST_MAIN(tst_Online)
#include "tst_online.moc"
