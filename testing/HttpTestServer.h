#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

/// A small HTTP/1.1 server on 127.0.0.1 for tests. Each request is answered by
/// the handler registered for its path (the target without its query), 404
/// where there is none; every answer closes its connection. Handlers may also
/// keep the socket and answer later, or never.
class HttpTestServer : public QObject
{
    Q_OBJECT

public:
    struct Request {
        QByteArray method;
        QByteArray target; ///< path and query exactly as sent, e.g. "/ver.php?id=a&&ver=b"
        QByteArray path;   ///< the target without its query
    };
    using Handler = std::function<void(const Request &, QTcpSocket *)>;

    explicit HttpTestServer(QObject *parent = nullptr);

    /// Listens on 127.0.0.1:\a port; 0 picks a free port.
    bool listen(quint16 port = 0);
    /// Stops listening; the port is free again.
    void close() { m_server.close(); }
    quint16 port() const { return m_server.serverPort(); }
    /// "http://127.0.0.1:<port>/" followed by \a path (given without a leading '/').
    QString url(const QString &path = QString()) const;

    /// Answers requests for \a path (with a leading '/') with \a handler.
    void setHandler(const QByteArray &path, Handler handler);
    /// Answers every path without a handler of its own from the files below
    /// \a folder, 404 for a missing file.
    void serveFolder(const QString &folder);

    /// Every request received so far, in order.
    const QList<Request> &requests() const { return m_requests; }
    int requestCount(const QByteArray &path) const;

    // Ready-made handlers.
    /// A complete reply with a Content-Length.
    static Handler reply(int status, const QByteArray &body,
                         const QByteArray &contentType = QByteArrayLiteral("application/octet-stream"));
    /// Announces \a announcedLength bytes, sends \a part and closes the connection.
    static Handler closeMidBody(const QByteArray &part, qint64 announcedLength);
    /// A success status and a body without a length that never ends: \a start,
    /// then \a fill for as long as the client reads (up to a cap of 256 MiB).
    static Handler endless(const QByteArray &start = QByteArray(), char fill = 'x');
    /// Accepts the request and never answers.
    static Handler silent();

    /// Writes a complete reply on \a socket and closes it once written.
    static void respond(QTcpSocket *socket, int status, const QByteArray &body,
                        const QByteArray &contentType = QByteArrayLiteral("application/octet-stream"));

signals:
    void requestReceived(const HttpTestServer::Request &request);

private:
    void accept();
    void readRequest(QTcpSocket *socket);
    void serveFile(const Request &request, QTcpSocket *socket) const;

    QTcpServer m_server;
    QHash<QByteArray, Handler> m_handlers;
    QString m_folder;
    QList<Request> m_requests;
};
