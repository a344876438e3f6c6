#include "order/SubmissionWriter.h"

#include "data/CountFile.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "data/Journal.h"
#include "data/TextFiles.h"
#include "order/OrderArchive.h"
#include "order/OrderDocument.h"
#include "order/PendingOrder.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace velmora::order {
namespace {

QString notSaved(const QString& error) {
    return error + QStringLiteral(u"\nההזמנה לא נשמרה.");
}

Result<WrittenOrder> afterJournal(const QString& error) {
    return Result<WrittenOrder>::failure(
        QStringLiteral(u"ההזמנה נרשמה ביומן ההזמנות (vlt.dat), אך שמירתה לא הושלמה: %1\n"
                       u"התוכנה תשלים את שמירתה בהפעלה הבאה.")
            .arg(error));
}

qint64 fileSize(const QString& path) {
    const QFileInfo info(path);
    return info.exists() ? info.size() : -1;
}

// What the writes after the journal need, read from the files as they are now.
Result<PendingOrder> planOrder(const data::DataDir& dir, const SubmittedOrder& order,
                               const QByteArray& document) {
    PendingOrder plan;
    plan.orderNumber = order.record.slot(Slot::OrderNumber);
    plan.journalSizeBefore = std::max<qint64>(fileSize(dir.file(data::files::kJournal)), 0);
    plan.journalRecord = data::encodeJournalRecord(toJournalRecord(order.record));
    const Result<double> counter = data::readCount(dir, data::files::kOrderCounter);
    if (!counter)
        return Result<PendingOrder>::failure(counter.error());
    plan.counterAfter = *counter + 1;
    plan.document = document;
    plan.settings = data::settingsFileText(order.settings);
    for (const LearnedEntry& entry : order.learned) {
        auto list = std::find_if(plan.lists.begin(), plan.lists.end(),
                                 [&](const PendingList& l) { return l.listFile == entry.listFile; });
        if (list == plan.lists.end()) {
            const Result<double> count = data::readCount(dir, entry.countFile);
            if (!count)
                return Result<PendingOrder>::failure(count.error());
            PendingList added;
            added.listFile = entry.listFile;
            added.countFile = entry.countFile;
            added.countAfter = *count;
            added.sizeBefore = fileSize(dir.file(entry.listFile));
            if (data::lastLineIsOpen(dir.file(entry.listFile)))
                added.appendBytes = "\r\n";
            plan.lists.append(added);
            list = plan.lists.end() - 1;
        }
        list->countAfter += 1;
        list->appendBytes += data::joinLines({entry.text});
    }
    return plan;
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

Status checkOrderCanBeWritten(const data::DataDir& dir, const SubmittedOrder& order,
                              const QByteArray& document) {
    const auto failed = [](const Status& s) {
        return Status::failure(notSaved(s.error()));
    };
    if (Status s = data::checkFolderWritable(dir.path()); !s)
        return failed(s);
    const QString archive = dir.file(data::files::kArchiveFolder);
    if (QFileInfo(archive).isDir()) {
        if (Status s = data::checkFolderWritable(archive); !s)
            return failed(s);
    }
    QList<QString> names{data::files::kTemplate,        data::files::kPendingOrder,  data::files::kJournal,
                         data::files::kOrderCounter,    data::files::kOrderDocument, data::files::kSettings,
                         data::files::kDocumentShortcut};
    for (const LearnedEntry& entry : order.learned) {
        names.append(entry.countFile);
        names.append(entry.listFile);
    }
    for (const QString& name : names) {
        if (Status s = data::checkWritable(dir.file(name)); !s)
            return failed(s);
    }
    // The order's bytes: the template, the pending file with the document, the journal record,
    // the document and its copy, and room to spare for the small files.
    const qint64 needed = order.templateBytes.size() + 3 * document.size() +
                          3 * data::encodeJournalRecord(toJournalRecord(order.record)).size() + 64 * 1024;
    const QStorageInfo storage(dir.path());
    if (storage.isValid() && storage.bytesAvailable() >= 0 && storage.bytesAvailable() < needed)
        return Status::failure(
            notSaved(QStringLiteral(u"אין די מקום פנוי בדיסק של תיקיית הנתונים %1 (נדרשים %2 בתים).")
                         .arg(QDir::toNativeSeparators(dir.path()))
                         .arg(needed)));
    return {};
}

Result<WrittenOrder> writeSubmittedOrder(const data::DataDir& dir, const SubmittedOrder& order) {
    // Checks that write nothing.
    const Result<QByteArray> document = prepareSubmittedOrder(dir, order);
    if (!document)
        return Result<WrittenOrder>::failure(document.error());
    if (Status s = checkOrderCanBeWritten(dir, order, *document); !s)
        return Result<WrittenOrder>::failure(s.error());
    return writePreparedOrder(dir, order, *document);
}

Result<WrittenOrder> writePreparedOrder(const data::DataDir& dir, const SubmittedOrder& order,
                                        const QByteArray& document) {
    // A submission cut short earlier is settled first, so that its writes are not mixed with these.
    if (const Result<ResumedOrder> earlier = resumePendingOrder(dir); !earlier)
        return Result<WrittenOrder>::failure(notSaved(earlier.error()));

    const Result<PendingOrder> plan = planOrder(dir, order, document);
    if (!plan)
        return Result<WrittenOrder>::failure(notSaved(plan.error()));
    const QString pending = dir.file(data::files::kPendingOrder);
    if (Status s = data::writeFileAtomic(pending, encodePendingOrder(*plan)); !s)
        return Result<WrittenOrder>::failure(notSaved(s.error()));

    // The order itself: once the journal holds it, it is submitted.
    const Result<data::JournalAppend> appended = data::Journal(dir).append(toJournalRecord(order.record));
    if (!appended) {
        // The append undoes itself; settling the pending order makes sure of it.
        const Result<ResumedOrder> settled = resumePendingOrder(dir);
        if (settled && settled->outcome == ResumedOrder::Completed)
            return Result<WrittenOrder>::failure(appended.error() + u'\n' + settled->message);
        return Result<WrittenOrder>::failure(notSaved(appended.error()));
    }
    WrittenOrder done;
    done.recordNumber = appended->recordNumber;

    const Result<CompletedOrder> completed = completePendingOrder(dir, *plan, done.recordNumber);
    if (!completed)
        return afterJournal(completed.error());
    done.archiveProblem = completed->archiveProblem;
    return done;
}

} // namespace velmora::order
