#pragma once

#include "data/Numbers.h"

#include <QByteArray>

#include <algorithm>
#include <string>

namespace velmora::test {

// The order number as the program reads it from the order-number page: one character after the
// first "</center>" is skipped, the rest is read with leading-number reading.
inline double programNumber(const std::string& body) {
    const auto tag = body.find("</center>");
    const std::string rest = tag == std::string::npos ? body : body.substr(std::min(body.size(), tag + 10));
    return data::leadingNumber(QByteArrayView(rest.data(), static_cast<qsizetype>(rest.size())));
}

// The address as the program takes it from an address reply (before "#/#/#", else up to ".com").
inline std::string programAddress(const std::string& reply) {
    std::string address;
    if (const auto com = reply.find(".com"); com != std::string::npos)
        address = reply.substr(0, com + 4);
    if (const auto mark = reply.find("#/#/#"); mark != std::string::npos)
        address = reply.substr(0, mark);
    return address;
}

inline QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace velmora::test
