#include "data/Cp1255.h"

#include <QList>

#include <array>
#include <unordered_map>

namespace velmora::data {
namespace {

// Characters of the bytes 0x80..0xFF; 0xFFFD marks a byte the code page leaves undefined.
constexpr std::array<char16_t, 128> kHigh = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0xFFFD, 0x2039, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, //
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0xFFFD, 0x203A, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, //
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x20AA, 0x00A5, 0x00A6, 0x00A7, //
    0x00A8, 0x00A9, 0x00D7, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, //
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, //
    0x00B8, 0x00B9, 0x00F7, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, //
    0x05B0, 0x05B1, 0x05B2, 0x05B3, 0x05B4, 0x05B5, 0x05B6, 0x05B7, //
    0x05B8, 0x05B9, 0xFFFD, 0x05BB, 0x05BC, 0x05BD, 0x05BE, 0x05BF, //
    0x05C0, 0x05C1, 0x05C2, 0x05C3, 0x05F0, 0x05F1, 0x05F2, 0x05F3, //
    0x05F4, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, //
    0x05D0, 0x05D1, 0x05D2, 0x05D3, 0x05D4, 0x05D5, 0x05D6, 0x05D7, //
    0x05D8, 0x05D9, 0x05DA, 0x05DB, 0x05DC, 0x05DD, 0x05DE, 0x05DF, //
    0x05E0, 0x05E1, 0x05E2, 0x05E3, 0x05E4, 0x05E5, 0x05E6, 0x05E7, //
    0x05E8, 0x05E9, 0x05EA, 0xFFFD, 0xFFFD, 0x200E, 0x200F, 0xFFFD, //
};

const std::unordered_map<char16_t, char>& reverseTable() {
    static const std::unordered_map<char16_t, char> table = [] {
        std::unordered_map<char16_t, char> t;
        for (std::size_t i = 0; i < kHigh.size(); ++i) {
            if (kHigh[i] != 0xFFFD)
                t.emplace(kHigh[i], static_cast<char>(0x80 + i));
        }
        return t;
    }();
    return table;
}

// The UTF-8 bytes of the character of each high byte: up to three bytes and their count.
struct Utf8Char {
    char bytes[3];
    unsigned char size;
};

const std::array<Utf8Char, 128>& highUtf8() {
    static const std::array<Utf8Char, 128> table = [] {
        std::array<Utf8Char, 128> t{};
        for (std::size_t i = 0; i < kHigh.size(); ++i) {
            const unsigned cp = kHigh[i];
            Utf8Char& u = t[i];
            if (cp < 0x800) {
                u.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
                u.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
                u.size = 2;
            } else {
                u.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
                u.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                u.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
                u.size = 3;
            }
        }
        return t;
    }();
    return table;
}

} // namespace

char* writeCp1255AsUtf8(char* dst, QByteArrayView bytes) {
    const auto& high = highUtf8();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            *dst++ = c;
        } else {
            const Utf8Char& u = high[b - 0x80];
            dst[0] = u.bytes[0];
            dst[1] = u.bytes[1];
            dst[2] = u.bytes[2];
            dst += u.size;
        }
    }
    return dst;
}

void appendCp1255AsUtf8(QByteArray& out, QByteArrayView bytes) {
    // Grow once for the worst case and write through a pointer: appending byte by byte costs
    // more than the conversion itself.
    const qsizetype start = out.size();
    out.resize(start + bytes.size() * 3);
    char* end = writeCp1255AsUtf8(out.data() + start, bytes);
    out.resize(end - out.constData());
}

QByteArray toCp1255(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    const auto& reverse = reverseTable();
    // Iterate by code point so that a character outside the BMP becomes one '?', not two.
    const QList<uint> codePoints = text.toUcs4();
    for (char32_t cp : codePoints) {
        if (cp < 0x80) {
            out.append(static_cast<char>(cp));
            continue;
        }
        if (cp <= 0xFFFF) {
            const auto it = reverse.find(static_cast<char16_t>(cp));
            if (it != reverse.end()) {
                out.append(it->second);
                continue;
            }
        }
        out.append('?');
    }
    return out;
}

QString fromCp1255(QByteArrayView bytes) {
    // Written straight into the string's storage: a table of a hundred thousand orders converts
    // half a million cells.
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *dst++ = b < 0x80 ? char16_t(b) : kHigh[b - 0x80];
    }
    return out;
}

} // namespace velmora::data
