#include "data/CharCodes.h"

#include "data/Numbers.h"

#include <cmath>

namespace velmora::data {

QByteArray encodeCharCodes(QByteArrayView cp1255Text) {
    QByteArray out(cp1255Text.size() * 3, ' ');
    char* dst = out.data();
    for (char c : cp1255Text) {
        unsigned code = static_cast<unsigned char>(c);
        char digits[3];
        int len = 0;
        do {
            digits[len++] = static_cast<char>('0' + code % 10);
            code /= 10;
        } while (code != 0);
        for (int k = 0; k < len; ++k)
            dst[k] = digits[len - 1 - k];
        dst += 3;
    }
    return out;
}

namespace {

// The value of a group the way encodeCharCodes() writes it ("7  ", "59 ", "224", or a shorter
// last group), or -1 for anything else, which then goes through the general leading-number
// reading. Both ways give the same value for every group.
int canonicalGroup(const char* g, qsizetype len) {
    const unsigned d0 = static_cast<unsigned char>(g[0]) - '0';
    if (d0 > 9)
        return -1;
    if (len == 1)
        return static_cast<int>(d0);
    if (g[1] == ' ')
        return (len == 2 || g[2] == ' ') ? static_cast<int>(d0) : -1;
    const unsigned d1 = static_cast<unsigned char>(g[1]) - '0';
    if (d1 > 9)
        return -1;
    if (len == 2 || g[2] == ' ')
        return static_cast<int>(d0 * 10 + d1);
    const unsigned d2 = static_cast<unsigned char>(g[2]) - '0';
    if (d2 > 9)
        return -1;
    return static_cast<int>(d0 * 100 + d1 * 10 + d2);
}

char decodeGroup(const char* g, qsizetype len) {
    const int fast = canonicalGroup(g, len);
    if (fast >= 0)
        return fast <= 255 ? static_cast<char>(fast) : '?';
    const double code = leadingNumber(QByteArrayView(g, len));
    if (code >= 0 && code <= 255 && code == std::floor(code))
        return static_cast<char>(static_cast<int>(code));
    return '?';
}

// A whole group of three as the encoder writes it, without branches on its shape: Hebrew
// letters ("224") and Latin letters ("65 ") alternate freely in a line, which defeats branch
// prediction. Returns -1 for a group of any other shape.
int canonicalFullGroup(const char* g) {
    const unsigned d0 = static_cast<unsigned char>(g[0]) - '0';
    const unsigned d1 = static_cast<unsigned char>(g[1]) - '0';
    const unsigned d2 = static_cast<unsigned char>(g[2]) - '0';
    const bool digit1 = d1 <= 9;
    const bool digit2 = digit1 && d2 <= 9;
    const bool blank2 = g[2] == ' ';
    const bool valid = d0 <= 9 && (digit1 ? (digit2 || blank2) : (g[1] == ' ' && blank2));
    unsigned value = d0;
    value = digit1 ? value * 10 + d1 : value;
    value = digit2 ? value * 10 + d2 : value;
    return valid ? static_cast<int>(value) : -1;
}

} // namespace

void decodeCharCodesInto(QByteArrayView line, QByteArray& out) {
    const qsizetype n = line.size();
    out.resize((n + 2) / 3);
    char* dst = out.data();
    const char* src = line.data();
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const int fast = canonicalFullGroup(src + i);
        *dst++ = fast >= 0 ? (fast <= 255 ? static_cast<char>(fast) : '?') : decodeGroup(src + i, 3);
    }
    if (i < n)
        *dst = decodeGroup(src + i, n - i);
}

QByteArray decodeCharCodes(QByteArrayView line) {
    QByteArray out;
    decodeCharCodesInto(line, out);
    return out;
}

} // namespace velmora::data
