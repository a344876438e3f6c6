#include "order/PendingOrder.h"

#include "data/DataDir.h"
#include "data/DataFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

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

// A process ended between naming a rewrite's temporary file and renaming it over the file leaves
// the temporary file: the next start clears it away, in the folder and its archive, without a
// word, and leaves every other file as it is.
TEST(SettleAtStart, clearsAwayTheTemporaryFilesOfRewritesCutShort) {
    QTemporaryDir tmp;
    const data::DataDir dir(tmp.path());
    ASSERT_TRUE(QDir(tmp.path()).mkpath(QStringLiteral("archive")));
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.file(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QStringList leftovers = {"vlc.dat.USMXWn",
                                   "vl1.html.a1B2c3",
                                   "sbl.htm.zzzzzz",
                                   "vl.url.000000",
                                   ".velmora-write-test-Xy12Zq",
                                   "archive/000002.html.Qw12er"};
    const QStringList kept = {"vlc.dat",       "notes.txt.Ab3xYz", "vlt.dat.bak",        "vlc.dat.1234567",
                              "my.dat.ab_3xy", "vlc.datAb3xYz",    "archive/000002.html"};
    for (const QString& name : leftovers + kept)
        write(name, "bytes\r\n");

    const QStringList messages = settleDataDirectory(dir);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    for (const QString& name : leftovers)
        EXPECT_FALSE(QFile::exists(dir.file(name))) << name.toStdString();
    for (const QString& name : kept)
        EXPECT_TRUE(QFile::exists(dir.file(name))) << name.toStdString();
}

TEST(PendingOrderFile, noPendingFileIsNothingToSay) {
    QTemporaryDir tmp;
    const Result<ResumedOrder> resumed = resumePendingOrder(data::DataDir(tmp.path()));
    ASSERT_TRUE(resumed.ok());
    EXPECT_EQ(resumed->outcome, ResumedOrder::Nothing);
    EXPECT_TRUE(resumed->message.isEmpty());
}

} // namespace

namespace {

struct CounterCase {
    const char* name;
    QByteArray counter;  // vlc.dat
    int records;         // whole records in vlt.dat
    QByteArray expected; // vlc.dat afterwards
    bool told;
};

class OrderCounterAtStart : public ::testing::TestWithParam<CounterCase> {};

// A counter behind the journal is what a submission cut short between the two writes leaves: it
// is set right and the user is told. Anything else is left alone, without a word.
TEST_P(OrderCounterAtStart, isSetRightOnlyWhenBehindTheJournal) {
    QTemporaryDir tmp;
    const data::DataDir dir(tmp.path());
    QFile counter(dir.file("vlc.dat"));
    ASSERT_TRUE(counter.open(QIODevice::WriteOnly));
    counter.write(GetParam().counter);
    counter.close();
    QFile journal(dir.file("vlt.dat"));
    ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
    for (int line = 0; line < 38 * GetParam().records; ++line)
        journal.write("49 \r\n");
    journal.close();

    const Result<QString> message = repairOrderCounter(dir);
    ASSERT_TRUE(message.ok()) << message.error().toStdString();
    EXPECT_EQ(!message->isEmpty(), GetParam().told) << message->toStdString();
    if (GetParam().told) {
        EXPECT_TRUE(message->contains("vlc.dat"));
    }
    ASSERT_TRUE(counter.open(QIODevice::ReadOnly));
    EXPECT_EQ(counter.readAll(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, OrderCounterAtStart,
                         ::testing::Values(CounterCase{"in_step", " 3 \r\n", 3, " 3 \r\n", false},
                                           CounterCase{"one_behind", " 2 \r\n", 3, " 3 \r\n", true},
                                           CounterCase{"empty_journal_file", " 0 \r\n", 0, " 0 \r\n", false},
                                           CounterCase{"ahead_of_a_cut_journal", " 9 \r\n", 3, " 9 \r\n",
                                                       false},
                                           CounterCase{"fraction_ahead", " 3.5 \r\n", 3, " 3.5 \r\n", false}),
                         [](const auto& tc) { return std::string(tc.param.name); });

} // namespace
