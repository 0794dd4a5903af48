#include "SaveImage.h"

#include <ModalAnswerer.h>

#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Noise: every pixel differs from its neighbours, so that any shift, scaling
// or swapped channel shows, and no format compresses it to a few bytes.
QPixmap testPicture()
{
    QImage image(61, 37, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y, qRgb(int(state >> 24), int(state >> 16) & 0xFF, int(state >> 8) & 0xFF));
        }
    }
    return QPixmap::fromImage(image);
}

QByteArray formatOnDisk(const QString &fileName)
{
    return QImageReader(fileName).format();
}

} // namespace

class tst_SaveImage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void writesFormatOfSuffix_data();
    void writesFormatOfSuffix();
    void nameWithoutSuffixGetsSelectedType_data();
    void nameWithoutSuffixGetsSelectedType();
    void dialogLooksAsExpected();
    void cancelWritesNothing();
    void unknownSuffixWarnsAndAsksAgain();
    void failedWriteWarnsAndAsksAgain_data();
    void failedWriteWarnsAndAsksAgain();
    void failedOverwriteKeepsOldFile();
    void firstDialogAvoidsUnwritableWorkingDirectory();
    void nextDialogOpensInLastFolder();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_SaveImage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_SaveImage::writesFormatOfSuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("lossless");

    QTest::newRow("png") << "a.png" << -1 << QByteArray("png") << true;
    QTest::newRow("jpg") << "a.jpg" << 1 << QByteArray("jpeg") << false;
    QTest::newRow("bmp") << "a.bmp" << 2 << QByteArray("bmp") << true;
    QTest::newRow("xpm") << "a.xpm" << 3 << QByteArray("xpm") << true;
    QTest::newRow("ppm") << "a.ppm" << 4 << QByteArray("ppm") << true;
    QTest::newRow(".png typed under the BMP entry") << "b.png" << 2 << QByteArray("png") << true;
    QTest::newRow("upper-case suffix") << "c.PNG" << -1 << QByteArray("png") << true;
}

void tst_SaveImage::writesFormatOfSuffix()
{
    QFETCH(QString, name);
    QFETCH(int, filterIndex);
    QFETCH(QByteArray, format);
    QFETCH(bool, lossless);

    const QString path = m_dir->filePath(name);
    ModalAnswerer answerer;
    answerer.saveAs(path, filterIndex);
    const QPixmap picture = testPicture();
    QCOMPARE(saveImage(nullptr, picture), path);
    QCOMPARE(answerer.pendingAnswers(), 0);

    QCOMPARE(formatOnDisk(path), format);
    const QImage back(path);
    QCOMPARE(back.size(), picture.size());
    if (lossless)
        QCOMPARE(back.convertToFormat(QImage::Format_RGB32), picture.toImage().convertToFormat(QImage::Format_RGB32));
}

void tst_SaveImage::nameWithoutSuffixGetsSelectedType_data()
{
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QString>("expectedName");

    QTest::newRow("PNG, selected when the dialog opens") << -1 << "shot.png";
    QTest::newRow("JPEG") << 1 << "shot.jpg";
    QTest::newRow("PPM") << 4 << "shot.ppm";
}

void tst_SaveImage::nameWithoutSuffixGetsSelectedType()
{
    QFETCH(int, filterIndex);
    QFETCH(QString, expectedName);

    ModalAnswerer answerer;
    answerer.saveAs(m_dir->filePath(QStringLiteral("shot")), filterIndex);
    const QString written = saveImage(nullptr, testPicture());
    QCOMPARE(written, m_dir->filePath(expectedName));
    QVERIFY(QFile::exists(written));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("shot"))));
}

void tst_SaveImage::dialogLooksAsExpected()
{
    ModalAnswerer answerer;
    QStringList filters;
    QString selected;
    answerer.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        filters = dialog->nameFilters();
        selected = dialog->selectedNameFilter();
        dialog->reject();
    });
    saveImage(nullptr, testPicture());
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("保存图像")});
    QCOMPARE(filters.join(QLatin1String(";;")),
             QStringLiteral("PNG 图像 (*.png);;JPEG 图像 (*.jpg);;BMP 图像 (*.bmp);;XPM 图像 (*.xpm);;PPM 图像 (*.ppm)"));
    QCOMPARE(selected, QStringLiteral("PNG 图像 (*.png)"));
}

void tst_SaveImage::cancelWritesNothing()
{
    ModalAnswerer answerer;
    answerer.cancel();
    QCOMPARE(saveImage(nullptr, testPicture()), QString());
    QVERIFY(QDir(m_dir->path()).isEmpty());
}

