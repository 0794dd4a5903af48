#include <OvSkin.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QResource>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

static const QString styleSheetResource = QStringLiteral(":/ov_skin/skin.qss");

// The style sheet that the skin \a name was built from.
static QString styleSheetOf(const QString &name)
{
    QFile file(QStringLiteral(TEST_STYLE_SHEETS "/") + name + QStringLiteral(".qss"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<missing>");
}

// The menu's entries as "text", "text [ ]" (checkable) or "text [x]" (checked).
static QStringList entries(const QMenu *menu)
{
    QStringList list;
    for (const QAction *action : menu->actions()) {
        QString entry = action->text();
        if (action->isCheckable())
            entry += action->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]");
        list.append(entry);
    }
    return list;
}

static QAction *entry(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

static QString resourceText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class tst_OvSkin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsSkinsInNameOrder();
    void folderWithoutSkins_data();
    void folderWithoutSkins();
    void switchingBackAndForth();
    void choosingTheCheckedEntryAgainReappliesIt();
    void dottedFileNameLooksForItsBaseName();
    void unusableFileFallsBackToSystemLook_data();
    void unusableFileFallsBackToSystemLook();
    void skinWithoutStyleSheetKeepsItsCheckMark();
    void skinWithoutEntryLeavesCheckMarks();
    void folderWithoutTrailingSeparator();
    void deletingTheManagerKeepsTheSkin();
    void nullApplication();

private:
    void copySkin(const QString &built, const QString &target);
    void choose(OvSkin &skin, const QString &text);
    std::unique_ptr<OvSkin> initSkin(const QString &folder);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_skins;  // the skin folder, ending in "/"
    std::unique_ptr<QSignalSpy> m_spy;
};

void tst_OvSkin::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("skins")));
    m_skins = m_dir->filePath(QStringLiteral("skins/"));
}

void tst_OvSkin::cleanup()
{
    m_spy.reset();
    QDirIterator files(m_dir->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext())
        QResource::unregisterResource(files.next(), QString());
    qApp->setStyleSheet(QString());
    m_dir.reset();
    QVERIFY(!QFile::exists(styleSheetResource));
}

void tst_OvSkin::copySkin(const QString &built, const QString &target)
{
    QVERIFY(QFile::copy(QStringLiteral(TEST_SKINS "/") + built, target));
}

// Creates a skin manager on \a folder, with a spy on skinChange from the start.
std::unique_ptr<OvSkin> tst_OvSkin::initSkin(const QString &folder)
{
    auto skin = std::make_unique<OvSkin>();
    m_spy = std::make_unique<QSignalSpy>(skin.get(), &OvSkin::skinChange);
    skin->init(qApp, folder, QStringLiteral("Skins"), QStringLiteral("System"));
    return skin;
}

// Chooses the entry \a text in the skin menu with the mouse.
void tst_OvSkin::choose(OvSkin &skin, const QString &text)
{
    QMenu *menu = skin.menu();
    QAction *action = entry(menu, text);
    QVERIFY2(action, qPrintable(text));
    menu->popup(QPoint(40, 40));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    QTRY_VERIFY(!menu->isVisible());
}

void tst_OvSkin::listsSkinsInNameOrder()
{
    for (const char *name : {"dark.skin", "Blue.skin", "a.b.skin"})
        copySkin(QLatin1String(name), m_skins + QLatin1String(name));
    copySkin(QStringLiteral("Blue.skin"), m_skins + QStringLiteral("UPPER.SKIN"));
    copySkin(QStringLiteral("Blue.skin"), m_skins + QStringLiteral(".hidden.skin"));
    QVERIFY(QDir(m_skins).mkdir(QStringLiteral("folder.skin")));
    QFile readme(m_skins + QStringLiteral("readme.txt"));
    QVERIFY(readme.open(QIODevice::WriteOnly));
    readme.close();

    const auto skin = initSkin(m_skins);
    QCOMPARE(skin->menu()->title(), QStringLiteral("Skins"));
    QCOMPARE(entries(skin->menu()), (QStringList{"System [x]", "Blue", "a", "dark"}));
    QCOMPARE(m_spy->count(), 1);
    QCOMPARE(m_spy->at(0).at(0).toString(), QString());
    QCOMPARE(skin->skinName(), QString());
    QCOMPARE(qApp->styleSheet(), QString());
}

