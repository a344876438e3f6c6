#pragma once

#include "data/Result.h"
#include "history/SearchKey.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <functional>

// Finding previous orders in the order journal vlt.dat, by print shop, project or account.
//
// One pass over the journal looks at slots 1 to 5 of each record (order number, date, account,
// project, print shop) and passes over slots 6 to 38. A record whose order number begins with
// "***" ends the search: it and everything after it are not looked at. Only complete records
// are searched; a damaged last record is never found.
//
// Match rules, every comparison exact and letter case significant ("A contains B": B occurs in
// A; an empty B is contained in every non-empty A and in no empty A):
//  - print shop: the shop codes of the selection and of slot 5 are equal as numbers («kod012»
//    and «kod12 » both read 12), or the selection contains slot 5;
//  - project: the selection contains slot 4;
//  - account: the selection contains slot 3.
// The print-shop and project searches also leave out records whose slots are too short to be an
// order: slot 1 under 1 character, slot 2 under 2, slots 3, 4 and 5 under 3 each. The account
// search has no such filter.
namespace velmora::history {

// One order found: its record number (its position in the journal, from 1) and the five slots
// the table shows, as Windows-1255 bytes.
struct FoundOrder {
    qsizetype record = 0;
    QByteArray number;    // slot 1
    QByteArray date;      // slot 2
    QByteArray account;   // slot 3
    QByteArray project;   // slot 4
    QByteArray printShop; // slot 5
    bool operator==(const FoundOrder&) const = default;
};

// An order found, as the search hands it over while it scans: the texts are views that last
// until the call returns.
struct FoundOrderView {
    qsizetype record = 0;
    QByteArrayView number;
    QByteArrayView date;
    QByteArrayView account;
    QByteArrayView project;
    QByteArrayView printShop;
    // Within one search, equal texts of slots 2 to 5 get the same number here (date, account,
    // project, print shop, in that order; numbers count from 0 across the four), so a caller can
    // convert each distinct text once. They say nothing about the order itself.
    std::array<int, 4> textIds{-1, -1, -1, -1};

    FoundOrder toOrder() const {
        return {record,
                number.toByteArray(),
                date.toByteArray(),
                account.toByteArray(),
                project.toByteArray(),
                printShop.toByteArray()};
    }
};

struct SearchResult {
    QList<FoundOrder> orders;   // in journal order
    bool journalExists = true;  // false: no journal yet, nothing found
    qsizetype recordsSeen = 0;  // complete records looked at
    qsizetype damagedLines = 0; // lines of an incomplete last record, never searched
    bool endedAtMarker = false; // a record numbered "***..." ended the search
};

// True when the record (its decoded slots 1 to 5) is found by the search for the selection.
bool matchesOrder(SearchKey key, QByteArrayView selection, QByteArrayView number, QByteArrayView date,
                  QByteArrayView account, QByteArrayView project, QByteArrayView printShop);

// The search over journal bytes in memory.
SearchResult searchJournalText(QByteArrayView journal, SearchKey key, QByteArrayView selection);

// The search over the journal file, read once from start to end in blocks (memory stays small
// whatever the journal's size). A missing journal finds nothing; a journal that cannot be read is
// an error naming it.
Result<SearchResult> searchJournal(const QString& journalPath, SearchKey key, QByteArrayView selection);

// The same, handing each order found to `found` as the scan reaches it instead of collecting
// them (the result's list stays empty): a search that finds a hundred thousand orders makes no
// copy of their texts.
using FoundOrderVisitor = std::function<void(const FoundOrderView&)>;
Result<SearchResult> searchJournal(const QString& journalPath, SearchKey key, QByteArrayView selection,
                                   const FoundOrderVisitor& found);

// The print-shop search needs a shop code: a selection without a lower-case "kod" is no shop.
bool namesPrintShop(QByteArrayView selection);

} // namespace velmora::history
