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

// The body length the server states: one decimal number, or the same number repeated in a list
// (several Content-Length lines are joined with ", "). -1 when the header is absent; -2 when it
// is present but no single length: a server that states two lengths leaves the body's end unknown.
qint64 statedLength(const QNetworkReply& reply) {
    if (!reply.hasRawHeader("Content-Length"))
        return -1;
    qint64 length = -1;
    for (const QByteArray& part : reply.rawHeader("Content-Length").split(',')) {
        const QByteArray digits = part.trimmed();
        bool ok = !digits.isEmpty();
        for (const char c : digits)
            ok = ok && c >= '0' && c <= '9';
        const qint64 value = ok ? digits.toLongLong(&ok) : -1;
        if (!ok || (length >= 0 && value != length))
            return -2;
        length = value;
    }
    return length;
}

// A body the network layer unpacked (gzip, deflate) is longer than the length the server stated.
bool bodyIsUnpacked(const QNetworkReply& reply) {
    const QByteArray coding = reply.rawHeader("Content-Encoding").trimmed().toLower();
    return !coding.isEmpty() && coding != "identity";
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

// An http or https address with a host: the only kind a transfer asks, or follows a redirect to.
bool isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
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
    const QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    return isWebAddress(parsed) ? parsed : QUrl();
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
    m_deadline.start(m_timeoutMs);
    send(url);
}

void HttpTransfer::send(const QUrl& url) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // Redirects are followed here, each with a reply of its own: the network layer joins the
    // headers of a redirect's answer with those of the next one now and then ("Content-Length:
    // 0, 20"), which would make a good answer look like one with two lengths.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_reply = m_manager.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpTransfer::onReadyRead);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpTransfer::onMetaData);
    connect(m_reply, &QNetworkReply::finished, this, &HttpTransfer::onReplyFinished);
    connect(m_reply, &QNetworkReply::sslErrors, this, &HttpTransfer::onSslErrors);
}

bool HttpTransfer::followRedirect(QNetworkReply& reply, FetchResult& failure) {
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool redirect = status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    if (!redirect || !reply.hasRawHeader("Location"))
        return false;
    const QUrl from = reply.url();
    const QString where = from.toDisplayString();
    const QUrl to = from.resolved(QUrl::fromEncoded(reply.rawHeader("Location").trimmed()));
    failure.httpStatus = status;
    if (m_redirects >= kMaxRedirects) {
        failure.errorText = QStringLiteral(u"השרת הפנה את הבקשה יותר מ-%1 פעמים לכתובת אחרת (%2)")
                                .arg(QString::number(kMaxRedirects), where);
        return false;
    }
    if (!isWebAddress(to)) {
        failure.errorText = QStringLiteral(u"השרת הפנה את הבקשה לכתובת לא תקינה: \"%1\" (%2)")
                                .arg(QString::fromLatin1(reply.rawHeader("Location")), where);
        return false;
    }
    if (from.scheme().toLower() == u"https" && to.scheme().toLower() != u"https") {
        failure.errorText = QStringLiteral(u"השרת הפנה את הבקשה מכתובת מאובטחת לכתובת לא מאובטחת %1 (%2)")
                                .arg(to.toDisplayString(), where);
        return false;
    }
    ++m_redirects;
    m_body.clear();
    m_statedLength = -1;
    reply.disconnect(this);
    reply.deleteLater();
    send(to);
    return true;
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
    if (!m_reply || m_tooLarge || m_badLength)
        return;
    m_statedLength = statedLength(*m_reply);
    if (m_statedLength == -2) {
        m_badLength = true;
        m_reply->abort();
    } else if (m_statedLength > m_maxBody) {
        m_tooLarge = true;
        m_reply->abort();
    }
}

void HttpTransfer::onReadyRead() {
    if (!m_reply || m_tooLarge || m_badLength || !m_reply->isOpen())
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
    const bool usable =
        !m_timedOut && !m_tooLarge && !m_badLength && reply->error() == QNetworkReply::NoError;
    if (usable && followRedirect(*reply, r))
        return;
    const QString where = reply->url().toDisplayString();
    // A redirect that cannot be followed has its status and reason from followRedirect().
    const bool redirectRefused = !r.errorText.isEmpty();
    if (!redirectRefused)
        r.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (redirectRefused) {
    } else if (!m_certificateError.isEmpty()) {
        r.httpStatus = 0;
        r.certificateRejected = true;
        r.errorText = QStringLiteral(u"%1 (%2)").arg(m_certificateError, where);
    } else if (m_timedOut) {
        r.httpStatus = 0;
        r.errorText = QStringLiteral(u"השרת לא ענה בתוך %1 שניות (%2)").arg(seconds(m_timeoutMs), where);
    } else if (m_tooLarge) {
        r.errorText = QStringLiteral(u"התשובה של השרת גדולה מדי, יותר מ-%1 בתים (%2)")
                          .arg(QString::number(m_maxBody), where);
    } else if (m_badLength) {
        r.errorText = QStringLiteral(u"השרת שלח אורך תשובה לא תקין (Content-Length: %1) (%2)")
                          .arg(QString::fromLatin1(reply->rawHeader("Content-Length")), where);
    } else if (r.httpStatus != 0 && (r.httpStatus < 200 || r.httpStatus > 299)) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        r.errorText = QStringLiteral(u"השרת החזיר שגיאה %1 %2 (%3)")
                          .arg(QString::number(r.httpStatus), reason.trimmed(), where);
    } else if (reply->error() == QNetworkReply::RemoteHostClosedError) {
        // A reset, a close before the stated length, or bytes that were no HTTP answer at all.
        r.errorText = QStringLiteral(u"השרת סגר את החיבור לפני שהגיעה ממנו תשובה שלמה (%1)").arg(where);
    } else if (reply->error() == QNetworkReply::SslHandshakeFailedError) {
        r.errorText =
            QStringLiteral(u"החיבור המאובטח עם השרת נכשל: %1 (%2)").arg(reply->errorString(), where);
    } else if (reply->error() != QNetworkReply::NoError || r.httpStatus == 0) {
        r.errorText = QStringLiteral(u"אין קשר עם השרת: %1 (%2)").arg(reply->errorString(), where);
    } else if (m_statedLength >= 0 && m_body.size() != m_statedLength && !bodyIsUnpacked(*reply)) {
        // The connection ended (closed or reset) before the stated length arrived: a part of a
        // body is no body.
        r.errorText = QStringLiteral(u"התשובה של השרת נקטעה: התקבלו %1 מתוך %2 בתים (%3)")
                          .arg(QString::number(m_body.size()), QString::number(m_statedLength), where);
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
