#include "AppConstants.h"
#include "StartUp.h"
#include "TMainForm.h"
#include "ui_TMainForm.h"

#include <X11TestSupport.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

// Runs the application's own event loop, as main() does, and returns its exit
// code; 99 when nothing ended it within five seconds.
static int runEventLoop()
{
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(5000);
    return QCoreApplication::exec();
}

class tst_MainForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void buttons_data();
    void buttons();
    void layouts();
    void windowIsFixedSizeForWindowManager();
    void adPanelHiddenAndFixed();
    void everyWidgetUsesSongTwelve();
    void closeEndsEventLoopWithOtherWindowOpen();
    void exitButtonEndsEventLoop();
};

void tst_MainForm::initTestCase()
{
    registerFontSubstitutes();
    QApplication::setFont(appFont);
    QApplication::setQuitOnLastWindowClosed(false);
}

void tst_MainForm::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty() || std::none_of(
        QApplication::topLevelWidgets().cbegin(), QApplication::topLevelWidgets().cend(),
        [](QWidget *w) { return w->isVisible(); }));
}

void tst_MainForm::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");

    QTest::newRow("full screen") << "btnFullScreen" << "全屏" << "全屏截图";
    QTest::newRow("region") << "btnSnapRect" << "局部" << "局部截图";
    QTest::newRow("about") << "btnAbout" << "关于" << "关于";
    QTest::newRow("exit") << "btnExit" << "退出" << "退出程序";
}

void tst_MainForm::buttons()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);

    TMainForm form;
    auto *button = form.findChild<QPushButton *>(name);
    QVERIFY(button);
    QCOMPARE(button->text(), text);
    QCOMPARE(button->toolTip(), toolTip);
    QVERIFY(button->icon().isNull());
    QCOMPARE(button->parentWidget(), form.form()->centralWidget);
}

void tst_MainForm::layouts()
{
    TMainForm form;
    Ui_TMainForm *ui = form.form();
    QCOMPARE(ui->verticalLayout_3->spacing(), 0);
    QCOMPARE(ui->verticalLayout_3->contentsMargins(), QMargins(4, 0, 4, 0));
    for (QBoxLayout *layout : {static_cast<QBoxLayout *>(ui->horizontalLayout_3), static_cast<QBoxLayout *>(ui->verticalLayout),
                               static_cast<QBoxLayout *>(ui->horizontalLayout), static_cast<QBoxLayout *>(ui->horizontalLayout_2),
                               static_cast<QBoxLayout *>(ui->verticalLayout_2)})
        QCOMPARE(layout->spacing(), 8);
    QCOMPARE(ui->horizontalLayout->itemAt(0)->widget(), ui->btnFullScreen);
    QCOMPARE(ui->horizontalLayout->itemAt(1)->widget(), ui->btnSnapRect);
    QCOMPARE(ui->horizontalLayout_2->itemAt(0)->widget(), ui->btnAbout);
    QCOMPARE(ui->horizontalLayout_2->itemAt(1)->widget(), ui->btnExit);
    QCOMPARE(ui->verticalLayout_2->itemAt(0)->widget(), ui->widget_2);
    QCOMPARE(ui->verticalLayout_2->itemAt(1)->widget(), ui->wdtAd);
    QCOMPARE(ui->widget_2->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

void tst_MainForm::windowIsFixedSizeForWindowManager()
{
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(form.windowTitle(), QStringLiteral("Framzel"));
    QCOMPARE(form.size(), QSize(378, 70));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);

    // What a window manager reads: equal minimum and maximum sizes.
    const auto hints = X11TestSupport::normalHints(form.winId());
    QCOMPARE(hints.minimum, QSize(378, 70));
    QCOMPARE(hints.maximum, QSize(378, 70));

    form.showMaximized();
    QTest::qWait(100);
    QCOMPARE(form.size(), QSize(378, 70));
    form.close();
}

void tst_MainForm::adPanelHiddenAndFixed()
{
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QWidget *ad = form.form()->wdtAd;
    QVERIFY(!ad->isVisible());
    QCOMPARE(ad->minimumSize(), QSize(200, 60));
    QCOMPARE(ad->maximumSize(), QSize(200, 60));
    QCOMPARE(ad->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(ad->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    form.close();
}

void tst_MainForm::everyWidgetUsesSongTwelve()
{
    TMainForm form;
    QCOMPARE(QApplication::font().family(), QStringLiteral("宋体"));
    const auto widgets = form.findChildren<QWidget *>();
    QVERIFY(!widgets.isEmpty());
    for (QWidget *widget : widgets) {
        QCOMPARE(widget->font().family(), QStringLiteral("宋体"));
        QCOMPARE(widget->font().pointSize(), 12);
    }
}

void tst_MainForm::closeEndsEventLoopWithOtherWindowOpen()
{
    TMainForm form;
    form.show();
    QWidget other;
    other.setWindowTitle(QStringLiteral("other"));
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));

    QTimer::singleShot(0, &form, &QWidget::close);
    QCOMPARE(runEventLoop(), 0);
    QVERIFY(other.isVisible());
    other.close();
}

void tst_MainForm::exitButtonEndsEventLoop()
{
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QTimer::singleShot(0, form.form()->btnExit, &QPushButton::click);
    QCOMPARE(runEventLoop(), 0);
    form.close();
}

QTEST_MAIN(tst_MainForm)
#include "tst_mainform.moc"
