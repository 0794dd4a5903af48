#include <OvAdHelper.h>
#include <OvAdImageData.h>
#include <OvCheckUpdate.h>
#include <OvDynamicMenu.h>
#include <OvSkin.h>
#include <OvXmlFile.h>

#include "Settings.h"

#include <HttpTestServer.h>
#include <UrlRecorder.h>

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>

using Site = HttpTestServer;
Q_DECLARE_METATYPE(Site::Handler)

namespace {
// data/ads/red.png
const QString redPng = "iVBORw0KGgoAAAANSUhEUgAAAAgAAAAICAIAAABLbSncAAAAEUlEQVR42mP4z8CAFTEMLQkAKP8/wc53yE8AAAAASUVORK5CYII=";

/// An ad document listing \a entries, each a picture's address, a space and
/// its link.
QByteArray ads(const QStringList &entries)
{
    QString xml = "<ovk>";
    for (const QString &entry : entries)
        xml += QString("<ad image_url='%1' link_url='%2'/>").arg(entry.section(' ', 0, 0), entry.section(' ', 1));
    return (xml + "</ovk>").toUtf8();
}

/// A PNG of \a side × \a side blank pixels: a few KB that decode to side² pixels.
QByteArray blankPng(int side)
{
    QImage image(side, side, QImage::Format_Mono);
    image.fill(0);
    QBuffer buffer;
    image.save(&buffer, "PNG");
    return buffer.data();
}

/// Gives this thread root's power to write into any folder, or takes it away so
/// that a read-only folder stops root too; for others it changes nothing.
bool overrideFolderPermissions(bool on)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    if (syscall(SYS_capget, &header, caps) != 0)
        return false;
    caps[0].effective = on ? caps[0].permitted : caps[0].effective & ~(1u << CAP_DAC_OVERRIDE);
    return syscall(SYS_capset, &header, caps) == 0;
}

/// The texts of \a menu's entries, all or the checked ones.
QStringList texts(const QMenu &menu, bool checkedOnly = false)
{
    QStringList list;
    for (const QAction *action : menu.actions()) {
        if (!checkedOnly || action->isChecked())
            list << action->text();
    }
    return list;
}

// The arguments of OvDynamicMenu's calls, and the run after adding a, b and c,
// then after deleting the topmost entry and adding d.
struct MenuCase { int cap; bool atEnd, removeFromEnd; QStringList run, next; };
} // namespace
Q_DECLARE_METATYPE(MenuCase)

// The update check and the ads against a site on 127.0.0.1; the settings file,
// the skins and the dynamic menu.
class tst_Ovkit : public QObject
{
    Q_OBJECT

    Site m_site;
    UrlRecorder m_browser{{"http", "https", "file", "javascript", "mailto", "ftp"}};

    /// Starts \a helper on the ad document that \a document serves, then waits
    /// until the document and every picture download have finished.
    bool start(OvAdHelper &helper, QWidget &widget, const Site::Handler &document)
    {
        m_site.setHandler("/ads/doc.xml", document);
        helper.setWidget(&widget);
        helper.m_url = m_site.url("doc.xml"); // moved to ads/doc.xml
        helper.m_interval = 3600 * 1000;      // the test turns the rotation
        helper.exec();
        const auto idle = [](QObject *object) { return object->findChildren<QNetworkReply *>().isEmpty(); };
        // A hundred pictures to check take a while on a busy machine.
        return QTest::qWaitFor([&] { return idle(&helper) && std::all_of(helper.images().cbegin(), helper.images().cend(), idle); },
                               60000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.listen());
        m_site.serveFolder(OVKIT_TEST_DATA);
        m_site.setHandler("/doc.xml", Site::reply(302, {}, "Location: /ads/doc.xml\r\n"));
        m_site.setHandler("/ads/lying.png", Site::reply(200, QByteArray::fromBase64(redPng.toLatin1()), {}, 1000));
        m_site.setHandler("/ads/endless.png", Site::endless());
        m_site.setHandler("/ads/huge.png", Site::reply(200, blankPng(5792)));
        m_site.setHandler("/ads/over.png", Site::reply(200, blankPng(2049)));
        m_site.setHandler("/ads/big.png", Site::reply(200, blankPng(2048)));
        m_site.setHandler("/new/ver.php", Site::reply(200, "1"));
    }

