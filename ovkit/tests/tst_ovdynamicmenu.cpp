#include <OvDynamicMenu.h>

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

// The texts of the menu's own actions, top to bottom.
static QStringList menuTexts(const QMenu &menu)
{
    QStringList texts;
    for (const QAction *action : menu.actions())
        texts.append(action->text());
    return texts;
}

static QStringList runTexts(OvDynamicMenu &dynamicMenu)
{
    QStringList texts;
    dynamicMenu.menuTextList(texts);
    return texts;
}

static QAction *actionNamed(const QMenu &menu, const QString &text)
{
    for (QAction *action : menu.actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

class tst_OvDynamicMenu : public QObject
{
    Q_OBJECT

private slots:
    void addWithCap_data();
    void addWithCap();
    void addListKeepsOrder_data();
    void addListKeepsOrder();
    void insertGoesAboveTopmostEntry();
    void removeFromEitherEnd();
    void clearKeepsActionsAlive();
    void menuTextListAppends();
    void triggerOfRunEntryOnly();
    void clickInShownMenu();
    void settingTheSameMenuTwiceEmitsOnce();
    void deletedActionLeavesTheRun();
    void destructionLeavesEntriesInMenu();
    void withoutMenu();
};

void tst_OvDynamicMenu::addWithCap_data()
{
    QTest::addColumn<QStringList>("run");   // added, uncapped, each at the end
    QTest::addColumn<QStringList>("tail");  // host entries added after the run
    QTest::addColumn<int>("maxCount");
    QTest::addColumn<bool>("atEnd");
    QTest::addColumn<bool>("removeFromEnd");
    QTest::addColumn<QStringList>("menu");  // whole menu after adding "new"
    QTest::addColumn<QStringList>("after"); // the run after adding "new"

    const QStringList cba{"c", "b", "a"};
    QTest::newRow("no limit never removes")
        << cba << QStringList() << -1 << false << true << QStringList{"Open", "Save", "new", "c", "b", "a"}
        << QStringList{"new", "c", "b", "a"};
    QTest::newRow("no limit, at the end")
        << cba << QStringList() << -1 << true << false << QStringList{"Open", "Save", "c", "b", "a", "new"}
        << QStringList{"c", "b", "a", "new"};
    QTest::newRow("other negative cap is no limit either")
        << cba << QStringList() << -7 << false << true << QStringList{"Open", "Save", "new", "c", "b", "a"}
        << QStringList{"new", "c", "b", "a"};
    QTest::newRow("cap 3 full, newest on top drops the lowest")
        << cba << QStringList() << 3 << false << true << QStringList{"Open", "Save", "new", "c", "b"}
        << QStringList{"new", "c", "b"};
    QTest::newRow("cap 3 full, newest on top drops the topmost")
        << cba << QStringList() << 3 << false << false << QStringList{"Open", "Save", "new", "b", "a"}
        << QStringList{"new", "b", "a"};
    QTest::newRow("cap 3 full, newest at the end drops the topmost")
        << cba << QStringList() << 3 << true << false << QStringList{"Open", "Save", "b", "a", "new"}
        << QStringList{"b", "a", "new"};
    QTest::newRow("cap 3 with room removes nothing")
        << QStringList{"b", "a"} << QStringList() << 3 << false << true
        << QStringList{"Open", "Save", "new", "b", "a"} << QStringList{"new", "b", "a"};
    QTest::newRow("cap 2 over a longer run trims it to make room")
        << QStringList{"d", "c", "b", "a"} << QStringList() << 2 << false << true
        << QStringList{"Open", "Save", "new", "d"} << QStringList{"new", "d"};
    QTest::newRow("cap 0 empties the run and shows nothing new")
        << cba << QStringList() << 0 << false << true << QStringList{"Open", "Save"} << QStringList();
    QTest::newRow("cap 0 on an empty run")
        << QStringList() << QStringList() << 0 << true << true << QStringList{"Open", "Save"} << QStringList();
    QTest::newRow("cap 1 replaces the single entry")
        << QStringList{"a"} << QStringList() << 1 << false << true << QStringList{"Open", "Save", "new"}
        << QStringList{"new"};
    QTest::newRow("cap 1 appends at the menu's end even when asked for the top")
        << QStringList{"a"} << QStringList{"Quit"} << 1 << false << false
        << QStringList{"Open", "Save", "Quit", "new"} << QStringList{"new"};
    QTest::newRow("cap 1 on an empty run")
        << QStringList() << QStringList{"Quit"} << 1 << false << true << QStringList{"Open", "Save", "Quit", "new"}
        << QStringList{"new"};
    QTest::newRow("cap 1 over a longer run keeps one entry")
        << cba << QStringList() << 1 << false << true << QStringList{"Open", "Save", "new"} << QStringList{"new"};
    QTest::newRow("above 1, the new entry goes above the run, not below host entries")
        << QStringList{"b", "a"} << QStringList{"Quit"} << 3 << false << true
        << QStringList{"Open", "Save", "new", "b", "a", "Quit"} << QStringList{"new", "b", "a"};
    QTest::newRow("empty run, top insertion lands at the menu's end")
        << QStringList() << QStringList{"Quit"} << -1 << false << true << QStringList{"Open", "Save", "Quit", "new"}
        << QStringList{"new"};
}

void tst_OvDynamicMenu::addWithCap()
{
    QFETCH(QStringList, run);
    QFETCH(QStringList, tail);
    QFETCH(int, maxCount);
    QFETCH(bool, atEnd);
    QFETCH(bool, removeFromEnd);
    QFETCH(QStringList, menu);
    QFETCH(QStringList, after);

    QMenu host;
    host.addAction(QStringLiteral("Open"));
    host.addAction(QStringLiteral("Save"));
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(&host);
    dynamicMenu.add(run, true, true);
    for (const QString &text : tail)
        host.addAction(text);
    QList<QPointer<QAction>> before;
    for (QAction *action : host.actions())
        before.append(action);

    dynamicMenu.setMaxCount(maxCount);
    dynamicMenu.add(QStringLiteral("new"), atEnd, removeFromEnd);
    QCOMPARE(menuTexts(host), menu);
    QCOMPARE(runTexts(dynamicMenu), after);
    // Entries dropped by the cap are gone from the menu but not deleted.
    for (const QPointer<QAction> &action : before)
        QVERIFY(!action.isNull());
}

void tst_OvDynamicMenu::addListKeepsOrder_data()
{
    QTest::addColumn<bool>("atEnd");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("each on top: reverse order") << false << QStringList{"c", "b", "a"};
    QTest::newRow("each at the end: list order") << true << QStringList{"a", "b", "c"};
}

void tst_OvDynamicMenu::addListKeepsOrder()
{
    QFETCH(bool, atEnd);
    QFETCH(QStringList, expected);
    QMenu host;
    host.addAction(QStringLiteral("Host"));
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(&host);
    dynamicMenu.add(QStringList{"a", "b", "c"}, atEnd, true);
    QCOMPARE(menuTexts(host), QStringList{"Host"} + expected);
    QCOMPARE(runTexts(dynamicMenu), expected);
    for (QAction *action : host.actions())
        QCOMPARE(action->parent(), &host);
}

void tst_OvDynamicMenu::insertGoesAboveTopmostEntry()
{
    QMenu host;
    host.addAction(QStringLiteral("Open"));
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(&host);
    QAction first(QStringLiteral("first"));
    QAction top(QStringLiteral("top"));
    QAction bottom(QStringLiteral("bottom"));
    dynamicMenu.insert(&first, false);
    host.addAction(QStringLiteral("Quit"));
    dynamicMenu.insert(&top, false);
    dynamicMenu.insert(&bottom, true);
    QCOMPARE(menuTexts(host), (QStringList{"Open", "top", "first", "Quit", "bottom"}));
    QCOMPARE(runTexts(dynamicMenu), (QStringList{"top", "first", "bottom"}));
}

void tst_OvDynamicMenu::removeFromEitherEnd()
{
    QMenu host;
    host.addAction(QStringLiteral("Host"));
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(&host);
    dynamicMenu.add(QStringList{"a", "b", "c"}, true, true);
    const QPointer<QAction> a = actionNamed(host, QStringLiteral("a"));
    const QPointer<QAction> c = actionNamed(host, QStringLiteral("c"));

    dynamicMenu.remove(true);
    QCOMPARE(menuTexts(host), (QStringList{"Host", "a", "b"}));
    dynamicMenu.remove(false);
    QCOMPARE(menuTexts(host), (QStringList{"Host", "b"}));
    QCOMPARE(runTexts(dynamicMenu), QStringList{"b"});
    dynamicMenu.remove(false);
    dynamicMenu.remove(true);
    QCOMPARE(menuTexts(host), QStringList{"Host"});
    QCOMPARE(runTexts(dynamicMenu), QStringList());
    QVERIFY(!a.isNull());
    QVERIFY(!c.isNull());
}

void tst_OvDynamicMenu::clearKeepsActionsAlive()
{
    QMenu host;
    host.addAction(QStringLiteral("Host"));
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(&host);
    dynamicMenu.clear();
    dynamicMenu.add(QStringList{"a", "b"}, false, true);
    const QPointer<QAction> a = actionNamed(host, QStringLiteral("a"));

    dynamicMenu.clear();
    QCOMPARE(menuTexts(host), QStringList{"Host"});
    QCOMPARE(runTexts(dynamicMenu), QStringList());
    QVERIFY(!a.isNull());

    dynamicMenu.add(QStringLiteral("c"), false, true);
    QCOMPARE(menuTexts(host), (QStringList{"Host", "c"}));
}

void tst_OvDynamicMenu::menuTextListAppends()
{
    QMenu host;
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(&host);
    dynamicMenu.add(QStringList{"a", "b"}, false, true);
    QStringList texts{"kept"};
    dynamicMenu.menuTextList(texts);
    QCOMPARE(texts, (QStringList{"kept", "b", "a"}));
}

void tst_OvDynamicMenu::triggerOfRunEntryOnly()
{
    QMenu host;
    QAction *hostEntry = host.addAction(QStringLiteral("Host"));
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(&host);
    dynamicMenu.add(QStringList{"a", "b"}, true, true);
    QSignalSpy spy(&dynamicMenu, &OvDynamicMenu::menuClick);

    hostEntry->trigger();
    QCOMPARE(spy.count(), 0);

    QAction *b = actionNamed(host, QStringLiteral("b"));
    b->trigger();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QAction *>(), b);

    // Back in the host's hands, a removed entry is no longer reported.
    dynamicMenu.remove(true);
    host.addAction(b);
    b->trigger();
    QCOMPARE(spy.count(), 1);
}

void tst_OvDynamicMenu::clickInShownMenu()
{
    QMenu host;
    host.addAction(QStringLiteral("Host"));
    host.addSeparator();
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(&host);
    dynamicMenu.setMaxCount(2);
    dynamicMenu.add(QStringList{"a", "b", "c"}, false, true);
    QSignalSpy spy(&dynamicMenu, &OvDynamicMenu::menuClick);

    host.popup(QPoint(30, 30));
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QAction *b = actionNamed(host, QStringLiteral("b"));
    QTest::mouseClick(&host, Qt::LeftButton, {}, host.actionGeometry(b).center());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QAction *>(), b);

    host.popup(QPoint(30, 30));
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QTest::mouseClick(&host, Qt::LeftButton, {}, host.actionGeometry(actionNamed(host, "Host")).center());
    QCOMPARE(spy.count(), 1);
}

