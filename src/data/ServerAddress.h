#pragma once

#include "data/Result.h"

#include <QString>

// A server of the web service as the user writes it in the settings file, and the base address
// that every request to that server starts with.
namespace velmora::data {

// The base address for what the user wrote: scheme, host, port and path prefix, without a
// trailing slash; the request paths (/in1.html, /cgi-bin/...) are appended to it as they are.
//
//   orders.example.com                    http://orders.example.com
//   orders.example.com:8080               http://orders.example.com:8080
//   [::1]:8081                            http://[::1]:8081
//   http://orders.example.com:8080/       http://orders.example.com:8080
//   https://orders.example.com/velmora    https://orders.example.com/velmora
//
// Blanks around the text are ignored; the scheme and the host name are taken in lower case. An
// error says in Hebrew what is wrong with the text: another scheme than http or https, no host,
// a port outside 1-65535, an IPv6 address without its brackets, a user name, a query or a
// fragment, or a text that is no address at all.
Result<QString> serverBaseUrl(const QString& written);

} // namespace velmora::data
