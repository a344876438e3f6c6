#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <optional>

// The start window holds the server selector as the text of its box: "1" for the primary server,
// "2" for the fallback server. Every request of the run reads it and compares it as a number.
namespace velmora::startup {

enum class Server { Primary, Fallback };

// 1 selects the primary server and 2 the fallback server; any other value selects none, and no
// request is made for it.
std::optional<Server> selectedServer(double selector);
std::optional<Server> selectedServer(QStringView selectorText);

// The value 3, typed by the user while the directory download waits, abandons that wait.
bool selectorAbandonsStart(QStringView selectorText);

// The server's base address (as data::serverBaseUrl gives it: scheme, host, port and path
// prefix) + path. A bare "host:port" is taken as "http://host:port". An empty server (none
// configured) gives an empty URL.
QUrl serverUrl(const QString& server, QByteArrayView path);

// The web address of the start page, whose address file holds it without a scheme
// ("127.0.0.1:8081/start.html"): https:// when it lies on a configured server reached over
// HTTPS (same host and port), http:// otherwise. An address that has a scheme is kept.
QString startPageUrl(const QString& address, const QString& primaryBase, const QString& fallbackBase);

} // namespace velmora::startup
