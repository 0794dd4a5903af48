#include <X11TestSupport.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

// Editor backgrounds of the example's skins.
static const QColor blue(30, 74, 140);
static const QColor night(24, 24, 28);
static const QString title = QStringLiteral("Ovkit Notes");

static bool xdotool(const QStringList &arguments, QString *output = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return false;
    if (output)
        *output = QString::fromLatin1(process.readAllStandardOutput()).trimmed();
    return true;
}

// Starts the example, as a user would, with its configuration in a folder of
// the test's own, and watches its window on the X server.
class tst_NotesExample : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void choosingSkinsChangesTheLook();
    void settingsComeBackOnNextStart();

private:
    unsigned long start();
    void closeAndExpectExit();
    QColor editorColor() const;
    void chooseSkin(int downPresses);
    QString settingsPath() const;

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<QProcess> m_program;
    unsigned long m_window = 0;
};

void tst_NotesExample::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    QVERIFY(m_config->isValid());
}

void tst_NotesExample::cleanup()
{
    if (m_program && m_program->state() != QProcess::NotRunning) {
        m_program->kill();
        m_program->waitForFinished();
    }
    m_program.reset();
    m_config.reset();
}

QString tst_NotesExample::settingsPath() const
{
    return m_config->filePath(QStringLiteral("ovkit-notes/settings.xml"));
}

unsigned long tst_NotesExample::start()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config->path());
    m_program = std::make_unique<QProcess>();
    m_program->setProcessEnvironment(environment);
    m_program->setProcessChannelMode(QProcess::ForwardedChannels);
    m_program->start(QStringLiteral(NOTES_BINARY), {});
    if (!m_program->waitForStarted())
        return 0;
    m_window = X11TestSupport::waitForWindow(title);
    return m_window;
}

void tst_NotesExample::closeAndExpectExit()
{
    X11TestSupport::requestClose(m_window);
    QVERIFY(m_program->waitForFinished(10000));
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);
}

// The colour in the middle of the window, which the text area fills.
QColor tst_NotesExample::editorColor() const
{
    const QRect geometry = X11TestSupport::rootGeometry(m_window);
    const QPoint middle = geometry.center();
    const QPixmap grab = QGuiApplication::primaryScreen()->grabWindow(0, middle.x(), middle.y(), 1, 1);
    return grab.toImage().pixelColor(0, 0);
}

// Opens the skin menu with its mnemonic, which highlights the system entry,
// and chooses the entry \a downPresses below it with the keyboard.
void tst_NotesExample::chooseSkin(int downPresses)
{
    QVERIFY(xdotool({QStringLiteral("windowactivate"), QString::number(m_window)}));
    QString focus;
    QTRY_VERIFY(xdotool({QStringLiteral("getwindowfocus")}, &focus) && focus == QString::number(m_window));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("alt+s")}));
    for (int i = 0; i < downPresses; ++i)
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Down")}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
}

void tst_NotesExample::choosingSkinsChangesTheLook()
{
    QVERIFY(start());
    // The platform look: the palette's base colour, as in this process.
    const QColor system = QGuiApplication::palette().color(QPalette::Base);
    QVERIFY(system != blue && system != night);
    QTRY_COMPARE(editorColor(), system);

    // Skins are listed by name: System, Blue, Green, Night.

    chooseSkin(1);
    QTRY_COMPARE(editorColor(), blue);
    chooseSkin(3);
    QTRY_COMPARE(editorColor(), night);
    chooseSkin(0);
    QTRY_COMPARE(editorColor(), system);
    closeAndExpectExit();

    QFile settings(settingsPath());
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY(settings.readAll().contains("<skin></skin>"));
}

void tst_NotesExample::settingsComeBackOnNextStart()
{
    QVERIFY(QDir(m_config->path()).mkpath(QStringLiteral("ovkit-notes")));
    QFile settings(settingsPath());
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("<?xml version=\"1.0\"?>\n<notes>\n"
                   "  <window width=\"520\" height=\"340\"/>\n"
                   "  <skin>Night</skin>\n"
                   "  <recent>/tmp/one.txt</recent>\n"
                   "</notes>\n");
    settings.close();

    QVERIFY(start());
    QTRY_COMPARE(X11TestSupport::rootGeometry(m_window).size(), QSize(520, 340));
    QTRY_COMPARE(editorColor(), night);
    chooseSkin(1);
    QTRY_COMPARE(editorColor(), blue);
    closeAndExpectExit();

    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QByteArray saved = settings.readAll();
    settings.close();
    QVERIFY2(saved.contains("<skin>Blue</skin>"), saved.constData());
    QVERIFY2(saved.contains("<window width=\"520\" height=\"340\"/>"), saved.constData());
    QVERIFY2(saved.contains("<recent>/tmp/one.txt</recent>"), saved.constData());

    QVERIFY(start());
    QTRY_COMPARE(editorColor(), blue);
    closeAndExpectExit();
}

QTEST_MAIN(tst_NotesExample)
#include "tst_notesexample.moc"
