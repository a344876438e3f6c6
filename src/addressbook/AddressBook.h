#pragma once

#include "data/DataDir.h"
#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringView>

#include <optional>

// The address book works on the address list lis.dat strictly line by line: each whole line is
// one address (a comma is part of it), and its number is its line number, counted from 1. CR LF,
// a lone CR and a lone LF end a line; a last line without a line end still counts. The count file
// liscol.dat is none of the book's business.
namespace velmora::addressbook {

// One row of the book's table: an address and its line number in the file.
struct AddressRow {
    qsizetype number = 0;
    QByteArray line;
    bool operator==(const AddressRow&) const = default;
};

// The lines of lis.dat. A missing file is an empty list, not an error; a file that exists but
// cannot be read is an error naming it.
Result<QList<QByteArray>> readAddressLines(const data::DataDir& dir);

// The rows of the table for the search text: every line that contains the text (exact, letter
// case significant; an empty text is in every line), in file order, numbered by position in the
// file. A text with a character that Windows-1255 cannot hold is in no line.
QList<AddressRow> addressRows(const QList<QByteArray>& lines, QStringView filter);

// The position (from 0) in the refilled recipient list of the address the user chose: the entry
// at `number` when it still holds `address`, otherwise the first entry that does (the file may
// have changed since the table was built). None for a number below 1 (the heading row) and when
// the address is no longer in the list.
std::optional<qsizetype> chosenEntry(const QList<QByteArray>& lines, qsizetype number,
                                     QByteArrayView address);

// What a deletion did.
enum class Deletion {
    Deleted,  // the line is gone from lis.dat; lisvr.dat holds the same lines
    NotFound, // no line held that address any more; nothing was written
};

// Deletes the address `address` shown with `number`: the line at that number when it still holds
// that address, otherwise the first line that does. The remaining lines are written to the
// working copy lisvr.dat and then lis.dat is replaced with the same bytes in one rename, each
// line ended by CR LF. If any write fails the error names the file and lis.dat is unchanged.
Result<Deletion> deleteAddress(const data::DataDir& dir, qsizetype number, QByteArrayView address);

} // namespace velmora::addressbook
