#include "CaptureCommand.h"

#include "SaveImage.h"
#include "StartUp.h"
#include "overlay/TSnapRectForm.h"
#include "overlay/TSnapRectToolForm.h"
#include "platform/ScreenGrabber.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QImageWriter>
#include <QPixmap>
#include <QTimer>

CaptureCommand::CaptureCommand(const CommandLine &options)
    : m_options(options)
{
}

CaptureCommand::~CaptureCommand() = default;

void CaptureCommand::start()
{
    const bool wholeDesktop = m_options.mode == CommandLine::Mode::Full;
    // Without a delay the lock is taken at once, and with it the server
    // starts the grab while the overlay is made: nothing of this process
    // shows yet.
    const bool atOnce = m_options.delayMs == 0;
    // Qt's accessibility bridge connects to the session bus at the first
    // accessibility event, which the overlay's making would send; where no
    // bus runs, D-Bus forks to start one. Connected before the grab, whose
    // thread then allocates, as a child forked meanwhile may hang (under
    // AddressSanitizer), and as the connection waits the same here.
    QAccessible::isActive();
    const bool heldAtOnce = atOnce && m_lock.acquire();
    if (heldAtOnce)
        ScreenGrabber::instance().prepareGrabNow();
    // The icon is read, and sent to the server, as a window is made: the
    // overlay's windows get it after their first frame (see region()).
    if (!wholeDesktop) {
        m_overlay = std::make_unique<TSnapRectForm>(nullptr);
        m_overlay->prepare();
    } else {
        setProgramIcon();
    }
    connect(&m_lock, &CaptureLock::handoverRequested, this, [this] { CaptureLock::bringToFront(m_overlay.get()); });
    QTimer::singleShot(m_options.delayMs, this, [this, wholeDesktop, atOnce, heldAtOnce] {
        if (!(atOnce ? heldAtOnce : m_lock.acquire())) {
            printError(QStringLiteral("另一个截图正在进行，已切换到它"));
            finish(CommandLine::Left);
            return;
        }
        ScreenGrabber::instance().requestDesktop(this, [this, wholeDesktop](const QPixmap &desktop, const QString &failure) {
            if (desktop.isNull()) {
                printError(QStringLiteral("无法截取屏幕：%1").arg(failure));
                finish(CommandLine::Failed);
            } else if (wholeDesktop) {
                fullScreen(desktop);
            } else {
                region(desktop);
            }
        });
    });
}

void CaptureCommand::fullScreen(const QPixmap &desktop)
{
    QPixmap picture = desktop;
    if (!m_options.geometry.isNull()) {
        const QRect area = m_options.geometry & desktop.rect();
        const auto text = [](const QRect &r) {
            return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
        };
        if (area.isEmpty()) {
            printError(QStringLiteral("矩形 %1 不在桌面（%2x%3）之内")
                           .arg(text(m_options.geometry)).arg(desktop.width()).arg(desktop.height()));
            finish(CommandLine::Failed);
            return;
        }
        if (area != m_options.geometry)
            printError(QStringLiteral("矩形 %1 超出桌面，只截取其中的 %2").arg(text(m_options.geometry), text(area)));
        picture = desktop.copy(area);
    }
    if (m_options.output.isEmpty() && !m_options.clipboard)
        finish(saveImage(nullptr, picture, QDateTime::currentDateTime()).isEmpty() ? CommandLine::Left : CommandLine::Done);
    else
        finish(deliver(picture, m_options.clipboard) ? CommandLine::Done : CommandLine::Failed);
}

void CaptureCommand::region(const QPixmap &desktop)
{
    // With an output file, S and Enter write there; otherwise Enter copies.
    const bool copy = m_options.output.isEmpty();
    m_overlay->setSaveTakesSelection(!copy);
    connect(m_overlay.get(), &TSnapRectForm::selectionTaken, this, [this, copy](const QPixmap &picture) {
        // While the overlay has the keyboard, as Wayland asks of a client
        // that sets the clipboard.
        if (copy)
            m_clipboard.serveHere(picture);
        // Out of the way, and deaf to a second Enter, while the clipboard's
        // owner starts.
        m_overlay->toolForm()->hide();
        m_overlay->hide();
        // The clipboard's owner may take a moment; the next capture need not wait.
        m_lock.release();
        finish(deliver(picture, copy) ? CommandLine::Done : CommandLine::Failed);
    });
    connect(m_overlay.get(), &TSnapRectForm::saved, this, [this] { m_saved = true; });
    connect(m_overlay.get(), &TSnapRectForm::firstFrameShown, this, &setProgramIcon, Qt::SingleShotConnection);
    connect(m_overlay.get(), &QDialog::finished, this,
            [this] { finish(m_saved ? CommandLine::Done : CommandLine::Left); });
    m_overlay->snapRect(desktop);
    m_overlay->show();
}

bool CaptureCommand::deliver(const QPixmap &picture, bool copy)
{
    if (m_options.output == QLatin1String("-")) {
        QFile standardOutput;
        QImageWriter writer(&standardOutput, "png");
        if (!standardOutput.open(stdout, QIODevice::WriteOnly) || !writer.write(picture.toImage())
            || !standardOutput.flush()) {
            printError(QStringLiteral("无法写入标准输出：%1").arg(standardOutput.errorString()));
            return false;
        }
    } else if (!m_options.output.isEmpty()) {
        const QString problem = writePixmap(picture, m_options.output);
        if (!problem.isEmpty()) {
            printError(QStringLiteral("图像没有保存到“%1”：%2").arg(m_options.output, problem));
            return false;
        }
    }
    if (copy) {
        QString problem = m_clipboard.handOver(picture);
        if (problem.isEmpty())
            problem = m_clipboard.keep();
        if (!problem.isEmpty()) {
            printError(problem);
            return false;
        }
    }
    return true;
}

void CaptureCommand::finish(int status)
{
    // The overlay's closing follows a copy; the first outcome counts.
    if (m_finished)
        return;
    m_finished = true;
    QCoreApplication::exit(status);
}
