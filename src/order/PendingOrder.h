#pragma once

#include "data/DataDir.h"
#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A submission writes many files, and a crash (a killed process, a power cut) or a full disk can
// stop it between any two of them. So before the journal is touched the submission stores
// everything its later writes need in pending-order.dat, and removes that file once the last
// write is done. All writes after the journal set a file to a known content (the counter to its
// new value, a list to its old bytes plus the new lines), so they can be run again at any time
// with the same result.
//
// At the next start (or before the next submission) a pending file that is still there means a
// submission was cut short, and resumePendingOrder() settles it:
//  - the journal does not hold the order, or holds only part of its record: the part is cut off
//    (the journal goes back to the bytes it had before), nothing else had been written, and the
//    user is told that the order was not saved;
//  - the journal holds the whole record: the remaining writes are done again (counter, document
//    and its archive copy, const.dat, learned entries with their count files, vl.url) and the
//    user is told that the order was saved and where its document is.
// Either way the journal, the counter and the learned lists end up in step, and the user hears of it.
namespace velmora::order {

// One list file that learns entries in the submission.
struct PendingList {
    QString listFile;       // hes.dat, pro.dat or lis.dat
    QString countFile;      // its count file
    qint64 sizeBefore = -1; // the list file's size before the submission; -1: it did not exist
    double countAfter = 0;  // the count file's value once the entries are learned
    QByteArray appendBytes; // the lines appended (CR LF each; one more first if the last line was open)

    bool operator==(const PendingList&) const = default;
};

struct PendingOrder {
    QByteArray orderNumber;       // slot 1 as stored (« 4201»), for the messages
    qint64 journalSizeBefore = 0; // vlt.dat's size before the record; 0 when it did not exist
    QByteArray journalRecord;     // the 38 encoded lines of the record
    double counterAfter = 0;      // vlc.dat's value once the order is counted
    QByteArray document;          // vl1.html
    QByteArray settings;          // const.dat
    QList<PendingList> lists;     // in the order they learn

    bool operator==(const PendingOrder&) const = default;
};

// The bytes of pending-order.dat, and back. decode gives nothing for bytes it cannot read whole.
QByteArray encodePendingOrder(const PendingOrder& order);
std::optional<PendingOrder> decodePendingOrder(QByteArrayView bytes);

// The writes after the journal, each setting its file to its final content: vlc.dat, vl1.html,
// the archive copy of record `recordNumber` (its failure is returned in archiveProblem and does
// not stop the rest), const.dat, for each list its count file and its entries, vl.url, and last
// the removal of pending-order.dat. Stops at the first write that fails.
struct CompletedOrder {
    QString archiveProblem;
};
Result<CompletedOrder> completePendingOrder(const data::DataDir& dir, const PendingOrder& order,
                                            qsizetype recordNumber);

// What resumePendingOrder() found.
struct ResumedOrder {
    enum Outcome {
        Nothing,     // no pending order: the last submission ended normally
        NotRecorded, // cut short before the journal held the whole record; nothing kept
        Completed,   // in the journal; the writes after it are done now
    };
    Outcome outcome = Nothing;
    QString message; // for the user (Hebrew); empty for Nothing
};

// Settles a submission that was cut short (see above). A failure (a write that fails again, a
// journal that no longer matches the pending order) is an error for the user that names the
// files; the pending file then stays, so the next start tries again.
Result<ResumedOrder> resumePendingOrder(const data::DataDir& dir);

// The order counter against the journal, at the start, after resumePendingOrder(): a vlc.dat
// that counts fewer orders than the journal holds whole records is what a submission cut short
// between the two writes leaves (a program without the pending file did that). The counter is
// set to the journal's count and the message for the user says so; empty when nothing was done.
// A counter ahead of the journal (a journal cut by hand) and a damaged journal are left as they
// are. An error names the file.
Result<QString> repairOrderCounter(const data::DataDir& dir);

// What the program's start does with the data directory once it is seeded: clears away the
// temporary files of rewrites cut short (data::removeInterruptedRewrites), resumePendingOrder(),
// then repairOrderCounter(). Returns the messages for the user, in order (errors included);
// empty when all was in order.
QStringList settleDataDirectory(const data::DataDir& dir);

} // namespace velmora::order
