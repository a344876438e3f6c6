#pragma once

#include "data/JournalRecord.h"

#include <QByteArray>

#include <array>

namespace velmora::order {

// Slot numbers of the order record. They are part of the journal's layout and of the print
// shops' templates (placeholder «###13» is slot 13), so they never change.
namespace Slot {
inline constexpr int OrderNumber = 1;
inline constexpr int Date = 2;
inline constexpr int Account = 3;
inline constexpr int Project = 4;
inline constexpr int PrintShop = 5;
inline constexpr int Orderer = 11;
inline constexpr int Telephone = 12;
inline constexpr int HandledFor = 38;

// Rows count from 0: recipient rows 0..4 and file rows 0..4.
constexpr int recipient(int row) {
    return 6 + row;
}
constexpr int fileName(int row) {
    return 13 + 2 * row;
}
constexpr int quantity(int row) {
    return 14 + 2 * row;
}
constexpr int colourCopies(int row) {
    return 23 + row;
}
constexpr int blackWhiteCopies(int row) {
    return 28 + row;
}
constexpr int copyType(int row) {
    return 33 + row;
}
} // namespace Slot

// One order as 51 text slots numbered 0 to 50, in Windows-1255 bytes. Slots 1 to 38 carry the
// order; slot 0 and slots 39 to 50 exist only so that every placeholder number a template can
// name has a slot, and they are always empty.
class OrderRecord {
public:
    static constexpr int kSlotCount = 51;
    static constexpr int kFirstOrderSlot = 1;
    static constexpr int kLastOrderSlot = 38;

    static constexpr bool isOrderSlot(int n) { return n >= kFirstOrderSlot && n <= kLastOrderSlot; }

    // The slot's text; empty for slot 0, slots 39 to 50 and any number outside the record.
    const QByteArray& slot(int n) const;

    // Sets slot n (1 to 38) and returns true; any other number is refused, so the always-empty
    // slots stay empty.
    bool setSlot(int n, QByteArray text);

    bool operator==(const OrderRecord&) const = default;

private:
    std::array<QByteArray, kSlotCount> m_slots;
};

// The journal holds slots 1 to 38 of the record, one line each.
data::JournalRecord toJournalRecord(const OrderRecord& record);
OrderRecord fromJournalRecord(const data::JournalRecord& record);

} // namespace velmora::order
