#pragma once

#include "platform/FetchResult.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QSslError;

namespace velmora::platform {

// One GET request with a deadline for the whole transfer and a cap on the body. finished() is
// emitted exactly once and never from inside start(); result() is valid from then on.
//
// https:// addresses go through Qt's TLS backend with the default TLS configuration (the
// system's trusted certificates, and those added with trustCertificatesFrom). A certificate that
// cannot be verified is never ignored: the transfer fails with a Hebrew text that names the host
// and the first reason, as certificateErrorText() gives it.
class HttpTransfer : public QObject {
    Q_OBJECT
public:
    HttpTransfer(QNetworkAccessManager& manager, QString url, int timeoutMs, qint64 maxBodyBytes,
                 QObject* parent = nullptr);
    ~HttpTransfer() override;

    void start();
    // Ends the transfer as a failure with this text without sending anything (same delivery as
    // start(): finished() follows from the event loop).
    void reject(const QString& errorText);
    bool isDone() const { return m_done; }
    const FetchResult& result() const { return m_result; }

    // Redirects followed before the transfer counts as failed.
    static constexpr int kMaxRedirects = 5;

    // The address as it is requested, or an invalid URL when the text is not an http or https
    // address.
    static QUrl checkedUrl(const QString& url);

    // "The server's certificate could not be verified", with the host and the error's reason in
    // Hebrew words.
    static QString certificateErrorText(const QSslError& error, const QString& host);

signals:
    void finished();

private:
    void onReadyRead();
    void onMetaData();
    void onTimeout();
    void onReplyFinished();
    void send(const QUrl& url);
    // Starts the request a redirect answer points to and returns true; false when the reply is
    // no redirect, or when the redirect cannot be followed (then failure holds the reason).
    bool followRedirect(QNetworkReply& reply, FetchResult& failure);
    void onSslErrors(const QList<QSslError>& errors);
    void finish(FetchResult result);

    QNetworkAccessManager& m_manager;
    QString m_urlText;
    int m_timeoutMs;
    qint64 m_maxBody;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QByteArray m_body;
    bool m_timedOut = false;
    bool m_tooLarge = false;
    bool m_badLength = false;   // the server stated no single Content-Length
    qint64 m_statedLength = -1; // the Content-Length stated, -1 when none
    int m_redirects = 0;
    bool m_done = false;
    QString m_certificateError;
    FetchResult m_result;
};

} // namespace velmora::platform