void tst_OvSkin::folderWithoutSkins_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::newRow("empty folder") << "skins/" << "";
    QTest::newRow("missing folder") << "nowhere/" << "";
    QTest::newRow("only other files") << "skins/" << "skins/Blue.qss";
}

void tst_OvSkin::folderWithoutSkins()
{
    QFETCH(QString, folder);
    QFETCH(QString, file);
    if (!file.isEmpty()) {
        QFile other(m_dir->filePath(file));
        QVERIFY(other.open(QIODevice::WriteOnly));
    }
    const auto skin = initSkin(m_dir->filePath(folder));
    QCOMPARE(entries(skin->menu()), QStringList{"System [x]"});
    QCOMPARE(m_spy->count(), 1);
    QCOMPARE(qApp->styleSheet(), QString());
}

void tst_OvSkin::switchingBackAndForth()
{
    for (const char *name : {"dark.skin", "Blue.skin"})
        copySkin(QLatin1String(name), m_skins + QLatin1String(name));
    const auto skin = initSkin(m_skins);

    struct Step {
        QString choice;
        QString skinName;
        QStringList menu;
    };
    const Step steps[] = {
        {"Blue", "Blue", {"System [ ]", "Blue [x]", "dark"}},
        {"dark", "dark", {"System [ ]", "Blue [ ]", "dark [x]"}},
        {"Blue", "Blue", {"System [ ]", "Blue [x]", "dark [ ]"}},
        {"System", "", {"System [x]", "Blue [ ]", "dark [ ]"}},
        {"dark", "dark", {"System [ ]", "Blue [ ]", "dark [x]"}},
        {"System", "", {"System [x]", "Blue [ ]", "dark [ ]"}},
    };
    int emitted = 1;  // by init
    for (const Step &step : steps) {
        choose(*skin, step.choice);
        const QString sheet = step.skinName.isEmpty() ? QString() : styleSheetOf(step.skinName);
        QCOMPARE(m_spy->count(), ++emitted);
        QCOMPARE(m_spy->last().at(0).toString(), step.skinName);
        QCOMPARE(skin->skinName(), step.skinName);
        QCOMPARE(qApp->styleSheet(), sheet);
        QCOMPARE(entries(skin->menu()), step.menu);
        // Only the current skin's file is registered.
        QCOMPARE(QFile::exists(styleSheetResource), !sheet.isEmpty());
        if (!sheet.isEmpty())
            QCOMPARE(resourceText(styleSheetResource), sheet);
    }

    skin->setSkinName(QStringLiteral("Blue"));
    QCOMPARE(entries(skin->menu()), (QStringList{"System [ ]", "Blue [x]", "dark [ ]"}));
    skin->setSkinName(QString());
    QCOMPARE(m_spy->count(), emitted + 2);
    QCOMPARE(m_spy->last().at(0).toString(), QString());
    QCOMPARE(entries(skin->menu()), (QStringList{"System [x]", "Blue [ ]", "dark [ ]"}));
    QCOMPARE(qApp->styleSheet(), QString());
    QVERIFY(!QFile::exists(styleSheetResource));
}

