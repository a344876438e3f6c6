#include "data/FieldReader.h"

namespace velmora::data {

FieldReader::FieldReader(QByteArray text)
    : m_text(std::move(text)) {}

void FieldReader::consumeLineEnd() {
    // Called with m_pos on a CR or LF.
    if (m_text.at(m_pos) == '\r' && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1) == '\n')
        m_pos += 2;
    else
        m_pos += 1;
}

QByteArray FieldReader::next() {
    const qsizetype size = m_text.size();
    while (m_pos < size && m_text.at(m_pos) == ' ')
        ++m_pos;
    if (m_pos >= size)
        return {};

    if (m_text.at(m_pos) == '"') {
        const qsizetype start = m_pos + 1;
        qsizetype close = m_text.indexOf('"', start);
        if (close < 0)
            close = size;
        QByteArray field = m_text.mid(start, close - start);
        m_pos = close + 1;
        // Skip to the delimiter that ends the quoted field and consume it.
        while (m_pos < size) {
            const char c = m_text.at(m_pos);
            if (c == ',') {
                ++m_pos;
                break;
            }
            if (c == '\r' || c == '\n') {
                consumeLineEnd();
                break;
            }
            ++m_pos;
        }
        if (m_pos > size)
            m_pos = size;
        return field;
    }

    const qsizetype start = m_pos;
    while (m_pos < size) {
        const char c = m_text.at(m_pos);
        if (c == ',') {
            QByteArray field = m_text.mid(start, m_pos - start);
            ++m_pos;
            return field;
        }
        if (c == '\r' || c == '\n') {
            QByteArray field = m_text.mid(start, m_pos - start);
            consumeLineEnd();
            return field;
        }
        ++m_pos;
    }
    return m_text.mid(start);
}

QList<QByteArray> readAllFields(const QByteArray& text) {
    QList<QByteArray> fields;
    FieldReader reader(text);
    while (!reader.atEnd())
        fields.append(reader.next());
    return fields;
}

QByteArrayView firstField(QByteArrayView text) {
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size && text[pos] == ' ')
        ++pos;
    if (pos >= size)
        return {};
    if (text[pos] == '"') {
        const QByteArrayView rest = text.sliced(pos + 1);
        const qsizetype close = rest.indexOf('"');
        return close < 0 ? rest : rest.first(close);
    }
    qsizetype end = pos;
    while (end < size) {
        const char c = text[end];
        if (c == ',' || c == '\r' || c == '\n')
            break;
        ++end;
    }
    return text.sliced(pos, end - pos);
}

} // namespace velmora::data
