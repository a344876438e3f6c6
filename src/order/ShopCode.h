#pragma once

#include <QByteArray>
#include <QByteArrayView>

// A print-shop entry ends with "kod" and the shop's three-character code («Print House kod042»).
namespace velmora::order {

// The three characters after the first lower-case "kod" (fewer when the entry ends first); an
// entry without "kod" gives its third to fifth characters. Used as text in the request paths.
QByteArray shopCode(QByteArrayView entry);

// The code's leading-number reading: entries are matched by it, so «007» and «7» are the same.
double shopCodeNumber(QByteArrayView entry);

} // namespace velmora::order
