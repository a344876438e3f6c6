#include "order/OrderRecord.h"

#include <utility>

namespace velmora::order {

const QByteArray& OrderRecord::slot(int n) const {
    static const QByteArray empty;
    return isOrderSlot(n) ? m_slots[static_cast<std::size_t>(n)] : empty;
}

bool OrderRecord::setSlot(int n, QByteArray text) {
    if (!isOrderSlot(n))
        return false;
    m_slots[static_cast<std::size_t>(n)] = std::move(text);
    return true;
}

data::JournalRecord toJournalRecord(const OrderRecord& record) {
    data::JournalRecord journal;
    for (int n = OrderRecord::kFirstOrderSlot; n <= OrderRecord::kLastOrderSlot; ++n)
        journal.slot(n) = record.slot(n);
    return journal;
}

OrderRecord fromJournalRecord(const data::JournalRecord& journal) {
    OrderRecord record;
    for (int n = OrderRecord::kFirstOrderSlot; n <= OrderRecord::kLastOrderSlot; ++n)
        record.setSlot(n, journal.slot(n));
    return record;
}

} // namespace velmora::order
