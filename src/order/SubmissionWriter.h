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

// Writes the order into the data directory, in this order: the journal record (vlt.dat, one
// durable append), the order counter (vlc.dat + 1), the document (vl1.html) and the same bytes
// as archive/NNNNNN.html for the new record, the settings (const.dat), each learned entry (its
// count file + 1, then the entry appended to its list) and the shortcut (vl.url). A document
// that cannot be archived does not stop the steps after it: the problem is returned with the
// result.
//
// Everything that can fail without writing is tried first: korok.txt is read, the document is
// made in memory from the template, and vlc.dat and the learned lists' count files are read. A
// damaged template or a missing file therefore ends the submission with every file unchanged,
// the journal included. A write that fails later stops the steps after it; the error then says
// that the order is already in the journal.
Result<WrittenOrder> writeSubmittedOrder(const data::DataDir& dir, const SubmittedOrder& order);

// The checks writeSubmittedOrder() makes before it writes anything, on their own: korok.txt is
// read, the document made in memory and the counter files read. Returns the document, or the
// error that would stop the submission with every file unchanged. Lets a caller find out whether
// the order can be written before it replaces sbl.htm with the downloaded template.
Result<QByteArray> prepareSubmittedOrder(const data::DataDir& dir, const SubmittedOrder& order);

// The writes of writeSubmittedOrder(), for a caller that has already made the document with
// prepareSubmittedOrder().
Result<WrittenOrder> writePreparedOrder(const data::DataDir& dir, const SubmittedOrder& order,
                                        const QByteArray& document);

} // namespace velmora::order
