#include "TMainForm.h"
#include "ui_TMainForm.h"

#include "AppConstants.h"
#include "SaveImage.h"
#include "TSnapRectForm.h"
#include "platform/ScreenGrabber.h"

#include <OvUtils.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace {
// The main window leaves the screen before a grab; this is how long the
// window system gets to repaint what was under it.
constexpr int hideBeforeGrabMs = 50;
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

    snapRectForm = new TSnapRectForm(this);
    // Detached, the frameless overlay becomes a top-level window of its own.
    snapRectForm->setParent(nullptr);

    connect(ui->btnFullScreen, &QPushButton::clicked, this, &TMainForm::fullScreen);
    connect(ui->btnSnapRect, &QPushButton::clicked, this, &TMainForm::snapRect);
    connect(ui->btnAbout, &QPushButton::clicked, this, &TMainForm::showAbout);
    connect(ui->btnExit, &QPushButton::clicked, qApp, &QCoreApplication::quit);

    ui->wdtAd->setVisible(false);
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

void TMainForm::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    // Ends the program even while the capture overlay, a top-level window of
    // its own, is still open.
    QCoreApplication::exit(0);
}

void TMainForm::showAbout()
{
}

void TMainForm::fullScreen()
{
    hide();
    QTimer::singleShot(hideBeforeGrabMs, this, &TMainForm::fullScreenTimer);
}

void TMainForm::fullScreenTimer()
{
    const QPixmap picture = ScreenGrabber::instance().grabDesktop();
    show();
    saveImage(this, picture);
}

void TMainForm::snapRect()
{
    hide();
    QTimer::singleShot(hideBeforeGrabMs, this, &TMainForm::snapRectTimer);
}

void TMainForm::snapRectTimer()
{
    snapRectForm->snapRect();
    show();
    snapRectForm->show();
}
