#include "data/Journal.h"

#include "data/CharCodes.h"
#include "data/DataFiles.h"
#include "data/FieldReader.h"
#include "data/FileIo.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace velmora::data {
namespace {

constexpr int kSlots = JournalRecord::kSlots;

// Cuts text into lines where the field reader ends its fields: at CR LF, a lone CR or a lone LF.
// A last line without a line end is a line too. Looks for both line-end bytes with memchr and
// remembers where each was found, so every byte is looked at about twice at most.
class LineSplitter {
public:
    explicit LineSplitter(QByteArrayView text)
        : m_pos(text.data())
        , m_end(text.data() + text.size()) {}

    bool next(QByteArrayView& line) {
        if (m_pos >= m_end)
            return false;
        if (m_nextCr < m_pos)
            m_nextCr = find('\r');
        if (m_nextLf < m_pos)
            m_nextLf = find('\n');
        const char* stop = std::min(m_nextCr, m_nextLf);
        line = QByteArrayView(m_pos, stop - m_pos);
        if (stop == m_end)
            m_pos = m_end;
        else if (*stop == '\r' && stop + 1 < m_end && stop[1] == '\n')
            m_pos = stop + 2;
        else
            m_pos = stop + 1;
        return true;
    }

    // True when the text ends inside a line (its last byte is no line end).
    static bool endsOpen(QByteArrayView text) {
        return !text.isEmpty() && text.back() != '\r' && text.back() != '\n';
    }

private:
    const char* find(char c) const {
        const void* hit = std::memchr(m_pos, c, static_cast<std::size_t>(m_end - m_pos));
        return hit ? static_cast<const char*>(hit) : m_end;
    }

    const char* m_pos;
    const char* m_end;
    const char* m_nextCr = nullptr;
    const char* m_nextLf = nullptr;
};

qsizetype countLines(QByteArrayView text) {
    LineSplitter lines(text);
    QByteArrayView line;
    qsizetype n = 0;
    while (lines.next(line))
        ++n;
    return n;
}

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

// The journal's bytes, mapped into memory where the platform allows it (a large journal is
// then never copied), read into memory otherwise.
class JournalBytes {
public:
    // An empty text on success, else the error naming the file.
    QString open(const QString& path) {
        m_file.setFileName(path);
        if (!m_file.exists())
            return QStringLiteral(u"הקובץ %1 לא נמצא.").arg(fileName(path));
        if (!m_file.open(QIODevice::ReadOnly))
            return QStringLiteral(u"לא ניתן לקרוא את הקובץ %1: %2").arg(fileName(path), m_file.errorString());
        const qint64 size = m_file.size();
        if (size == 0)
            return {};
        if (uchar* mapped = m_file.map(0, size)) {
            m_view = QByteArrayView(mapped, size);
            return {};
        }
        m_copy = m_file.readAll();
        if (m_copy.size() != size)
            return QStringLiteral(u"לא ניתן לקרוא את הקובץ %1: %2").arg(fileName(path), m_file.errorString());
        m_view = m_copy;
        return {};
    }

    QByteArrayView view() const { return m_view; }

private:
    QFile m_file;
    QByteArray m_copy;
    QByteArrayView m_view;
};

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
    decodedSlots = std::clamp(decodedSlots, 0, kSlots);
    JournalScan scan;
    JournalRecord record;
    LineSplitter lines(text);
    QByteArrayView line;
    int slot = 0;
    while (lines.next(line)) {
        if (slot < decodedSlots)
            decodeCharCodesInto(firstField(line), record.texts[static_cast<std::size_t>(slot)]);
        if (++slot == kSlots) {
            slot = 0;
            ++scan.records;
            if (visit && !visit(scan.records, record)) {
                scan.stopped = true;
                return scan;
            }
        }
    }
    scan.damagedLines = slot;
    return scan;
}

Journal::Journal(QString path)
    : m_path(std::move(path)) {}

Journal::Journal(const DataDir& dir)
    : m_path(dir.file(files::kJournal)) {}

Result<JournalAppend> Journal::append(const JournalRecord& record) const {
    JournalAppend result;
    QByteArray bytes;
    if (fileExists(m_path)) {
        JournalBytes existing;
        if (const QString error = existing.open(m_path); !error.isEmpty())
            return Result<JournalAppend>::failure(error);
        const qsizetype lines = countLines(existing.view());
        if (LineSplitter::endsOpen(existing.view()))
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
    JournalBytes bytes;
    if (const QString error = bytes.open(m_path); !error.isEmpty())
        return Result<JournalRecord>::failure(error);
    const auto notFound = [&] {
        return Result<JournalRecord>::failure(
            QStringLiteral(u"ביומן ההזמנות %1 אין הזמנה מספר %2.").arg(fileName(m_path)).arg(recordNumber));
    };
    if (recordNumber < 1)
        return notFound();
    LineSplitter lines(bytes.view());
    QByteArrayView line;
    for (qsizetype skip = (recordNumber - 1) * kSlots; skip > 0; --skip) {
        if (!lines.next(line))
            return notFound();
    }
    JournalRecord record;
    for (int slot = 0; slot < kSlots; ++slot) {
        if (!lines.next(line)) {
            if (slot == 0)
                return notFound();
            return Result<JournalRecord>::failure(
                QStringLiteral(u"ההזמנה מספר %2 ביומן ההזמנות %1 פגומה: יש בה רק %3 שורות מתוך 38.")
                    .arg(fileName(m_path))
                    .arg(recordNumber)
                    .arg(slot));
        }
        decodeCharCodesInto(firstField(line), record.texts[static_cast<std::size_t>(slot)]);
    }
    return record;
}

Result<JournalScan> Journal::scan(const JournalVisitor& visit, int decodedSlots) const {
    if (!fileExists(m_path)) {
        JournalScan empty;
        empty.exists = false;
        return empty;
    }
    JournalBytes bytes;
    if (const QString error = bytes.open(m_path); !error.isEmpty())
        return Result<JournalScan>::failure(error);
    return scanJournalText(bytes.view(), visit, decodedSlots);
}

Result<JournalScan> Journal::shape() const {
    return scan({}, 0);
}

} // namespace velmora::data
