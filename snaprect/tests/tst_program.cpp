#include <X11TestSupport.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Starts the real program as a user would and watches it on the X server.
class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void startsInItsOwnFolderAndClosesCleanly();
    void startsWithoutLocaleFolder();

private:
    static void closeAndExpectExit(QProcess &process, unsigned long window);
};

void tst_Program::closeAndExpectExit(QProcess &process, unsigned long window)
{
    X11TestSupport::requestClose(window);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void tst_Program::startsInItsOwnFolderAndClosesCleanly()
{
    QTemporaryDir elsewhere;
    QProcess program;
    program.setWorkingDirectory(elsewhere.path());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(SNAPRECT_BINARY), {});
    QVERIFY(program.waitForStarted());

    const unsigned long window = X11TestSupport::waitForWindow(QStringLiteral("Framzel"));
    QVERIFY(window);

    const QString cwd = QFileInfo(QStringLiteral("/proc/%1/cwd").arg(program.processId())).symLinkTarget();
    QCOMPARE(cwd, QFileInfo(QStringLiteral(SNAPRECT_BINARY)).absolutePath());

    const auto hints = X11TestSupport::normalHints(window);
    QCOMPARE(hints.minimum, QSize(378, 70));
    QCOMPARE(hints.maximum, QSize(378, 70));
    QCOMPARE(X11TestSupport::rootGeometry(window).size(), QSize(378, 70));
    if (qEnvironmentVariableIsSet("TEST_WINDOW_MANAGER")) {
        // The window manager's own verdict on what the user may do.
        QStringList actions;
        QTRY_VERIFY((actions = X11TestSupport::atomListProperty(window, "_NET_WM_ALLOWED_ACTIONS")).contains(
            QStringLiteral("_NET_WM_ACTION_CLOSE")));
        QVERIFY(actions.contains(QStringLiteral("_NET_WM_ACTION_MINIMIZE")));
        for (const char *forbidden : {"_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"})
            QVERIFY2(!actions.contains(QLatin1String(forbidden)), forbidden);
    }

    closeAndExpectExit(program, window);
}

void tst_Program::startsWithoutLocaleFolder()
{
    // A copy of the program with nothing beside it.
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("snaprect"));
    QVERIFY(QFile::copy(QStringLiteral(SNAPRECT_BINARY), copy));
    QVERIFY(!QDir(folder.filePath(QStringLiteral("Locale"))).exists());

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(copy, {});
    QVERIFY(program.waitForStarted());
    const unsigned long window = X11TestSupport::waitForWindow(QStringLiteral("Framzel"));
    QVERIFY(window);
    closeAndExpectExit(program, window);
}

QTEST_MAIN(tst_Program)
#include "tst_program.moc"
