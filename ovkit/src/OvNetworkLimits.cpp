#include "OvNetworkLimits.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace ov {

bool isWebUrl(const QUrl &url)
{
    // QUrl keeps schemes in lower case.
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}

void limitReplySize(QNetworkReply *reply, qint64 maxBytes)
{
    // Nothing reads the reply before it has finished, so what is available is
    // all that has arrived. (downloadProgress would be too late: Qt throttles it.)
    const auto check = [reply, maxBytes] {
        // Qt follows a redirect and drops its page: only the response that ends
        // the chain is the answer, and only its size counts.
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status / 100 == 3 && reply->hasRawHeader("Location"))
            return;
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if (reply->bytesAvailable() > maxBytes || (announced.isValid() && announced.toLongLong() > maxBytes))
            reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, check);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, check);
}

} // namespace ov
