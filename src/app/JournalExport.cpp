#include "app/JournalExport.h"

#include "data/Cp1255.h"

#include <cstring>

namespace velmora::app {

using velmora::data::Journal;
using velmora::data::JournalRecord;
using velmora::data::JournalScan;

namespace {

constexpr qsizetype kFlushSize = 1 << 20;

// Buffers the output and hands it to the stream in large pieces; remembers a failed write so
// that the scan can stop early.
class Output {
public:
    explicit Output(std::FILE* out)
        : m_out(out) {
        m_buffer.reserve(kFlushSize + (64 << 10));
    }

    QByteArray& buffer() { return m_buffer; }

    bool flushIfFull() { return m_buffer.size() < kFlushSize || flush(); }

    bool flush() {
        if (!m_failed && !m_buffer.isEmpty()) {
            const auto size = static_cast<std::size_t>(m_buffer.size());
            m_failed = std::fwrite(m_buffer.constData(), 1, size, m_out) != size;
        }
        m_buffer.resize(0);
        return !m_failed;
    }

    bool finish() { return flush() && std::fflush(m_out) == 0 && !std::ferror(m_out); }

private:
    std::FILE* m_out;
    QByteArray m_buffer;
    bool m_failed = false;
};

// Room that one slot can take at most once written: a control character becomes a six-byte JSON
// escape, a Hebrew letter three bytes of UTF-8; and the two quotes around it.
qsizetype worstCase(QByteArrayView cp1255) {
    return cp1255.size() * 6 + 2;
}

// One character's UTF-8 bytes.
char* writeChar(char* dst, char c) {
    return velmora::data::writeCp1255AsUtf8(dst, QByteArrayView(&c, 1));
}

// RFC 4180: the text as it stands, or in double quotes with its quotes doubled when it holds a
// comma, a double quote, CR or LF. Those are ASCII, so the Windows-1255 bytes tell.
char* writeCsvField(char* dst, QByteArrayView cp1255) {
    bool quote = false;
    for (char c : cp1255)
        quote = quote || c == ',' || c == '"' || c == '\r' || c == '\n';
    if (!quote)
        return velmora::data::writeCp1255AsUtf8(dst, cp1255);
    *dst++ = '"';
    for (char c : cp1255) {
        if (c == '"')
            *dst++ = '"';
        dst = writeChar(dst, c);
    }
    *dst++ = '"';
    return dst;
}

// A JSON string literal.
char* writeJsonString(char* dst, QByteArrayView cp1255) {
    static constexpr char kHex[] = "0123456789abcdef";
    bool escape = false;
    for (char c : cp1255)
        escape = escape || c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    *dst++ = '"';
    if (!escape) {
        dst = velmora::data::writeCp1255AsUtf8(dst, cp1255);
    } else {
        for (char c : cp1255) {
            const auto b = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                *dst++ = '\\';
                *dst++ = c;
            } else if (b < 0x20) {
                std::memcpy(dst, "\\u00", 4);
                dst[4] = kHex[b >> 4];
                dst[5] = kHex[b & 0xF];
                dst += 6;
            } else {
                dst = writeChar(dst, c);
            }
        }
    }
    *dst++ = '"';
    return dst;
}

// Appends one record: grows the buffer once for the worst case, writes through a pointer and
// cuts the buffer back to what was written.
void appendRecord(QByteArray& buf, ExportFormat format, qsizetype number, const JournalRecord& record) {
    qsizetype room = 64;
    for (const QByteArray& text : record.texts)
        room += worstCase(text) + 2;
    const qsizetype start = buf.size();
    buf.resize(start + room);
    char* dst = buf.data() + start;
    const auto put = [&dst](const char* text) {
        const std::size_t n = std::strlen(text);
        std::memcpy(dst, text, n);
        dst += n;
    };
    const QByteArray digits = QByteArray::number(number);
    if (format == ExportFormat::Csv) {
        put(digits.constData());
        for (const QByteArray& text : record.texts) {
            *dst++ = ',';
            dst = writeCsvField(dst, text);
        }
        put("\r\n");
    } else {
        put(number == 1 ? "\n{\"record\": " : ",\n{\"record\": ");
        put(digits.constData());
        put(", \"slots\": [");
        bool first = true;
        for (const QByteArray& text : record.texts) {
            if (!first)
                put(", ");
            first = false;
            dst = writeJsonString(dst, text);
        }
        put("]}");
    }
    buf.resize(dst - buf.constData());
}

} // namespace

QStringList exportColumnNames() {
    QStringList names{QStringLiteral("record"),  QStringLiteral("order_number"),
                      QStringLiteral("date"),    QStringLiteral("account"),
                      QStringLiteral("project"), QStringLiteral("print_shop")};
    for (int i = 1; i <= 5; ++i)
        names.append(QStringLiteral("recipient_%1").arg(i));
    names.append(QStringLiteral("orderer"));
    names.append(QStringLiteral("telephone"));
    for (int i = 1; i <= 5; ++i) {
        names.append(QStringLiteral("file_%1").arg(i));
        names.append(QStringLiteral("quantity_%1").arg(i));
    }
    for (const char* prefix : {"colour", "bw", "copy_type"}) {
        for (int i = 1; i <= 5; ++i)
            names.append(QStringLiteral("%1_%2").arg(QLatin1StringView(prefix)).arg(i));
    }
    names.append(QStringLiteral("handled_for"));
    return names;
}

Result<JournalScan> exportJournal(const Journal& journal, ExportFormat format, std::FILE* out) {
    Output output(out);
    QByteArray& buf = output.buffer();
    if (format == ExportFormat::Csv) {
        buf.append(exportColumnNames().join(QLatin1Char(',')).toUtf8());
        buf.append("\r\n");
    } else {
        buf.append('[');
    }

    const auto visit = [&](qsizetype number, const JournalRecord& record) {
        appendRecord(buf, format, number, record);
        return output.flushIfFull();
    };

    Result<JournalScan> scan = journal.scan(visit);
    if (!scan)
        return scan;
    if (format == ExportFormat::Json)
        buf.append(scan->records > 0 ? "\n]\n" : "]\n");
    if (scan->stopped || !output.finish())
        return Result<JournalScan>::failure(QStringLiteral(u"לא ניתן לכתוב את הפלט."));
    return scan;
}

} // namespace velmora::app
