#include "order/SubmissionWriter.h"

#include "data/CountFile.h"
#include "data/DataFiles.h"
#include "data/Journal.h"
#include "data/ListFile.h"
#include "order/OrderArchive.h"
#include "order/OrderDocument.h"

namespace velmora::order {
namespace {

Result<WrittenOrder> afterJournal(const Status& step, const WrittenOrder& written) {
    if (step)
        return written;
    QString error =
        QStringLiteral(u"ההזמנה נרשמה ביומן ההזמנות (vlt.dat), אך שמירתה לא הושלמה: %1").arg(step.error());
    if (!written.archiveProblem.isEmpty())
        error += u'\n' + written.archiveProblem;
    return Result<WrittenOrder>::failure(error);
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

Result<WrittenOrder> writeSubmittedOrder(const data::DataDir& dir, const SubmittedOrder& order) {
    // Checks that write nothing.
    const Result<QByteArray> document = prepareSubmittedOrder(dir, order);
    if (!document)
        return Result<WrittenOrder>::failure(document.error());
    return writePreparedOrder(dir, order, *document);
}

Result<WrittenOrder> writePreparedOrder(const data::DataDir& dir, const SubmittedOrder& order,
                                        const QByteArray& document) {
    // The order itself: once the journal holds it, it is submitted.
    const Result<data::JournalAppend> appended = data::Journal(dir).append(toJournalRecord(order.record));
    if (!appended)
        return Result<WrittenOrder>::failure(appended.error());
    WrittenOrder done;
    done.recordNumber = appended->recordNumber;

    if (const Result<double> counter = data::incrementCount(dir, data::files::kOrderCounter); !counter)
        return afterJournal(Status::from(counter), done);
    if (const Status written = writeDocument(dir, document); !written)
        return afterJournal(written, done);
    // The copy as sent is a record of the order, not a part of it: without it the order stands.
    if (const Status kept = storeSentDocument(dir, done.recordNumber, document); !kept) {
        done.archiveProblem =
            QStringLiteral(u"ההזמנה נשמרה, אך לא ניתן לשמור את העתק המסמך כפי שנשלח (%1): %2")
                .arg(data::files::sentDocument(done.recordNumber), kept.error());
    }
    if (const Status written = data::writeSettings(dir, order.settings); !written)
        return afterJournal(written, done);
    for (const LearnedEntry& entry : order.learned) {
        if (const Result<double> count = data::incrementCount(dir, entry.countFile); !count)
            return afterJournal(Status::from(count), done);
        if (const Status written = data::appendListEntry(dir, entry.listFile, entry.text); !written)
            return afterJournal(written, done);
    }
    return afterJournal(writeShortcut(dir), done);
}

} // namespace velmora::order
