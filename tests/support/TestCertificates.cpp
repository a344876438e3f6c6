#include "TestCertificates.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace velmora::test {

namespace {
constexpr int kOpensslTimeoutMs = 30'000;
}

TestCertificates::TestCertificates() {
    if (!m_dir.isValid())
        m_error = "cannot create a temporary directory: " + m_dir.errorString();
}

bool TestCertificates::openssl(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForStarted(kOpensslTimeoutMs)) {
        m_error = "cannot run openssl (scripts/install-deps.sh installs it): " + process.errorString();
        return false;
    }
    if (!process.waitForFinished(kOpensslTimeoutMs)) {
        process.kill();
        process.waitForFinished(kOpensslTimeoutMs);
        m_error = "openssl did not finish: openssl " + arguments.join(' ');
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = "openssl " + arguments.join(' ') + " failed:\n" + QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

TestCertificates::Pair TestCertificates::make(const QString& name, const QStringList& hosts) {
    if (!m_dir.isValid() || hosts.isEmpty())
        return {};
    QStringList altNames;
    static const QRegularExpression address(QStringLiteral("^[0-9.]+$|:"));
    for (const QString& host : hosts)
        altNames.append((address.match(host).hasMatch() ? "IP:" : "DNS:") + host);
    const Pair pair{m_dir.filePath(name + "-cert.pem"), m_dir.filePath(name + "-key.pem")};
    // An EC key: made at once, where an RSA key of a useful size takes a while.
    if (!openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                  "-days", "2", "-subj", "/CN=" + hosts.first(), "-addext",
                  "subjectAltName=" + altNames.join(','), "-keyout", pair.key, "-out", pair.cert}))
        return {};
    return pair;
}

QString TestCertificates::encryptedKey(const Pair& pair) {
    const QString file = QFileInfo(pair.key).path() + "/encrypted-" + QFileInfo(pair.key).fileName();
    if (!openssl({"pkey", "-in", pair.key, "-aes256", "-passout", "pass:velmora-test", "-out", file}))
        return {};
    return file;
}

} // namespace velmora::test
