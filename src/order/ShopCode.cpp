#include "order/ShopCode.h"

#include "data/Numbers.h"

namespace velmora::order {

QByteArray shopCode(QByteArrayView entry) {
    const qsizetype kod = entry.indexOf(QByteArrayView("kod"));
    const qsizetype start = kod >= 0 ? kod + 3 : 2;
    if (start >= entry.size())
        return {};
    return entry.sliced(start, std::min<qsizetype>(3, entry.size() - start)).toByteArray();
}

double shopCodeNumber(QByteArrayView entry) {
    return data::leadingNumber(shopCode(entry));
}

} // namespace velmora::order
