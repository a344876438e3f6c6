#include "order/OrderRecord.h"

#include "BytesPrinting.h"

#include <gtest/gtest.h>

using velmora::order::OrderRecord;

namespace {

TEST(OrderRecord, onlySlotsOneToThirtyEightCanHoldText) {
    OrderRecord record;
    for (int n = -1; n <= OrderRecord::kSlotCount; ++n)
        EXPECT_EQ(record.setSlot(n, "x"), n >= 1 && n <= 38) << "slot " << n;
    for (int n = -1; n <= OrderRecord::kSlotCount; ++n)
        EXPECT_EQ(record.slot(n), (n >= 1 && n <= 38) ? QByteArray("x") : QByteArray()) << "slot " << n;
}

} // namespace
