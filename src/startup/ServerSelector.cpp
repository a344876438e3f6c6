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

QUrl serverUrl(const QString& server, QByteArrayView path) {
    if (server.isEmpty())
        return {};
    // The path carries the shop code as Windows-1255 bytes; anything but plain URL characters is
    // sent percent-encoded byte by byte.
    const QByteArray encodedPath = path.toByteArray().toPercentEncoding("/");
    QByteArray base = server.toUtf8();
    if (!base.contains("://"))
        base.prepend("http://");
    while (base.endsWith('/'))
        base.chop(1);
    return QUrl::fromEncoded(base + encodedPath);
}

QString startPageUrl(const QString& address, const QString& primaryBase, const QString& fallbackBase) {
    const QString trimmed = address.trimmed();
    if (trimmed.contains(u"://"))
        return trimmed;
    // Without a port, the address would be at HTTPS's own port once asked over HTTPS.
    const QUrl asked(QStringLiteral("https://") + trimmed, QUrl::TolerantMode);
    for (const QString& base : {primaryBase, fallbackBase}) {
        const QUrl server(base);
        if (server.scheme() == u"https" && asked.host().compare(server.host(), Qt::CaseInsensitive) == 0 &&
            asked.port(443) == server.port(443))
            return QStringLiteral("https://") + trimmed;
    }
    return QStringLiteral("http://") + trimmed;
}

} // namespace velmora::startup
