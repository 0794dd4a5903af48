#include "HttpTestServer.h"

#include <QFile>
#include <QTcpSocket>


HttpTestServer::HttpTestServer(QObject *parent)
    : QTcpServer(parent)
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        // The socket is the server's child; one request per connection.
        QTcpSocket *socket = nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, head = QByteArray()]() mutable {
            head += socket->readAll();
            if (!head.endsWith("\r\n\r\n"))
                return;
            const QByteArray target = head.split(' ').value(1);
            const Request request{target, target.split('?').constFirst()};
            m_requests.append(request);
            QFile file(m_folder + request.path);
            if (m_handlers.contains(request.path))
                m_handlers.value(request.path)(request, socket);
            else if (!m_folder.isEmpty() && file.open(QIODevice::ReadOnly))
                reply(200, file.readAll())(request, socket);
            else
                reply(404, "not found")(request, socket);
        });
    });
}

HttpTestServer::Handler HttpTestServer::reply(int status, const QByteArray &body, const QByteArray &headers,
                                              qint64 length)
{
    return [=](const Request &, QTcpSocket *socket) {
        socket->write("HTTP/1.1 " + QByteArray::number(status) + " Status\r\nConnection: close\r\n" + headers
                      + "Content-Length: " + QByteArray::number(length < 0 ? body.size() : length) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    };
}

HttpTestServer::Handler HttpTestServer::endless()
{
    return [](const Request &, QTcpSocket *socket) {
        socket->write("HTTP/1.1 200 OK\r\n\r\n");
        // A chunk each time the last has left, so that they do not pile up here.
        connect(socket, &QTcpSocket::bytesWritten, socket, [socket, chunks = 256]() mutable {
            if (socket->bytesToWrite() == 0 && chunks-- > 0)
                socket->write(QByteArray(64 * 1024, 'x'));
        });
    };
}
