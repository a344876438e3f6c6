#pragma once

#include "data/DataDir.h"
#include "data/JournalRecord.h"
#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// The order journal vlt.dat: every submitted order, oldest first, 38 lines per order. Line k of a
// record holds slot k in the character-code encoding (see CharCodes.h) and ends with CR LF.
// Records are only ever appended.
//
// Lines are counted the way the field reader ends fields: CR LF, a lone CR or a lone LF ends a
// line, and a last line without a line end still counts. Each line is decoded as its first field
// (field reader) turned back into bytes by decodeCharCodes().
//
// The readers go through the file once, in blocks (JournalLines), so memory stays the same however
// large the journal; read() and shape() pass over lines without cutting them out.
//
// A journal whose line count is not a multiple of 38 has a damaged last record (a write cut
// short, a file edited by hand). The readers return the complete records before it and report
// the lines of the damaged tail; they never read past the end.
namespace velmora::data {

// What a scan found.
struct JournalScan {
    bool exists = true;         // false: no journal yet (no order submitted), read as empty
    qsizetype records = 0;      // complete records visited
    qsizetype damagedLines = 0; // lines after the last complete record (0 to 37)
    bool stopped = false;       // the visitor asked to stop; records and damagedLines count up
                                // to that point only

    bool damaged() const { return damagedLines > 0; }
};

// What an append did.
struct JournalAppend {
    qsizetype recordNumber = 0;  // the new record's position, from 1
    qsizetype repairedLines = 0; // empty lines added first to complete a damaged last record
};

// Called once per complete record, with its number (from 1) and its decoded slots; returning
// false ends the scan. Slots beyond the scan's decodedSlots are left empty. The record is reused
// for the next call: copy what must outlive the call.
using JournalVisitor = std::function<bool(qsizetype recordNumber, const JournalRecord& record)>;

class Journal {
public:
    explicit Journal(QString path);
    explicit Journal(const DataDir& dir);

    const QString& path() const { return m_path; }

    // Appends the record in one durable write. If the last record is damaged, that write first
    // completes it with empty lines (and ends an open last line), so that the new record and
    // every later one start on a 38-line boundary; without that every later record would be read
    // shifted. Creates the journal if it is missing.
    Result<JournalAppend> append(const JournalRecord& record) const;

    // Record `recordNumber` (from 1). A number outside the complete records, a missing journal
    // and a damaged record are errors naming the file.
    Result<JournalRecord> read(qsizetype recordNumber) const;

    // Visits every complete record in order, reading the file once. Only slots 1 to decodedSlots
    // are decoded (a search needs the first five). A missing journal scans as empty.
    Result<JournalScan> scan(const JournalVisitor& visit, int decodedSlots = JournalRecord::kSlots) const;

    // Number of complete records and lines of a damaged tail, without decoding anything.
    Result<JournalScan> shape() const;

private:
    QString m_path;
};

// The 38 encoded lines of the record, each followed by CR LF.
QByteArray encodeJournalRecord(const JournalRecord& record);

// The scan of Journal::scan() over journal bytes already in memory.
JournalScan scanJournalText(QByteArrayView text, const JournalVisitor& visit,
                            int decodedSlots = JournalRecord::kSlots);

} // namespace velmora::data
