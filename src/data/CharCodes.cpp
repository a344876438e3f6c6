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

QByteArray decodeCharCodes(QByteArrayView line) {
    QByteArray out;
    out.reserve(line.size() / 3 + 1);
    for (qsizetype i = 0; i < line.size(); i += 3) {
        const double code = leadingNumber(line.sliced(i, std::min<qsizetype>(3, line.size() - i)));
        if (code >= 0 && code <= 255 && code == std::floor(code))
            out.append(static_cast<char>(static_cast<int>(code)));
        else
            out.append('?');
    }
    return out;
}

} // namespace velmora::data