void tst_OvSkin::choosingTheCheckedEntryAgainReappliesIt()
{
    copySkin(QStringLiteral("Blue.skin"), m_skins + QStringLiteral("Blue.skin"));
    const auto skin = initSkin(m_skins);
    choose(*skin, QStringLiteral("Blue"));
    qApp->setStyleSheet(QStringLiteral("QWidget { color: red; }"));

    choose(*skin, QStringLiteral("Blue"));
    QCOMPARE(m_spy->count(), 3);
    QCOMPARE(m_spy->last().at(0).toString(), QStringLiteral("Blue"));
    QCOMPARE(qApp->styleSheet(), styleSheetOf(QStringLiteral("Blue")));
    QCOMPARE(entries(skin->menu()), (QStringList{"System [ ]", "Blue [x]"}));
    QCOMPARE(resourceText(styleSheetResource), styleSheetOf(QStringLiteral("Blue")));
}

void tst_OvSkin::dottedFileNameLooksForItsBaseName()
{
    copySkin(QStringLiteral("a.b.skin"), m_skins + QStringLiteral("a.b.skin"));
    const auto skin = initSkin(m_skins);
    QCOMPARE(entries(skin->menu()), (QStringList{"System [x]", "a"}));

    choose(*skin, QStringLiteral("a"));
    QCOMPARE(m_spy->count(), 2);
    QCOMPARE(m_spy->last().at(0).toString(), QStringLiteral("a"));
    QCOMPARE(skin->skinName(), QStringLiteral("a"));
    QCOMPARE(qApp->styleSheet(), QString());
    QCOMPARE(entries(skin->menu()), (QStringList{"System [x]", "a [ ]"}));

    // The entry works once a file of its base name is there.
    copySkin(QStringLiteral("Blue.skin"), m_skins + QStringLiteral("a.skin"));
    choose(*skin, QStringLiteral("a"));
    QCOMPARE(qApp->styleSheet(), styleSheetOf(QStringLiteral("Blue")));
    QCOMPARE(entries(skin->menu()), (QStringList{"System [ ]", "a [x]"}));
}

void tst_OvSkin::unusableFileFallsBackToSystemLook_data()
{
    QTest::addColumn<QByteArray>("content");  // of dark.skin after init; empty: deleted
    QTest::newRow("file deleted after the listing") << QByteArray();
    QTest::newRow("not a resource file") << QByteArray("QWidget { color: red; }");
    QTest::newRow("truncated resource file") << QByteArray("qres\0\0\0\3", 8);
}

void tst_OvSkin::unusableFileFallsBackToSystemLook()
{
    QFETCH(QByteArray, content);
    for (const char *name : {"dark.skin", "Blue.skin"})
        copySkin(QLatin1String(name), m_skins + QLatin1String(name));
    const auto skin = initSkin(m_skins);
    const QString dark = m_skins + QStringLiteral("dark.skin");
    QVERIFY(QFile::remove(dark));
    if (!content.isEmpty()) {
        QFile file(dark);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }

    choose(*skin, QStringLiteral("Blue"));
    choose(*skin, QStringLiteral("dark"));
    QCOMPARE(m_spy->count(), 3);
    QCOMPARE(m_spy->last().at(0).toString(), QStringLiteral("dark"));
    QCOMPARE(skin->skinName(), QStringLiteral("dark"));
    QCOMPARE(qApp->styleSheet(), QString());
    QCOMPARE(entries(skin->menu()), (QStringList{"System [x]", "Blue [ ]", "dark [ ]"}));
    QVERIFY(!QFile::exists(styleSheetResource));
}

void tst_OvSkin::skinWithoutStyleSheetKeepsItsCheckMark()
{
    for (const char *name : {"nosheet.skin", "Blue.skin"})
        copySkin(QLatin1String(name), m_skins + QLatin1String(name));
    const auto skin = initSkin(m_skins);
    choose(*skin, QStringLiteral("Blue"));

    choose(*skin, QStringLiteral("nosheet"));
    QCOMPARE(m_spy->last().at(0).toString(), QStringLiteral("nosheet"));
    QCOMPARE(qApp->styleSheet(), QString());
    QCOMPARE(entries(skin->menu()), (QStringList{"System [ ]", "Blue [ ]", "nosheet [x]"}));
    QVERIFY(!QFile::exists(styleSheetResource));
    QVERIFY(QFile::exists(QStringLiteral(":/ov_skin/readme.txt")));

    choose(*skin, QStringLiteral("Blue"));
    QVERIFY(!QFile::exists(QStringLiteral(":/ov_skin/readme.txt")));
    QCOMPARE(qApp->styleSheet(), styleSheetOf(QStringLiteral("Blue")));
}

