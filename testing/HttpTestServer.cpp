#include "HttpTestServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>
#include <memory>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

QByteArray statusLine(int status)
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
}

constexpr qint64 endlessCap = 256 * 1024 * 1024;
constexpr qint64 endlessChunk = 64 * 1024;

} // namespace

HttpTestServer::HttpTestServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpTestServer::accept);
}

bool HttpTestServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

QString HttpTestServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(port()) + path;
}

void HttpTestServer::setHandler(const QByteArray &path, Handler handler)
{
    m_handlers.insert(path, std::move(handler));
}

void HttpTestServer::serveFolder(const QString &folder)
{
    m_folder = folder;
}

int HttpTestServer::requestCount(const QByteArray &path) const
{
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(),
                             [&path](const Request &r) { return r.path == path; }));
}

void HttpTestServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
    }
}

void HttpTestServer::readRequest(QTcpSocket *socket)
{
    // One request per connection: the head is complete at the empty line.
    if (socket->property("answered").toBool())
        return;
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    socket->setProperty("answered", true);

    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    Request request;
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    request.path = request.target.left(request.target.indexOf('?') < 0 ? request.target.size()
                                                                        : request.target.indexOf('?'));
    m_requests.append(request);
    emit requestReceived(request);

    const auto handler = m_handlers.constFind(request.path);
    if (handler != m_handlers.cend())
        (*handler)(request, socket);
    else if (!m_folder.isEmpty())
        serveFile(request, socket);
    else
        respond(socket, 404, "not found", "text/plain");
}

void HttpTestServer::serveFile(const Request &request, QTcpSocket *socket) const
{
    const QString relative = QString::fromUtf8(QByteArray::fromPercentEncoding(request.path)).mid(1);
    const QString root = QDir(m_folder).canonicalPath();
    const QFileInfo info(QDir(root).filePath(relative));
    QFile file(info.canonicalFilePath());
    if (relative.contains(QLatin1String("..")) || !info.isFile() || !file.open(QIODevice::ReadOnly)) {
        respond(socket, 404, "not found", "text/plain");
        return;
    }
    respond(socket, 200, file.readAll());
}

void HttpTestServer::respond(QTcpSocket *socket, int status, const QByteArray &body, const QByteArray &contentType)
{
    socket->write(statusLine(status) + "Content-Type: " + contentType + "\r\nContent-Length: "
                  + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

HttpTestServer::Handler HttpTestServer::reply(int status, const QByteArray &body, const QByteArray &contentType)
{
    return [=](const Request &, QTcpSocket *socket) { respond(socket, status, body, contentType); };
}

HttpTestServer::Handler HttpTestServer::closeMidBody(const QByteArray &part, qint64 announcedLength)
{
    return [=](const Request &, QTcpSocket *socket) {
        socket->write(statusLine(200) + "Content-Type: application/octet-stream\r\nContent-Length: "
                      + QByteArray::number(announcedLength) + "\r\nConnection: close\r\n\r\n" + part);
        socket->disconnectFromHost();
    };
}

HttpTestServer::Handler HttpTestServer::endless(const QByteArray &start, char fill)
{
    return [start, fill](const Request &, QTcpSocket *socket) {
        socket->write(statusLine(200) + "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n" + start);
        const QByteArray chunk(endlessChunk, fill);
        const auto written = std::make_shared<qint64>(0);
        const auto more = [socket, chunk, written] {
            if (socket->state() != QAbstractSocket::ConnectedState || *written >= endlessCap)
                return;
            if (socket->bytesToWrite() < 2 * endlessChunk) {
                socket->write(chunk);
                *written += chunk.size();
            }
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
    };
}

HttpTestServer::Handler HttpTestServer::silent()
{
    return [](const Request &, QTcpSocket *) {};
}
