#include "OvAdImageData.h"

#include "OvNetworkLimits.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

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
    const QByteArray body = reply->read(maxImageSize + 1);
    if (reply->error() == QNetworkReply::NoError && body.size() <= maxImageSize) {
        const QByteArray format = m_data.imageFormat.toLatin1();
        m_loaded = m_pixmap.loadFromData(body, format.isEmpty() ? nullptr : format.constData(), Qt::AutoColor);
    }
    reply->deleteLater();
}