    void updateCheck_data()
    {
        QTest::addColumn<Site::Handler>("answer");
        QTest::addColumn<bool>("newer");
        QTest::newRow("1") << Site::reply(200, "1") << true;
        QTest::newRow("1, NUL and more") << Site::reply(200, QByteArray("1\0x", 3)) << true;
        QTest::newRow("0") << Site::reply(200, "0") << false;
        QTest::newRow("1 and a line feed") << Site::reply(200, "1\n") << false;
        QTest::newRow("1 with status 404") << Site::reply(404, "1") << false;
        QTest::newRow("1 of a longer reply cut short") << Site::reply(200, "1", {}, 2) << false;
        QTest::newRow("1 and NULs past the size limit") << Site::reply(200, "1" + QByteArray(16, '\0')) << false;
        QTest::newRow("endless") << Site::endless() << false;
        QTest::newRow("1 after a redirect with a page")
            << Site::reply(301, QByteArray(100, 'x'), "Location: /new/ver.php?id=snap_rect&&ver=2012-03-24\r\n") << true;
    }
    void updateCheck()
    {
        QFETCH(Site::Handler, answer);
        QFETCH(bool, newer);
        m_site.setHandler("/ver.php", answer);
        OvCheckUpdate check;
        QSignalSpy update(&check, &OvCheckUpdate::update);
        const qsizetype sent = m_site.requests().size();
        check.exec(m_site.url("ver.php"), "snap_rect", "2012-03-24");
        QVERIFY(update.wait());
        QCOMPARE(update.takeFirst(), QVariantList{newer});
        QCOMPARE(m_site.requests().at(sent).target, "/ver.php?id=snap_rect&&ver=2012-03-24");
    }

