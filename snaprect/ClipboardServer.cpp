#include "ClipboardServer.h"

#include "CommandLine.h"
#include "platform/ClipboardOwner.h"

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

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

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

bool sendAll(int socket, const void *data, quint64 size)
{
    for (auto *at = static_cast<const char *>(data); size > 0;) {
        const ssize_t n = ::send(socket, at, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= quint64(n);
    }
    return true;
}

bool receiveAll(int socket, void *data, quint64 size)
{
    for (auto *at = static_cast<char *>(data); size > 0;) {
        const ssize_t n = ::recv(socket, at, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= quint64(n);
    }
    return true;
}

// The picture as exchange() sends it; empty if it did not come whole.
QByteArray receivePicture(int socket)
{
    quint64 size = 0;
    if (!receiveAll(socket, &size, sizeof size) || size == 0 || size > maxPictureBytes)
        return {};
    QByteArray png(qsizetype(size), Qt::Uninitialized);
    return receiveAll(socket, png.data(), size) ? png : QByteArray();
}

// Sends the picture, its size first, and waits for the owner's one-line
// answer with the event loop running. Empty when the owner ended without
// one; \a timedOut when it did not answer in time.
QByteArray exchange(int socket, const QByteArray &png, bool *timedOut)
{
    const timeval limit{ownerAnswerMs / 1000, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const quint64 size = quint64(png.size());
    if (!sendAll(socket, &size, sizeof size) || !sendAll(socket, png.constData(), size)) {
        *timedOut = errno == EAGAIN || errno == EWOULDBLOCK;
        return {};
    }
    QByteArray answer;
    QEventLoop wait;
    QSocketNotifier readable(socket, QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, &wait, [&] {
        char chunk[512];
        const ssize_t n = ::read(socket, chunk, sizeof chunk);
        if (n > 0)
            answer.append(chunk, n);
        if (n == 0 || answer.contains('\n') || (n < 0 && errno != EINTR && errno != EAGAIN))
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

// Starts the owner at the far end of a socket pair, which is its only
// channel: the picture goes to it there rather than through a scratch file,
// and its answer comes back. Returns the answer, or why there was none.
QString runOwner(const QByteArray &png)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return QStringLiteral("无法与保管剪贴板的进程通信：%1").arg(qt_error_string(errno));
    const int ours = ends[0], theirs = ends[1];
    // The owner's end alone outlives the exec.
    ::fcntl(theirs, F_SETFD, 0);
    // Detached from this process's terminal, so that a shell that reads its
    // output does not wait for the owner, and from its working directory.
    QProcess owner;
    owner.setProgram(QCoreApplication::applicationFilePath());
    owner.setArguments({QStringLiteral("--serve-clipboard"), QString::number(theirs)});
    owner.setStandardInputFile(QProcess::nullDevice());
    owner.setStandardOutputFile(QProcess::nullDevice());
    owner.setStandardErrorFile(QProcess::nullDevice());
    owner.setWorkingDirectory(QDir::rootPath());
    qint64 pid = 0;
    const bool started = owner.startDetached(&pid);
    ::close(theirs);
    bool timedOut = false;
    const QByteArray answer = started ? exchange(ours, png, &timedOut) : QByteArray();
    ::close(ours);
    if (!started)
        return QStringLiteral("无法启动保管剪贴板的进程：%1").arg(owner.errorString());
    if (timedOut) {
        // Still running, as its end of the socket is open: were it to take
        // the clipboard now, it would do so after a failure was reported.
        ::kill(pid_t(pid), SIGKILL);
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
    bool wasRead() const { return m_read; }
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
};

void ClipboardServer::serveHere(const QPixmap &picture)
{
    m_served = new ServedPicture(picture);
    QGuiApplication::clipboard()->setMimeData(m_served);
}

QString ClipboardServer::handOver(const QPixmap &picture)
{
    const bool servedHere = m_served && m_served->isOf(picture);
    const QByteArray png = servedHere ? m_served->png() : encodePng(picture.toImage());
    if (png.isEmpty())
        return QStringLiteral("无法把图像编码为 PNG。");
    const QString answer = runOwner(png);
    if (answer == QLatin1String(heldAnswer)) {
        m_served.clear();
        return {};
    }
    if (answer != QLatin1String(notOfferedAnswer))
        return answer;
    if (servedHere)
        return {};
    return QStringLiteral("此桌面只让有键盘焦点的窗口设置剪贴板（没有 wlr-data-control），"
                          "没有窗口的截图命令做不到；请改用 --full --output - | wl-copy。");
}

QString ClipboardServer::keep()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    const auto safe = [this, clipboard] { return !m_served || m_served->wasRead() || !clipboard->ownsClipboard(); };
    if (safe())
        return {};
    // Out of the user's way meanwhile.
    for (QWindow *window : QGuiApplication::topLevelWindows())
        window->hide();
    QEventLoop wait;
    connect(m_served, &ServedPicture::read, &wait, &QEventLoop::quit);
    connect(clipboard, &QClipboard::dataChanged, &wait, [&] {
        if (safe())
            wait.quit();
    });
    QTimer::singleShot(managerWaitMs, &wait, &QEventLoop::quit);
    wait.exec();
    if (safe())
        return {};
    return QStringLiteral("此桌面不让没有窗口的程序保管剪贴板（没有 wlr-data-control），也没有剪贴板管理器在 %1 秒内"
                          "取走图像：程序结束后剪贴板是空的。")
        .arg(managerWaitMs / 1000);
}

int serveClipboard(const QString &channel)
{
    // Only a socket: the option is one that anybody may type.
    bool number = false;
    const int socket = channel.toInt(&number);
    int type = 0;
    socklen_t length = sizeof type;
    if (!number || ::getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) != 0)
        return CommandLine::Failed;
    const QByteArray png = receivePicture(socket);
    if (png.isEmpty()) {
        ::close(socket);
        return CommandLine::Failed;
    }
    const std::unique_ptr<ClipboardOwner> owner = ClipboardOwner::create();
    QString failure;
    const ClipboardOwner::Taken taken = owner->take(png, &failure);
    const QByteArray answer = (taken == ClipboardOwner::Taken::Held         ? QByteArray(heldAnswer)
                               : taken == ClipboardOwner::Taken::NotOffered ? QByteArray(notOfferedAnswer)
                                                                            : failure.toUtf8())
        + '\n';
    // A program that no longer listens has given up and reported a failure:
    // then the clipboard is not kept either.
    const bool told = sendAll(socket, answer.constData(), quint64(answer.size()));
    ::close(socket);
    if (!told || taken != ClipboardOwner::Taken::Held)
        return CommandLine::Failed;
    QObject::connect(owner.get(), &ClipboardOwner::replaced, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    return QGuiApplication::exec();
}

#include "ClipboardServer.moc"
