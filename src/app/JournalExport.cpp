#include "app/JournalExport.h"

#include "data/Cp1255.h"

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

void appendCsvField(QByteArray& out, QByteArrayView utf8) {
    bool quote = false;
    for (char c : utf8) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out.append(utf8.data(), utf8.size());
        return;
    }
    out.append('"');
    for (char c : utf8) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

void appendJsonString(QByteArray& out, QByteArrayView utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.append('"');
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.append('\\');
            out.append(c);
        } else if (b < 0x20) {
            out.append("\\u00");
            out.append(kHex[b >> 4]);
            out.append(kHex[b & 0xF]);
        } else {
            out.append(c);
        }
    }
    out.append('"');
}

Result<JournalScan> exportJournal(const Journal& journal, ExportFormat format, std::FILE* out) {
    Output output(out);
    QByteArray& buf = output.buffer();
    QByteArray utf8;
    if (format == ExportFormat::Csv) {
        buf.append(exportColumnNames().join(QLatin1Char(',')).toUtf8());
        buf.append("\r\n");
    } else {
        buf.append('[');
    }

    const auto visit = [&](qsizetype number, const JournalRecord& record) {
        if (format == ExportFormat::Csv) {
            buf.append(QByteArray::number(number));
            for (const QByteArray& text : record.texts) {
                buf.append(',');
                utf8.resize(0);
                velmora::data::appendCp1255AsUtf8(utf8, text);
                appendCsvField(buf, utf8);
            }
            buf.append("\r\n");
        } else {
            buf.append(number == 1 ? "\n{\"record\": " : ",\n{\"record\": ");
            buf.append(QByteArray::number(number));
            buf.append(", \"slots\": [");
            bool first = true;
            for (const QByteArray& text : record.texts) {
                if (!first)
                    buf.append(", ");
                first = false;
                utf8.resize(0);
                velmora::data::appendCp1255AsUtf8(utf8, text);
                appendJsonString(buf, utf8);
            }
            buf.append("]}");
        }
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
