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

// "http://" + host + path; a host given as a whole address ("https://host:port/prefix") is
// followed by the path as it stands (without a slash between its end and the path doubled).
QUrl serverUrl(const QString& host, QByteArrayView path);

} // namespace velmora::startup
