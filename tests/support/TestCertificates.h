#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace velmora::test {

// Self-signed certificates for HTTPS tests, made at run time with the openssl command (nothing
// secret is kept in the source tree). Each pair lives in a temporary directory of this object's.
//
//   TestCertificates certificates;
//   const auto loopback = certificates.make("loopback", {"127.0.0.1"});
//   ASSERT_TRUE(loopback) << certificates.errorString().toStdString();
class TestCertificates {
public:
    struct Pair {
        QString cert; // PEM certificate file
        QString key;  // PEM private key file, not encrypted
        explicit operator bool() const { return !cert.isEmpty(); }
    };

    TestCertificates();

    // A certificate for the hosts: the first is its common name, and all are its subject
    // alternative names (an IP address entry for an address, a DNS entry for a name). Valid from
    // now for two days. An empty pair (see errorString()) when openssl failed.
    Pair make(const QString& name, const QStringList& hosts);
    // A copy of the pair's key under a pass phrase; empty on failure.
    QString encryptedKey(const Pair& pair);

    QString dir() const { return m_dir.path(); }
    QString errorString() const { return m_error; }

private:
    bool openssl(const QStringList& arguments);

    QTemporaryDir m_dir;
    QString m_error;
};

} // namespace velmora::test
