#include "AppConstants.h"
#include "SaveImage.h"
#include "StartUp.h"
#include "TAboutForm.h"
#include "TMainForm.h"

#include <HttpTestServer.h>
#include <ModalAnswerer.h>
#include <OvCheckUpdate.h>
#include <Pictures.h>
#include <UrlRecorder.h>

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <sys/resource.h>

// The program's save routine and windows in-process, their dialogs answered
// as a user would, against the site served here on the address that the test
// build compiles in; the browser is a recorder. Saves in every format by
// typed suffix are checked end to end by tst_capture.
class tst_Program : public QObject
{
    Q_OBJECT

    UrlRecorder m_browser;
    const QPixmap picture = QPixmap::fromImage(patternPicture(QSize(100, 80)));

private slots:
    // Each row: the name typed (into a folder holding "old.png"), the file
    // type chosen, whether the disk is full (every write past 300 bytes fails,
    // for root too: past the few kilobytes that the file buffers), and the file expected with its format, or none: then a
    // warning comes, the dialog is offered again, and the folder stays as it was.
    void save_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("filter");
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("no suffix, JPEG chosen") << "shot" << 1 << false << "shot.jpg" << QByteArray("jpeg");
        QTest::newRow("no suffix, PPM chosen") << "shot" << 4 << false << "shot.ppm" << QByteArray("ppm");
        QTest::newRow("no suffix, WebP chosen") << "shot" << 5 << false << "shot.webp" << QByteArray("webp");
        QTest::newRow("no suffix, TIFF chosen") << "shot" << 6 << false << "shot.tiff" << QByteArray("tiff");
        QTest::newRow("unknown suffix") << "shot.xyz" << 0 << false << "" << QByteArray();
        QTest::newRow("folder that is a file") << "old.png/shot.png" << 0 << false << "" << QByteArray();
        QTest::newRow("disk full") << "shot.png" << 0 << true << "" << QByteArray();
        QTest::newRow("disk full while replacing a file") << "old.png" << 0 << true << "" << QByteArray();
    }

    void save()
    {
        QFETCH(QString, name);
        QFETCH(int, filter);
        QFETCH(bool, diskFull);
        QFETCH(QString, written);
        QFETCH(QByteArray, format);
        QTemporaryDir folder;
        QFile old(folder.filePath("old.png"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("precious") == 8);
        old.close();
        rlimit normal{};
        getrlimit(RLIMIT_FSIZE, &normal);
        const rlimit full{diskFull ? 300 : normal.rlim_cur, normal.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &full);
        ModalAnswerer answerer;
        answerer.then([&](QWidget *dialog) {
            // Through the file type box, as a user does, so that the dialog tells its owner.
            auto *types = dialog->findChild<QComboBox *>("fileTypeCombo");
            types->setCurrentIndex(filter);
            emit types->textActivated(types->currentText());
            dialog->findChild<QLineEdit *>("fileNameEdit")->setText(folder.filePath(name));
            static_cast<QDialog *>(dialog)->accept();
        });
        if (name == "old.png")
            answerer.then([](QWidget *replace) { qobject_cast<QMessageBox *>(replace)->button(QMessageBox::Yes)->click(); });
        answerer.then([&](QWidget *warning) {
            setrlimit(RLIMIT_FSIZE, &normal);
            qobject_cast<QMessageBox *>(warning)->reject();
        }); // and the dialog offered again is rejected
        const QString saved = saveImage(nullptr, picture, {});
        setrlimit(RLIMIT_FSIZE, &normal);
        QCOMPARE(saved, written.isEmpty() ? QString() : folder.filePath(written));
        QCOMPARE(answerer.offScreen, QStringList());
        QCOMPARE(QImageReader(saved).format(), format);
        if (written.isEmpty()) {
            QTRY_COMPARE(answerer.texts.size(), name == "old.png" ? 4 : 3);
            QVERIFY(answerer.texts.at(answerer.texts.size() - 2).contains("图像没有保存"));
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), written.isEmpty() ? 1 : 2);
        QVERIFY(old.open(QIODevice::ReadOnly) && old.readAll() == "precious");
    }

    // Each row: the settings file of an earlier run (none when empty; %1 is a
    // new folder, also the working folder, and holds the home folder), and
    // where Return alone saves a capture of 2026-01-02 03:04:05. A second save
    // of the same capture, from another working folder, opens in the same
    // folder with the same file type and proposes a name not taken.
    void proposedNameAndRememberedFolder_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("saved");
        const QString png = "home/Pictures/SnapRect_20260102_030405.png";
        QTest::newRow("no settings file") << "" << png;
        QTest::newRow("last folder and type") << R"(<snaprect><save folder="%1/sub" type="1"/></snaprect>)"
                                              << "sub/SnapRect_20260102_030405.jpg";
        QTest::newRow("malformed file ignored") << R"(<snaprect><save folder="%1/sub" type="1"/>)" << png;
        QTest::newRow("folder gone, unknown type") << R"(<snaprect><save folder="%1/gone" type="7"/></snaprect>)" << png;
    }

    void proposedNameAndRememberedFolder()
    {
        QFETCH(QString, settings);
        QFETCH(QString, saved);
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkpath("sub") && QDir(folder.path()).mkpath("elsewhere"));
        const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QFile file(config + "/save.xml");
        file.remove();
        QVERIFY(settings.isEmpty()
                || (QDir().mkpath(config) && file.open(QIODevice::WriteOnly) && file.write(settings.arg(folder.path()).toUtf8())));
        file.close();
        ModalAnswerer answerer;
        for (int save = 0; save < 2; ++save)
            answerer.then([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Return); });
        const QString working = QDir::currentPath();
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", folder.filePath("home").toLocal8Bit());
        const QDateTime taken(QDate(2026, 1, 2), QTime(3, 4, 5));
        QDir::setCurrent(folder.path());
        const QString first = saveImage(nullptr, picture, taken);
        QDir::setCurrent(folder.filePath("elsewhere"));
        const QString second = saveImage(nullptr, picture, taken);
        QDir::setCurrent(working);
        qputenv("HOME", home);
        QCOMPARE(first, folder.filePath(saved));
        QCOMPARE(second, folder.filePath(QString(saved).replace("05.", "05_2.")));
    }

    void updateQuestion_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QList<QUrl>>("opened");
        QTest::newRow("newer release, Return keeps Cancel") << QByteArray("1") << false << QList<QUrl>();
        QTest::newRow("newer release, Ok opens the site") << QByteArray("1") << true << QList<QUrl>{QUrl(siteUrl)};
        QTest::newRow("no newer release, no question") << QByteArray("0") << false << QList<QUrl>();
    }

    void updateQuestion()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(QList<QUrl>, opened);
        HttpTestServer site;
        QVERIFY2(site.listen(SNAPRECT_TEST_SITE_PORT), "the test site's port on 127.0.0.1 is taken");
        site.setHandler("/ver.php", HttpTestServer::reply(200, body));
        ModalAnswerer answerer;
        answerer.then([ok](QWidget *box) {
            if (ok)
                qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
        m_browser.urls.clear();
        TMainForm form;
        QSignalSpy answered(form.findChild<OvCheckUpdate *>(), &OvCheckUpdate::update);
        form.show();
        QVERIFY(answered.wait());
        QTRY_COMPARE(answerer.texts.size(), body == "1" ? 1 : 0);
        QCOMPARE(m_browser.urls, opened);
        const auto sent = site.requests();
        QVERIFY(std::any_of(sent.cbegin(), sent.cend(), [](const HttpTestServer::Request &request) {
            return request.target == "/ver.php?id=snap_rect_windows_x86_32&&ver=2012-03-24";
        }));
    }

    void aboutLinksOpenCompiledInAddresses_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QUrl>("expected");
        QTest::newRow("site") << "lblGoSite" << QUrl(siteUrl);
        QTest::newRow("mail") << "lblGoMail" << QUrl("mailto:" + mailAddress);
    }

    void aboutLinksOpenCompiledInAddresses()
    {
        QFETCH(QString, label);
        QFETCH(QUrl, expected);
        TAboutForm about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto *link = about.findChild<QLabel *>(label);
        m_browser.urls.clear();
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(8, link->height() / 2));
        QCOMPARE(m_browser.urls, QList<QUrl>{expected});
    }

    void chineseCatalogsAndSongFaceLoad()
    {
        std::unique_ptr<QTranslator> translator(installTranslator("qt_", SNAPRECT_LOCALE_DIR));
        QMessageBox box(QMessageBox::Question, {}, {}, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove('&'), "取消");
        registerFontSubstitutes();
        for (const QChar c : QString("全屏局部关于退出"))
            QVERIFY2(QFontMetrics(appFont).inFont(c), qPrintable(QFontInfo(appFont).family()));
    }
};

QTEST_MAIN(tst_Program)
#include "tst_program.moc"
