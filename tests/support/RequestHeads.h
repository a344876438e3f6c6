#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

// The loopback test servers' common part: listens on a free loopback port and calls `handle` with
// the socket and the request line of every request once its head (up to the blank line) has
// arrived. Bodies are not read; the sockets belong to `context`.
inline void listenForRequestHeads(QTcpServer& server, QObject* context,
                                  std::function<void(QTcpSocket*, const QByteArray&)> handle) {
    server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server, &QTcpServer::newConnection, context, [&server, context, handle] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            socket->setParent(context);
            auto* buffer = new QByteArray;
            QObject::connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
            QObject::connect(socket, &QTcpSocket::readyRead, context, [socket, buffer, handle] {
                buffer->append(socket->readAll());
                if (!buffer->contains("\r\n\r\n"))
                    return;
                const QByteArray requestLine = buffer->left(buffer->indexOf("\r\n"));
                buffer->clear();
                handle(socket, requestLine);
            });
        }
    });
}

// The path of a request line ("GET /ruf.html HTTP/1.1" gives "/ruf.html").
inline QByteArray requestPath(const QByteArray& requestLine) {
    return requestLine.split(' ').value(1);
}
