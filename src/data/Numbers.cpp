#include "data/Numbers.h"

#include <cmath>
#include <cstdio>

namespace velmora::data {
namespace {
bool isIgnored(char c) { return c == ' ' || c == '\t' || c == '\n'; }
} // namespace

double leadingNumber(QByteArrayView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skip = [&] {
        while (i < n && isIgnored(text[i]))
            ++i;
    };
    skip();
    bool negative = false;
    if (i < n && text[i] == '-') {
        negative = true;
        ++i;
    }
    double value = 0;
    double scale = 0; // 0 while before the decimal point, then 0.1, 0.01, ...
    bool seenPoint = false;
    for (;;) {
        skip();
        if (i >= n)
            break;
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (!seenPoint) {
                value = value * 10 + (c - '0');
            } else {
                value += (c - '0') * scale;
                scale /= 10;
            }
            ++i;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
            scale = 0.1;
            ++i;
        } else {
            break;
        }
    }
    return negative ? -value : value;
}

QByteArray numberText(double value) {
    if (std::isnan(value) || std::isinf(value))
        return QByteArrayLiteral(" 0");
    QByteArray digits;
    const double magnitude = std::fabs(value);
    if (magnitude == std::floor(magnitude) && magnitude < 1e15) {
        digits = QByteArray::number(static_cast<long long>(magnitude));
    } else {
        // Up to 15 significant digits, the precision of the stored values, without trailing zeros.
        digits = QByteArray::number(magnitude, 'g', 15);
    }
    digits.prepend(value < 0 ? '-' : ' ');
    return digits;
}

QByteArray numberLine(double value) {
    QByteArray line = numberText(value);
    line.append(" \r\n");
    return line;
}

} // namespace velmora::data
