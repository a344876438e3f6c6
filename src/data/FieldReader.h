#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstring>

namespace velmora::data {

// Reads a data file field by field, the way every data file of the program is read:
//  - leading blanks (spaces) are skipped;
//  - a field that begins with a double quote runs to the next double quote, without the quotes
//    (it may span line ends; without a closing quote it runs to the end of the text). Whatever
//    stands between the closing quote and the next comma or line end is dropped, and that comma
//    or line end is consumed, so «"a"b,c» reads as «a», «c»;
//  - any other field runs to the next comma or line end (CR, LF or CR LF), which is consumed.
// The end is tested before each read: after the last field of a text that ends with CR LF the
// reader is at its end. Reading at the end yields an empty field and never reads past the text.
class FieldReader {
public:
    explicit FieldReader(QByteArray text);

    bool atEnd() const { return m_pos >= m_text.size(); }
    QByteArray next();

    // Byte offset of the next field; tells a caller how much of the text has been consumed.
    qsizetype position() const { return m_pos; }

private:
    void consumeLineEnd();

    QByteArray m_text;
    qsizetype m_pos = 0;
};

// Every field of the text, in order.
QList<QByteArray> readAllFields(const QByteArray& text);

// The first field of the text, read exactly as FieldReader::next() reads it, as a view into the
// text (no copy). The journal reader calls it once per line, millions of times per scan.
QByteArrayView firstField(QByteArrayView text);

// firstField() of a line that holds no line end, as the journal's readers hand them out. An
// encoded journal line holds no comma, so the common case is one memchr over the line.
inline QByteArrayView firstFieldOfLine(QByteArrayView line) {
    if (!line.isEmpty() && (line.front() == ' ' || line.front() == '"'))
        return firstField(line);
    const void* comma = std::memchr(line.data(), ',', static_cast<std::size_t>(line.size()));
    return comma ? line.first(static_cast<const char*>(comma) - line.data()) : line;
}

} // namespace velmora::data
