#include "platform/HttpTransfer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QSslSocket>

#include <utility>

namespace velmora::platform {
namespace {

QString seconds(int ms) {
    return QString::number(ms / 1000.0);
}

// Why a certificate was not accepted, in words a user can act on (or pass on to the server's
// administrator).
QString certificateReason(const QSslError& error) {
    switch (error.error()) {
    case QSslError::SelfSignedCertificate:
        return QStringLiteral(u"התעודה חתומה בידי השרת עצמו ואינה בין התעודות המהימנות");
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::InvalidCaCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral(u"התעודה לא הונפקה בידי רשות אישורים מהימנה");
    case QSslError::HostNameMismatch:
        return QStringLiteral(u"התעודה הונפקה לשם אחר ולא לשם של השרת הזה");
    case QSslError::CertificateExpired:
    case QSslError::InvalidNotAfterField:
        return QStringLiteral(u"תוקף התעודה פג");
    case QSslError::CertificateNotYetValid:
    case QSslError::InvalidNotBeforeField:
        return QStringLiteral(u"התעודה עדיין אינה בתוקף");
    case QSslError::CertificateRevoked:
        return QStringLiteral(u"התעודה בוטלה");
    case QSslError::CertificateBlacklisted:
    case QSslError::CertificateRejected:
        return QStringLiteral(u"התעודה חסומה");
    case QSslError::CertificateSignatureFailed:
    case QSslError::UnableToDecryptCertificateSignature:
    case QSslError::UnableToDecodeIssuerPublicKey:
    case QSslError::SubjectIssuerMismatch:
    case QSslError::AuthorityIssuerSerialNumberMismatch:
    case QSslError::PathLengthExceeded:
        return QStringLiteral(u"שרשרת החתימות של התעודה פגומה");
    case QSslError::InvalidPurpose:
        return QStringLiteral(u"התעודה אינה מיועדת לשרת אינטרנט");
    case QSslError::NoPeerCertificate:
        return QStringLiteral(u"השרת לא הציג תעודה");
    default:
        return QStringLiteral(u"שגיאת תעודה (%1)").arg(error.errorString());
    }
}

} // namespace

HttpTransfer::HttpTransfer(QNetworkAccessManager& manager, QString url, int timeoutMs, qint64 maxBodyBytes,
                           QObject* parent)
    : QObject(parent)
    , m_manager(manager)
    , m_urlText(std::move(url))
    , m_timeoutMs(timeoutMs)
    , m_maxBody(maxBodyBytes) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &HttpTransfer::onTimeout);
}

HttpTransfer::~HttpTransfer() {
    // Torn down mid-transfer (its owner went away): stop the request without telling anyone.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QUrl HttpTransfer::checkedUrl(const QString& url) {
    QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != u"http" && scheme != u"https") || parsed.host().isEmpty())
        return {};
    return parsed;
}

QString HttpTransfer::certificateErrorText(const QSslError& error, const QString& host) {
    return QStringLiteral(u"לא ניתן לאמת את תעודת האבטחה של השרת %1: %2").arg(host, certificateReason(error));
}

void HttpTransfer::start() {
    const QUrl url = checkedUrl(m_urlText);
    if (!url.isValid()) {
        reject(QStringLiteral(u"כתובת לא תקינה: \"%1\"").arg(m_urlText));
        return;
    }
    if (url.scheme().compare(u"https", Qt::CaseInsensitive) == 0 && !QSslSocket::supportsSsl()) {
        reject(QStringLiteral(u"אין במחשב הזה תמיכה בחיבור מאובטח (HTTPS): ספריית ה-TLS חסרה (%1)")
                   .arg(url.toDisplayString()));
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_reply = m_manager.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpTransfer::onReadyRead);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpTransfer::onMetaData);
    connect(m_reply, &QNetworkReply::finished, this, &HttpTransfer::onReplyFinished);
    connect(m_reply, &QNetworkReply::sslErrors, this, &HttpTransfer::onSslErrors);
    m_deadline.start(m_timeoutMs);
}

void HttpTransfer::reject(const QString& errorText) {
    // Reported from the event loop like every other failure, so callers see one order of events.
    QTimer::singleShot(0, this, [this, errorText] {
        FetchResult r;
        r.errorText = errorText;
        finish(std::move(r));
    });
}

void HttpTransfer::onMetaData() {
    if (!m_reply || m_tooLarge)
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > m_maxBody) {
        m_tooLarge = true;
        m_reply->abort();
    }
}

void HttpTransfer::onReadyRead() {
    if (!m_reply || m_tooLarge)
        return;
    const QByteArray part = m_reply->readAll();
    if (m_body.size() + part.size() > m_maxBody) {
        m_tooLarge = true;
        m_body.clear();
        m_reply->abort();
        return;
    }
    m_body.append(part);
}

void HttpTransfer::onSslErrors(const QList<QSslError>& errors) {
    // Not ignored: without ignoreSslErrors() the connection ends here and the reply finishes
    // with an error. Only the words for the user are kept.
    if (!m_reply || errors.isEmpty() || !m_certificateError.isEmpty())
        return;
    m_certificateError = certificateErrorText(errors.constFirst(), m_reply->url().host());
}

void HttpTransfer::onTimeout() {
    if (!m_reply || m_done)
        return;
    m_timedOut = true;
    m_reply->abort();
}

void HttpTransfer::onReplyFinished() {
    if (m_done || !m_reply)
        return;
    QNetworkReply* reply = m_reply;
    onReadyRead();
    FetchResult r;
    r.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString where = reply->request().url().toDisplayString();
    if (!m_certificateError.isEmpty()) {
        r.httpStatus = 0;
        r.certificateRejected = true;
        r.errorText = QStringLiteral(u"%1 (%2)").arg(m_certificateError, where);
    } else if (m_timedOut) {
        r.httpStatus = 0;
        r.errorText = QStringLiteral(u"השרת לא ענה בתוך %1 שניות (%2)").arg(seconds(m_timeoutMs), where);
    } else if (m_tooLarge) {
        r.errorText = QStringLiteral(u"התשובה של השרת גדולה מדי, יותר מ-%1 בתים (%2)")
                          .arg(QString::number(m_maxBody), where);
    } else if (r.httpStatus != 0 && (r.httpStatus < 200 || r.httpStatus > 299)) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        r.errorText = QStringLiteral(u"השרת החזיר שגיאה %1 %2 (%3)")
                          .arg(QString::number(r.httpStatus), reason.trimmed(), where);
    } else if (reply->error() == QNetworkReply::SslHandshakeFailedError) {
        r.errorText =
            QStringLiteral(u"החיבור המאובטח עם השרת נכשל: %1 (%2)").arg(reply->errorString(), where);
    } else if (reply->error() != QNetworkReply::NoError || r.httpStatus == 0) {
        r.errorText = QStringLiteral(u"אין קשר עם השרת: %1 (%2)").arg(reply->errorString(), where);
    } else {
        r.ok = true;
        r.body = std::move(m_body);
    }
    m_body.clear();
    reply->disconnect(this);
    reply->deleteLater();
    m_reply = nullptr;
    finish(std::move(r));
}

void HttpTransfer::finish(FetchResult result) {
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    m_result = std::move(result);
    emit finished();
}

} // namespace velmora::platform
