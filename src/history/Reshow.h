#pragma once

#include "data/DataDir.h"
#include "data/Result.h"
#include "order/OrderDocument.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

// Showing a previous order again: the journal record of a row of the previous-orders table is
// read back, laid out with the order template sbl.htm as the last search or submission left it,
// and written as the order document vl1.html with its shortcut vl.url, as after a submission.
// Nothing goes to a server and nothing is added to the journal.
namespace velmora::history {

// Shown when the current row names no order: the heading row ("קוד" reads 0) or a cell that is
// not a record number.
QString chooseAnOrderMessage();

// The record number in the table's last cell: a whole number from 1 up, read as a leading
// number; none for anything else.
std::optional<qsizetype> recordNumberOfCell(QByteArrayView cell);

// The five lines of 37 asterisks appended to sbl.htm before each re-show. The first of them ends
// the document's body, so the growth never shows.
QByteArray reshowTemplateTail();

// Re-shows record `record`: the record is read and the document made in memory first (with a
// field beginning "***" ending the body and a placeholder above 50 giving "100"); only when both
// succeeded are the asterisk lines appended to sbl.htm (after a line end, if its last line had
// none) and vl1.html and vl.url rewritten. A record that the journal does not hold (it was
// replaced or cut since the search), a damaged record and a template without its head end or
// body marker are errors in Hebrew, and then nothing is written. Returns the document's path and
// the record's order number.
Result<order::DocumentToShow> reshowOrder(const data::DataDir& dir, qsizetype record);

} // namespace velmora::history
