#include "TMainForm.h"

#include <X11TestSupport.h>

#include <QApplication>
#include <QScreen>
#include <QTest>

// Run on several X server layouts; EXPECTED_SCREENS says how many monitors
// the layout has, so a broken layout cannot pass as a one-monitor run.
class tst_MainPlacement : public QObject
{
    Q_OBJECT

private slots:
    void layoutIsAsConfigured();
    void centredOnPrimaryScreen();
};

void tst_MainPlacement::layoutIsAsConfigured()
{
    QCOMPARE(QGuiApplication::screens().size(), qEnvironmentVariableIntValue("EXPECTED_SCREENS"));
}

void tst_MainPlacement::centredOnPrimaryScreen()
{
    const QRect primary = QGuiApplication::primaryScreen()->geometry();
    TMainForm form;
    const QPoint expected = primary.topLeft()
        + QPoint((primary.width() - 378) / 2, (primary.height() - 70) / 2);
    QCOMPARE(form.pos(), expected);

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // What the X server shows, with or without a window manager's frame.
    const QRect onScreen = X11TestSupport::rootGeometry(form.winId());
    QVERIFY2(primary.contains(onScreen), qPrintable(QStringLiteral("window at %1,%2 %3x%4")
        .arg(onScreen.x()).arg(onScreen.y()).arg(onScreen.width()).arg(onScreen.height())));
    const QPoint offCentre = onScreen.center() - primary.center();
    QVERIFY2(offCentre.manhattanLength() <= 40, qPrintable(QStringLiteral("%1 px off centre").arg(offCentre.manhattanLength())));
}

QTEST_MAIN(tst_MainPlacement)
#include "tst_mainplacement.moc"
