#pragma once

// What every fuzz target shares: a check that stops the run with a message naming what did not
// hold (libFuzzer then saves the input that made it fail), and splitting one input into parts.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: does not hold: %s\n", __FILE__, __LINE__, #condition);              \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

namespace velmora::fuzz {

inline QByteArrayView input(const uint8_t* data, size_t size) {
    return QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// The input cut at each byte 0xFF into at most `parts` parts (the last takes the rest).
inline QList<QByteArray> parts(QByteArrayView bytes, int parts) {
    QList<QByteArray> out;
    qsizetype start = 0;
    while (out.size() + 1 < parts) {
        const qsizetype cut = bytes.indexOf('\xFF', start);
        if (cut < 0)
            break;
        out.append(bytes.sliced(start, cut - start).toByteArray());
        start = cut + 1;
    }
    out.append(bytes.sliced(start).toByteArray());
    while (out.size() < parts)
        out.append(QByteArray());
    return out;
}

} // namespace velmora::fuzz
