#include "data/FreshDataDir.h"
#include "data/CountFile.h"
#include "data/Cp1255.h"
#include "data/DataDir.h"
#include "data/DataFiles.h"
#include "data/FieldReader.h"
#include "data/FileIo.h"
#include "data/Journal.h"
#include "data/ListFile.h"
#include "data/Numbers.h"
#include "data/SettingsFile.h"
#include "data/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using namespace velmora::data;

namespace {

class FreshDataDirTest : public ::testing::Test {
protected:
    QByteArray bytes(const QString& name) const { return readFile(m_dir.file(name)).value(); }

    QTemporaryDir m_tmp;
    DataDir m_dir{m_tmp.path() + QStringLiteral("/data/velmora")};
};

TEST_F(FreshDataDirTest, createsEveryFileOfAFreshInstallation) {
    const auto created = seedDataDirectory(m_dir);
    ASSERT_TRUE(created.ok()) << created.error().toStdString();
    const QStringList expected{"const.dat", "hes.dat",    "pro.dat",    "lis.dat",    "korok.txt",
                               "sbpro.htm", "help1.htm",  "help2.htm",  "help3.htm",  "help4.htm",
                               "help5.htm", "hescol.dat", "procol.dat", "liscol.dat", "vlc.dat"};
    EXPECT_EQ(created.value(), expected);
    for (const QString& name : expected)
        EXPECT_TRUE(fileExists(m_dir.file(name))) << name.toStdString();
    EXPECT_FALSE(fileExists(m_dir.file(files::kJournal)));
}

TEST_F(FreshDataDirTest, filesReadBackAsTheOrderPadNeedsThem) {
    ASSERT_TRUE(seedDataDirectory(m_dir).ok());

    // const.dat: three non-empty fields, then the line of three blanks.
    const QList<QByteArray> settingsFields = readFields(m_dir.file(files::kSettings)).value();
    ASSERT_EQ(settingsFields.size(), 4);
    const OrdererSettings settings = readSettings(m_dir).value();
    EXPECT_FALSE(settings.orderer.isEmpty());
    EXPECT_FALSE(settings.telephone.isEmpty());
    EXPECT_FALSE(settings.handledFor.isEmpty());
    EXPECT_TRUE(bytes(files::kSettings).endsWith("\r\n   \r\n"));

    // The lists: enough entries, each one field per line, in Hebrew, with no comma or quote.
    const struct {
        QLatin1StringView list, count;
        qsizetype atLeast;
    } lists[] = {{files::kAccounts, files::kAccountCount, 1},
                 {files::kProjects, files::kProjectCount, 1},
                 {files::kAddresses, files::kAddressCount, 2}};
    for (const auto& l : lists) {
        const QList<QByteArray> entries = readList(m_dir, l.list).value();
        EXPECT_GE(entries.size(), l.atLeast) << QString(l.list).toStdString();
        EXPECT_EQ(entries.size(), bytes(l.list).count("\r\n")) << QString(l.list).toStdString();
        for (const QByteArray& e : entries) {
            EXPECT_FALSE(e.isEmpty());
            EXPECT_FALSE(e.contains(',') || e.contains('"'));
            EXPECT_GE(static_cast<unsigned char>(e.at(0)), 0xE0u) << "not Hebrew: " << e.toStdString();
        }
        EXPECT_EQ(bytes(l.count), numberLine(static_cast<double>(entries.size())));
    }
    EXPECT_EQ(bytes(files::kOrderCounter), QByteArray(" 0 \r\n"));

    // korok.txt: its first field is the whole HTML heading line.
    const QByteArray heading = readFirstField(m_dir.file(files::kHeading)).value();
    EXPECT_TRUE(heading.startsWith('<') && heading.endsWith('>')) << heading.toStdString();
    EXPECT_EQ(heading + "\r\n", bytes(files::kHeading).left(heading.size() + 2));
}

// The local template is read field by field: the head end, then the body marker, then every
// placeholder 1 to 38 at the start of a field's only "###", and nothing that the field reader
// would cut or that would end a copy early.
TEST_F(FreshDataDirTest, localTemplateFollowsTheTemplateConventions) {
    ASSERT_TRUE(seedDataDirectory(m_dir).ok());
    const QByteArray text = bytes(files::kLocalTemplate);
    EXPECT_FALSE(text.contains(',')) << "a comma would split a field";
    EXPECT_FALSE(text.contains("***")) << "the search's template copy stops at ***";
    for (const QByteArray& line : text.split('\n'))
        EXPECT_FALSE(line.trimmed().startsWith('"')) << line.toStdString();
    EXPECT_TRUE(text.contains("charset=windows-1255"));
    EXPECT_TRUE(text.contains("dir=rtl"));

    const QList<QByteArray> fields = readAllFields(text);
    qsizetype headEnd = -1;
    for (qsizetype i = 0; i < fields.size() && headEnd < 0; ++i) {
        if (fields[i].contains("/head") || fields[i].contains("/HEAD"))
            headEnd = i;
    }
    ASSERT_GE(headEnd, 0);
    ASSERT_LT(headEnd, 300);
    qsizetype marker = -1;
    for (qsizetype i = headEnd + 1; i < fields.size() && marker < 0; ++i) {
        if (fields[i].contains("140561"))
            marker = i;
    }
    ASSERT_GT(marker, headEnd);
    ASSERT_LT(marker - headEnd, 300);
    for (qsizetype i = 0; i <= headEnd; ++i)
        EXPECT_FALSE(fields[i].contains("140561")) << "marker before the head end";

    std::multiset<int> placeholders;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QByteArray& f = fields[i];
        const qsizetype p = f.indexOf("###");
        if (p < 0)
            continue;
        EXPECT_GT(i, marker) << "placeholder outside the body: " << f.toStdString();
        EXPECT_EQ(f.indexOf("###", p + 3), -1) << "second placeholder in one field: " << f.toStdString();
        placeholders.insert(static_cast<int>(leadingNumber(f.mid(p + 3, 2))));
    }
    for (int slot = 1; slot <= 38; ++slot)
        EXPECT_EQ(placeholders.count(slot), 1u) << "slot " << slot;
    EXPECT_EQ(placeholders.size(), 38u);
    EXPECT_TRUE(fields.last().contains("</html>"));
}

