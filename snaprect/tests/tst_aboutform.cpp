#include "AppConstants.h"
#include "ModalResponder.h"
#include "StartUp.h"
#include "TAboutForm.h"
#include "TMainForm.h"
#include "ui_TAboutForm.h"
#include "ui_TMainForm.h"

#include <UrlRecorder.h>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

// The About dialog and the main window's About button.
class tst_AboutForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void labels_data();
    void labels();
    void dialogSettings();
    void linkLabels_data();
    void linkLabels();
    void linkOpensConstantNotAnchor_data();
    void linkOpensConstantNotAnchor();
    void closeButtonCloses();
    void aboutButtonOpensModalDialog();
};

void tst_AboutForm::initTestCase()
{
    registerFontSubstitutes();
    QApplication::setFont(appFont);
    QApplication::setQuitOnLastWindowClosed(false);
}

void tst_AboutForm::labels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    QTest::newRow("name and version") << "lblName" << "Framzel：V2.0.0";
    QTest::newRow("release date") << "lblUpdateDate" << "更新日期：2012-03-24";
    QTest::newRow("site") << "lblSite" << QStringLiteral("官方网站：") + siteUrl;
    QTest::newRow("mail") << "lblMail" << QStringLiteral("电子邮箱：") + mailAddress;
    QTest::newRow("copyright") << "lblCopyright" << "版权所有 © 2012 Framzel";
    QTest::newRow("licence") << "lblLicense" << "授权类型：免费软件";
}

void tst_AboutForm::labels()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    TAboutForm about;
    auto *label = about.findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->text(), text);
}

void tst_AboutForm::dialogSettings()
{
    TAboutForm about;
    QCOMPARE(about.windowTitle(), QStringLiteral("关于"));
    QVERIFY(about.isModal());
    QCOMPARE(about.windowModality(), Qt::WindowModal);
    QCOMPARE(about.size(), QSize(389, 240));
    QCOMPARE(about.font().family(), QStringLiteral("宋体"));
    QCOMPARE(about.font().pointSize(), 12);
    const Qt::WindowFlags flags = about.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QCOMPARE(about.form()->btnClose->text(), QStringLiteral("关闭"));
    QCOMPARE(about.form()->verticalLayout_5->contentsMargins(), QMargins(8, 8, 8, 8));
}

void tst_AboutForm::linkLabels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("visible");
    QTest::addColumn<QString>("anchor");

    QTest::newRow("site") << "lblGoSite" << "访问官方网站" << "href=\"https://www.snaprect.example/\"";
    QTest::newRow("mail") << "lblGoMail" << "发送电子邮件" << "href=\"mailto:support@snaprect.example\"";
}

void tst_AboutForm::linkLabels()
{
    QFETCH(QString, name);
    QFETCH(QString, visible);
    QFETCH(QString, anchor);
    TAboutForm about;
    auto *label = about.findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->font().pointSize(), 11);
    QVERIFY(!label->font().underline());
    QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(label->styleSheet(), QStringLiteral("color: rgb(0, 0, 255);"));
    QCOMPARE(label->textFormat(), Qt::AutoText);
    QVERIFY(label->text().contains(anchor));
    QVERIFY(label->text().contains(QStringLiteral("color:#0000ff")));
    QVERIFY(label->text().contains(QStringLiteral(">%1</span></a>").arg(visible)));
}

void tst_AboutForm::linkOpensConstantNotAnchor_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QUrl>("expected");

    // The test build's site lies on 127.0.0.1, the form's anchor does not.
    QTest::newRow("site") << "lblGoSite" << QUrl(siteUrl);
    QTest::newRow("mail") << "lblGoMail" << QUrl(QStringLiteral("mailto:") + mailAddress);
}

void tst_AboutForm::linkOpensConstantNotAnchor()
{
    QFETCH(QString, name);
    QFETCH(QUrl, expected);
    QVERIFY(siteUrl.startsWith(QLatin1String("http://127.0.0.1")));

    UrlRecorder browser;
    TAboutForm about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto *label = about.findChild<QLabel *>(name);
    // The link's text starts at the label's left edge, centred in its height.
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(8, label->height() / 2));
    QCOMPARE(browser.urls, QList<QUrl>{expected});
    QVERIFY(about.isVisible());
    about.close();
}

void tst_AboutForm::closeButtonCloses()
{
    TAboutForm about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.form()->btnClose, Qt::LeftButton);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Rejected));
}

void tst_AboutForm::aboutButtonOpensModalDialog()
{
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QString font;
    QWidget *parent = nullptr;
    bool blocksMainWindow = false;
    ModalResponder responder([&](QWidget *modal) {
        auto *about = qobject_cast<TAboutForm *>(modal);
        if (!about)
            return;
        font = about->font().family() + QLatin1Char(' ') + QString::number(about->font().pointSize());
        parent = about->parentWidget();
        // A click on the main window, delivered as the window system would,
        // does not get through while the dialog runs.
        QPushButton *button = form.form()->btnFullScreen;
        QSignalSpy clicks(button, &QPushButton::clicked);
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, button->mapTo(&form, button->rect().center()));
        blocksMainWindow = clicks.isEmpty();
        about->close();
    });
    QTest::mouseClick(form.form()->btnAbout, Qt::LeftButton);
    QCOMPARE(responder.seen, 1);
    QCOMPARE(font, QStringLiteral("宋体 12"));
    QCOMPARE(parent, &form);
    QVERIFY(blocksMainWindow);
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(tst_AboutForm)
#include "tst_aboutform.moc"
