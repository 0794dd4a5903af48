#pragma once

#include <QtGlobal>

class QByteArray;
class QNetworkReply;
class QUrl;

// Guards for what Ovkit takes from the network. Internal to the library.
namespace ov {

/// Whether \a url is an absolute http or https address with a host: the only
/// kind that Ovkit fetches or opens on behalf of a document from the network.
bool isWebUrl(const QUrl &url);

/// Aborts \a reply as soon as its body grows past \a maxBytes, or as soon as
/// it announces a longer one, so that an endless or oversized body cannot fill
/// the memory. The aborted reply finishes with an error. The limit holds for
/// the final response: redirects that are followed on the way are not measured.
/// The reply must not be read before it has finished.
void limitReplySize(QNetworkReply *reply, qint64 maxBytes);

/// Whether \a body, a successful reply of the version service, reports a
/// newer release: it is at most OvCheckUpdate::maxReplySize bytes long and its
/// text up to the first NUL is "1".
bool isNewerVersionReply(const QByteArray &body);

} // namespace ov
