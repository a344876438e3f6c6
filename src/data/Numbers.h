#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace velmora::data {

// Text to number as the data files and server replies are read: blanks, tabs and line feeds are
// ignored wherever they stand; an optional minus sign, then decimal digits with an optional
// decimal point make the number; reading stops at the first other character (a carriage return
// included). A text without a number gives 0.  «  12 34x» → 1234, «\n137<br>» → 137.
double leadingNumber(QByteArrayView text);

// Number to text: a leading blank for zero and positive numbers, "-" for negative ones.
// 137 → « 137», -5 → «-5», 3.5 → « 3.5».
QByteArray numberText(double value);

// A number written as a line of its own: number text, one more blank, CR LF (« 137 \r\n»).
QByteArray numberLine(double value);

} // namespace velmora::data