TEST_F(FreshDataDirTest, helpPagesAreHebrewRightToLeftPages) {
    ASSERT_TRUE(seedDataDirectory(m_dir).ok());
    for (int n = 1; n <= 5; ++n) {
        const QString page = fromCp1255(bytes(files::helpPage(n)));
        EXPECT_TRUE(page.contains(QStringLiteral("dir=\"rtl\""))) << n;
        EXPECT_TRUE(page.contains(QStringLiteral("charset=\"windows-1255\""))) << n;
        EXPECT_TRUE(page.contains(QStringLiteral(u"עזרה"))) << n;
        EXPECT_TRUE(page.trimmed().endsWith(QStringLiteral("</html>"))) << n;
    }
}

// Every seed text is written in Windows-1255 with CR LF line ends and loses no character.
TEST_F(FreshDataDirTest, seedTextsConvertWithoutLoss) {
    for (const QString& name : seedFileNames()) {
        QFile resource(QStringLiteral(":/seed/") + name);
        ASSERT_TRUE(resource.open(QIODevice::ReadOnly)) << name.toStdString();
        const QString original = QString::fromUtf8(resource.readAll());
        const QByteArray written = seedFileBytes(name);
        EXPECT_EQ(written.count('?'), original.count(QLatin1Char('?'))) << name.toStdString();
        EXPECT_EQ(written.count('\n'), written.count("\r\n")) << name.toStdString();
        EXPECT_TRUE(written.endsWith("\r\n")) << name.toStdString();
        EXPECT_EQ(fromCp1255(written),
                  QString(original).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
    }
}

TEST_F(FreshDataDirTest, neverReplacesAFileThatExists) {
    ASSERT_TRUE(QDir().mkpath(m_dir.path()));
    const QByteArray ownSettings("Mine\r\n1\r\n2\r\n   \r\n");
    const QByteArray ownAccounts("A\r\nB\r\nC\r\nD\r\nE\r\n");
    const QByteArray ownHelp("<html>my help</html>\r\n");
    ASSERT_TRUE(writeFileAtomic(m_dir.file(files::kSettings), ownSettings).ok());
    ASSERT_TRUE(writeFileAtomic(m_dir.file(files::kAccounts), ownAccounts).ok());
    ASSERT_TRUE(writeFileAtomic(m_dir.file(files::helpPage(3)), ownHelp).ok());
    JournalRecord order;
    order.slot(1) = " 1";
    ASSERT_TRUE(Journal(m_dir).append(order).ok());
    ASSERT_TRUE(Journal(m_dir).append(order).ok());

    const auto created = seedDataDirectory(m_dir);
    ASSERT_TRUE(created.ok());
    EXPECT_FALSE(created->contains(QStringLiteral("const.dat")));
    EXPECT_FALSE(created->contains(QStringLiteral("help3.htm")));
    EXPECT_EQ(bytes(files::kSettings), ownSettings);
    EXPECT_EQ(bytes(files::kAccounts), ownAccounts);
    EXPECT_EQ(bytes(files::helpPage(3)), ownHelp);
    // The counts agree with the files that are there.
    EXPECT_EQ(bytes(files::kAccountCount), QByteArray(" 5 \r\n"));
    EXPECT_EQ(bytes(files::kOrderCounter), QByteArray(" 2 \r\n"));

    // A second run finds everything in place and writes nothing.
    ASSERT_TRUE(writeFileAtomic(m_dir.file(files::kOrderCounter), " 41 \r\n").ok());
    const auto again = seedDataDirectory(m_dir);
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(again->isEmpty());
    EXPECT_EQ(bytes(files::kOrderCounter), QByteArray(" 41 \r\n"));
}

TEST_F(FreshDataDirTest, directoryThatCannotBeCreatedIsAnError) {
    ASSERT_TRUE(writeFileAtomic(m_tmp.path() + QStringLiteral("/plain"), "x").ok());
    const auto created = seedDataDirectory(DataDir(m_tmp.path() + QStringLiteral("/plain/data")));
    ASSERT_FALSE(created.ok());
    EXPECT_FALSE(created.error().isEmpty());
}

} // namespace
