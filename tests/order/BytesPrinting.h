#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <ostream>

// Readable failure output for byte and text values (gtest would print them as lists of chars).
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"';
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\r')
            *os << "\\r";
        else if (c == '\n')
            *os << "\\n";
        else if (b < 0x20 || b >= 0x7F)
            *os << "\\x"
                << "0123456789abcdef"[b >> 4] << "0123456789abcdef"[b & 0x0F];
        else
            *os << c;
    }
    *os << '"';
}

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QList<QByteArray>& list, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0)
            *os << ", ";
        PrintTo(list[i], os);
    }
    *os << '}';
}
