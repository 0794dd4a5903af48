#include "SaveImage.h"

#include <ModalAnswerer.h>
#include <Pictures.h>

#include <QDir>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

// The save routine in-process, its dialogs answered as a user would. Every
// successful save of each format is also checked end to end by tst_capture.
class tst_SaveImage : public QObject
{
    Q_OBJECT

private slots:
    void nameWithoutSuffixGetsSelectedType_data();
    void nameWithoutSuffixGetsSelectedType();
    void failedSaveWarnsAsksAgainAndLeavesFilesAlone_data();
    void failedSaveWarnsAsksAgainAndLeavesFilesAlone();
};

void tst_SaveImage::nameWithoutSuffixGetsSelectedType_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("PNG, the first type") << -1 << "shot.png" << QByteArray("png");
    QTest::newRow("JPEG chosen") << 1 << "shot.jpg" << QByteArray("jpeg");
    QTest::newRow("PPM chosen") << 4 << "shot.ppm" << QByteArray("ppm");
}

void tst_SaveImage::nameWithoutSuffixGetsSelectedType()
{
    QFETCH(int, filter);
    QFETCH(QString, written);
    QFETCH(QByteArray, format);
    QTemporaryDir folder;
    ModalAnswerer answerer;
    answerer.saveAs(folder.filePath(QStringLiteral("shot")), filter);
    QCOMPARE(saveImage(nullptr, QPixmap::fromImage(patternPicture(QSize(61, 37)))), folder.filePath(written));
    QCOMPARE(QImageReader(folder.filePath(written)).format(), format);
}

void tst_SaveImage::failedSaveWarnsAsksAgainAndLeavesFilesAlone_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<bool>("existing");
    QTest::newRow("unknown suffix") << "shot.xyz" << false << false;
    QTest::newRow("folder that is a file") << "old.png/shot.png" << false << true;
    QTest::newRow("disk full") << "shot.png" << true << false;
    QTest::newRow("disk full while replacing a file") << "old.png" << true << true;
}

// A full disk: every write past a few hundred bytes fails, for root too.
void tst_SaveImage::failedSaveWarnsAsksAgainAndLeavesFilesAlone()
{
    QFETCH(QString, name);
    QFETCH(bool, diskFull);
    QFETCH(bool, existing);
    QTemporaryDir folder;
    QFile old(folder.filePath(QStringLiteral("old.png")));
    QVERIFY(!existing || (old.open(QIODevice::WriteOnly) && old.write("precious") == 8));
    old.close();
    rlimit normal{};
    getrlimit(RLIMIT_FSIZE, &normal);
    rlimit full = normal;
    full.rlim_cur = diskFull ? 300 : normal.rlim_cur;
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);

    ModalAnswerer answerer;
    answerer.saveAs(folder.filePath(name));
    if (name == QLatin1String("old.png"))
        answerer.then([](QWidget *replace) { qobject_cast<QMessageBox *>(replace)->button(QMessageBox::Yes)->click(); });
    answerer.then([&](QWidget *warning) {
        setrlimit(RLIMIT_FSIZE, &normal);
        qobject_cast<QMessageBox *>(warning)->reject();
    });
    answerer.cancel(); // the dialog offered again
    const QString saved = saveImage(nullptr, QPixmap::fromImage(patternPicture(QSize(300, 200))));
    setrlimit(RLIMIT_FSIZE, &normal);
    QCOMPARE(saved, QString());
    QCOMPARE(answerer.pendingAnswers(), 0);
    QVERIFY(answerer.unexpected.isEmpty());
    QCOMPARE(answerer.titles.size(), name == QLatin1String("old.png") ? 4 : 3);
    QVERIFY2(answerer.texts.at(answerer.titles.size() - 2).contains(QStringLiteral("图像没有保存")),
             qPrintable(answerer.texts.join(QLatin1Char('|'))));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
             existing ? QStringList{QStringLiteral("old.png")} : QStringList());
    QVERIFY(!old.open(QIODevice::ReadOnly) || old.readAll() == "precious");
}

QTEST_MAIN(tst_SaveImage)
#include "tst_saveimage.moc"
