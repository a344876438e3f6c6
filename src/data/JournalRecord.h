#pragma once

#include <QByteArray>

#include <array>

namespace velmora::data {

// One order as the journal holds it: slots 1 to 38 of the order record, as Windows-1255 bytes.
// 1 order number, 2 date, 3 account, 4 project, 5 print shop, 6-10 recipients, 11 orderer,
// 12 telephone, 13-22 file names and quantities in turn, 23-27 colour copies, 28-32
// black-and-white copies, 33-37 copy types, 38 the person the order is handled for.
struct JournalRecord {
    static constexpr int kSlots = 38;

    // Slot k, 1 to 38.
    const QByteArray& slot(int k) const { return texts.at(static_cast<std::size_t>(k - 1)); }
    QByteArray& slot(int k) { return texts.at(static_cast<std::size_t>(k - 1)); }

    // texts[k - 1] holds slot k.
    std::array<QByteArray, kSlots> texts;

    friend bool operator==(const JournalRecord&, const JournalRecord&) = default;
};

} // namespace velmora::data
