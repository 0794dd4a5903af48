#pragma once

#include <QtGlobal>

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

} // namespace ov
