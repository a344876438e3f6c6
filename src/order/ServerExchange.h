#pragma once

#include "startup/ServerSelector.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// The two requests of a submission: the next order number, and the print shop's order template.
// Both are plain GETs whose paths carry only the shop code.
namespace velmora::order {

// The order-number answer of a print shop that takes no orders through the program.
inline constexpr double kNotServed = -25000;

// "/cgi-bin/scr" + code + "n.pl", the same on both servers.
QByteArray orderNumberPath(startup::Server server, QByteArrayView code);

// "/cgi-bin/sb" + code + ".htm" on the primary server, "/sb" + code + ".htm" on the fallback.
QByteArray templatePath(startup::Server server, QByteArrayView code);

// The same for the start window's selector text; no path when it names no server.
std::optional<QByteArray> orderNumberPath(QStringView selectorText, QByteArrayView code);
std::optional<QByteArray> templatePath(QStringView selectorText, QByteArrayView code);

// The number stands on the line after the first "</center>": the one character after the tag is
// skipped and the rest is read as a leading number (which also passes over the LF of a CR LF).
// Without the tag the whole reply is read. An error page or an empty reply gives 0.
double parseOrderNumber(QByteArrayView reply);

// Shown when the order number is kNotServed.
QString notServedMessage();

} // namespace velmora::order
