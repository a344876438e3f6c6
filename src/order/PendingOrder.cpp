#include "order/PendingOrder.h"

#include "data/CountFile.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "data/Journal.h"
#include "data/Numbers.h"
#include "order/OrderArchive.h"
#include "order/OrderDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>

namespace velmora::order {
namespace {

constexpr QByteArrayView kHeader = "velmora pending order 1\r\n";

void putSection(QByteArray& out, QByteArrayView key, QByteArrayView value) {
    out += key;
    out += ' ';
    out += QByteArray::number(value.size());
    out += "\r\n";
    out += value;
    out += "\r\n";
}

// Reads the sections back in order; each must carry the expected key.
class SectionReader {
public:
    explicit SectionReader(QByteArrayView bytes)
        : m_bytes(bytes) {}

    bool atEnd() const { return m_pos == m_bytes.size(); }

    std::optional<QByteArray> next(QByteArrayView key) {
        const qsizetype lineEnd = m_bytes.indexOf("\r\n", m_pos);
        if (lineEnd < 0)
            return std::nullopt;
        const QByteArrayView line = m_bytes.sliced(m_pos, lineEnd - m_pos);
        const qsizetype blank = line.indexOf(' ');
        if (blank < 0 || line.first(blank) != key)
            return std::nullopt;
        bool ok = false;
        const qsizetype size = line.sliced(blank + 1).toLongLong(&ok);
        const qsizetype start = lineEnd + 2;
        if (!ok || size < 0 || size > m_bytes.size() - start - 2 ||
            m_bytes.sliced(start + size, 2) != QByteArrayView("\r\n"))
            return std::nullopt;
        m_pos = start + size + 2;
        return m_bytes.sliced(start, size).toByteArray();
    }

