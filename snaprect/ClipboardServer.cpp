#include "ClipboardServer.h"

#include "CommandLine.h"
#include "platform/ClipboardOwner.h"
#include "platform/OwnerChannel.h"

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QMimeData>
#include <QPixmap>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

namespace {
// How long the owner may take to start and answer.
constexpr int ownerAnswerMs = 20000;
// How long a program that serves its own copy waits for a clipboard manager.
constexpr int managerWaitMs = 10000;
// More than any desktop's picture in PNG: what the owner reads is bounded.
constexpr quint64 maxPictureBytes = quint64(1) << 31;
const QString pngType = QStringLiteral("image/png");
// The owner's answers besides a failure, one line on the socket.
constexpr char heldAnswer[] = "held";
constexpr char notOfferedAnswer[] = "not offered";

QByteArray encodePng(const QImage &picture)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !QImageWriter(&buffer, "png").write(picture))
        return {};
    return png;
}

// Sends the picture and waits for the owner's one-line answer with the
// event loop running. Empty when the owner ended without one; \a timedOut
// when it did not answer in time.
QByteArray exchange(OwnerChannel &channel, const QByteArray &png, bool *timedOut)
{
    if (!channel.sendPicture(png, ownerAnswerMs, timedOut))
        return {};
    QByteArray answer;
    QEventLoop wait;
    QSocketNotifier readable(channel.descriptor(), QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, &wait, [&] {
        const QByteArray received = channel.receive();
        answer += received;
        if (received.isEmpty() || answer.contains('\n'))
            wait.quit();
    });
    QTimer::singleShot(ownerAnswerMs, &wait, [&] {
        *timedOut = true;
        wait.quit();
    });
    wait.exec();
    readable.setEnabled(false);
    return answer.contains('\n') ? answer.left(answer.indexOf('\n')) : QByteArray();
}

// Starts the owner at the far end of a channel of its own: the picture goes
// to it there rather than through a scratch file, and its answer comes back.
// Returns the answer, or why there was none.
QString runOwner(const QByteArray &png)
{
    OwnerChannel channel;
    if (!channel.isValid())
        return channel.failure();
    // Detached from this process's terminal, so that a shell that reads its
    // output does not wait for the owner, and from its working directory.
    QProcess owner;
    owner.setProgram(QCoreApplication::applicationFilePath());
    owner.setArguments({QStringLiteral("--serve-clipboard"), channel.farEnd()});
    owner.setStandardInputFile(QProcess::nullDevice());
    owner.setStandardOutputFile(QProcess::nullDevice());
    owner.setStandardErrorFile(QProcess::nullDevice());
    owner.setWorkingDirectory(QDir::rootPath());
    qint64 pid = 0;
    const bool started = owner.startDetached(&pid);
    channel.closeFarEnd();
    if (!started)
        return QStringLiteral("无法启动保管剪贴板的进程：%1").arg(owner.errorString());
    bool timedOut = false;
    const QByteArray answer = exchange(channel, png, &timedOut);
    if (timedOut) {
        // Still running, as its end of the channel is open: were it to take
        // the clipboard now, it would do so after a failure was reported.
        OwnerChannel::end(pid);
        return QStringLiteral("保管剪贴板的进程在 %1 秒内没有取得剪贴板，已被结束。").arg(ownerAnswerMs / 1000);
    }
    if (answer.isEmpty())
        return QStringLiteral("保管剪贴板的进程没有取得剪贴板就结束了。");
    return QString::fromUtf8(answer);
}

} // namespace

/// The picture as this process serves it: in PNG only, encoded once, and
/// telling when a reader first asked for it.
class ServedPicture : public QMimeData
{
    Q_OBJECT

public:
    explicit ServedPicture(const QPixmap &picture)
        : m_picture(picture)
    {
    }

    bool isOf(const QPixmap &picture) const { return picture.cacheKey() == m_picture.cacheKey(); }
    /// Lets the picture go, once no reader will ask for it any more.
    void release()
    {
        m_picture = QPixmap();
        m_png.clear();
    }
    bool wasRead() const { return m_read; }
    /// The window system has told this process that the picture is the
    /// clipboard's now (on Wayland: the compositor sent the selection back
    /// to the focused client that set it).
    bool isConfirmed() const { return m_confirmed; }
    void confirm() { m_confirmed = true; }
    QByteArray png() const
    {
        if (m_png.isEmpty())
            m_png = encodePng(m_picture.toImage());
        return m_png;
    }

    QStringList formats() const override { return {pngType}; }
    bool hasFormat(const QString &mimeType) const override { return mimeType == pngType; }

signals:
    /// A reader has asked for the picture and has been given it.
    void read();

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType) const override
    {
        if (mimeType != pngType)
            return {};
        // Told once the window system has the answer written.
        if (!std::exchange(m_read, true))
            QMetaObject::invokeMethod(const_cast<ServedPicture *>(this), &ServedPicture::read, Qt::QueuedConnection);
        return png();
    }

