#pragma once

#include "data/DataDir.h"
#include "data/Result.h"
#include "data/SettingsFile.h"
#include "order/OrderRecord.h"
#include "order/Submission.h"

#include <QByteArray>
#include <QList>

// The file steps of a submission, after the order number and the template have come from the
// server.
namespace velmora::order {

struct SubmittedOrder {
    OrderRecord record;             // cleaned, slot 1 holding the order number
    QByteArray templateBytes;       // the print shop's template as downloaded into sbl.htm
    data::OrdererSettings settings; // text1, Text2, Text28 as typed (settingsValues())
    QList<LearnedEntry> learned;    // learnedEntries()
};

// What writing an order did.
struct WrittenOrder {
    qsizetype recordNumber = 0; // the order's record in the journal, from 1
    // Why the document could not be kept in the archive (OrderArchive.h); empty when it was. The
    // order is submitted all the same.
    QString archiveProblem;
};

// Writes the order into the data directory, in this order: pending-order.dat (what the writes
// after the journal need, PendingOrder.h), the journal record (vlt.dat, one durable append), the
// order counter (vlc.dat + 1), the document (vl1.html) and the same bytes as archive/NNNNNN.html
// for the new record, the settings (const.dat), for each list that learns its count file + the
// number of entries and then the entries appended, the shortcut (vl.url), and at last the
// removal of pending-order.dat. A document that cannot be archived does not stop the steps after
// it: the problem is returned with the result.
//
// Everything that can fail without writing is tried first: korok.txt is read, the document is
// made in memory from the template, vlc.dat and the learned lists' count files are read, and the
// files to be written are checked for being writable (checkOrderCanBeWritten). A damaged
// template, a missing file or a read-only data directory therefore ends the submission with every
// file unchanged, the journal included. A write that fails before the journal holds the whole
// record leaves the journal as it was. A write that fails later stops the steps after it; the
// error then says that the order is already in the journal, and the pending file stays, so that
// the next start completes the order (resumePendingOrder()).
Result<WrittenOrder> writeSubmittedOrder(const data::DataDir& dir, const SubmittedOrder& order);

// The checks writeSubmittedOrder() makes before it writes anything, on their own: korok.txt is
// read, the document made in memory and the counter files read. Returns the document, or the
// error that would stop the submission with every file unchanged. Lets a caller find out whether
// the order can be made before it replaces sbl.htm with the downloaded template.
Result<QByteArray> prepareSubmittedOrder(const data::DataDir& dir, const SubmittedOrder& order);

// Whether every file the order writes can be written, checked before any is: the data directory
// and the archive folder take new files, each existing file is writable, and the disk has room
// for the order's bytes. The error names the file or folder and says that the order was not
// saved.
Status checkOrderCanBeWritten(const data::DataDir& dir, const SubmittedOrder& order,
                              const QByteArray& document);

// The writes of writeSubmittedOrder(), for a caller that has already made the document with
// prepareSubmittedOrder() and checked it with checkOrderCanBeWritten().
Result<WrittenOrder> writePreparedOrder(const data::DataDir& dir, const SubmittedOrder& order,
                                        const QByteArray& document);

} // namespace velmora::order
