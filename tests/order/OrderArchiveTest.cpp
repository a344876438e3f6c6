#include "order/OrderArchive.h"

#include "data/FileIo.h"
#include "data/Journal.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

using velmora::Result;
using velmora::order::ArchiveCheck;
using velmora::order::checkArchive;
using velmora::order::recordOfSentDocument;

namespace {

struct NameCase {
    const char* name;
    std::optional<qsizetype> record;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class SentDocumentName : public ::testing::TestWithParam<NameCase> {};

TEST_P(SentDocumentName, belongsToTheRecordItIsNamedFor) {
    EXPECT_EQ(recordOfSentDocument(QString::fromLatin1(GetParam().name)), GetParam().record)
        << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SentDocumentName,
    ::testing::Values(NameCase{"000042.html", 42}, NameCase{"000001.html", 1},
                      NameCase{"1234567.html", 1234567},
                      // Names the archive never gives.
                      NameCase{"000000.html", std::nullopt}, NameCase{"42.html", std::nullopt},
                      NameCase{"0000042.html", std::nullopt}, NameCase{"00004x.html", std::nullopt},
                      NameCase{"000042.htm", std::nullopt}, NameCase{"000042.HTML", std::nullopt},
                      NameCase{"-00042.html", std::nullopt}, NameCase{".html", std::nullopt}));

class ArchiveCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        QByteArray journal;
        for (int n = 1; n <= 4; ++n) {
            velmora::data::JournalRecord record;
            record.slot(1) = " " + QByteArray::number(4200 + n);
            journal += velmora::data::encodeJournalRecord(record);
        }
        journal += "49 \r\n"; // a damaged fifth record: no record of its own
        ASSERT_TRUE(velmora::data::writeFileAtomic(m_tmp.filePath("vlt.dat"), journal));
    }
    void store(const QString& name) {
        ASSERT_TRUE(QDir(m_tmp.path()).mkpath("archive"));
        ASSERT_TRUE(velmora::data::writeFileAtomic(m_tmp.filePath("archive/" + name), "<html></html>"));
    }
    Result<ArchiveCheck> check() const {
        return checkArchive(m_tmp.filePath("vlt.dat"), m_tmp.filePath("archive"));
    }

    QTemporaryDir m_tmp;
};

TEST_F(ArchiveCheckTest, listsRecordsWithoutDocumentsAndDocumentsWithoutRecords) {
    for (const char* name : {"000001.html", "000003.html", "000005.html", "000009.html", "notes.html",
                             "0000004.html", "000002.html.tmp"})
        store(QString::fromLatin1(name));

    const Result<ArchiveCheck> found = check();
    ASSERT_TRUE(found.ok()) << found.error().toStdString();
    EXPECT_EQ(found->records, 4);
    EXPECT_EQ(found->damagedLines, 1);
    EXPECT_EQ(found->recordsWithoutDocument, QList<qsizetype>({2, 4}));
    EXPECT_EQ(found->documentsWithoutRecord,
              QStringList({"0000004.html", "000005.html", "000009.html", "notes.html"}));
}

TEST_F(ArchiveCheckTest, withoutAnArchiveFolderEveryRecordLacksItsDocument) {
    const Result<ArchiveCheck> found = check();
    ASSERT_TRUE(found.ok()) << found.error().toStdString();
    EXPECT_EQ(found->recordsWithoutDocument, QList<qsizetype>({1, 2, 3, 4}));
    EXPECT_TRUE(found->documentsWithoutRecord.isEmpty());
}

} // namespace
