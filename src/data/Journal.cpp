#include "data/Journal.h"

#include "data/CharCodes.h"
#include "data/DataFiles.h"
#include "data/FieldReader.h"
#include "data/FileIo.h"
#include "data/JournalLines.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <limits>

namespace velmora::data {
namespace {

constexpr int kSlots = JournalRecord::kSlots;

// The records of the lines, visited in order. The first decodedSlots lines of a record are
// decoded, the others passed over uncut.
template <typename Lines> JournalScan scanLines(Lines& lines, const JournalVisitor& visit, int decodedSlots) {
    decodedSlots = std::clamp(decodedSlots, 0, kSlots);
    JournalScan scan;
    JournalRecord record;
    QByteArrayView line;
    for (;;) {
        qsizetype slot = 0;
        while (slot < decodedSlots && lines.next(line))
            decodeCharCodesInto(firstFieldOfLine(line), record.texts[static_cast<std::size_t>(slot++)]);
        if (slot == decodedSlots)
            slot += lines.skip(kSlots - decodedSlots);
        if (slot < kSlots) {
            scan.damagedLines = slot;
            return scan;
        }
        ++scan.records;
        if (visit && !visit(scan.records, record)) {
            scan.stopped = true;
            return scan;
        }
    }
}

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

} // namespace

QByteArray encodeJournalRecord(const JournalRecord& record) {
    QByteArray out;
    qsizetype size = 0;
    for (const QByteArray& s : record.texts)
        size += s.size() * 3 + 2;
    out.reserve(size);
    for (const QByteArray& s : record.texts) {
        out += encodeCharCodes(s);
        out += "\r\n";
    }
    return out;
}

JournalScan scanJournalText(QByteArrayView text, const JournalVisitor& visit, int decodedSlots) {
    TextLines lines(text);
    return scanLines(lines, visit, decodedSlots);
}

Journal::Journal(QString path)
    : m_path(std::move(path)) {}

Journal::Journal(const DataDir& dir)
    : m_path(dir.file(files::kJournal)) {}

Result<JournalAppend> Journal::append(const JournalRecord& record) const {
    JournalAppend result;
    QByteArray bytes;
    if (fileExists(m_path)) {
        JournalLines existing;
        if (Status opened = existing.open(m_path); !opened)
            return Result<JournalAppend>::failure(opened.error());
        const qsizetype lines = existing.skipToEnd();
        if (!existing.status())
            return Result<JournalAppend>::failure(existing.status().error());
        if (existing.endsOpen())
            bytes += "\r\n";
        const qsizetype partial = lines % kSlots;
        if (partial != 0) {
            result.repairedLines = kSlots - partial;
            for (qsizetype i = 0; i < result.repairedLines; ++i)
                bytes += "\r\n";
        }
        result.recordNumber = (lines + result.repairedLines) / kSlots + 1;
    } else {
        result.recordNumber = 1;
    }
    bytes += encodeJournalRecord(record);
    if (Status written = appendDurable(m_path, bytes); !written)
        return Result<JournalAppend>::failure(written.error());
    return result;
}

Result<JournalRecord> Journal::read(qsizetype recordNumber) const {
    JournalLines lines;
    if (Status opened = lines.open(m_path); !opened)
        return Result<JournalRecord>::failure(opened.error());
    const auto notFound = [&] {
        return Result<JournalRecord>::failure(
            QStringLiteral(u"ביומן ההזמנות %1 אין הזמנה מספר %2.").arg(fileName(m_path)).arg(recordNumber));
    };
    const auto readError = [&] {
        return Result<JournalRecord>::failure(lines.status().error());
    };
    if (recordNumber < 1 || recordNumber - 1 > std::numeric_limits<qsizetype>::max() / kSlots)
        return notFound();
    const qsizetype before = (recordNumber - 1) * kSlots;
    if (lines.skip(before) < before)
        return lines.status() ? notFound() : readError();
    JournalRecord record;
    QByteArrayView line;
    for (int slot = 0; slot < kSlots; ++slot) {
        if (!lines.next(line)) {
            if (!lines.status())
                return readError();
            if (slot == 0)
                return notFound();
            return Result<JournalRecord>::failure(
                QStringLiteral(u"ההזמנה מספר %2 ביומן ההזמנות %1 פגומה: יש בה רק %3 שורות מתוך 38.")
                    .arg(fileName(m_path))
                    .arg(recordNumber)
                    .arg(slot));
        }
        decodeCharCodesInto(firstFieldOfLine(line), record.texts[static_cast<std::size_t>(slot)]);
    }
    return record;
}

Result<JournalScan> Journal::scan(const JournalVisitor& visit, int decodedSlots) const {
    if (!fileExists(m_path)) {
        JournalScan empty;
        empty.exists = false;
        return empty;
    }
    JournalLines lines;
    if (Status opened = lines.open(m_path); !opened)
        return Result<JournalScan>::failure(opened.error());
    const JournalScan scan = scanLines(lines, visit, decodedSlots);
    if (!lines.status())
        return Result<JournalScan>::failure(lines.status().error());
    return scan;
}

Result<JournalScan> Journal::shape() const {
    if (!fileExists(m_path)) {
        JournalScan empty;
        empty.exists = false;
        return empty;
    }
    JournalLines lines;
    if (Status opened = lines.open(m_path); !opened)
        return Result<JournalScan>::failure(opened.error());
    const qsizetype count = lines.skipToEnd();
    if (!lines.status())
        return Result<JournalScan>::failure(lines.status().error());
    JournalScan scan;
    scan.records = count / kSlots;
    scan.damagedLines = count % kSlots;
    return scan;
}

} // namespace velmora::data