    void adRotation_data()
    {
        QTest::addColumn<Site::Handler>("document");
        QTest::addColumn<QStringList>("opened"); // by a click after each tick, relative to the document
        QTest::newRow("all loaded") << Site::reply(200, ads({"red.png 1", "green.png 2", "blue.png 3"}))
                                    << QStringList{"1", "2", "3", "1"};
        QTest::newRow("failed pictures skipped")
            << Site::reply(200, ads({"missing.png 1", "red.png 2", "lying.png 3", "endless.png 4", "blue.png 5"}))
            << QStringList{"", "2", "2", "2", "5", "5", "2"};
        QTest::newRow("web pictures only") << Site::reply(200, ads({"data:image/png;base64," + redPng + " 1", "green.png 2"}))
                                           << QStringList{"", "2", "2"};
        QTest::newRow("https link") << Site::reply(200, ads({"red.png https://127.0.0.1:1/"}))
                                    << QStringList{"https://127.0.0.1:1/"};
        for (const char *link : {"file:///etc/passwd", "javascript:alert(1)", "mailto:ad@127.0.0.1", "ftp://127.0.0.1/"})
            QTest::newRow(link) << Site::reply(200, ads({QString("red.png ") + link})) << QStringList{""};
        QTest::newRow("document status 404") << Site::reply(404, ads({"red.png 1"})) << QStringList{""};
        QTest::newRow("document cut short") << Site::reply(200, ads({"red.png 1"}), {}, 1000) << QStringList{""};
        QTest::newRow("endless document") << Site::endless() << QStringList{""};
        QTest::newRow("pictures over the pixel limit")
            << Site::reply(200, ads(QStringList{"red.png 1", "over.png 2"} + QStringList(98, "huge.png 2"))) << QStringList{"1", "1"};
        QTest::newRow("pictures over the document's pixel total") << Site::reply(200, ads(QStringList(5, "big.png 2"))) << QStringList();
    }
    void adRotation()
    {
        QFETCH(Site::Handler, document);
        QFETCH(QStringList, opened);
        OvAdHelper helper;
        QWidget widget;
        QVERIFY(start(helper, widget, document));
        qint64 pixels = 0;
        for (const OvAdImageData *image : helper.images())
            pixels += image->m_loaded ? qint64(image->m_pixmap.width()) * image->m_pixmap.height() : 0;
        QVERIFY(pixels <= OvAdImageData::maxDocumentPixels);
        for (const QString &link : opened) {
            QVERIFY(QMetaObject::invokeMethod(&helper, "play")); // the rotation timer's tick
            m_browser.urls.clear();
            helper.click();
            QCOMPARE(m_browser.urls, link.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(m_site.url("ads/")).resolved(link)});
        }
        // Until a picture of a new document is drawn, a click opens nothing,
        // though the entry drawn last has a namesake in the longer new list.
        QVERIFY(start(helper, widget, Site::reply(200, ads(QStringList(8, "green.png new")))));
        m_browser.urls.clear();
        helper.click();
        QCOMPARE(m_browser.urls, QList<QUrl>());
    }

    void adWidgetDeletedFirst()
    {
        OvAdHelper helper;
        auto *widget = new QWidget;
        QVERIFY(start(helper, *widget, Site::reply(200, ads({"red.png 1"}))));
        delete widget;
        QVERIFY(QMetaObject::invokeMethod(&helper, "play")); // the rotation timer's tick
    }

    void settingsFile_data()
    {
        QTest::addColumn<QByteArray>("old");  // the file before, if any
        QTest::addColumn<int>("padding");     // of the new file, whose save fails as on a full disk; 0 for none
        QTest::addColumn<bool>("inPlace");    // the folder is read-only, the file not
        QTest::newRow("no file") << QByteArray() << 0 << false;
        QTest::newRow("integer with letters") << QByteArray("<s n='12abc'/>") << 0 << false;
        QTest::newRow("integer beyond int") << QByteArray("<s n='2147483648'/>") << 0 << false;
        QTest::newRow("colour out of range") << QByteArray("<s><c r='256' g='-1' b='x'/></s>") << 0 << false;
        QTest::newRow("malformed font") << QByteArray("<s><f 字体='' 大小='0' 风格='3' 删除线='x' 下划线=''/></s>") << 0 << false;
        // Past the write buffer the hook's writes fail; within it, the last flush.
        QTest::newRow("save fails while writing") << QByteArray("<s/>") << 256 * 1024 << false;
        QTest::newRow("save fails on the last flush") << QByteArray("<s/>") << 6000 << false;
        QTest::newRow("save in place fails while writing") << QByteArray("<s/>") << 256 * 1024 << true;
    }
    void settingsFile()
    {
        QFETCH(QByteArray, old);
        QFETCH(int, padding);
        QFETCH(bool, inPlace);
        QTemporaryDir dir;
        QFile file(dir.filePath("s.xml"));
        QVERIFY(old.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(old) > 0 && file.flush()));
        const auto restore = qScopeGuard([&] {
            overrideFolderPermissions(true);
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        QVERIFY(!inPlace || (QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner) && overrideFolderPermissions(false)));
        Settings settings;
        settings.load(file.fileName());
        QCOMPARE(settings.values(), Settings().values());
        settings.number = -5;
        settings.color = Qt::white;
        settings.font = QFont("宋体" + QString(padding, 'x'), 12, QFont::Normal, true);
        settings.font.setUnderline(true);
        // A file size limit fails writes as a full disk does.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        const rlimit limit{padding ? 4096 : before.rlim_cur, before.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        QCOMPARE(settings.save(file.fileName()), !padding);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &before), 0);
        Settings loaded;
        loaded.load(file.fileName());
        QCOMPARE(loaded.values(), padding ? Settings().values() : settings.values());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"s.xml"});
        // The next save is whole again.
        QVERIFY(settings.save(file.fileName()));
        loaded.load(file.fileName());
        QCOMPARE(loaded.values(), settings.values());
    }

    void skins_data()
    {
        QTest::addColumn<QStringList>("choices"); // menu entries, in turn
        QTest::addColumn<QString>("look");
        QTest::newRow("a skin") << QStringList{"Blue"} << "Blue";
        QTest::newRow("another skin") << QStringList{"Blue", "dark"} << "dark";
        QTest::newRow("back to the system look") << QStringList{"Blue", "dark", "系统"} << "系统";
        QTest::newRow("broken skin falls back") << QStringList{"Blue", "broken"} << "系统";
        QTest::newRow("crafted skin falls back") << QStringList{"Blue", "crafted"} << "系统";
    }
    void skins()
    {
        QFETCH(QStringList, choices);
        QFETCH(QString, look);
        OvSkin skin;
        skin.init(qApp, TEST_SKINS "/", "皮肤", "系统");
        for (const QString &choice : choices)
            skin.menu()->actions().at(texts(*skin.menu()).indexOf(choice))->trigger();
        QFile sheet(TEST_STYLE_SHEETS "/" + look + ".qss");
        QCOMPARE(qApp->styleSheet().toUtf8(), sheet.open(QIODevice::ReadOnly) ? sheet.readAll() : QByteArray());
        QCOMPARE(texts(*skin.menu(), true), QStringList{look});
        // Only the skin in use stays registered.
        QCOMPARE(QFile::exists(":/ov_skin/skin.qss"), look != "系统");
        skin.setSkinName(QString());
    }

    void dynamicMenu_data()
    {
        QTest::addColumn<MenuCase>("c");
        QTest::newRow("no cap") << MenuCase{-1, true, false, {"a", "b", "c"}, {"b", "c", "d"}};
        QTest::newRow("cap 2 at the end") << MenuCase{2, true, false, {"b", "c"}, {"c", "d"}};
        QTest::newRow("cap 2 on top") << MenuCase{2, false, true, {"c", "b"}, {"d", "b"}};
        QTest::newRow("cap 0") << MenuCase{0, true, true, {}, {}};
    }
    void dynamicMenu()
    {
        QFETCH(MenuCase, c);
        QMenu menu;
        menu.addAction("host");
        OvDynamicMenu run;
        run.setMenu(&menu);
        run.setMaxCount(c.cap);
        run.add(QStringList{"a", "b", "c"}, c.atEnd, c.removeFromEnd);
        QCOMPARE(texts(menu), QStringList{"host"} + c.run);
        QSignalSpy clicks(&run, &OvDynamicMenu::menuClick);
        for (QAction *action : menu.actions())
            action->trigger();
        QCOMPARE(clicks.count(), c.run.size());
        delete menu.actions().value(1);
        run.add("d", c.atEnd, c.removeFromEnd);
        QStringList reported;
        run.menuTextList(reported);
        QCOMPARE(reported, c.next);
        QCOMPARE(texts(menu), QStringList{"host"} + c.next);
    }
};

QTEST_MAIN(tst_Ovkit)
#include "tst_ovkit.moc"
