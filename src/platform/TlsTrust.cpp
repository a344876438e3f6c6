#include "platform/TlsTrust.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>

namespace velmora::platform {

Result<int> trustCertificatesFrom(const QString& pemFile) {
    const QString shown = QDir::toNativeSeparators(pemFile);
    QFile file(pemFile);
    if (!file.open(QIODevice::ReadOnly))
        return Result<int>::failure(
            QStringLiteral(u"לא ניתן לקרוא את קובץ התעודות המהימנות %1: %2").arg(shown, file.errorString()));
    const QList<QSslCertificate> added = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (added.isEmpty())
        return Result<int>::failure(
            QStringLiteral(u"בקובץ התעודות המהימנות %1 אין תעודות בתבנית PEM").arg(shown));

    // Setting the list turns off the backend's loading of the system's certificates on demand,
    // so the system's certificates go into the list explicitly.
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> trusted = configuration.caCertificates();
    for (const QSslCertificate& certificate : QSslConfiguration::systemCaCertificates() + added) {
        if (!trusted.contains(certificate))
            trusted.append(certificate);
    }
    configuration.setCaCertificates(trusted);
    QSslConfiguration::setDefaultConfiguration(configuration);
    return static_cast<int>(added.size());
}

bool certificateChainTrusted(const QList<QSslCertificate>& chain, const QString& host) {
    // QSslCertificate::verify() checks against the default configuration's certificates.
    return !chain.isEmpty() && !host.isEmpty() && QSslCertificate::verify(chain, host).isEmpty();
}

} // namespace velmora::platform
