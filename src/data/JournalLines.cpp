#include "data/JournalLines.h"

#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace velmora::data {

namespace lineends {
namespace {

#if defined(__SSE2__)
// The number of bits set. Without the POPCNT instruction (not in the x86-64 baseline)
// std::popcount becomes a library call per mask; this is a dozen instructions.
int bitsSet(std::uint64_t x) {
#if defined(__POPCNT__)
    return std::popcount(x);
#else
    x = x - ((x >> 1) & 0x5555555555555555u);
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fu;
    return static_cast<int>((x * 0x0101010101010101u) >> 56);
#endif
}

// The position of the n-th (from 1) set bit of the mask, which has at least n.
int nthBitSet(std::uint64_t mask, qsizetype n) {
    for (; n > 1; --n)
        mask &= mask - 1;
    return std::countr_zero(mask);
}

// One bit per byte of the 16 * Steps bytes at p: the LFs and the CRs among them.
template <int Steps> void lineEndMasks(const char* p, std::uint64_t& lfs, std::uint64_t& crs) {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    lfs = 0;
    crs = 0;
    for (int s = 0; s < Steps; ++s) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * s));
        lfs |= std::uint64_t(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)))) << (16 * s);
        crs |= std::uint64_t(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr)))) << (16 * s);
    }
}

// Passes over whole rounds of 16 * Steps bytes from p while the bytes last, or until the
// `left`-th line end. Each line end is marked on one byte: every LF is marked, and so is every
// byte after a CR. A CR LF is then marked once, on its LF; a lone CR on the byte after it, where
// the next line starts. `cr` holds the mark that the last byte of the previous round, a CR, puts
// on the first byte of this one. Returns the start of the line after the `left`-th line end, or
// nullptr when the whole rounds ran out first.
template <int Steps>
const char* passRounds(const char*& p, const char* end, qsizetype& left, std::uint64_t& cr) {
    static_assert(Steps >= 1 && Steps <= 4);
    constexpr int kBytes = 16 * Steps;
    constexpr std::uint64_t kRoundBits = ~std::uint64_t(0) >> (64 - kBytes);
    while (end - p >= kBytes) {
        std::uint64_t lfs;
        std::uint64_t crs;
        lineEndMasks<Steps>(p, lfs, crs);
        const std::uint64_t marks = (lfs | (crs << 1) | cr) & kRoundBits;
        const int count = bitsSet(marks);
        if (count >= left) {
            const int at = nthBitSet(marks, left);
            left = 0;
            cr = 0;
            return p + at + (p[at] == '\n' ? 1 : 0);
        }
        left -= count;
        cr = crs >> (kBytes - 1);
        p += kBytes;
    }
    return nullptr;
}
#endif

} // namespace

Passed passLineEndsScalar(const char* p, const char* end, qsizetype want, bool& crBefore) {
    qsizetype ends = 0;
    for (; p != end; ++p) {
        const char c = *p;
        // A line end is counted at its LF, or at the byte after a lone CR.
        if ((crBefore || c == '\n') && ++ends == want) {
            crBefore = false;
            return {ends, c == '\n' ? p + 1 : p};
        }
        crBefore = c == '\r';
    }
    return {ends, end};
}

#if defined(__SSE2__)
Passed passLineEndsSse2(const char* p, const char* end, qsizetype want, bool& crBefore) {
    qsizetype left = want;
    std::uint64_t cr = crBefore ? 1 : 0;
    // Four compares of sixteen bytes per round while whole rounds last, then single compares.
    const char* stop = passRounds<4>(p, end, left, cr);
    if (!stop)
        stop = passRounds<1>(p, end, left, cr);
    if (stop) {
        crBefore = false;
        return {want, stop};
    }
    crBefore = cr != 0;
    const Passed rest = passLineEndsScalar(p, end, left, crBefore);
    return {want - left + rest.ends, rest.stop};
}
#endif

#if defined(VELMORA_LINE_ENDS_AVX2)
bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return has;
}

// The rounds of passRounds() with 64 bytes in two AVX2 compares per kind of line end and the
// POPCNT instruction, compiled for such processors only; passLineEnds() takes it where the
// processor has them.
__attribute__((target("avx2,popcnt"))) Passed passLineEndsAvx2(const char* p, const char* end, qsizetype want,
                                                               bool& crBefore) {
    qsizetype left = want;
    std::uint64_t cr = crBefore ? 1 : 0;
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i crByte = _mm256_set1_epi8('\r');
    while (end - p >= 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const std::uint64_t lfs =
            std::uint64_t(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, lf)))) |
            std::uint64_t(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, lf))))
                << 32;
        const std::uint64_t crs =
            std::uint64_t(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, crByte)))) |
            std::uint64_t(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, crByte))))
                << 32;
        const std::uint64_t marks = lfs | (crs << 1) | cr;
        const int count = __builtin_popcountll(marks);
        if (count >= left) {
            const int at = nthBitSet(marks, left);
            crBefore = false;
            return {want, p + at + (p[at] == '\n' ? 1 : 0)};
        }
        left -= count;
        cr = crs >> 63;
        p += 64;
    }
    crBefore = cr != 0;
    const Passed rest = passLineEndsSse2(p, end, left, crBefore);
    return {want - left + rest.ends, rest.stop};
}
#endif

