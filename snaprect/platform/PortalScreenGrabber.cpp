#include "PortalScreenGrabber.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <QWidget>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString screenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Whether the portal left its picture in a scratch folder, where nobody would
// ever look for it again. Pictures elsewhere (a portal that files them under
// the user's pictures) are the user's.
bool isScratchFile(const QString &path)
{
    const QString folder = QFileInfo(path).canonicalPath();
    return !folder.isEmpty()
        && (folder == QFileInfo(QDir::tempPath()).canonicalFilePath()
            || folder == QFileInfo(QStringLiteral("/tmp")).canonicalFilePath());
}

// The portal's picture of the desktop. The wlroots portal draws every output
// at the highest scale, so that a laptop at 2 beside a 4K monitor gives over
// 40 million pixels, past what Qt decodes by default (128 MiB); the limit
// here follows the desktop, with room for a scale higher than Qt reports.
QImage readDesktopPicture(const QString &path, const QRect &desktop, qreal scale)
{
    const int defaultLimitMiB = QImageReader::allocationLimit();
    const qreal side = 2 * scale;
    const qint64 bytes = qint64(desktop.width() * side) * qint64(desktop.height() * side) * 4;
    QImageReader::setAllocationLimit(int(qMax<qint64>(defaultLimitMiB, bytes / (1024 * 1024) + 1)));
    const QImage picture = QImageReader(path).read();
    QImageReader::setAllocationLimit(defaultLimitMiB);
    return picture;
}

// A compositor may hold back what a configure changes (sway: a window made
// full-screen, its size, the windows around it) until the window commits a
// frame with the acknowledgement, or for 200 ms. Qt 6.4 acknowledges and then
// passes the configure to the window as a paint event of its QWindow, for
// which a widget's backing store only flushes the frame it committed before:
// Qt commits nothing then. Drawn anew, the widget commits a new frame.
class FrameOnConfigure : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWindowType()) {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (widget->windowHandle() == static_cast<QWindow *>(watched))
                    widget->update();
            }
        }
        return false;
    }
};

QString callFailure(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
        return QStringLiteral("没有找到桌面门户（xdg-desktop-portal）。");
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownObject:
        return QStringLiteral("桌面门户不提供截屏功能。");
    case QDBusError::AccessDenied:
        return QStringLiteral("桌面门户拒绝了截屏请求。");
    default:
        return QStringLiteral("桌面门户出错：%1").arg(error.message());
    }
}

} // namespace

/// One Screenshot call, from the call to its answer. Owned by the caller's
/// context object, so that a caller that goes away takes the request along.
class PortalScreenshotRequest : public QObject
{
    Q_OBJECT

public:
    PortalScreenshotRequest(QObject *context, ScreenGrabber::Done done, QRect desktop, qreal scale)
        : QObject(context)
        , m_done(std::move(done))
        , m_desktop(desktop)
        , m_scale(scale)
        , m_bus(QDBusConnection::sessionBus())
    {
    }

    void start(int answerTimeoutMs)
    {
        if (!m_bus.isConnected()) {
            finish({}, QStringLiteral("无法连接桌面会话总线（D-Bus）。"));
            return;
        }
        static quint32 serial = 0;
        const QString token = QStringLiteral("snaprect%1_%2").arg(++serial).arg(QRandomGenerator::global()->generate());
        // Listening before the call: a fast portal may answer before the call
        // itself returns.
        listenOn(PortalScreenGrabber::requestPath(m_bus.baseService(), token));

        QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, screenshotInterface,
                                                           QStringLiteral("Screenshot"));
        const QVariantMap options{{QStringLiteral("handle_token"), token},
                                  {QStringLiteral("interactive"), false}};
        call << QString() << options;
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalScreenshotRequest::callReturned);

        m_timeout.setSingleShot(true);
        m_timeout.setInterval(answerTimeoutMs);
        connect(&m_timeout, &QTimer::timeout, this, [this] {
            closeOnPortal();
            finish({}, QStringLiteral("桌面门户没有应答。"));
        });
        m_timeout.start();
    }

