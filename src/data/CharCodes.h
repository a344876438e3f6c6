#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The journal stores each text as the decimal codes of its Windows-1255 bytes, each code
// left-aligned in a group of three columns: «A;1» is «65 59 49 », «א» is «224».
namespace velmora::data {

QByteArray encodeCharCodes(QByteArrayView cp1255Text);

// Cuts the line into groups of three from its first character (a shorter last group is read the
// same way) and reads each group as a leading number. A group whose value is not a byte code
// (above 255, negative or fractional) decodes to '?'.
QByteArray decodeCharCodes(QByteArrayView line);

// decodeCharCodes() into `out`, replacing its content and reusing its storage: the journal scan
// decodes millions of lines and keeps one buffer per slot.
void decodeCharCodesInto(QByteArrayView line, QByteArray& out);

} // namespace velmora::data
