// The journal's character codes and its readers over any bytes.
//  - Any text encodes into codes that decode to the same text.
//  - A scan accounts for every line: complete records times 38 plus the damaged tail.
//  - A decoded record, encoded again and scanned, gives the same record.
//  - The three ways of passing over line ends (plain, SSE2, AVX2) agree with each other and with
//    cutting the text line by line.

#include "FuzzCheck.h"

#include "data/CharCodes.h"
#include "data/Journal.h"
#include "data/JournalLines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmora::data;
    const QByteArrayView bytes = velmora::fuzz::input(data, size);

    FUZZ_CHECK(decodeCharCodes(encodeCharCodes(bytes)) == bytes);

    TextLines lines(bytes);
    QByteArrayView line;
    qsizetype lineCount = 0;
    while (lines.next(line))
        ++lineCount;

    QList<JournalRecord> records;
    const JournalScan scan = scanJournalText(bytes, [&](qsizetype number, const JournalRecord& record) {
        FUZZ_CHECK(number == records.size() + 1);
        records.append(record);
        return true;
    });
    FUZZ_CHECK(scan.records * JournalRecord::kSlots + scan.damagedLines == lineCount);
    FUZZ_CHECK(scan.records == records.size());
    for (const JournalRecord& record : records) {
        const QByteArray encoded = encodeJournalRecord(record);
        JournalRecord again;
        const JournalScan rescan = scanJournalText(encoded, [&](qsizetype, const JournalRecord& r) {
            again = r;
            return true;
        });
        FUZZ_CHECK(rescan.records == 1 && rescan.damagedLines == 0);
        FUZZ_CHECK(again == record);
    }

    // Passing over line ends, every version, from every start with a few wants.
    const char* begin = bytes.data();
    const char* end = begin + bytes.size();
    for (qsizetype want : {qsizetype(1), qsizetype(2), qsizetype(37), lineCount + 1}) {
        for (bool crBefore : {false, true}) {
            bool crScalar = crBefore;
            const lineends::Passed scalar = lineends::passLineEndsScalar(begin, end, want, crScalar);
#if defined(__SSE2__)
            bool crSse2 = crBefore;
            const lineends::Passed sse2 = lineends::passLineEndsSse2(begin, end, want, crSse2);
            FUZZ_CHECK(sse2.ends == scalar.ends && sse2.stop == scalar.stop && crSse2 == crScalar);
#endif
#if defined(VELMORA_LINE_ENDS_AVX2)
            if (lineends::hasAvx2()) {
                bool crAvx2 = crBefore;
                const lineends::Passed avx2 = lineends::passLineEndsAvx2(begin, end, want, crAvx2);
                FUZZ_CHECK(avx2.ends == scalar.ends && avx2.stop == scalar.stop && crAvx2 == crScalar);
            }
#endif
        }
    }
    // skip(n) then next() gives line n + 1 of the line-by-line cut.
    TextLines all(bytes);
    TextLines skipping(bytes);
    qsizetype n = 0;
    while (all.next(line)) {
        TextLines from(bytes);
        FUZZ_CHECK(from.skip(n) == n);
        QByteArrayView same;
        FUZZ_CHECK(from.next(same) && same == line);
        if (++n > 64)
            break;
    }
    return 0;
}