    // The key of the next section, without reading it.
    QByteArrayView peekKey() const {
        const qsizetype blank = m_bytes.indexOf(' ', m_pos);
        return blank < 0 ? QByteArrayView() : m_bytes.sliced(m_pos, blank - m_pos);
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

QString pendingPath(const data::DataDir& dir) {
    return dir.file(data::files::kPendingOrder);
}

QString numberForUser(const QByteArray& orderNumber) {
    return QString::fromLatin1(orderNumber).trimmed();
}

// The list file's entries learned: its old bytes and the new lines. A write cut short in the
// middle leaves the old bytes with part of the new ones; the whole file is then written again.
Status completeList(const data::DataDir& dir, const PendingList& list) {
    const QString path = dir.file(list.listFile);
    QByteArray current;
    if (data::fileExists(path)) {
        Result<QByteArray> read = data::readFile(path);
        if (!read)
            return Status::failure(read.error());
        current = std::move(read).value();
    }
    const qint64 before = std::max<qint64>(list.sizeBefore, 0);
    if (current.size() < before)
        return Status::failure(
            QStringLiteral(u"הקובץ %1 קצר מאשר לפני ההזמנה; לא ניתן להוסיף לו את הרשומות החדשות.")
                .arg(list.listFile));
    const QByteArray target = current.first(before) + list.appendBytes;
    if (current == target)
        return {};
    if (current.size() == before)
        return data::appendDurable(path, list.appendBytes);
    return data::writeFileAtomic(path, target);
}

} // namespace

QByteArray encodePendingOrder(const PendingOrder& order) {
    QByteArray out(kHeader.toByteArray());
    putSection(out, "number", order.orderNumber);
    putSection(out, "journal-size", QByteArray::number(order.journalSizeBefore));
    putSection(out, "record", order.journalRecord);
    putSection(out, "counter", data::numberText(order.counterAfter));
    putSection(out, "document", order.document);
    putSection(out, "settings", order.settings);
    for (const PendingList& list : order.lists) {
        const QByteArray head = list.listFile.toLatin1() + ' ' + list.countFile.toLatin1() + ' ' +
                                QByteArray::number(list.sizeBefore) + ' ' +
                                data::numberText(list.countAfter).trimmed();
        putSection(out, "list", head);
        putSection(out, "append", list.appendBytes);
    }
    putSection(out, "end", {});
    return out;
}

std::optional<PendingOrder> decodePendingOrder(QByteArrayView bytes) {
    if (!bytes.startsWith(kHeader))
        return std::nullopt;
    SectionReader reader(bytes.sliced(kHeader.size()));
    PendingOrder order;
    const auto number = reader.next("number");
    const auto journalSize = reader.next("journal-size");
    const auto record = reader.next("record");
    const auto counter = reader.next("counter");
    const auto document = reader.next("document");
    const auto settings = reader.next("settings");
    if (!number || !journalSize || !record || !counter || !document || !settings)
        return std::nullopt;
    bool ok = false;
    order.orderNumber = *number;
    order.journalSizeBefore = journalSize->toLongLong(&ok);
    if (!ok || order.journalSizeBefore < 0)
        return std::nullopt;
    order.journalRecord = *record;
    order.counterAfter = data::leadingNumber(*counter);
    order.document = *document;
    order.settings = *settings;
    while (reader.peekKey() == QByteArrayView("list")) {
        const auto head = reader.next("list");
        const auto append = reader.next("append");
        if (!head || !append)
            return std::nullopt;
        const QList<QByteArray> parts = head->split(' ');
        if (parts.size() != 4)
            return std::nullopt;
        PendingList list;
        list.listFile = QString::fromLatin1(parts[0]);
        list.countFile = QString::fromLatin1(parts[1]);
        list.sizeBefore = parts[2].toLongLong(&ok);
        if (!ok)
            return std::nullopt;
        list.countAfter = data::leadingNumber(parts[3]);
        list.appendBytes = *append;
        order.lists.append(list);
    }
    if (!reader.next("end") || !reader.atEnd())
        return std::nullopt;
    return order;
}

Result<CompletedOrder> completePendingOrder(const data::DataDir& dir, const PendingOrder& order,
                                            qsizetype recordNumber) {
    const auto failed = [](const Status& status) {
        return Result<CompletedOrder>::failure(status.error());
    };
    CompletedOrder done;
    if (Status s = data::writeCount(dir, data::files::kOrderCounter, order.counterAfter); !s)
        return failed(s);
    if (Status s = writeDocument(dir, order.document); !s)
        return failed(s);
    // The copy as sent is a record of the order, not a part of it: without it the order stands.
    if (const Status kept = storeSentDocument(dir, recordNumber, order.document); !kept) {
        done.archiveProblem =
            QStringLiteral(u"ההזמנה נשמרה, אך לא ניתן לשמור את העתק המסמך כפי שנשלח (%1): %2")
                .arg(data::files::sentDocument(recordNumber), kept.error());
    }
    if (Status s = data::writeFileAtomic(dir.file(data::files::kSettings), order.settings); !s)
        return failed(s);
    for (const PendingList& list : order.lists) {
        if (Status s = data::writeCount(dir, list.countFile, list.countAfter); !s)
            return failed(s);
        if (Status s = completeList(dir, list); !s)
            return failed(s);
    }
    if (Status s = writeShortcut(dir); !s)
        return failed(s);
    if (Status s = data::removeFile(pendingPath(dir)); !s)
        return failed(s);
    return done;
}

Result<ResumedOrder> resumePendingOrder(const data::DataDir& dir) {
    const QString path = pendingPath(dir);
    if (!data::fileExists(path))
        return ResumedOrder{};
    const QString journalPath = dir.file(data::files::kJournal);
    const auto failure = [&](const QString& why) {
        return Result<ResumedOrder>::failure(
            QStringLiteral(u"הגשת הזמנה קודמת נקטעה באמצע, ולא ניתן ליישב אותה: %1\n"
                           u"הקובץ %2 נשאר בתיקיית הנתונים, והתוכנה תנסה שוב בהפעלה הבאה.")
                .arg(why, data::files::kPendingOrder));
    };

    const Result<QByteArray> bytes = data::readFile(path);
    if (!bytes)
        return failure(bytes.error());
    const std::optional<PendingOrder> order = decodePendingOrder(*bytes);
    if (!order)
        return failure(QStringLiteral(u"הקובץ %1 פגום.").arg(data::files::kPendingOrder));
    const QString number = numberForUser(order->orderNumber);

    QByteArray journal;
    if (data::fileExists(journalPath)) {
        Result<QByteArray> read = data::readFile(journalPath);
        if (!read)
            return failure(read.error());
        journal = std::move(read).value();
    }
    if (journal.size() < order->journalSizeBefore)
        return failure(QStringLiteral(u"יומן ההזמנות %1 קצר מאשר לפני ההזמנה מספר %2.")
                           .arg(data::files::kJournal, number));

    // The append adds the record, after line ends that complete a damaged last record, if any.
    const QByteArrayView tail = QByteArrayView(journal).sliced(order->journalSizeBefore);
    bool whole = tail.endsWith(order->journalRecord);
    if (whole) {
        for (char c : tail.first(tail.size() - order->journalRecord.size()))
            whole = whole && (c == '\r' || c == '\n');
    }

    ResumedOrder resumed;
    if (!whole) {
        // Nothing after the journal had been written: cutting the part off undoes the order.
        if (!tail.isEmpty()) {
            if (Status s = data::truncateFile(journalPath, order->journalSizeBefore); !s)
                return failure(s.error());
        }
        if (Status s = data::removeFile(path); !s)
            return failure(s.error());
        resumed.outcome = ResumedOrder::NotRecorded;
        resumed.message =
            QStringLiteral(u"הגשת ההזמנה מספר %1 נקטעה לפני שנרשמה ביומן ההזמנות, ולכן ההזמנה לא נשמרה.\n"
                           u"יש להגיש אותה שוב.")
                .arg(number);
        return resumed;
    }

    // The journal holds it: finish the rest.
    const Result<data::JournalScan> shape = data::Journal(journalPath).shape();
    if (!shape)
        return failure(shape.error());
    const Result<CompletedOrder> completed = completePendingOrder(dir, *order, shape->records);
    if (!completed)
        return failure(QStringLiteral(u"ההזמנה מספר %1 רשומה ביומן ההזמנות, אך השלמת שמירתה נכשלה: %2")
                           .arg(number, completed.error()));
    resumed.outcome = ResumedOrder::Completed;
    resumed.message = QStringLiteral(u"הגשת ההזמנה מספר %1 נקטעה אחרי שנרשמה ביומן ההזמנות. שמירתה הושלמה "
                                     u"עכשיו, ומסמך ההזמנה נמצא בקובץ %2.")
                          .arg(number, documentPath(dir));
    if (!completed->archiveProblem.isEmpty())
        resumed.message += u'\n' + completed->archiveProblem;
    return resumed;
}

Result<QString> repairOrderCounter(const data::DataDir& dir) {
    if (!data::fileExists(dir.file(data::files::kOrderCounter)))
        return QString();
    const Result<data::JournalScan> shape = data::Journal(dir).shape();
    if (!shape)
        return Result<QString>::failure(shape.error());
    if (shape->damaged())
        return QString();
    const Result<double> counter = data::readCount(dir, data::files::kOrderCounter);
    if (!counter)
        return Result<QString>::failure(counter.error());
    const auto records = static_cast<double>(shape->records);
    if (*counter >= records)
        return QString();
    if (Status s = data::writeCount(dir, data::files::kOrderCounter, records); !s)
        return Result<QString>::failure(
            QStringLiteral(u"מונה ההזמנות %1 מונה פחות הזמנות מאשר יומן ההזמנות, ולא ניתן לתקן אותו: %2")
                .arg(data::files::kOrderCounter, s.error()));
    return QStringLiteral(u"מונה ההזמנות %1 הראה %2, אך ביומן ההזמנות %3 רשומות %4 הזמנות שלמות; "
                          u"כנראה שהגשת הזמנה נקטעה. המונה תוקן ל-%4.")
        .arg(data::files::kOrderCounter, QString::fromLatin1(data::numberText(*counter)).trimmed(),
             data::files::kJournal)
        .arg(shape->records);
}

QStringList settleDataDirectory(const data::DataDir& dir) {
    QStringList messages;
    // A rewrite cut short in its last moment leaves its temporary file beside the file, whose
    // old content stands: nothing to tell, only to clear away.
    data::removeInterruptedRewrites(dir.path());
    data::removeInterruptedRewrites(dir.file(QString(data::files::kArchiveFolder)));
    if (const Result<ResumedOrder> resumed = resumePendingOrder(dir); !resumed)
        messages.append(resumed.error());
    else if (!resumed->message.isEmpty())
        messages.append(resumed->message);
    if (const Result<QString> counter = repairOrderCounter(dir); !counter)
        messages.append(counter.error());
    else if (!counter->isEmpty())
        messages.append(*counter);
    return messages;
}

} // namespace velmora::order
