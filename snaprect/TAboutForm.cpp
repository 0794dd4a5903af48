#include "TAboutForm.h"
#include "ui_TAboutForm.h"

#include "AppConstants.h"

#include <OvUtils.h>

TAboutForm::TAboutForm(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui_TAboutForm)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);

    ui->lblName->setText(appTitle + QStringLiteral("：") + appVersion);
    ui->lblUpdateDate->setText(QStringLiteral("更新日期：") + appDate);
    ui->lblSite->setText(QStringLiteral("官方网站：") + siteUrl);
    ui->lblMail->setText(QStringLiteral("电子邮箱：") + mailAddress);

    connect(ui->btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->lblGoSite, &QLabel::linkActivated, this, &TAboutForm::gotoSite);
    connect(ui->lblGoMail, &QLabel::linkActivated, this, &TAboutForm::gotoMail);
}

TAboutForm::~TAboutForm()
{
    delete ui;
}

void TAboutForm::gotoSite(const QString &)
{
    ov::openUrl(siteUrl);
}

void TAboutForm::gotoMail(const QString &)
{
    ov::openUrl(mailUrl);
}
