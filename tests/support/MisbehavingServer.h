#pragma once

#include "RequestHeads.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

#include <sys/socket.h>

// A loopback HTTP server that misbehaves in one chosen way on every path except those given a
// proper answer with answer(). Each misbehaviour is built from the body the path would have had
// (setBody()), so that whatever gets through shows in the files. It runs on the test's own thread:
// the waits of the code under test keep its events flowing.
class MisbehavingServer : public QObject {
public:
    enum class Mode {
        Honest,        // a proper answer: the status line, headers, the body (the control case)
        Silent,        // the request is taken and never answered; the connection stays open
        Trickle,       // the proper answer, one byte per second
        ResetMidBody,  // the headers and half the body, then the connection is reset (RST)
        OverCap,       // a body bigger than the cap, without a Content-Length, up to the close
        OverCapStated, // a body bigger than the cap, with its true Content-Length
        Garbage,       // bytes that are no HTTP, then the connection closes
        LengthShort,   // Content-Length says half the body; the whole body follows, then close
        LengthLong,    // Content-Length says twice the body; the body follows, then close
        LengthTwice,   // two Content-Length lines that disagree, then the whole body
        RedirectLoop,  // every request is sent to the same address again
    };

    static const char* name(Mode mode) {
        switch (mode) {
        case Mode::Honest:
            return "Honest";
        case Mode::Silent:
            return "Silent";
        case Mode::Trickle:
            return "Trickle";
        case Mode::ResetMidBody:
            return "ResetMidBody";
        case Mode::OverCap:
            return "OverCap";
        case Mode::OverCapStated:
            return "OverCapStated";
        case Mode::Garbage:
            return "Garbage";
        case Mode::LengthShort:
            return "LengthShort";
        case Mode::LengthLong:
            return "LengthLong";
        case Mode::LengthTwice:
            return "LengthTwice";
        case Mode::RedirectLoop:
            return "RedirectLoop";
        }
        return "?";
    }

    explicit MisbehavingServer(Mode mode)
        : m_mode(mode) {
        listenForRequestHeads(m_server, this, [this](QTcpSocket* socket, const QByteArray& requestLine) {
            respond(socket, requestPath(requestLine));
        });
    }

    // This path gets a proper 200 answer with the body, whatever the mode.
    void answer(const QByteArray& path, const QByteArray& body) { m_answers.insert(path, body); }
    // The body that every other path would have had; the mode mangles it.
    void setBody(const QByteArray& body) { m_body = body; }
    // The body of the over-cap modes is the body followed by filler up to this size.
    void setOverCapSize(qsizetype bytes) { m_overCapSize = bytes; }

    // "127.0.0.1:PORT", as the program's server settings hold it.
    QString hostPort() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    QString url(const QString& path) const { return QStringLiteral("http://") + hostPort() + path; }
    // Requests that got the misbehaviour (proper answers not counted).
    int misbehaved() const { return m_misbehaved; }
    // The path of every request, in order.
    QList<QByteArray> requestedPaths() const { return m_paths; }

private:
    static QByteArray head(int status, const QByteArray& reason, const QByteArray& headers) {
        return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n" + headers + "\r\n";
    }
    static QByteArray length(qsizetype n) { return "Content-Length: " + QByteArray::number(n) + "\r\n"; }
    static QByteArray proper(const QByteArray& body) {
        return head(200, "OK", length(body.size()) + "Connection: close\r\n") + body;
    }

    void respond(QTcpSocket* socket, const QByteArray& path) {
        m_paths.append(path);
        if (m_answers.contains(path)) {
            socket->write(proper(m_answers.value(path)));
            socket->disconnectFromHost();
            return;
        }
        ++m_misbehaved;
        switch (m_mode) {
        case Mode::Honest:
            socket->write(proper(m_body));
            socket->disconnectFromHost();
            break;
        case Mode::Silent:
            break;
        case Mode::Trickle:
            trickle(socket, proper(m_body));
            break;
        case Mode::ResetMidBody: {
            socket->write(head(200, "OK", length(m_body.size())) + m_body.left(m_body.size() / 2));
            socket->flush();
            // Long enough for the half body to be read before the reset arrives.
            QTimer::singleShot(300, socket, [socket] { reset(socket); });
            break;
        }
        case Mode::OverCap:
            socket->write(head(200, "OK", "Connection: close\r\n") + overCapBody());
            socket->disconnectFromHost();
            break;
        case Mode::OverCapStated: {
            const QByteArray body = overCapBody();
            socket->write(head(200, "OK", length(body.size()) + "Connection: close\r\n") + body);
            socket->disconnectFromHost();
            break;
        }
        case Mode::Garbage: {
            // Bytes that are no HTTP, NUL bytes included (the array's own end is left out).
            static constexpr char kGarbage[] =
                "\x16\x03\x01\x02\x00garbage \xff\xfe\x00 no status line here\r\n\r\n";
            socket->write(QByteArray(kGarbage, sizeof kGarbage - 1) + m_body);
            socket->disconnectFromHost();
            break;
        }
        case Mode::LengthShort:
            socket->write(head(200, "OK", length(m_body.size() / 2) + "Connection: close\r\n") + m_body);
            socket->disconnectFromHost();
            break;
        case Mode::LengthLong:
            socket->write(head(200, "OK", length(m_body.size() * 2) + "Connection: close\r\n") + m_body);
            socket->disconnectFromHost();
            break;
        case Mode::LengthTwice:
            socket->write(
                head(200, "OK", length(m_body.size() / 2) + length(m_body.size()) + "Connection: close\r\n") +
                m_body);
            socket->disconnectFromHost();
            break;
        case Mode::RedirectLoop:
            // Kept open: a client may ask again on the same connection.
            socket->write(head(
                302, "Found", "Location: " + url(QString::fromLatin1(path)).toLatin1() + "\r\n" + length(0)));
            break;
        }
    }

    QByteArray overCapBody() const {
        QByteArray body = m_body;
        if (body.size() < m_overCapSize)
            body.append(QByteArray(m_overCapSize - body.size(), ' '));
        return body;
    }

    void trickle(QTcpSocket* socket, const QByteArray& bytes) {
        auto* timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, bytes, sent] {
            if (*sent >= bytes.size() || socket->state() != QAbstractSocket::ConnectedState) {
                timer->stop();
                return;
            }
            socket->write(bytes.mid((*sent)++, 1));
        });
        timer->start(1000);
    }

    // Closes the connection with a reset instead of the orderly end of the stream.
    static void reset(QTcpSocket* socket) {
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
        const linger abortive{1, 0};
        ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive,
                     sizeof abortive);
        socket->abort();
    }

    Mode m_mode;
    QTcpServer m_server;
    QHash<QByteArray, QByteArray> m_answers;
    QByteArray m_body = "<html><body>nothing in particular</body></html>\r\n";
    qsizetype m_overCapSize = 1024 * 1024;
    int m_misbehaved = 0;
    QList<QByteArray> m_paths;
};
