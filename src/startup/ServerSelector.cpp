#include "startup/ServerSelector.h"

#include "data/Cp1255.h"
#include "data/Numbers.h"

namespace velmora::startup {
namespace {

double selectorValue(QStringView selectorText) {
    return data::leadingNumber(data::toCp1255(selectorText));
}

} // namespace

std::optional<Server> selectedServer(double selector) {
    if (selector == 1)
        return Server::Primary;
    if (selector == 2)
        return Server::Fallback;
    return std::nullopt;
}

std::optional<Server> selectedServer(QStringView selectorText) {
    return selectedServer(selectorValue(selectorText));
}

bool selectorAbandonsStart(QStringView selectorText) {
    return selectorValue(selectorText) == 3;
}

QUrl serverUrl(const QString& host, QByteArrayView path) {
    // The path carries the shop code as Windows-1255 bytes; anything but plain URL characters is
    // sent percent-encoded byte by byte.
    const QByteArray encodedPath = path.toByteArray().toPercentEncoding("/");
    // A server given as a whole address ("https://orders.example/velmora/") keeps its scheme and
    // its path prefix; a bare host[:port] is reached over plain HTTP.
    QByteArray base = host.trimmed().toUtf8();
    if (!base.contains("://"))
        base.prepend("http://");
    while (base.endsWith('/'))
        base.chop(1);
    return QUrl::fromEncoded(base + encodedPath);
}

} // namespace velmora::startup