private slots:
    void onResponse(uint response, const QVariantMap &results)
    {
        if (response == 1) {
            finish({}, QStringLiteral("截屏被取消或被拒绝。"));
            return;
        }
        if (response != 0) {
            finish({}, QStringLiteral("桌面门户截屏失败。"));
            return;
        }
        const QUrl address(results.value(QStringLiteral("uri")).toString());
        if (!address.isLocalFile()) {
            finish({}, QStringLiteral("桌面门户没有给出截图文件。"));
            return;
        }
        const QString path = address.toLocalFile();
        QImage picture = readDesktopPicture(path, m_desktop, m_scale);
        if (isScratchFile(path))
            QFile::remove(path);
        if (picture.isNull()) {
            finish({}, QStringLiteral("无法读取桌面门户给出的截图文件。"));
            return;
        }
        finish(PortalScreenGrabber::fitToDesktop(std::move(picture), m_desktop), {});
    }

private:
    void callReturned(QDBusPendingCallWatcher *watcher)
    {
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        watcher->deleteLater();
        if (reply.isError()) {
            finish({}, callFailure(reply.error()));
        } else if (reply.value().path() != m_path && !m_finished) {
            // A portal older than handle_token answers on a path of its own.
            stopListening();
            listenOn(reply.value().path());
        }
    }

    void listenOn(const QString &path)
    {
        m_path = path;
        m_bus.connect(portalService, m_path, requestInterface, QStringLiteral("Response"), this,
                      SLOT(onResponse(uint, QVariantMap)));
    }

    void stopListening()
    {
        m_bus.disconnect(portalService, m_path, requestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(uint, QVariantMap)));
    }

    void closeOnPortal()
    {
        m_bus.call(QDBusMessage::createMethodCall(portalService, m_path, requestInterface, QStringLiteral("Close")),
                   QDBus::NoBlock);
    }

    void finish(const QPixmap &picture, const QString &failure)
    {
        if (m_finished)
            return;
        m_finished = true;
        m_timeout.stop();
        stopListening();
        // The callback may take its time (a modal save dialog) or destroy the
        // context and so this request: it runs from a copy.
        const ScreenGrabber::Done done = m_done;
        deleteLater();
        done(picture, failure);
    }

    ScreenGrabber::Done m_done;
    QRect m_desktop;
    qreal m_scale;
    QDBusConnection m_bus;
    QString m_path;
    QTimer m_timeout;
    bool m_finished = false;
};

PortalScreenGrabber::PortalScreenGrabber()
    : m_frameOnConfigure(std::make_unique<FrameOnConfigure>())
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(m_frameOnConfigure.get());
}

PortalScreenGrabber::~PortalScreenGrabber() = default;

QRect PortalScreenGrabber::desktopGeometry() const
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? primary->virtualGeometry() : QRect();
}

qreal PortalScreenGrabber::pixelsPerUnit(const QScreen *) const
{
    if (m_pictureScale > 0)
        return m_pictureScale;
    qreal scale = 1;
    for (const QScreen *each : QGuiApplication::screens())
        scale = qMax(scale, each->devicePixelRatio());
    return scale;
}

QPixmap PortalScreenGrabber::grabDesktop()
{
    QEventLoop loop;
    QPixmap result;
    bool answered = false;
    requestDesktop(&loop, [&](const QPixmap &picture, const QString &) {
        result = picture;
        answered = true;
        loop.quit();
    });
    if (!answered)
        loop.exec();
    return result;
}

void PortalScreenGrabber::requestDesktop(QObject *context, Done done)
{
    auto remember = [this, done = std::move(done)](const QPixmap &picture, const QString &failure) {
        if (!picture.isNull())
            m_pictureScale = picture.devicePixelRatio();
        done(picture, failure);
    };
    auto *request = new PortalScreenshotRequest(context, std::move(remember), desktopGeometry(), pixelsPerUnit(nullptr));
    request->start(m_answerTimeoutMs);
}

QPixmap PortalScreenGrabber::fitToDesktop(QImage picture, const QRect &desktop)
{
    const int width = picture.width();
    // Handed over, the picture becomes the pixmap where it lies, converted in
    // place, rather than copied into a second buffer as large as the desktop.
    QPixmap pixmap = QPixmap::fromImage(std::move(picture));
    if (desktop.width() > 0)
        pixmap.setDevicePixelRatio(qreal(width) / desktop.width());
    return pixmap;
}

QString PortalScreenGrabber::requestPath(const QString &uniqueName, const QString &token)
{
    QString sender = uniqueName;
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

#include "PortalScreenGrabber.moc"
