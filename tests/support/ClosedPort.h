#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QString>
#include <QTcpSocket>

// A loopback port where no server runs: connections to it are refused. The port is bound (but not
// listening) for as long as the object lives, so no other process, such as a service started by a
// test running in parallel, can take it meanwhile.
class ClosedPort {
public:
    ClosedPort() { m_socket.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress); }
    // "127.0.0.1:PORT", as the program's server settings hold it.
    QString hostPort() const { return QStringLiteral("127.0.0.1:%1").arg(m_socket.localPort()); }

private:
    QTcpSocket m_socket;
};
