#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The data files hold Hebrew text in Windows-1255, one byte per character. Text stays in these
// bytes everywhere below the windows; these two functions are the only crossing points.
namespace velmora::data {

// Each character becomes its Windows-1255 byte; a character that has no code there becomes '?'.
QByteArray toCp1255(QStringView text);

// Each byte becomes its character. The few bytes that Windows-1255 leaves undefined decode to
// U+FFFD (and so would come back as '?').
QString fromCp1255(QByteArrayView bytes);

// Appends the UTF-8 form of the Windows-1255 bytes to `out`: fromCp1255(bytes).toUtf8() without
// the detour through QString, for tools that turn a whole journal into UTF-8.
void appendCp1255AsUtf8(QByteArray& out, QByteArrayView bytes);

// The same conversion written to dst, which must have room for three bytes per input byte;
// returns the end of what was written.
char* writeCp1255AsUtf8(char* dst, QByteArrayView bytes);

} // namespace velmora::data
