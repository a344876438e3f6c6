#include "order/PendingOrder.h"

#include "data/DataDir.h"
#include "data/DataFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::order;

namespace {

PendingOrder samplePending() {
    PendingOrder order;
    order.orderNumber = " 4201";
    order.journalSizeBefore = 1234;
    order.journalRecord = "32 52 50 48 49 \r\n\r\n";
    order.counterAfter = 3.5;
    order.document = QByteArray("<html>\r\nend 4\r\n\r\n", 17) + QByteArray(1, '\0') + "\xe0\xe1";
    order.settings = "Cohen, Dan\r\n04\r\n\r\n   \r\n";
    order.lists = {{"hes.dat", "hescol.dat", -1, 1, "a\r\n"},
                   {"lis.dat", "liscol.dat", 40, 7, "\r\nx 12\r\ny\r\n"}};
    return order;
}

// The file is written whole (atomically), so a file that does not read back whole is not one of
// the program's: every shortened copy is refused, never read as another order.
TEST(PendingOrderFile, readsBackWholeAndRefusesEveryShortenedCopy) {
    const PendingOrder order = samplePending();
    const QByteArray bytes = encodePendingOrder(order);
    const std::optional<PendingOrder> decoded = decodePendingOrder(bytes);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, order);
    for (qsizetype size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(decodePendingOrder(bytes.first(size)).has_value()) << "size " << size;
    EXPECT_FALSE(decodePendingOrder(QByteArray(bytes + "x")).has_value());
}

// A pending file that cannot be read is reported and kept, not dropped in silence.
TEST(PendingOrderFile, damagedFileIsReportedAndKept) {
    QTemporaryDir tmp;
    const data::DataDir dir(tmp.path());
    const QString path = dir.file(data::files::kPendingOrder);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(encodePendingOrder(samplePending()).first(50));
    file.close();
    const Result<ResumedOrder> resumed = resumePendingOrder(dir);
    ASSERT_FALSE(resumed.ok());
    EXPECT_TRUE(resumed.error().contains(QStringLiteral("pending-order.dat")))
        << resumed.error().toStdString();
    EXPECT_TRUE(QFile::exists(path));
}

TEST(PendingOrderFile, noPendingFileIsNothingToSay) {
    QTemporaryDir tmp;
    const Result<ResumedOrder> resumed = resumePendingOrder(data::DataDir(tmp.path()));
    ASSERT_TRUE(resumed.ok());
    EXPECT_EQ(resumed->outcome, ResumedOrder::Nothing);
    EXPECT_TRUE(resumed->message.isEmpty());
}

} // namespace
