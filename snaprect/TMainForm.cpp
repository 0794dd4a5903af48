#include "TMainForm.h"
#include "ui_TMainForm.h"

#include "AppConstants.h"
#include "CaptureLock.h"
#include "ClipboardServer.h"
#include "SaveImage.h"
#include "TAboutForm.h"
#include "overlay/TSnapRectForm.h"
#include "platform/ScreenGrabber.h"

#include <OvAdHelper.h>
#include <OvCheckUpdate.h>
#include <OvUtils.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

namespace {
// The main window leaves the screen before a grab; this is how long the
// window system gets to repaint what was under it.
constexpr int hideBeforeGrabMs = 50;
// How long each ad stays in the panel.
constexpr int adIntervalMs = 5000;
}

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui_TMainForm)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    fixSize();
    // On two monitors the middle of the whole desktop lies on the seam; the
    // primary screen is where the user expects a new window.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        ov::moveCenter(this, screen->geometry());
    setWindowTitle(appTitle);

    checkUpdate = new OvCheckUpdate(this);
    adHelper = new OvAdHelper(this);
    snapRectForm = new TSnapRectForm(this);
    captureLock = new CaptureLock(this);

    connect(checkUpdate, &OvCheckUpdate::update, this, &TMainForm::haveUpdate);
    checkUpdate->exec(updateUrl, updateId, updateVersion);
    // Detached, the frameless overlay becomes a top-level window of its own.
    snapRectForm->setParent(nullptr);

    connect(ui->btnFullScreen, &QPushButton::clicked, this, &TMainForm::fullScreen);
    connect(ui->btnSnapRect, &QPushButton::clicked, this, &TMainForm::snapRect);
    connect(ui->btnAbout, &QPushButton::clicked, this, &TMainForm::showAbout);
    connect(ui->btnExit, &QPushButton::clicked, this, &TMainForm::leave);
    // Set while the overlay has the keyboard, as Wayland asks; handed to the
    // owner once the overlay has gone, so that the copy outlives 退出.
    clipboardServer = new ClipboardServer(this);
    connect(snapRectForm, &TSnapRectForm::selectionTaken, this, [this](const QPixmap &picture) {
        clipboardServer->serveHere(picture);
        QTimer::singleShot(0, this, [this, picture] {
            const QString problem = clipboardServer->handOver(picture);
            if (!problem.isEmpty())
                QMessageBox::warning(this, appTitle, QStringLiteral("无法复制到剪贴板：%1").arg(problem));
        });
    });
    connect(snapRectForm, &QDialog::finished, captureLock, &CaptureLock::release);
    connect(captureLock, &CaptureLock::handoverRequested, this, [this] { CaptureLock::bringToFront(snapRectForm); });

    // The panel stays hidden until the ad document has arrived.
    ui->wdtAd->setVisible(false);
    ui->wdtAd->installEventFilter(this);
    adHelper->setWidget(ui->wdtAd);
    adHelper->m_url = adConfigUrl;
    adHelper->m_interval = adIntervalMs;
    adHelper->exec();
}

TMainForm::~TMainForm()
{
    delete snapRectForm;
    delete ui;
}

void TMainForm::fixSize()
{
    // The Windows-only fixed-size hint means nothing to an X11 window manager;
    // equal minimum and maximum sizes do, and they also take away maximising.
    setFixedSize(size());
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    // Any mouse button on the ad opens its link; the panel never sees the press.
    if (watched == ui->wdtAd && event->type() == QEvent::MouseButtonPress) {
        adHelper->click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::haveUpdate(bool update)
{
    if (!update)
        return;
    const auto answer = QMessageBox::question(this, QStringLiteral("更新提示"), QStringLiteral("有新版本是否查看？"),
                                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok)
        ov::openUrl(homeUrl);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    // Ends the program even while the capture overlay, a top-level window of
    // its own, is still open.
    leave();
}

void TMainForm::leave()
{
    // A copy being handed over is answered first: leaving from inside its
    // wait would end the wait, and the owner with it.
    if (clipboardServer->isHandingOver()) {
        hide();
        connect(clipboardServer, &ClipboardServer::handedOver, this, &TMainForm::leave,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        return;
    }
    const QString problem = clipboardServer->keep();
    if (!problem.isEmpty())
        QMessageBox::warning(nullptr, appTitle, problem);
    QCoreApplication::exit(0);
}

void TMainForm::showAbout()
{
    TAboutForm about(this);
    about.setFont(appFont);
    about.exec();
}

void TMainForm::fullScreen()
{
    // Another program's capture is brought to the front instead.
    if (!captureLock->acquire())
        return;
    hide();
    QTimer::singleShot(hideBeforeGrabMs, this, &TMainForm::fullScreenTimer);
}

void TMainForm::fullScreenTimer()
{
    // The picture may come later (Wayland's portal); the window stays hidden
    // until it is there.
    ScreenGrabber::instance().requestDesktop(this, [this](const QPixmap &picture, const QString &failure) {
        show();
        if (picture.isNull())
            captureFailed(failure);
        else
            saveImage(this, picture, QDateTime::currentDateTime());
        captureLock->release();
    });
}

void TMainForm::snapRect()
{
    if (!captureLock->acquire())
        return;
    hide();
    QTimer::singleShot(hideBeforeGrabMs, this, &TMainForm::snapRectTimer);
    snapRectForm->prepare();
}

void TMainForm::snapRectTimer()
{
    // The last capture's pictures go before the next one is taken.
    snapRectForm->releasePictures();
    ScreenGrabber::instance().requestDesktop(this, [this](const QPixmap &picture, const QString &failure) {
        if (picture.isNull()) {
            show();
            captureFailed(failure);
            captureLock->release();
            return;
        }
        snapRectForm->snapRect(picture);
        show();
        snapRectForm->show();
    });
}

void TMainForm::captureFailed(const QString &reason)
{
    QMessageBox::warning(this, appTitle, QStringLiteral("无法截取屏幕：%1").arg(reason));
}