void tst_OvSkin::skinWithoutEntryLeavesCheckMarks()
{
    copySkin(QStringLiteral("dark.skin"), m_skins + QStringLiteral("dark.skin"));
    const auto skin = initSkin(m_skins);
    // The listing is fixed at init: a skin added later has no entry.
    copySkin(QStringLiteral("Blue.skin"), m_skins + QStringLiteral("late.skin"));
    choose(*skin, QStringLiteral("dark"));

    skin->setSkinName(QStringLiteral("late"));
    QCOMPARE(m_spy->count(), 3);
    QCOMPARE(m_spy->last().at(0).toString(), QStringLiteral("late"));
    QCOMPARE(qApp->styleSheet(), styleSheetOf(QStringLiteral("Blue")));
    QCOMPARE(entries(skin->menu()), (QStringList{"System [ ]", "dark [x]"}));
    QCOMPARE(resourceText(styleSheetResource), styleSheetOf(QStringLiteral("Blue")));
}

void tst_OvSkin::folderWithoutTrailingSeparator()
{
    copySkin(QStringLiteral("Blue.skin"), m_skins + QStringLiteral("Blue.skin"));
    QString folder = m_skins;
    folder.chop(1);
    const auto skin = initSkin(folder);
    QCOMPARE(entries(skin->menu()), (QStringList{"System [x]", "Blue"}));

    // The file looked for lies beside the folder: ".../skinsBlue.skin".
    choose(*skin, QStringLiteral("Blue"));
    QCOMPARE(qApp->styleSheet(), QString());
    QCOMPARE(entries(skin->menu()), (QStringList{"System [x]", "Blue [ ]"}));

    copySkin(QStringLiteral("dark.skin"), folder + QStringLiteral("Blue.skin"));
    choose(*skin, QStringLiteral("Blue"));
    QCOMPARE(qApp->styleSheet(), styleSheetOf(QStringLiteral("dark")));
    QCOMPARE(entries(skin->menu()), (QStringList{"System [ ]", "Blue [x]"}));
}

void tst_OvSkin::deletingTheManagerKeepsTheSkin()
{
    copySkin(QStringLiteral("Blue.skin"), m_skins + QStringLiteral("Blue.skin"));
    auto skin = initSkin(m_skins);
    choose(*skin, QStringLiteral("Blue"));
    const QPointer<QMenu> menu = skin->menu();
    const QPointer<QAction> blue = entry(menu, QStringLiteral("Blue"));

    skin.reset();
    QVERIFY(menu.isNull());
    QVERIFY(blue.isNull());
    QCOMPARE(qApp->styleSheet(), styleSheetOf(QStringLiteral("Blue")));
    QCOMPARE(resourceText(styleSheetResource), styleSheetOf(QStringLiteral("Blue")));
}

void tst_OvSkin::nullApplication()
{
#ifndef QT_NO_DEBUG
    QSKIP("A null application is an assertion failure in a debug build");
#else
    copySkin(QStringLiteral("Blue.skin"), m_skins + QStringLiteral("Blue.skin"));
    OvSkin skin;
    QSignalSpy spy(&skin, &OvSkin::skinChange);
    skin.init(nullptr, m_skins, QStringLiteral("Skins"), QStringLiteral("System"));
    QVERIFY(skin.menu()->actions().isEmpty());
    skin.setSkinName(QStringLiteral("Blue"));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(qApp->styleSheet(), QString());
#endif
}

QTEST_MAIN(tst_OvSkin)
#include "tst_ovskin.moc"
