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

} // namespace velmora::order
