#include "order/SubmissionWriter.h"

#include "data/CountFile.h"
#include "data/DataFiles.h"
#include "data/Journal.h"
#include "data/ListFile.h"
#include "order/OrderDocument.h"

namespace velmora::order {
namespace {

Status afterJournal(const Status& step) {
    if (step)
        return step;
    return Status::failure(
        QStringLiteral(u"ההזמנה נרשמה ביומן ההזמנות (vlt.dat), אך שמירתה לא הושלמה: %1").arg(step.error()));
}

} // namespace

Result<QByteArray> prepareSubmittedOrder(const data::DataDir& dir, const SubmittedOrder& order) {
    const Result<QByteArray> heading = readHeading(dir);
    if (!heading)
        return Result<QByteArray>::failure(heading.error());
    Result<QByteArray> document = generateDocument(order.record, order.templateBytes, *heading);
    if (!document)
        return document;
    if (const Result<double> counter = data::readCount(dir, data::files::kOrderCounter); !counter)
        return Result<QByteArray>::failure(counter.error());
    for (const LearnedEntry& entry : order.learned) {
        if (const Result<double> count = data::readCount(dir, entry.countFile); !count)
            return Result<QByteArray>::failure(count.error());
    }
    return document;
}

Status writeSubmittedOrder(const data::DataDir& dir, const SubmittedOrder& order) {
    // Checks that write nothing.
    const Result<QByteArray> document = prepareSubmittedOrder(dir, order);
    if (!document)
        return Status::failure(document.error());
    return writePreparedOrder(dir, order, *document);
}

Status writePreparedOrder(const data::DataDir& dir, const SubmittedOrder& order, const QByteArray& document) {
    // The order itself: once the journal holds it, it is submitted.
    const Result<data::JournalAppend> appended = data::Journal(dir).append(toJournalRecord(order.record));
    if (!appended)
        return Status::failure(appended.error());

    if (const Result<double> counter = data::incrementCount(dir, data::files::kOrderCounter); !counter)
        return afterJournal(Status::from(counter));
    if (const Status written = writeDocument(dir, document); !written)
        return afterJournal(written);
    if (const Status written = data::writeSettings(dir, order.settings); !written)
        return afterJournal(written);
    for (const LearnedEntry& entry : order.learned) {
        if (const Result<double> count = data::incrementCount(dir, entry.countFile); !count)
            return afterJournal(Status::from(count));
        if (const Status written = data::appendListEntry(dir, entry.listFile, entry.text); !written)
            return afterJournal(written);
    }
    return afterJournal(writeShortcut(dir));
}

} // namespace velmora::order
