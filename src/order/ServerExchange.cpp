#include "order/ServerExchange.h"

#include "data/Numbers.h"

namespace velmora::order {

QByteArray orderNumberPath(startup::Server /*server*/, QByteArrayView code) {
    QByteArray path("/cgi-bin/scr");
    path.append(code);
    path.append("n.pl");
    return path;
}

QByteArray templatePath(startup::Server server, QByteArrayView code) {
    QByteArray path(server == startup::Server::Primary ? "/cgi-bin/sb" : "/sb");
    path.append(code);
    path.append(".htm");
    return path;
}

std::optional<QByteArray> orderNumberPath(QStringView selectorText, QByteArrayView code) {
    const std::optional<startup::Server> server = startup::selectedServer(selectorText);
    if (!server)
        return std::nullopt;
    return orderNumberPath(*server, code);
}

std::optional<QByteArray> templatePath(QStringView selectorText, QByteArrayView code) {
    const std::optional<startup::Server> server = startup::selectedServer(selectorText);
    if (!server)
        return std::nullopt;
    return templatePath(*server, code);
}

double parseOrderNumber(QByteArrayView reply) {
    static constexpr QByteArrayView tag("</center>");
    const qsizetype at = reply.indexOf(tag);
    const qsizetype start = at >= 0 ? at + tag.size() + 1 : 0;
    if (start >= reply.size())
        return 0;
    return data::leadingNumber(reply.sliced(start));
}

QString notServedMessage() {
    return QStringLiteral(u"לא עבדים עם מכון הזה!");
}

} // namespace velmora::order
