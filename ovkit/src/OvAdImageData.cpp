#include "OvAdImageData.h"

#include "OvNetworkLimits.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

/// The pixels that the loaded pictures sharing \a image's parent hold.
qint64 siblingPixels(const OvAdImageData *image)
{
    if (!image->parent())
        return 0;
    qint64 pixels = 0;
    const auto siblings = image->parent()->findChildren<OvAdImageData *>(QString(), Qt::FindDirectChildrenOnly);
    for (const OvAdImageData *sibling : siblings)
        pixels += sibling->m_loaded ? qint64(sibling->m_pixmap.width()) * sibling->m_pixmap.height() : 0;
    return pixels;
}

} // namespace

OvAdImageData::OvAdImageData(QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
    , m_loaded(false)
{
    connect(m_manager, &QNetworkAccessManager::finished, this, &OvAdImageData::downloadFinished);
}

OvAdImageData::~OvAdImageData()
{
    // Ends a download still under way.
    delete m_manager;
}

void OvAdImageData::exec()
{
    // The address comes from a document off the network: nothing but the web.
    const QUrl url(m_data.imageUrl);
    if (!ov::isWebUrl(url))
        return;
    QNetworkReply *reply = m_manager->get(QNetworkRequest(url));
    ov::limitReplySize(reply, maxImageSize);
}

void OvAdImageData::downloadFinished(QNetworkReply *reply)
{
    m_loaded = false;
    m_pixmap = QPixmap();
    QBuffer body;
    body.setData(reply->read(maxImageSize + 1));
    if (reply->error() == QNetworkReply::NoError && body.size() <= maxImageSize && body.open(QIODevice::ReadOnly)) {
        QImageReader reader(&body, m_data.imageFormat.toLatin1());
        // A few compressed bytes can stand for gigabytes of pixels: the size
        // that the header claims is judged before anything is decoded.
        const QSize size = reader.size();
        const qint64 pixels = qint64(size.width()) * size.height();
        if (size.isValid() && pixels <= maxImagePixels && siblingPixels(this) + pixels <= maxDocumentPixels) {
            m_pixmap = QPixmap::fromImageReader(&reader, Qt::AutoColor);
            m_loaded = !m_pixmap.isNull();
        }
    }
    reply->deleteLater();
}
