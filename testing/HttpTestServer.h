#pragma once

#include <QHash>
#include <QHostAddress>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

/// A small HTTP/1.1 server on 127.0.0.1 for tests. Each request is answered by
/// the handler set for its path (the target without its query), else with the
/// file of that path below the folder given to serveFolder(), else with 404.
/// A handler gets the socket: it may answer at once, later or never.
///
///     HttpTestServer site;
///     site.listen();
///     site.setHandler("/ver.php", HttpTestServer::reply(200, "1"));
///     site.setHandler("/old", HttpTestServer::reply(302, {}, "Location: /new\r\n"));
///     site.setHandler("/short", HttpTestServer::reply(200, "1", {}, 1000)); // lies about its length
///     site.setHandler("/big", HttpTestServer::endless());
///     site.setHandler("/slow", HttpTestServer::silent());
///     fetch(site.url("ver.php"));
class HttpTestServer : public QTcpServer
{
public:
    /// The target (path and query exactly as sent, e.g. "/ver.php?id=a&&ver=b")
    /// and the path (the target without its query) of a request.
    struct Request { QByteArray target, path; };
    using Handler = std::function<void(const Request &, QTcpSocket *)>;

    explicit HttpTestServer(QObject *parent = nullptr);
    /// Listens on 127.0.0.1:\a port; 0 picks a free port.
    bool listen(quint16 port = 0) { return QTcpServer::listen(QHostAddress::LocalHost, port); }
    /// "http://127.0.0.1:<port>/" followed by \a path (given without a leading '/').
    QString url(const QString &path = {}) const { return QString("http://127.0.0.1:%1/").arg(serverPort()) + path; }
    /// Answers the requests for \a path (with its leading '/') with \a handler.
    void setHandler(const QByteArray &path, const Handler &handler) { m_handlers.insert(path, handler); }
    void serveFolder(const QString &folder) { m_folder = folder; }
    /// Every request received so far, in order.
    const QList<Request> &requests() const { return m_requests; }

    /// Answers with \a status, the header lines \a headers (each ending in
    /// "\r\n") and \a body, then closes the connection. The Content-Length is
    /// \a length, the body's size when negative: a larger one makes a reply
    /// that lies about its length and ends early.
    static Handler reply(int status, const QByteArray &body, const QByteArray &headers = {}, qint64 length = -1);
    /// A success whose body, without a length, never ends: 16 MiB, more than
    /// any reader should take, then silence on an open connection.
    static Handler endless();
    /// Never answers.
    static Handler silent() { return [](const Request &, QTcpSocket *) {}; }

private:
    QHash<QByteArray, Handler> m_handlers;
    QString m_folder;
    QList<Request> m_requests;
};