Passed passLineEnds(const char* begin, const char* end, qsizetype want, bool& crBefore) {
#if defined(VELMORA_LINE_ENDS_AVX2)
    if (hasAvx2())
        return passLineEndsAvx2(begin, end, want, crBefore);
#endif
#if defined(__SSE2__)
    return passLineEndsSse2(begin, end, want, crBefore);
#else
    return passLineEndsScalar(begin, end, want, crBefore);
#endif
}

} // namespace lineends

JournalLines::JournalLines(qsizetype blockSize)
    : m_block(std::max<qsizetype>(blockSize, 1)) {}

Status JournalLines::open(const QString& path) {
    m_file.close();
    m_name = QFileInfo(path).fileName();
    m_pos = 0;
    m_end = 0;
    m_eof = false;
    m_readAny = false;
    m_lastByte = 0;
    m_status = Status();
    m_file.setFileName(path);
    if (!m_file.exists()) {
        m_eof = true;
        m_status = Status::failure(QStringLiteral(u"הקובץ %1 לא נמצא.").arg(m_name));
    } else if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail();
    }
    return m_status;
}

void JournalLines::fail() {
    m_eof = true;
    m_status =
        Status::failure(QStringLiteral(u"לא ניתן לקרוא את הקובץ %1: %2").arg(m_name, m_file.errorString()));
}

// Moves the bytes from m_pos on (the start of a line without its end yet) to the front of the
// buffer and reads the next block behind them. False at the end of the file or on an error.
bool JournalLines::fill() {
    if (m_eof)
        return false;
    const qsizetype kept = m_end - m_pos;
    if (kept + m_block > m_capacity) {
        // Room for the start of the line and a block: a few bytes past one block for the lines of a
        // journal, doubling while a line is longer than a block.
        const qsizetype capacity = std::max(kept + m_block, 2 * kept);
        auto grown = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(capacity));
        if (kept > 0)
            std::memcpy(grown.get(), m_buf.get() + m_pos, static_cast<std::size_t>(kept));
        m_buf = std::move(grown);
        m_capacity = capacity;
    } else if (kept > 0 && m_pos > 0) {
        std::memmove(m_buf.get(), m_buf.get() + m_pos, static_cast<std::size_t>(kept));
    }
    m_pos = 0;
    m_end = kept;
    const qint64 n = m_file.read(m_buf.get() + kept, m_block);
    if (n < 0) {
        fail();
        return false;
    }
    if (n == 0) {
        m_eof = true;
        return false;
    }
    m_end += n;
    m_readAny = true;
    m_lastByte = m_buf[static_cast<std::size_t>(m_end - 1)];
    return true;
}

bool JournalLines::nextAcrossBlocks(QByteArrayView& line, qsizetype searched) {
    while (m_status.ok()) {
        const char* begin = m_buf.get() + m_pos;
        const char* end = m_buf.get() + m_end;
        const char* stop = lineends::findLineEnd(begin + searched, end);
        // A CR as the last byte read may be the first half of a CR LF that the next block ends.
        if (stop != end && (stop + 1 != end || *stop == '\n' || m_eof)) {
            line = QByteArrayView(begin, stop - begin);
            const char* after = stop + 1;
            if (*stop == '\r' && after != end && *after == '\n')
                ++after;
            m_pos = after - m_buf.get();
            return true;
        }
        if (m_eof) {
            // The last line, without a line end.
            if (begin == end)
                return false;
            line = QByteArrayView(begin, end - begin);
            m_pos = m_end;
            return true;
        }
        searched = stop - begin;
        fill();
    }
    return false;
}

qsizetype JournalLines::skip(qsizetype n) {
    qsizetype passed = 0;
    bool crBefore = false; // the byte before m_pos is a CR whose line end is not counted yet
    bool passedBytes = false;
    while (passed < n) {
        if (m_pos == m_end && !fill())
            break;
        passedBytes = true;
        const char* base = m_buf.get();
        const lineends::Passed p = lineends::passLineEnds(base + m_pos, base + m_end, n - passed, crBefore);
        passed += p.ends;
        m_pos = p.stop - base;
    }
    // At the end of the file, after bytes passed over: a last CR still ends a line, and a last
    // line without a line end is a line.
    if (passed < n && m_status.ok() && passedBytes && m_lastByte != '\n')
        ++passed;
    return passed;
}

qsizetype JournalLines::skipToEnd() {
    return skip(std::numeric_limits<qsizetype>::max());
}

bool JournalLines::endsOpen() const {
    return m_readAny && m_lastByte != '\r' && m_lastByte != '\n';
}

} // namespace velmora::data
