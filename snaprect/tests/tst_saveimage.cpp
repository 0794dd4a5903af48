#include "SaveImage.h"

#include <ModalAnswerer.h>
#include <Pictures.h>

#include <QDir>
#include <QImageReader>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

// The save routine in-process, its dialogs answered as a user would; saves
// in every format by typed suffix are checked end to end by tst_capture.
class tst_SaveImage : public QObject
{
    Q_OBJECT

private slots:
    void save_data();
    void save();
};

// Each row: the name typed (into a folder holding "old.png"), the file type
// chosen, whether the disk is full (every write past 300 bytes fails, for
// root too), and the file expected with its format, or none: then a warning
// comes, the dialog is offered again, and the folder stays as it was.
void tst_SaveImage::save_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("filter");
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("no suffix, first type") << "shot" << -1 << false << "shot.png" << QByteArray("png");
    QTest::newRow("no suffix, JPEG chosen") << "shot" << 1 << false << "shot.jpg" << QByteArray("jpeg");
    QTest::newRow("no suffix, PPM chosen") << "shot" << 4 << false << "shot.ppm" << QByteArray("ppm");
    QTest::newRow("unknown suffix") << "shot.xyz" << -1 << false << "" << QByteArray();
    QTest::newRow("folder that is a file") << "old.png/shot.png" << -1 << false << "" << QByteArray();
    QTest::newRow("disk full") << "shot.png" << -1 << true << "" << QByteArray();
    QTest::newRow("disk full while replacing a file") << "old.png" << -1 << true << "" << QByteArray();
}

void tst_SaveImage::save()
{
    QFETCH(QString, name);
    QFETCH(int, filter);
    QFETCH(bool, diskFull);
    QFETCH(QString, written);
    QFETCH(QByteArray, format);
    QTemporaryDir folder;
    QFile old(folder.filePath(QStringLiteral("old.png")));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("precious") == 8);
    old.close();
    rlimit normal{};
    getrlimit(RLIMIT_FSIZE, &normal);
    rlimit full = normal;
    full.rlim_cur = diskFull ? 300 : normal.rlim_cur;
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);

    ModalAnswerer answerer;
    answerer.saveAs(folder.filePath(name), filter);
    if (name == QLatin1String("old.png"))
        answerer.then([](QWidget *replace) { qobject_cast<QMessageBox *>(replace)->button(QMessageBox::Yes)->click(); });
    answerer.then([&](QWidget *warning) {
        setrlimit(RLIMIT_FSIZE, &normal);
        qobject_cast<QMessageBox *>(warning)->reject();
    });
    answerer.cancel(); // the dialog offered again
    const QString saved = saveImage(nullptr, QPixmap::fromImage(patternPicture(QSize(300, 200))));
    setrlimit(RLIMIT_FSIZE, &normal);
    QCOMPARE(saved, written.isEmpty() ? QString() : folder.filePath(written));
    QCOMPARE(QImageReader(saved).format(), format);
    if (written.isEmpty()) {
        QCOMPARE(answerer.pendingAnswers(), 0);
        QVERIFY2(answerer.texts.at(answerer.texts.size() - 2).contains(QStringLiteral("图像没有保存")),
                 qPrintable(answerer.texts.join(QLatin1Char('|'))));
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), written.isEmpty() ? 1 : 2);
    QVERIFY(old.open(QIODevice::ReadOnly) && old.readAll() == "precious");
}

QTEST_MAIN(tst_SaveImage)
#include "tst_saveimage.moc"
