#include "order/LoadStep.h"
#include "data/Cp1255.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using velmora::order::loadOrderPad;
using velmora::order::OrderPadLoad;

namespace {

class LoadStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        write("const.dat", "Dan Cohen\r\n03-5551234\r\nRuth\r\n   \r\n");
        write("ruf25.dat", "Shop A kod001\r\nShop B kod002\r\n***\r\nShop C kod003\r\n");
        write("hes.dat", "Acme\r\nCity");
        write("pro.dat", "Tower A\r\n");
        write("lis.dat", "\"Herzl 5, Haifa\"\r\nOffice\r\n");
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    void remove(const QString& name) { QFile::remove(m_dir.filePath(name)); }
    OrderPadLoad load() const {
        return loadOrderPad(velmora::data::DataDir(m_dir.path()), QDate(2004, 3, 5));
    }

    QTemporaryDir m_dir;
};

TEST_F(LoadStepTest, readsEveryListFieldByFieldInFileOrder) {
    const OrderPadLoad pad = load();
    EXPECT_EQ(pad.settings, QList<QByteArray>({"Dan Cohen", "03-5551234", "Ruth"}));
    // The load step reads the print-shop list to its end, past a "***" entry.
    EXPECT_EQ(pad.shops, QList<QByteArray>({"Shop A kod001", "Shop B kod002", "***", "Shop C kod003"}));
    EXPECT_EQ(pad.accounts, QList<QByteArray>({"Acme", "City"}));
    EXPECT_EQ(pad.projects, QList<QByteArray>({"Tower A"}));
    EXPECT_EQ(pad.addresses, QList<QByteArray>({"Herzl 5, Haifa", "Office"}));
    EXPECT_TRUE(pad.problems.isEmpty()) << pad.problems.join(u'\n').toStdString();
}

TEST_F(LoadStepTest, dateIsDayMonthAndTwoDigitYear) {
    EXPECT_EQ(load().date, "05-03-04");
}

// A comma typed into the orderer's name splits it into two fields and shifts the others.
TEST_F(LoadStepTest, commaInTheSettingsShiftsTheValues) {
    write("const.dat", "Cohen, Dan\r\n03-5551234\r\nRuth\r\n   \r\n");
    EXPECT_EQ(load().settings, QList<QByteArray>({"Cohen", "Dan", "03-5551234"}));
}

struct ProblemCase {
    std::string name;
    QString file;
    std::optional<QByteArray> content; // nullopt: missing
};

void PrintTo(const ProblemCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadStepProblem : public LoadStepTest, public ::testing::WithParamInterface<ProblemCase> {};

TEST_P(LoadStepProblem, namesTheFileAndKeepsTheOtherLists) {
    const ProblemCase& c = GetParam();
    if (c.content)
        write(c.file, *c.content);
    else
        remove(c.file);
    const OrderPadLoad pad = load();
    ASSERT_EQ(pad.problems.size(), 1) << pad.problems.join(u'\n').toStdString();
    EXPECT_TRUE(pad.problems.first().contains(c.file)) << pad.problems.first().toStdString();
    if (c.file != "hes.dat") {
        EXPECT_EQ(pad.accounts.size(), 2);
    }
    if (c.file != "ruf25.dat") {
        EXPECT_EQ(pad.shops.size(), 4);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LoadStepProblem,
                         ::testing::Values(ProblemCase{"missingSettings", "const.dat", std::nullopt},
                                           ProblemCase{"twoSettingsFields", "const.dat", "Dan\r\n0355\r\n"},
                                           ProblemCase{"missingShops", "ruf25.dat", std::nullopt},
                                           ProblemCase{"emptyAccounts", "hes.dat", ""},
                                           ProblemCase{"missingProjects", "pro.dat", std::nullopt},
                                           ProblemCase{"oneAddress", "lis.dat", "Office\r\n"}),
                         [](const ::testing::TestParamInfo<ProblemCase>& param) { return param.param.name; });

TEST_F(LoadStepTest, everyMissingFileIsReportedOnce) {
    for (const char* name : {"const.dat", "ruf25.dat", "hes.dat", "pro.dat", "lis.dat"})
        remove(QString::fromLatin1(name));
    const OrderPadLoad pad = load();
    ASSERT_EQ(pad.problems.size(), 5);
    EXPECT_TRUE(pad.problems.join(u'\n').contains("lis.dat"));
}

} // namespace
