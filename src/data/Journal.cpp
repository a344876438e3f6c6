#include "data/Journal.h"

#include "data/CharCodes.h"
#include "data/DataFiles.h"
#include "data/FieldReader.h"
#include "data/FileIo.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora::data {
namespace {

constexpr int kSlots = JournalRecord::kSlots;

// The first CR or LF at or after p, or end. Sixteen bytes at a time where SSE2 is there (every
// x86-64 processor): the journal is millions of short lines, and this search is most of a scan.
const char* findLineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf))));
        if (hits != 0)
            return p + std::countr_zero(hits);
        p += 16;
    }
#endif
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// Cuts text into lines where the field reader ends its fields: at CR LF, a lone CR or a lone LF.
// A last line without a line end is a line too.
class LineSplitter {
public:
    explicit LineSplitter(QByteArrayView text)
        : m_pos(text.data())
        , m_end(text.data() + text.size()) {}

    bool next(QByteArrayView& line) {
        if (m_pos >= m_end)
            return false;
        const char* stop = findLineEnd(m_pos, m_end);
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
    const char* m_pos;
    const char* m_end;
};

// The first field of a line that holds no line end, as firstField() reads it; an encoded line
// has no comma, so the common case is one memchr over the line.
QByteArrayView lineField(QByteArrayView line) {
    if (!line.isEmpty() && (line.front() == ' ' || line.front() == '"'))
        return firstField(line);
    const void* comma = std::memchr(line.data(), ',', static_cast<std::size_t>(line.size()));
    return comma ? line.first(static_cast<const char*>(comma) - line.data()) : line;
}

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
            decodeCharCodesInto(lineField(line), record.texts[static_cast<std::size_t>(slot)]);
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
        decodeCharCodesInto(lineField(line), record.texts[static_cast<std::size_t>(slot)]);
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