void tst_OvDynamicMenu::settingTheSameMenuTwiceEmitsOnce()
{
    QMenu host;
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(&host);
    dynamicMenu.setMenu(&host);
    dynamicMenu.add(QStringLiteral("a"), true, true);
    QSignalSpy spy(&dynamicMenu, &OvDynamicMenu::menuClick);
    actionNamed(host, QStringLiteral("a"))->trigger();
    QCOMPARE(spy.count(), 1);
}

void tst_OvDynamicMenu::deletedActionLeavesTheRun()
{
    QMenu host;
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(&host);
    dynamicMenu.setMaxCount(3);
    auto *own = new QAction(QStringLiteral("own"));
    dynamicMenu.add(own, true, true);
    dynamicMenu.add(QStringList{"a", "b"}, true, true);

    delete own;
    QCOMPARE(runTexts(dynamicMenu), (QStringList{"a", "b"}));
    dynamicMenu.add(QStringLiteral("c"), true, true);
    QCOMPARE(runTexts(dynamicMenu), (QStringList{"a", "b", "c"}));
    dynamicMenu.add(QStringLiteral("d"), true, false);
    QCOMPARE(menuTexts(host), (QStringList{"b", "c", "d"}));
}

void tst_OvDynamicMenu::destructionLeavesEntriesInMenu()
{
    QMenu host;
    auto *dynamicMenu = new OvDynamicMenu;
    dynamicMenu->setMenu(&host);
    dynamicMenu->add(QStringList{"a", "b"}, true, true);
    delete dynamicMenu;
    QCOMPARE(menuTexts(host), (QStringList{"a", "b"}));
    actionNamed(host, QStringLiteral("a"))->trigger();
}

void tst_OvDynamicMenu::withoutMenu()
{
#ifndef QT_NO_DEBUG
    QSKIP("Using the class without a menu is an assertion failure in a debug build");
#else
    OvDynamicMenu dynamicMenu;
    dynamicMenu.setMenu(nullptr);
    QAction action(QStringLiteral("a"));
    dynamicMenu.add(&action, true, true);
    dynamicMenu.add(QStringLiteral("b"), true, true);
    dynamicMenu.remove(true);
    dynamicMenu.clear();
    QCOMPARE(runTexts(dynamicMenu), QStringList());
#endif
}

QTEST_MAIN(tst_OvDynamicMenu)
#include "tst_ovdynamicmenu.moc"
