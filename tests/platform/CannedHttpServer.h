#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A loopback HTTP server for the transfer component's failure cases: it answers every request
// with one fixed response, or accepts connections and never answers. It runs on the test's own
// thread; the component's waits keep its events flowing.
class CannedHttpServer : public QObject {
public:
    enum class Mode { Answer, Silent };

    explicit CannedHttpServer(Mode mode = Mode::Answer)
        : m_mode(mode) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    void setResponse(int status, const QByteArray& reason, const QByteArray& body,
                     const QByteArray& extraHeaders = {}) {
        m_response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n" + extraHeaders +
                     "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                     body;
    }
    // Sent as it stands, headers included.
    void setRawResponse(const QByteArray& raw) { m_response = raw; }

    QString url(const QString& path = QStringLiteral("/")) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    QList<QByteArray> requestLines() const { return m_requestLines; }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            auto* buffer = new QByteArray;
            QObject::connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                buffer->append(socket->readAll());
                if (!buffer->contains("\r\n\r\n") || m_mode == Mode::Silent)
                    return;
                m_requestLines.append(buffer->left(buffer->indexOf("\r\n")));
                buffer->clear();
                socket->write(m_response);
                socket->disconnectFromHost();
            });
        }
    }

    Mode m_mode;
    QTcpServer m_server;
    QByteArray m_response;
    QList<QByteArray> m_requestLines;
};
