#include "history/SearchTemplate.h"

#include "data/DataFiles.h"
#include "data/FieldReader.h"
#include "data/FileIo.h"
#include "data/TextFiles.h"
#include "order/ServerExchange.h"
#include "order/ShopCode.h"
#include "platform/Inet.h"
#include "startup/ServerFailover.h"
#include "startup/ServerSelector.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace velmora::history {

Status copyLocalTemplate(const data::DataDir& dir) {
    const QString target = dir.file(data::files::kTemplate);
    const Result<QByteArray> local = data::readFile(dir.file(data::files::kLocalTemplate));
    if (!local) {
        const Status emptied = data::writeFileAtomic(target, QByteArrayView());
        return Status::failure(emptied ? local.error() : local.error() + u'\n' + emptied.error());
    }
    QList<QByteArray> fields;
    data::FieldReader reader(*local);
    while (!reader.atEnd()) {
        QByteArray field = reader.next();
        if (field.contains("***"))
            break;
        fields.append(std::move(field));
    }
    return data::writeLines(target, fields);
}

QString shopTemplateUrl(QStringView selectorText, const QString& primaryHost, const QString& fallbackHost,
                        QByteArrayView selection) {
    const std::optional<startup::Server> server = startup::selectedServer(selectorText);
    if (!server)
        return {};
    return shopTemplateUrl(*server, startup::Servers{primaryHost, fallbackHost}, selection);
}

QString shopTemplateUrl(startup::Server server, const startup::Servers& servers, QByteArrayView selection) {
    const QByteArray path = order::templatePath(server, order::shopCode(selection));
    return startup::serverUrl(servers.base(server), path).toString(QUrl::FullyEncoded);
}

QString selectorProblem(QStringView selectorText) {
    return QStringLiteral(
               u"בורר השרתים בחלון הפתיחה מכיל \"%1\"; יש לרשום בו 1 (השרת הראשי) או 2 (השרת המשני). "
               u"תבנית ההזמנה של מכון ההעתקות לא הורדה.")
        .arg(selectorText);
}

ShopTemplateRequest::ShopTemplateRequest(platform::Inet& inet, data::DataDir dir, QObject* parent)
    : QObject(parent)
    , m_inet(&inet)
    , m_dir(std::move(dir)) {}

ShopTemplateRequest::Outcome ShopTemplateRequest::run(const QString& url) {
    if (m_waiting)
        return Outcome::Busy;
    m_message.clear();
    m_info.clear();
    m_noAnswer = false;
    if (const Status opened = m_target.open(m_dir.file(data::files::kTemplate)); !opened) {
        m_message = opened.error();
        return Outcome::FileError;
    }
    m_lastState = platform::Inet::icNone;
    if (!m_inet || !m_inet->Execute(url, QStringLiteral("get /"))) {
        m_target.close();
        m_message = QStringLiteral(u"[רכיב התקשורת עסוק בבקשה אחרת.]טעות! תלחץ עוד פעם!");
        return Outcome::Failed;
    }
    m_waiting = true;
    const QPointer<ShopTemplateRequest> alive(this);
    // The transfer component's time-out ends every transfer, so this wait cannot hang.
    while (alive && m_inet && m_inet->StillExecuting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!alive)
        return Outcome::Abandoned;
    m_waiting = false;
    m_target.close();
    if (m_lastState != platform::Inet::icResponseCompleted) {
        m_info = m_inet ? m_inet->ResponseInfo() : QString();
        m_noAnswer = !m_inet || startup::gotNoAnswer(false, m_inet->ResponseCode());
        m_message = u'[' + m_info + QStringLiteral(u"]טעות! תלחץ עוד פעם!");
        return Outcome::Failed;
    }
    if (m_target.failed()) {
        m_message = m_target.error();
        return Outcome::FileError;
    }
    return Outcome::Received;
}

ShopTemplateRequest::Outcome ShopTemplateRequest::runWithFailover(startup::Server server,
                                                                  const startup::Servers& servers,
                                                                  QByteArrayView selection) {
    if (m_waiting)
        return Outcome::Busy;
    m_switchedTo.reset();
    const QPointer<ShopTemplateRequest> alive(this);
    const auto runOn = [&](startup::Server on) {
        const QString url = shopTemplateUrl(on, servers, selection);
        if (!url.isEmpty())
            return run(url);
        // Nothing to ask; sbl.htm is emptied all the same, as after a failed request, so that no
        // other shop's template stands in for this one.
        if (m_target.open(m_dir.file(data::files::kTemplate)))
            m_target.close();
        m_info = startup::noSuchServer(on).errorText;
        m_noAnswer = true;
        m_message = u'[' + m_info + QStringLiteral(u"]טעות! תלחץ עוד פעם!");
        return Outcome::Failed;
    };
    const Outcome first = runOn(server);
    if (!alive || first != Outcome::Failed || !m_noAnswer)
        return first;
    const startup::Server other = startup::otherServer(server);
    if (!servers.has(other))
        return first;
    const QString firstInfo = m_info;
    const Outcome second = runOn(other);
    if (!alive)
        return second;
    if (second == Outcome::Failed && m_noAnswer)
        m_message = u'[' + firstInfo + u'\n' + m_info + QStringLiteral(u"]טעות! תלחץ עוד פעם!");
    else
        m_switchedTo = other;
    return second;
}

void ShopTemplateRequest::onStateChanged(int state) {
    m_lastState = state;
    if (state != platform::Inet::icResponseCompleted || !m_target.isOpen() || !m_inet)
        return;
    for (QByteArray chunk = m_inet->GetChunk(kChunkSize); !chunk.isEmpty();
         chunk = m_inet->GetChunk(kChunkSize))
        m_target.append(chunk);
}

} // namespace velmora::history
