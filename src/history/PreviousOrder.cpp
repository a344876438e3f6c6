#include "history/PreviousOrder.h"

#include "data/FileIo.h"
#include "data/Journal.h"
#include "order/OrderArchive.h"
#include "order/OrderRecord.h"
#include "order/Submission.h"

namespace velmora::history {

Result<order::OrderForm> previousOrder(const data::DataDir& dir, qsizetype record) {
    const Result<data::JournalRecord> read = data::Journal(dir).read(record);
    if (!read)
        return Result<order::OrderForm>::failure(read.error());
    return order::previousOrderForm(order::fromJournalRecord(*read));
}

Result<order::DocumentToShow> sentDocument(const data::DataDir& dir, qsizetype record) {
    const Result<data::JournalRecord> read = data::Journal(dir).read(record);
    if (!read)
        return Result<order::DocumentToShow>::failure(read.error());
    order::DocumentToShow shown{{}, read->slot(order::Slot::OrderNumber)};
    if (const QString path = order::sentDocumentPath(dir, record); data::fileExists(path))
        shown.path = path;
    return shown;
}

QString notKeptAsSentMessage(const QString& orderNumber) {
    return QStringLiteral(u"הזמנה מס %1 נשלחה לפני שהתוכנית התחילה לשמור את המסמכים כפי שנשלחו, ואין לה "
                          u"עותק כזה. אפשר רק להציג אותה מחדש בלחצן \"Show, print and save\".")
        .arg(orderNumber.trimmed());
}

} // namespace velmora::history
