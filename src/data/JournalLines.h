#pragma once

#include "data/Result.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <bit>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Reads a file line by line the way the journal is read, in blocks of a fixed size: memory stays
// at about one block however large the file (a journal of a million orders is a gigabyte).
//
// Lines end where the field reader ends its fields: at CR LF, a lone CR or a lone LF. A CR that
// closes one block and an LF that opens the next are one line end. A last line without a line
// end is a line too; an empty file has no lines.
//
//     JournalLines lines;
//     if (Status opened = lines.open(path); !opened) ...
//     lines.skip(37);                    // pass over the first 37 lines
//     QByteArrayView line;
//     while (lines.next(line)) ...       // line 38 on, without line ends
//     if (!lines.status()) ...           // a reading error ended the loop, not the end of the file
namespace velmora::data {

class JournalLines {
public:
    static constexpr qsizetype kDefaultBlockSize = qsizetype(1) << 20;

    // blockSize: the bytes asked of the file at a time (at least 1). Tests use a few bytes to put
    // line ends on block boundaries. The buffer holds a block and the start of the line that the
    // block boundary cut, so it grows past a block by the length of the longest line.
    explicit JournalLines(qsizetype blockSize = kDefaultBlockSize);

    JournalLines(const JournalLines&) = delete;
    JournalLines& operator=(const JournalLines&) = delete;

    // Opens the file and places the reader before its first line. The error names the file; a
    // missing file is an error too ("... לא נמצא."): a caller for which a missing file means no
    // lines asks fileExists() first.
    Status open(const QString& path);

    // The next line, without its line end. The view points into the reader's buffer and stays
    // valid until the next call of next(), skip(), skipToEnd() or open(). False at the end of
    // the file or after a reading error (see status()).
    bool next(QByteArrayView& line);

    // Passes over n lines without returning them; returns how many it passed, fewer than n at the
    // end of the file or after a reading error. Line ends are counted sixteen bytes at a time.
    qsizetype skip(qsizetype n);

    // Passes over every line left; returns how many (the line count, on a freshly opened file).
    qsizetype skipToEnd();

    // Once the end of the file has been reached: true when the file's last byte is no line end,
    // i.e. its last line is still open and an appended line would join it.
    bool endsOpen() const;

    // A failure once reading the file failed; next() and skip() then stop as at the end.
    const Status& status() const { return m_status; }

    qsizetype blockSize() const { return m_block; }

private:
    bool nextAcrossBlocks(QByteArrayView& line, qsizetype searched);
    bool fill();
    void fail();

    QFile m_file;
    QString m_name;
    qsizetype m_block;
    std::unique_ptr<char[]> m_buf;
    qsizetype m_capacity = 0;
    qsizetype m_pos = 0; // start of the next line in m_buf
    qsizetype m_end = 0; // end of the bytes read into m_buf
    bool m_eof = false;
    bool m_readAny = false;
    char m_lastByte = 0;
    Status m_status;
};

// Cuts bytes already in memory into lines as JournalLines cuts a file: the same next() and
// skip(), the views pointing into the text.
class TextLines {
public:
    explicit TextLines(QByteArrayView text)
        : m_pos(text.data())
        , m_end(text.data() + text.size()) {}

    inline bool next(QByteArrayView& line);
    qsizetype skip(qsizetype n) {
        QByteArrayView line;
        qsizetype passed = 0;
        while (passed < n && next(line))
            ++passed;
        return passed;
    }

private:
    const char* m_pos;
    const char* m_end;
};

// The building blocks of JournalLines, for readers of journal bytes already in memory.
namespace lineends {

// The first CR or LF at or after p, or end.
inline const char* findLineEnd(const char* p, const char* end);

// What passLineEnds() passed.
struct Passed {
    qsizetype ends = 0;         // line ends passed, at most the number wanted
    const char* stop = nullptr; // after the last of them when all wanted were passed, else end
};

// Passes over up to `want` (> 0) line ends in [begin, end). `crBefore` carries the state between
// consecutive spans of one text: on entry, whether the byte before begin is a CR whose line end
// has not been counted yet (its LF may follow at begin); on return, the same for the byte before
// stop. A CR as the last byte of a span is counted only with the next span, or by the caller at
// the end of the text.
//
// passLineEnds() is the fastest version this processor has; the others are there so tests can
// run every version on the same cases.
Passed passLineEnds(const char* begin, const char* end, qsizetype want, bool& crBefore);
Passed passLineEndsScalar(const char* begin, const char* end, qsizetype want, bool& crBefore);
#if defined(__SSE2__)
Passed passLineEndsSse2(const char* begin, const char* end, qsizetype want, bool& crBefore);
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#define VELMORA_LINE_ENDS_AVX2 1
// Thirty-two bytes per compare; only on a processor with AVX2 and POPCNT (hasAvx2()).
Passed passLineEndsAvx2(const char* begin, const char* end, qsizetype want, bool& crBefore);
bool hasAvx2();
#endif

} // namespace lineends

// Inline: next() and the search it calls run once per line, millions of times per scan.

inline const char* lineends::findLineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf))));
        if (hits != 0)
            return p + std::countr_zero(hits);
        p += 16;
    }
#endif
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

inline bool TextLines::next(QByteArrayView& line) {
    if (m_pos >= m_end)
        return false;
    const char* stop = lineends::findLineEnd(m_pos, m_end);
    line = QByteArrayView(m_pos, stop - m_pos);
    if (stop == m_end)
        m_pos = m_end;
    else if (*stop == '\r' && stop + 1 < m_end && stop[1] == '\n')
        m_pos = stop + 2;
    else
        m_pos = stop + 1;
    return true;
}

inline bool JournalLines::next(QByteArrayView& line) {
    const char* base = m_buf.get();
    const char* begin = base + m_pos;
    const char* stop = lineends::findLineEnd(begin, base + m_end);
    // Most lines end inside the bytes read, with a byte after the line end's first byte that
    // tells a CR LF from a lone CR.
    if (stop - base < m_end - 1) {
        line = QByteArrayView(begin, stop);
        m_pos = stop - base + (stop[0] == '\r' && stop[1] == '\n' ? 2 : 1);
        return true;
    }
    return nextAcrossBlocks(line, stop - begin);
}

} // namespace velmora::data
