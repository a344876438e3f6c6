#include "order/SubmissionWriter.h"

#include "data/CharCodes.h"
#include "data/FileIo.h"
#include "data/SettingsFile.h"
#include "order/OrderDocument.h"

#include "BytesPrinting.h"

#include <QDir>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

using namespace velmora::order;
using velmora::Result;
using velmora::Status;
using velmora::data::DataDir;
using velmora::data::readFile;
using velmora::data::writeFileAtomic;

namespace {

const QByteArray kTemplate = "<html><head></head>\r\n<body>140561\r\n<td>###04</td>\r\n</body></html>\r\n";

class WriteSubmittedOrder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        put("korok.txt", "<h2>Order</h2>\r\n");
        put("vlc.dat", " 4 \r\n");
        put("const.dat", "Old\r\n000\r\nOld H\r\n   \r\n");
        put("hes.dat", "Municipality\r\n");
        put("hescol.dat", " 1 \r\n");
        put("pro.dat", "Tower\r\n");
        put("procol.dat", " 1 \r\n");
        put("lis.dat", "Alpha\r\nBeta\r\n");
        put("liscol.dat", " 2 \r\n");

        m_form.statusLine = QStringLiteral(u"מספר של  Print House kod042");
        m_form.date = QStringLiteral("05-03-04");
        m_form.account = QStringLiteral("New Account");
        m_form.project = QStringLiteral("Tower, \"B\"");
        m_form.printShop = QStringLiteral("Print House kod042");
        m_form.recipients = {QStringLiteral("Beta"), QString(), QStringLiteral("Alpha"),
                             QStringLiteral("Alpha"), QStringLiteral("Alpha")};
        m_form.orderer = QStringLiteral("Cohen, Dan");
        m_form.telephone = QStringLiteral("04-5551234");
        m_form.handledFor = QStringLiteral("Levi");
        m_form.fileNames[0] = QStringLiteral("plan.plt");
        m_form.quantities[0] = QStringLiteral("2");
        m_form.blackWhiteCopies[3] = QStringLiteral(" ");
        m_form.copyTypes = {QStringLiteral(u"עתקות ציבוניות"), QStringLiteral(" "), QStringLiteral(" "),
                            QStringLiteral(" "), QStringLiteral(" ")};
        // The account was typed and recipient 2 cleared by hand; everything else was chosen.
        m_form.indexes = ListIndexes{-1, 0, {1, -1, 0, 0, 0}};
    }

    void put(const QString& name, const QByteArray& bytes) {
        ASSERT_TRUE(writeFileAtomic(file(name), bytes));
    }
    QString file(const QString& name) const { return m_tmp.filePath(name); }
    DataDir dir() const { return DataDir(m_tmp.path()); }
    QByteArray content(const QString& name) const {
        const Result<QByteArray> bytes = readFile(file(name));
        return bytes ? *bytes : QByteArray("<missing>");
    }
    QMap<QString, QByteArray> everyFile() const {
        QMap<QString, QByteArray> files;
        for (const QString& name :
             QDir(m_tmp.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
            files.insert(name, content(name));
        return files;
    }

    SubmittedOrder submitted(double orderNumber) const {
        OrderRecord record = cleanRecord(buildRecord(m_form));
        setOrderNumber(record, orderNumber);
        return {record, kTemplate, settingsValues(m_form), learnedEntries(record, m_form.indexes)};
    }

    static QByteArray journalLines(const OrderRecord& record) {
        QByteArray lines;
        for (int n = 1; n <= 38; ++n)
            lines += velmora::data::encodeCharCodes(record.slot(n)) + "\r\n";
        return lines;
    }

    QTemporaryDir m_tmp;
    OrderForm m_form;
};

TEST_F(WriteSubmittedOrder, writesEveryFileOfTheOrder) {
    const SubmittedOrder order = submitted(137);
    const Result<WrittenOrder> status = writeSubmittedOrder(dir(), order);
    ASSERT_TRUE(status.ok()) << status.error().toStdString();

    const QByteArray journal = content("vlt.dat");
    EXPECT_EQ(journal, journalLines(order.record));
    EXPECT_TRUE(journal.startsWith("32 49 51 55 \r\n")) << "slot 1 is the order number « 137»";
    EXPECT_EQ(content("vlc.dat"), QByteArray(" 5 \r\n"));

    EXPECT_EQ(content("vl1.html"), QByteArray("<html><head></head>\r\n<div align=center><center>\r\n"
                                              "<h2>Order</h2>\r\n<td>\r\nTower; ''B''\r\n</td>\r\n"
                                              "</body></html>\r\n"));

    // The settings keep the orderer's name as typed, comma included.
    const Result<velmora::data::OrdererSettings> settings = velmora::data::readSettings(dir());
    ASSERT_TRUE(settings.ok());
    EXPECT_EQ(settings->orderer, QByteArray("Cohen, Dan"));
    EXPECT_EQ(settings->telephone, QByteArray("04-5551234"));
    EXPECT_EQ(settings->handledFor, QByteArray("Levi"));

    EXPECT_EQ(content("hes.dat"), QByteArray("Municipality\r\nNew Account\r\n"));
    EXPECT_EQ(content("hescol.dat"), QByteArray(" 2 \r\n"));
    EXPECT_EQ(content("pro.dat"), QByteArray("Tower\r\n"));
    EXPECT_EQ(content("procol.dat"), QByteArray(" 1 \r\n"));
    EXPECT_EQ(content("lis.dat"), QByteArray("Alpha\r\nBeta\r\n")) << "the cleared recipient learns nothing";
    EXPECT_EQ(content("liscol.dat"), QByteArray(" 2 \r\n"));

    EXPECT_EQ(content("vl.url"), shortcutContent(dir()));
}

TEST_F(WriteSubmittedOrder, twoSubmissionsDifferOnlyInTheOrderNumber) {
    ASSERT_TRUE(writeSubmittedOrder(dir(), submitted(137)).ok());
    ASSERT_TRUE(writeSubmittedOrder(dir(), submitted(138)).ok());
    EXPECT_EQ(content("vlt.dat"), journalLines(submitted(137).record) + journalLines(submitted(138).record));
    EXPECT_EQ(content("vlc.dat"), QByteArray(" 6 \r\n"));
    EXPECT_EQ(content("hes.dat"), QByteArray("Municipality\r\nNew Account\r\nNew Account\r\n"));
}

TEST_F(WriteSubmittedOrder, keepsTheDocumentAsSentUnderTheNewRecordsNumber) {
    // 41 orders before this one, the last of them cut short: the append completes it first.
    QByteArray journal;
    for (int n = 1; n <= 41; ++n)
        journal += journalLines(submitted(n).record);
    journal.chop(journalLines(submitted(41).record).size() / 2);
    put("vlt.dat", journal);

    const Result<WrittenOrder> written = writeSubmittedOrder(dir(), submitted(137));
    ASSERT_TRUE(written.ok()) << written.error().toStdString();
    EXPECT_EQ(written->recordNumber, 42);
    EXPECT_TRUE(written->archiveProblem.isEmpty()) << written->archiveProblem.toStdString();
    EXPECT_EQ(content("archive/000042.html"), content("vl1.html"));
    EXPECT_EQ(QDir(file("archive")).entryList(QDir::Files), QStringList{"000042.html"});
}

// The archive cannot take the document: the order is written whole all the same, and the
// problem names the archived file.
class ArchiveFailure : public WriteSubmittedOrder,
                       public ::testing::WithParamInterface<std::function<void(QDir&)>> {};

TEST_P(ArchiveFailure, isReportedAndTheOrderIsWrittenWhole) {
    QDir data(m_tmp.path());
    GetParam()(data);

    const Result<WrittenOrder> written = writeSubmittedOrder(dir(), submitted(137));
    ASSERT_TRUE(written.ok()) << written.error().toStdString();
    EXPECT_EQ(written->recordNumber, 1);
    EXPECT_TRUE(written->archiveProblem.contains("archive/000001.html"))
        << written->archiveProblem.toStdString();
    EXPECT_EQ(content("vlt.dat"), journalLines(submitted(137).record));
    EXPECT_EQ(content("vlc.dat"), QByteArray(" 5 \r\n"));
    EXPECT_TRUE(content("const.dat").startsWith("\"Cohen, Dan\"")) << "the steps after it ran";
    EXPECT_EQ(content("hes.dat"), QByteArray("Municipality\r\nNew Account\r\n"));
    EXPECT_EQ(content("vl.url"), shortcutContent(dir()));
}

INSTANTIATE_TEST_SUITE_P(Table, ArchiveFailure,
                         ::testing::Values(
                             // A file where the folder belongs.
                             [](QDir& d) {
                                 QFile blocker(d.filePath("archive"));
                                 ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
                             },
                             // A folder where the document belongs.
                             [](QDir& d) { ASSERT_TRUE(d.mkpath("archive/000001.html")); }),
                         [](const auto& tc) {
                             return tc.index == 0 ? "fileInsteadOfFolder" : "folderInsteadOfFile";
                         });

struct FailureCase {
    const char* name;
    std::function<void(QDir&, SubmittedOrder&)> breakIt; // damages the data directory or the order
    const char* named;                                   // the file the message names
};

class SubmittedOrderFailures : public WriteSubmittedOrder,
                               public ::testing::WithParamInterface<FailureCase> {};

// Whatever can be found out before writing stops the submission with no file touched, so a
// failed order never leaves a journal record without its document.
TEST_P(SubmittedOrderFailures, leaveEveryFileUnchanged) {
    SubmittedOrder order = submitted(137);
    QDir data(m_tmp.path());
    GetParam().breakIt(data, order);
    const QMap<QString, QByteArray> before = everyFile();

    const Result<WrittenOrder> status = writeSubmittedOrder(dir(), order);
    ASSERT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains(GetParam().named)) << status.error().toStdString();
    EXPECT_EQ(everyFile(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SubmittedOrderFailures,
    ::testing::Values(
        FailureCase{"empty_template", [](QDir&, SubmittedOrder& o) { o.templateBytes.clear(); }, "sbl.htm"},
        FailureCase{
            "template_without_body_marker",
            [](QDir&, SubmittedOrder& o) { o.templateBytes = "<html><head></head>\r\n<td>###04</td>\r\n"; },
            "sbl.htm"},
        FailureCase{"missing_heading", [](QDir& d, SubmittedOrder&) { d.remove("korok.txt"); }, "korok.txt"},
        FailureCase{"missing_order_counter", [](QDir& d, SubmittedOrder&) { d.remove("vlc.dat"); },
                    "vlc.dat"},
        FailureCase{"missing_count_file_of_a_learned_list",
                    [](QDir& d, SubmittedOrder&) { d.remove("hescol.dat"); }, "hescol.dat"},
        // Found before the journal is touched: a folder where the document goes.
        FailureCase{"document_path_is_a_folder", [](QDir& d, SubmittedOrder&) { d.mkdir("vl1.html"); },
                    "vl1.html"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(WriteSubmittedOrder, countFileOfAListNotLearnedIsNotNeeded) {
    QFile::remove(file("procol.dat"));
    EXPECT_TRUE(writeSubmittedOrder(dir(), submitted(137)).ok());
}

TEST_F(WriteSubmittedOrder, failureAfterTheJournalSaysTheOrderIsRecorded) {
    // A disk that fills while the document is written: nothing could tell beforehand.
    Result<WrittenOrder> status = WrittenOrder{};
    {
        const velmora::data::WriteFailureForTesting fullDisk("vl1.html", 10);
        status = writeSubmittedOrder(dir(), submitted(137));
    }
    ASSERT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains("vlt.dat")) << status.error().toStdString();
    EXPECT_TRUE(status.error().contains("vl1.html")) << status.error().toStdString();
    EXPECT_EQ(content("vlt.dat"), journalLines(submitted(137).record));
    EXPECT_EQ(content("vlc.dat"), QByteArray(" 5 \r\n"));
    EXPECT_EQ(content("const.dat"), QByteArray("Old\r\n000\r\nOld H\r\n   \r\n")) << "later steps do not run";
    EXPECT_TRUE(QFile::exists(file("pending-order.dat"))) << "the next start completes the order";
}

// What a submission learns, over typed (index -1 with a text), chosen (an index) and cleared
// (index -1, no text) rows: the list files and their count files byte for byte.
struct LearningCase {
    const char* name;
    QString account;
    int accountIndex;
    QString project;
    int projectIndex;
    std::array<QString, 5> recipients;
    std::array<int, 5> recipientIndexes;
    QByteArray hes, hescol, pro, procol, lis, liscol;
};

class LearnedFiles : public WriteSubmittedOrder, public ::testing::WithParamInterface<LearningCase> {};

TEST_P(LearnedFiles, listsAndCountsAfterTheOrder) {
    const LearningCase& c = GetParam();
    m_form.account = c.account;
    m_form.project = c.project;
    for (std::size_t row = 0; row < 5; ++row)
        m_form.recipients.at(row) = c.recipients.at(row);
    m_form.indexes = ListIndexes{c.accountIndex,
                                 c.projectIndex,
                                 {c.recipientIndexes[0], c.recipientIndexes[1], c.recipientIndexes[2],
                                  c.recipientIndexes[3], c.recipientIndexes[4]}};
    const Result<WrittenOrder> status = writeSubmittedOrder(dir(), submitted(137));
    ASSERT_TRUE(status.ok()) << status.error().toStdString();
    EXPECT_EQ(content("hes.dat"), c.hes);
    EXPECT_EQ(content("hescol.dat"), c.hescol);
    EXPECT_EQ(content("pro.dat"), c.pro);
    EXPECT_EQ(content("procol.dat"), c.procol);
    EXPECT_EQ(content("lis.dat"), c.lis);
    EXPECT_EQ(content("liscol.dat"), c.liscol);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LearnedFiles,
    ::testing::Values(LearningCase{"everythingChosen",
                                   "Municipality",
                                   0,
                                   "Tower",
                                   0,
                                   {"Beta", "Alpha", "Alpha", "Alpha", "Alpha"},
                                   {1, 0, 0, 0, 0},
                                   "Municipality\r\n",
                                   " 1 \r\n",
                                   "Tower\r\n",
                                   " 1 \r\n",
                                   "Alpha\r\nBeta\r\n",
                                   " 2 \r\n"},
                      // The load step fills all five rows; clearing the unused ones is the normal case.
                      LearningCase{"unusedRowsCleared",
                                   "Municipality",
                                   0,
                                   "Tower",
                                   0,
                                   {"Beta", "", "", "", ""},
                                   {1, -1, -1, -1, -1},
                                   "Municipality\r\n",
                                   " 1 \r\n",
                                   "Tower\r\n",
                                   " 1 \r\n",
                                   "Alpha\r\nBeta\r\n",
                                   " 2 \r\n"},
                      LearningCase{"everyListCleared",
                                   "",
                                   -1,
                                   "",
                                   -1,
                                   {"", "", "", "", ""},
                                   {-1, -1, -1, -1, -1},
                                   "Municipality\r\n",
                                   " 1 \r\n",
                                   "Tower\r\n",
                                   " 1 \r\n",
                                   "Alpha\r\nBeta\r\n",
                                   " 2 \r\n"},
                      // A typed text is learned cleaned, also when it equals an entry; cleared rows beside it
                      // add nothing.
                      LearningCase{"typedAmongCleared",
                                   "Acme, Ltd",
                                   -1,
                                   "Tower",
                                   -1,
                                   {"", "Gamma \"G\"", "", "Beta", ""},
                                   {-1, -1, -1, -1, -1},
                                   "Municipality\r\nAcme; Ltd\r\n",
                                   " 2 \r\n",
                                   "Tower\r\nTower\r\n",
                                   " 2 \r\n",
                                   "Alpha\r\nBeta\r\nGamma ''G''\r\nBeta\r\n",
                                   " 4 \r\n"},
                      LearningCase{"typedAndChosenRecipients",
                                   "Municipality",
                                   0,
                                   "Tower",
                                   0,
                                   {"Delta", "Alpha", "Epsilon", "", "Beta"},
                                   {-1, 0, -1, -1, 1},
                                   "Municipality\r\n",
                                   " 1 \r\n",
                                   "Tower\r\n",
                                   " 1 \r\n",
                                   "Alpha\r\nBeta\r\nDelta\r\nEpsilon\r\n",
                                   " 4 \r\n"}),
    [](const auto& tc) { return std::string(tc.param.name); });

} // namespace
