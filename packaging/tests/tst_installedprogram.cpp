#include <X11TestSupport.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Starts the program from an installed tree, as the menu entry and a user
// would, and looks at it from outside: where it runs, which catalogs and
// which library it loaded, and what the desktop can match it by.
//
// The program is the real one, whose site lies outside this machine, so it
// runs in a network namespace of its own (unshare): every request fails at
// once, as without a network. The X server is reached through its socket file.
class tst_InstalledProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsInItsPrivateFolder_data();
    void startsInItsPrivateFolder();

private:
    static QString installed(const char *relative);
    static QString desktopEntry(const QString &key);
    static QStringList mappedFiles(qint64 pid);
};

// A path in the installed tree; links inside the tree are not followed.
QString tst_InstalledProgram::installed(const char *relative)
{
    return QFileInfo(QStringLiteral(INSTALL_PREFIX)).canonicalFilePath() + QLatin1Char('/') + QLatin1String(relative);
}

// The value of a key of the installed menu entry (it has one group).
QString tst_InstalledProgram::desktopEntry(const QString &key)
{
    QFile entry(installed(DESKTOP_ENTRY));
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString prefix = key + QLatin1Char('=');
    for (const QString &line : QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return {};
}

QStringList tst_InstalledProgram::mappedFiles(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    QStringList files;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const int slash = line.indexOf('/');
        if (slash >= 0)
            files.append(QString::fromLocal8Bit(line.mid(slash)));
    }
    return files;
}

void tst_InstalledProgram::initTestCase()
{
    QVERIFY2(QFileInfo(installed(PROGRAM_DIR "/snaprect")).isExecutable(), "the tree is not installed");
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("--map-root-user"), QStringLiteral("--net"), QStringLiteral("true")});
    if (!probe.waitForFinished() || probe.exitCode() != 0)
        QSKIP("no network namespaces here: the installed program would reach its site");
}

void tst_InstalledProgram::startsInItsPrivateFolder_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("throughLink");

    // The menu entry's command, looked up on a PATH that holds the prefix's bin.
    const QString exec = desktopEntry(QStringLiteral("Exec"));
    QTest::newRow("the menu entry's command")
        << QStandardPaths::findExecutable(exec, {installed(BINDIR)}) << false;
    QTest::newRow("the program in its private folder") << installed(PROGRAM_DIR "/snaprect") << false;
    QTest::newRow("a link of the user's own to bin/snaprect") << installed(BINDIR "/snaprect") << true;
}

void tst_InstalledProgram::startsInItsPrivateFolder()
{
    QFETCH(QString, command);
    QFETCH(bool, throughLink);
    QVERIFY2(!command.isEmpty(), "the command is not installed");
    const QString privateFolder = installed(PROGRAM_DIR);

    QTemporaryDir elsewhere;
    if (throughLink) {
        const QString link = elsewhere.filePath(QStringLiteral("framzel"));
        QVERIFY(QFile::link(command, link));
        command = link;
    }

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_LIBRARY_PATH"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(elsewhere.path());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    // unshare replaces itself with the program: the process id stays.
    program.start(QStringLiteral("unshare"), {QStringLiteral("--map-root-user"), QStringLiteral("--net"), command});
    QVERIFY(program.waitForStarted());

    const unsigned long window = X11TestSupport::waitForWindow(desktopEntry(QStringLiteral("Name")));
    QVERIFY(window);
    const qint64 pid = program.processId();

    // applicationDirPath() is the private folder, whatever link started it.
    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath(), privateFolder + QStringLiteral("/snaprect"));
    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).canonicalFilePath(), privateFolder);

    const QStringList mapped = mappedFiles(pid);
    const QString catalogs = privateFolder + QStringLiteral("/Locale/zh_CN/");
    QVERIFY2(mapped.contains(catalogs + QStringLiteral("qt_zh_CN.qm")), qPrintable(mapped.join(QLatin1Char('\n'))));
    QVERIFY2(mapped.contains(catalogs + QStringLiteral("qtbase_zh_CN.qm")), qPrintable(mapped.join(QLatin1Char('\n'))));
    QVERIFY2(mapped.contains(installed(LIBDIR "/libovkit.so." OVKIT_VERSION)), qPrintable(mapped.join(QLatin1Char('\n'))));

    // What the desktop matches the window to its menu entry by.
    QCOMPARE(X11TestSupport::wmClass(window).value(1), desktopEntry(QStringLiteral("StartupWMClass")));

    X11TestSupport::requestClose(window);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

QTEST_MAIN(tst_InstalledProgram)
#include "tst_installedprogram.moc"
