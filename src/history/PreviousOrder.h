#pragma once

#include "data/DataDir.h"
#include "data/Result.h"
#include "order/OrderDocument.h"
#include "order/OrderForm.h"

#include <QString>

// What the previous-orders table does with the order of a row besides showing it again: ordering
// it once more from the order pad, and showing its document exactly as it was sent. Both only
// read: the journal and the archive of documents as sent (order/OrderArchive.h).
namespace velmora::history {

// The fields of a new order like record `record` (order::previousOrderForm): every value of the
// order but its order number. A record that the journal does not hold, or a damaged one, is an
// error in Hebrew that names the journal.
Result<order::OrderForm> previousOrder(const data::DataDir& dir, qsizetype record);

// The document of record `record` as it was sent, archive/NNNNNN.html, with the record's order
// number. The record must be in the journal (as for previousOrder). An order submitted before
// the archive existed has no such document: its path is then empty.
Result<order::DocumentToShow> sentDocument(const data::DataDir& dir, qsizetype record);

// Shown for an order without a document as sent: only the re-show can show it.
QString notKeptAsSentMessage(const QString& orderNumber);

} // namespace velmora::history