private:
    QPixmap m_picture;
    mutable QByteArray m_png;
    mutable bool m_read = false;
    bool m_confirmed = false;
};

ClipboardServer::~ClipboardServer()
{
    // Qt's Wayland clipboard never frees the data it was given, whose
    // picture is as large as a screen.
    if (m_served && (m_served->wasRead() || !QGuiApplication::clipboard()->ownsClipboard()))
        m_served->release();
}

void ClipboardServer::serveHere(const QPixmap &picture)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    auto *served = new ServedPicture(picture);
    m_served = served;
    clipboard->setMimeData(served);
    // X11 has answered by now: Qt asks the server who owns the selection.
    // Wayland answers later, by sending the new selection to the focused
    // client that set it; the change signal of setMimeData() itself, before
    // the connection, is Qt's alone.
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && clipboard->ownsClipboard())
        served->confirm();
    connect(clipboard, &QClipboard::dataChanged, served, [clipboard, served] {
        if (clipboard->ownsClipboard() && clipboard->mimeData() == served)
            served->confirm();
    });
}

QString ClipboardServer::handOver(const QPixmap &picture)
{
    const bool servedHere = m_served && m_served->isOf(picture);
    const QByteArray png = servedHere ? m_served->png() : encodePng(picture.toImage());
    if (png.isEmpty())
        return QStringLiteral("无法把图像编码为 PNG。");
    m_handingOver = true;
    const QString answer = runOwner(png);
    m_handingOver = false;
    emit handedOver();
    if (answer == QLatin1String(heldAnswer)) {
        // Unless the window system has let it go already (X11).
        if (m_served)
            m_served->release();
        m_served.clear();
        return {};
    }
    if (answer != QLatin1String(notOfferedAnswer))
        return answer;
    if (!servedHere)
        return QStringLiteral("此桌面只让有键盘焦点的窗口设置剪贴板（没有 wlr-data-control），"
                              "没有窗口的截图命令做不到；请改用 --full --output - | wl-copy。");
    if (!wasRefused())
        return {};
    // Told now, and not once more when the program ends.
    m_served->release();
    m_served.clear();
    return refusal();
}

QString ClipboardServer::keep()
{
    if (!m_served || m_served->wasRead())
        return {};
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->ownsClipboard()) {
        // Out of the user's way meanwhile.
        for (QWindow *window : QGuiApplication::topLevelWindows())
            window->hide();
        QEventLoop wait;
        connect(m_served, &ServedPicture::read, &wait, &QEventLoop::quit);
        connect(clipboard, &QClipboard::dataChanged, &wait, [&] {
            if (!clipboard->ownsClipboard())
                wait.quit();
        });
        QTimer::singleShot(managerWaitMs, &wait, &QEventLoop::quit);
        wait.exec();
    }
    if (m_served->wasRead())
        return {};
    if (clipboard->ownsClipboard())
        return QStringLiteral("此桌面不让没有窗口的程序保管剪贴板（没有 wlr-data-control），也没有剪贴板管理器在 %1 秒内"
                              "取走图像：程序结束后剪贴板是空的。")
            .arg(managerWaitMs / 1000);
    // Lost once the window system had confirmed it: another program took
    // the clipboard over.
    return wasRefused() ? refusal() : QString();
}

bool ClipboardServer::wasRefused() const
{
    return m_served && !m_served->wasRead() && !m_served->isConfirmed() && !QGuiApplication::clipboard()->ownsClipboard();
}

QString ClipboardServer::refusal()
{
    // Wayland cancels the selection of a client that has no longer the
    // keyboard focus, or that names an outdated input event.
    return QStringLiteral("无法保住剪贴板：窗口系统没有接受本程序设置的剪贴板（复制时窗口可能已失去键盘焦点），剪贴板是空的。");
}

int serveClipboard(const QString &farEnd)
{
    OwnerChannel channel(farEnd);
    const QByteArray png = channel.isValid() ? channel.receivePicture(maxPictureBytes) : QByteArray();
    if (png.isEmpty())
        return CommandLine::Failed;
    const std::unique_ptr<ClipboardOwner> owner = ClipboardOwner::create();
    QString failure;
    const ClipboardOwner::Taken taken = owner->take(png, &failure);
    const QByteArray answer = taken == ClipboardOwner::Taken::Held         ? QByteArray(heldAnswer)
                              : taken == ClipboardOwner::Taken::NotOffered ? QByteArray(notOfferedAnswer)
                                                                           : failure.toUtf8();
    // A program that no longer listens has given up and reported a failure:
    // then the clipboard is not kept either.
    if (!channel.send(answer + '\n') || taken != ClipboardOwner::Taken::Held)
        return CommandLine::Failed;
    QObject::connect(owner.get(), &ClipboardOwner::replaced, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    return QGuiApplication::exec();
}

#include "ClipboardServer.moc"
