#include "platform/Inet.h"

#include "platform/HttpTransfer.h"

#include <QEventLoop>
#include <QNetworkAccessManager>

#include <algorithm>

namespace velmora::platform {

Inet::Inet(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this)) {}

Inet::~Inet() {
    // The transfer talks to the manager; it must go first.
    delete m_transfer.data();
}

void Inet::setRequestTimeout(int ms) {
    m_timeoutMs = std::max(1, ms);
}

void Inet::setMaxBodySize(qint64 bytes) {
    m_maxBody = std::max<qint64>(0, bytes);
}

FetchResult Inet::fetch(const QString& url) {
    HttpTransfer transfer(*m_manager, url, m_timeoutMs, m_maxBody);
    QEventLoop loop;
    connect(&transfer, &HttpTransfer::finished, &loop, &QEventLoop::quit);
    // A window closed during the wait may delete this component; the wait must end then too.
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    QPointer<Inet> self(this);
    transfer.start();
    loop.exec();
    if (!self || !transfer.isDone()) {
        FetchResult dropped;
        dropped.errorText = QStringLiteral(u"הבקשה בוטלה: \"%1\"").arg(url);
        return dropped;
    }
    return transfer.result();
}

QByteArray Inet::OpenURL(const QString& url) {
    FetchResult r = fetch(url);
    return r.ok ? std::move(r.body) : QByteArray();
}

bool Inet::Execute(const QString& url, const QString& operation) {
    if (m_executing)
        return false;
    m_executing = true;
    m_state = icNone;
    m_httpStatus = 0;
    m_responseInfo.clear();
    m_body.clear();
    m_readPos = 0;

    m_transfer = new HttpTransfer(*m_manager, url, m_timeoutMs, m_maxBody, this);
    // Queued: the notification then runs from the event loop, never inside the network stack,
    // so a handler may do anything, including deleting this component.
    connect(m_transfer, &HttpTransfer::finished, this, &Inet::onExecuteFinished, Qt::QueuedConnection);
    const QString verb = operation.trimmed().section(QLatin1Char(' '), 0, 0);
    if (verb.compare(u"get", Qt::CaseInsensitive) == 0)
        m_transfer->start();
    else
        m_transfer->reject(QStringLiteral(u"פעולה לא נתמכת: \"%1\" (רק GET)").arg(operation));
    return true;
}

void Inet::onExecuteFinished() {
    HttpTransfer* transfer = m_transfer;
    if (!transfer)
        return;
    FetchResult r = transfer->result();
    m_transfer = nullptr;
    transfer->deleteLater();

    m_httpStatus = r.httpStatus;
    if (r.ok) {
        m_state = icResponseCompleted;
        m_body = std::move(r.body);
        m_readPos = 0;
    } else {
        m_state = icError;
        m_responseInfo = r.errorText;
    }
    QPointer<Inet> self(this);
    emit StateChanged(m_state);
    if (self)
        m_executing = false;
}

QByteArray Inet::GetChunk(int size) {
    if (size <= 0 || m_readPos >= m_body.size())
        return {};
    const qsizetype n = std::min<qsizetype>(size, m_body.size() - m_readPos);
    QByteArray part = m_body.mid(m_readPos, n);
    m_readPos += n;
    return part;
}

} // namespace velmora::platform
