#include "data/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace velmora::data {
namespace {
bool isIgnored(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
} // namespace

double leadingNumber(QByteArrayView text) {
    // The digits are gathered first and converted in one go, exactly: summing them digit by digit
    // loses the last bits of a long fraction, and a number written by numberText() must read back
    // as the same number.
    char digits[400];
    qsizetype used = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skip = [&] {
        while (i < n && isIgnored(text[i]))
            ++i;
    };
    skip();
    if (i < n && text[i] == '-') {
        digits[used++] = '-';
        ++i;
    }
    bool seenPoint = false;
    bool seenDigit = false;
    bool integerPart = false; // a digit other than 0 before the decimal point
    qsizetype dropped = 0;    // integer digits beyond the buffer, each a factor of ten
    for (;;) {
        skip();
        if (i >= n)
            break;
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            seenDigit = true;
            integerPart = integerPart || (!seenPoint && c != '0');
            if (used < qsizetype(sizeof digits) - 1)
                digits[used++] = c;
            else if (!seenPoint)
                ++dropped;
            ++i;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
            if (used < qsizetype(sizeof digits) - 1)
                digits[used++] = c;
            ++i;
        } else {
            break;
        }
    }
    if (!seenDigit)
        return 0;
    // from_chars: the same in every locale (strtod would take the locale's decimal separator).
    double value = 0;
    if (std::from_chars(digits, digits + used, value).ec == std::errc::result_out_of_range) {
        // Beyond what a double holds: too large is infinite, too small is zero.
        value = integerPart ? HUGE_VAL : 0.0;
        if (digits[0] == '-')
            value = -value;
    }
    return dropped > 0 && value != 0 ? value * std::pow(10.0, static_cast<double>(dropped)) : value;
}

QByteArray numberText(double value) {
    if (std::isnan(value) || std::isinf(value))
        return QByteArrayLiteral(" 0");
    QByteArray digits;
    const double magnitude = std::fabs(value);
    if (magnitude == std::floor(magnitude)) {
        // Every digit, however large: an exponent ("1e+20") would read back as 1.
        digits = QByteArray::number(magnitude, 'f', 0);
    } else {
        // Up to 15 significant digits, the precision of the stored values, as plain decimals
        // (never an exponent, which the number reading does not take), without trailing zeros.
        const int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
        digits = QByteArray::number(magnitude, 'f', std::max(0, 14 - exponent));
        while (digits.endsWith('0'))
            digits.chop(1);
        if (digits.endsWith('.'))
            digits.chop(1);
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
