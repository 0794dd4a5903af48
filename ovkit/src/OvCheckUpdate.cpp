#include "OvCheckUpdate.h"

#include "OvNetworkLimits.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

OvCheckUpdate::OvCheckUpdate(QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    connect(m_manager, &QNetworkAccessManager::finished, this, &OvCheckUpdate::downloadFinished);
}

OvCheckUpdate::~OvCheckUpdate()
{
    // Ends any request still under way, without a signal.
    delete m_manager;
}

void OvCheckUpdate::exec(const QString &url, const QString &id, const QString &ver)
{
    const QString request = url + QStringLiteral("?id=") + id + QStringLiteral("&&ver=") + ver;
    QNetworkReply *reply = m_manager->get(QNetworkRequest(QUrl(request)));
    ov::limitReplySize(reply, maxReplySize);
}

namespace ov {

bool isNewerVersionReply(const QByteArray &body)
{
    // The body counts as a C string: only the text before the first NUL.
    return body.size() <= OvCheckUpdate::maxReplySize && body.split('\0').constFirst() == "1";
}

} // namespace ov

void OvCheckUpdate::downloadFinished(QNetworkReply *reply)
{
    const bool newer = reply->error() == QNetworkReply::NoError && ov::isNewerVersionReply(reply->read(maxReplySize + 1));
    reply->deleteLater();
    emit update(newer);
}