void tst_SaveImage::unknownSuffixWarnsAndAsksAgain()
{
    ModalAnswerer answerer;
    answerer.saveAs(m_dir->filePath(QStringLiteral("shot.xyz")));
    answerer.cancel(); // the warning
    answerer.cancel(); // the file dialog, offered again
    QCOMPARE(saveImage(nullptr, testPicture()), QString());
    QCOMPARE(answerer.pendingAnswers(), 0);
    QCOMPARE(answerer.titles, QStringList({"保存图像", "保存图像", "保存图像"}));
    QVERIFY2(answerer.texts.at(1).contains(QLatin1String("xyz")), qPrintable(answerer.texts.at(1)));
    QVERIFY(QDir(m_dir->path()).isEmpty());
}

// Makes every write past a few hundred bytes fail, as a full disk does,
// until destroyed. Works for root too, unlike permissions.
class FileSizeLimit
{
public:
    FileSizeLimit()
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = m_old;
        tight.rlim_cur = 300;
        setrlimit(RLIMIT_FSIZE, &tight);
    }
    ~FileSizeLimit() { lift(); }
    void lift() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

void tst_SaveImage::failedWriteWarnsAndAsksAgain_data()
{
    QTest::addColumn<QString>("target");

    QTest::newRow("disk full") << QStringLiteral("shot.png");
    QTest::newRow("folder without write permission") << QStringLiteral("locked/shot.png");
}

void tst_SaveImage::failedWriteWarnsAndAsksAgain()
{
    QFETCH(QString, target);
    const bool locked = target.startsWith(QLatin1String("locked/"));
    if (locked) {
        if (geteuid() == 0)
            QSKIP("permissions do not stop root");
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("locked")));
        QFile::setPermissions(m_dir->filePath(QStringLiteral("locked")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    FileSizeLimit limit;
    if (locked)
        limit.lift();
    const QString path = m_dir->filePath(target);

    ModalAnswerer answerer;
    answerer.saveAs(path);
    answerer.then([&limit](QWidget *warning) {
        limit.lift();
        static_cast<QDialog *>(warning)->reject();
    });
    answerer.saveAs(m_dir->filePath(QStringLiteral("second try.png")));
    QCOMPARE(saveImage(nullptr, testPicture()), m_dir->filePath(QStringLiteral("second try.png")));
    QCOMPARE(answerer.titles, QStringList({"保存图像", "保存图像", "保存图像"}));
    QVERIFY2(answerer.texts.at(1).contains(QFileInfo(path).fileName()), qPrintable(answerer.texts.at(1)));
    QVERIFY(!QFile::exists(path));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("second try.png"))));
    QVERIFY(answerer.unexpected.isEmpty());
}

void tst_SaveImage::failedOverwriteKeepsOldFile()
{
    const QString path = m_dir->filePath(QStringLiteral("keep.png"));
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("precious");
    existing.close();

    FileSizeLimit limit;
    ModalAnswerer answerer;
    answerer.saveAs(path);
    answerer.then([](QWidget *question) { // replace the existing file?
        qobject_cast<QMessageBox *>(question)->button(QMessageBox::Yes)->click();
    });
    answerer.cancel(); // the warning
    answerer.cancel(); // the file dialog again
    QCOMPARE(saveImage(nullptr, testPicture()), QString());
    limit.lift();
    QCOMPARE(answerer.titles.size(), 4);
    QVERIFY(answerer.unexpected.isEmpty());

    QFile check(path);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), QByteArray("precious"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.png")});
}

void tst_SaveImage::firstDialogAvoidsUnwritableWorkingDirectory()
{
    if (geteuid() == 0)
        QSKIP("permissions do not stop root");
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("program")));
    const QString program = m_dir->filePath(QStringLiteral("program"));
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(program));
    ModalAnswerer answerer;
    answerer.cancel();
    saveImage(nullptr, testPicture());
    QDir::setCurrent(before);
    QVERIFY(answerer.texts.first() != QDir(program).absolutePath());
}

void tst_SaveImage::nextDialogOpensInLastFolder()
{
    QTemporaryDir other;
    ModalAnswerer answerer;
    answerer.saveAs(other.filePath(QStringLiteral("first.png")));
    QVERIFY(!saveImage(nullptr, testPicture()).isEmpty());
    answerer.cancel();
    saveImage(nullptr, testPicture());
    QCOMPARE(answerer.texts.last(), QDir(other.path()).absolutePath());
}

QTEST_MAIN(tst_SaveImage)
#include "tst_saveimage.moc"
