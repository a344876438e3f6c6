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

TEST(OrderRecord, journalRecordHoldsSlotsOneToThirtyEight) {
    OrderRecord record;
    for (int n = 1; n <= 38; ++n)
        record.setSlot(n, QByteArray::number(n * 10));
    const velmora::data::JournalRecord journal = velmora::order::toJournalRecord(record);
    EXPECT_EQ(journal.slot(1), QByteArray("10"));
    EXPECT_EQ(journal.slot(38), QByteArray("380"));
    EXPECT_EQ(velmora::order::fromJournalRecord(journal), record);
}

} // namespace
