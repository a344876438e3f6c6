#include "ClosedPort.h"
#include "StubHttpServer.h"
#include "TestService.h"
#include "data/Cp1255.h"
#include "data/Journal.h"
#include "history/Reshow.h"
#include "order/OrderDocument.h"
#include "order/OrderRecord.h"
#include "platform/ProgramLauncher.h"
#include "ui/CaptionButton.h"
#include "ui/WindowRegistry.h"
#include "ui/components/DialogHooks.h"
#include "ui/components/EditCombo.h"
#include "ui/components/FlexGrid.h"
#include "ui/windows/hipus.h"
#include "ui/windows/hipus1.h"
#include "ui/windows/hipus2.h"
#include "ui/windows/start1.h"
#include "ui/windows/tavla.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

using namespace Qt::Literals::StringLiterals;
namespace ui = velmora::ui;
using velmora::ui::DialogHooks;
using velmora::ui::EditCombo;
using velmora::ui::FlexGrid;

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString kShop042 = u"דפוס הצפון kod042"_s;
const QString kShop777 = u"שרון פלוט kod777"_s;
const QString kShop999 = u"Unknown Print kod999"_s;

struct Order {
    const char* number;
    const char* date;
    QString account;
    QString project;
    QString shop;
};

// The journal of the tests: seven orders.
const QList<Order> kOrders{
    {" 4201", "05-03-04", "Acme Ltd", "Tower A", kShop042},           // 1
    {" 7701", "20-01-03", u"עיריית חיפה"_s, u"מגדל ב"_s, kShop777},   // 2
    {" 4202", "12-02-04", u"עיריית חיפה"_s, "Tower A", kShop042},     // 3
    {" 99", "01-12-03", "Acme Ltd", "Tower B", kShop042},             // 4
    {" 100", "15-06-04", "Beta", "Tower A", kShop777},                // 5
    {" 7", "28-02-04", "Acme Ltd", "Tower A", u"דפוס הצפון kod42"_s}, // 6
    {" 12", "05-12-03", "Gamma", u"מגדל ב"_s, kShop777},              // 7
};

// The history windows over a data directory with that journal, talking to a velmora-service as
// the primary server. Message boxes are recorded, never shown; the document viewer is a launcher
// that records what it was asked to show.
class HistoryWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(primary.isRunning()) << primary.errorString().toStdString();
        context.primaryServer = primary.hostPort();
        context.fallbackServer = closed.hostPort();
        context.dataDir = velmora::data::DataDir(m_dir.path());
        context.viewer = QStringLiteral("/opt/viewer/show-html");
        context.launcher = velmora::platform::ProgramLauncher(
            [this](const QString& program, const QStringList& arguments) {
                viewerStarts.append(QStringList{program} + arguments);
                return true;
            },
            [](const QString&, const QString&) { return false; });

        QByteArray journal;
        for (const Order& o : kOrders) {
            velmora::data::JournalRecord record;
            record.slot(1) = o.number;
            record.slot(2) = o.date;
            record.slot(3) = velmora::data::toCp1255(o.account);
            record.slot(4) = velmora::data::toCp1255(o.project);
            record.slot(5) = velmora::data::toCp1255(o.shop);
            record.slot(13) = "plan.plt";
            journal += velmora::data::encodeJournalRecord(record);
        }
        put("vlt.dat", journal);
        lines("ruf25.dat", {kShop042, kShop777, kShop999, "***", "After kod001"});
        lines("pro.dat", {"Tower A", u"מגדל ב"_s, "Tower B"});
        lines("hes.dat", {"Acme Ltd", u"עיריית חיפה"_s, "Beta"});
        put("korok.txt", velmora::data::toCp1255(u"<h2>הזמנת העתקות</h2>\r\n"_s));
        put("sbpro.htm", "<html><head></head>\r\n<body>\r\n<!-- 140561 -->\r\n<p>###01, ###04</p>\r\n"
                         "<p>###05</p>\r\n*** end of the local template\r\n<p>never copied</p>\r\n");
        put("ruf25.htm", "\r\n");
        put("vl1.html", "previous document");
    }

    void TearDown() override {
        m_registry.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    ui::WindowRegistry& registry() {
        if (!m_registry)
            m_registry = std::make_unique<ui::WindowRegistry>(context);
        return *m_registry;
    }

    void put(const QString& name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    void lines(const QString& name, const QStringList& texts) {
        QByteArray bytes;
        for (const QString& text : texts)
            bytes += velmora::data::toCp1255(text) + "\r\n";
        put(name, bytes);
    }
    std::optional<QByteArray> read(const QString& name) const {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }

    // The table's rows, each as its seven cells joined by "|".
    static QStringList rows(const FlexGrid* grid) {
        QStringList all;
        for (int r = 1; r < grid->Rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < 7; ++c)
                cells.append(grid->TextMatrix(r, c));
            all.append(cells.join(u'|'));
        }
        return all;
    }
    // The record numbers in cell 6, in table order.
    static QList<int> recordColumn(const FlexGrid* grid) {
        QList<int> records;
        for (int r = 1; r < grid->Rows(); ++r)
            records.append(grid->TextMatrix(r, 6).trimmed().toInt());
        return records;
    }
    static QString row(int record) {
        const Order& o = kOrders.at(record - 1);
        return QStringList{
            " ", o.number, o.date, o.shop, o.project, o.account, u' ' + QString::number(record)}
            .join(u'|');
    }

    static void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    static void clickRow(FlexGrid* grid, int row) {
        const QRect cell = grid->visualRect(grid->model()->index(row - 1, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }

    // Searches by print shop for the entry at the index.
    ui::tavla* shopSearch(int entry) {
        ui::hipus& window = registry().open<ui::hipus>();
        window.Comboh->setListIndex(entry);
        click(window.Commandh);
        return registry().find<ui::tavla>();
    }

    // The document a re-show of the record must write: the record laid out with the template as
    // sbl.htm held it before, plus the five asterisk lines.
    QByteArray expectedDocument(int record, const QByteArray& templateBefore) const {
        const velmora::Result<velmora::data::JournalRecord> read =
            velmora::data::Journal(context.dataDir).read(record);
        EXPECT_TRUE(read.ok());
        const velmora::Result<QByteArray> document = velmora::order::generateDocument(
            velmora::order::fromJournalRecord(*read), templateBefore + velmora::history::reshowTemplateTail(),
            *velmora::order::readHeading(context.dataDir), velmora::order::reshowDocumentOptions());
        EXPECT_TRUE(document.ok()) << document.error().toStdString();
        return document ? *document : QByteArray();
    }

    static QStringList messages() { return DialogHooks::shownMessages(); }

    DialogHooks::Scope hooks;
    velmora::test::TestService primary;
    ClosedPort closed;
    ui::WindowContext context;
    QList<QStringList> viewerStarts;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ui::WindowRegistry> m_registry;
};

// Each selection window, end to end: its list, the search, the rows and the template it leaves.
struct SearchCase {
    const char* name;
    std::function<QAbstractButton*(ui::WindowRegistry&)>
        choose; // opens the window, picks, returns the button
    QList<int> records;
    bool downloadsTemplate; // sb042.htm from the service; otherwise the copy of sbpro.htm
};

class Search : public HistoryWindows, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(Search, fillsTheTableAndLeavesATemplate) {
    const SearchCase& c = GetParam();
    click(c.choose(registry()));

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    ui::tavla* table = registry().find<ui::tavla>();
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->isVisible());
    QStringList expected;
    for (int record : c.records)
        expected.append(row(record));
    EXPECT_EQ(rows(table->MSFlexGrid1), expected);
    EXPECT_EQ(table->MSFlexGrid1->TextMatrix(0, 1), u"מספר"_s);
    EXPECT_EQ(table->MSFlexGrid1->TextMatrix(0, 6), u"קוד"_s);
    for (int col : {3, 4, 5})
        EXPECT_NEAR(table->MSFlexGrid1->ColWidth(col), 2000, 15) << "2000 twips, to the pixel";
    if (c.downloadsTemplate) {
        QFile served(primary.siteDir() + "/sb042.htm");
        ASSERT_TRUE(served.open(QIODevice::ReadOnly));
        EXPECT_EQ(read("sbl.htm"), served.readAll());
        EXPECT_TRUE(primary.waitForLog("/cgi-bin/sb042.htm"));
    } else {
        EXPECT_EQ(read("sbl.htm"),
                  QByteArray("<html><head></head>\r\n<body>\r\n<!-- 140561 -->\r\n<p>###01\r\n"
                             "###04</p>\r\n<p>###05</p>\r\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Search,
                         ::testing::Values(
                             // Codes compared as numbers: «kod42» is shop 042 too.
                             SearchCase{"byPrintShop",
                                        [](ui::WindowRegistry& r) -> QAbstractButton* {
                                            ui::hipus& w = r.open<ui::hipus>();
                                            EXPECT_EQ(w.Comboh->Text(), kShop042)
                                                << "the first entry is chosen";
                                            return w.Commandh;
                                        },
                                        {1, 3, 4, 6},
                                        true},
                             SearchCase{"byProject",
                                        [](ui::WindowRegistry& r) -> QAbstractButton* {
                                            ui::hipus1& w = r.open<ui::hipus1>();
                                            w.Comboh1->setListIndex(1);
                                            return w.Commandh1;
                                        },
                                        {2, 7},
                                        false},
                             SearchCase{"byAccountTyped",
                                        [](ui::WindowRegistry& r) -> QAbstractButton* {
                                            ui::hipus2& w = r.open<ui::hipus2>();
                                            w.Comboh2->setText("Acme Ltd");
                                            return w.Commandh2;
                                        },
                                        {1, 4, 6},
                                        false}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(HistoryWindows, theShopWindowListsTheShopsBeforeTheStarsAndRemovesItsScratchFile) {
    ui::hipus& window = registry().open<ui::hipus>();
    EXPECT_EQ(window.Comboh->ListCount(), 3);
    EXPECT_EQ(window.Comboh->Text(), kShop042);
    EXPECT_FALSE(read("ruf25.htm").has_value());
    window.Texth1->setText(u"ש"_s); // as typed: the change runs the filter
    ASSERT_EQ(window.Comboh->ListCount(), 1);
    EXPECT_EQ(window.Comboh->List(0), kShop777);
    EXPECT_EQ(window.Comboh->ListIndex(), -1) << "the narrowed list chooses nothing";
    window.Texth1->clear();
    EXPECT_EQ(window.Comboh->ListCount(), 1) << "an emptied filter leaves the list as it is";
}

TEST_F(HistoryWindows, anEmptyOrMissingListGivesAnEmptyWindow) {
    put("pro.dat", "");
    QFile::remove(context.dataDir.file("hes.dat"));
    ui::hipus1& projects = registry().open<ui::hipus1>();
    ui::hipus2& accounts = registry().open<ui::hipus2>();
    EXPECT_EQ(projects.Comboh1->ListCount(), 0);
    EXPECT_EQ(projects.Comboh1->ListIndex(), -1);
    EXPECT_EQ(accounts.Comboh2->ListCount(), 0);
    click(accounts.Commandh2); // searching for nothing finds nothing and does no harm
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    ASSERT_NE(registry().find<ui::tavla>(), nullptr);
    EXPECT_EQ(registry().find<ui::tavla>()->MSFlexGrid1->Rows(), 1);
}

TEST_F(HistoryWindows, rowsAccumulateWhileTheTableStaysOpen) {
    shopSearch(1); // 777: records 2, 5, 7
    ui::hipus1& projects = registry().open<ui::hipus1>();
    projects.Comboh1->setText("Tower B");
    click(projects.Commandh1);
    ui::tavla* table = registry().find<ui::tavla>();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(recordColumn(table->MSFlexGrid1), QList<int>({2, 5, 7, 4}));

    // Closing the table discards its rows: the next search starts afresh.
    table->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    click(projects.Commandh1);
    ASSERT_NE(registry().find<ui::tavla>(), nullptr);
    EXPECT_EQ(recordColumn(registry().find<ui::tavla>()->MSFlexGrid1), QList<int>({4}));
}

TEST_F(HistoryWindows, aSelectionWithoutKodIsNoShop) {
    ui::hipus& window = registry().open<ui::hipus>();
    window.Comboh->setText("Shop KOD012");
    click(window.Commandh);
    EXPECT_EQ(messages(), QStringList({u"לא נבחר מכון העתקות!"_s}));
    EXPECT_EQ(registry().find<ui::tavla>(), nullptr);
    EXPECT_FALSE(primary.log().contains("/sb"));
}

// Each sort, then a re-show of the top row: the document is the order of the row's record.
struct SortCase {
    const char* name;
    std::function<QAbstractButton*(ui::tavla&)> button;
    int column;
    QList<int> records; // the record column after the sort
};

class SortThenReshow : public HistoryWindows, public ::testing::WithParamInterface<SortCase> {};

TEST_P(SortThenReshow, showsTheOrderOfTheRowsRecord) {
    ui::hipus2& accounts = registry().open<ui::hipus2>();
    accounts.Comboh2->setText(u"Acme Ltd Beta Gamma עיריית חיפה"_s); // every account
    click(accounts.Commandh2);
    ui::tavla* table = registry().find<ui::tavla>();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(recordColumn(table->MSFlexGrid1), QList<int>({1, 2, 3, 4, 5, 6, 7}));
    registry().open<ui::hipus>(); // the re-show closes it
    clickRow(table->MSFlexGrid1, 1);

    click(GetParam().button(*table));
    EXPECT_EQ(table->MSFlexGrid1->Col(), GetParam().column);
    EXPECT_EQ(recordColumn(table->MSFlexGrid1), GetParam().records);
    clickRow(table->MSFlexGrid1, 1);
    const QByteArray templateBefore = *read("sbl.htm");
    click(table->Commandt1);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    const int top = GetParam().records.first();
    EXPECT_EQ(read("vl1.html"), expectedDocument(top, templateBefore));
    EXPECT_TRUE(
        read("vl1.html")->contains(QByteArray(QByteArray("\r\n") + kOrders.at(top - 1).number + "\r\n")));
    EXPECT_EQ(viewerStarts,
              QList<QStringList>({{context.viewer, velmora::order::documentPath(context.dataDir)}}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(registry().find<ui::hipus>(), nullptr) << "the print-shop window is closed";
    EXPECT_TRUE(table->isVisible());
    EXPECT_EQ(recordColumn(table->MSFlexGrid1), GetParam().records) << "the table stays as it was";
}

INSTANTIATE_TEST_SUITE_P(Table, SortThenReshow,
                         ::testing::Values(
                             // « 7701» « 4202» « 4201» « 100» « 99» « 12» « 7»: numbers, largest first.
                             SortCase{"byOrderNumber",
                                      [](ui::tavla& window) -> QAbstractButton* { return window.Command3; },
                                      1,
                                      {2, 3, 1, 5, 4, 7, 6}},
                             // Dates as text: the day first.
                             SortCase{"byDate",
                                      [](ui::tavla& window) -> QAbstractButton* { return window.Command4; },
                                      2,
                                      {6, 2, 5, 3, 7, 1, 4}},
                             // Hebrew after Latin; equal projects keep their order.
                             SortCase{"byProject",
                                      [](ui::tavla& window) -> QAbstractButton* { return window.Command1; },
                                      4,
                                      {2, 7, 4, 1, 3, 5, 6}},
                             SortCase{"byAccount",
                                      [](ui::tavla& window) -> QAbstractButton* { return window.Command2; },
                                      5,
                                      {2, 3, 7, 5, 1, 4, 6}}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(HistoryWindows, reshowingTwiceGivesTheSameDocument) {
    ui::tavla* table = shopSearch(0);
    ASSERT_NE(table, nullptr);
    clickRow(table->MSFlexGrid1, 2);
    click(table->Commandt1);
    const std::optional<QByteArray> first = read("vl1.html");
    click(table->Commandt1);
    EXPECT_EQ(read("vl1.html"), first);
    EXPECT_EQ(read("sbl.htm")->count(QByteArray(QByteArray(37, '*') + "\r\n")), 10);
    EXPECT_EQ(viewerStarts.size(), 2);
}

TEST_F(HistoryWindows, theHeadingRowIsNoOrder) {
    ui::tavla* table = shopSearch(0);
    ASSERT_NE(table, nullptr);
    click(table->Commandt1); // nothing chosen yet: the heading row
    EXPECT_EQ(messages(), QStringList({u"צריך לבחור את ההזמנה!"_s}));
    EXPECT_EQ(read("vl1.html"), QByteArray("previous document"));
    EXPECT_TRUE(viewerStarts.isEmpty());
}

TEST_F(HistoryWindows, aFailedTemplateRequestIsReportedAndTheReshowExplains) {
    ui::hipus1& projects = registry().open<ui::hipus1>();
    click(projects.Commandh1);        // Tower A: records 1, 3, 5, 6
    ui::tavla* table = shopSearch(2); // 999: the service has no template for it
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().first().startsWith(u'[')) << messages().first().toStdString();
    EXPECT_TRUE(messages().first().endsWith(u"]טעות! תלחץ עוד פעם!"_s)) << messages().first().toStdString();
    EXPECT_TRUE(table->isVisible());
    EXPECT_EQ(recordColumn(table->MSFlexGrid1), QList<int>({1, 3, 5, 6}));
    EXPECT_EQ(read("sbl.htm"), QByteArray()) << "no other template stands in for the shop's";

    clickRow(table->MSFlexGrid1, 1);
    click(table->Commandt1);
    ASSERT_EQ(messages().size(), 2);
    EXPECT_TRUE(messages().last().contains("sbl.htm")) << messages().last().toStdString();
    EXPECT_EQ(read("vl1.html"), QByteArray("previous document"));
    EXPECT_TRUE(viewerStarts.isEmpty());
}

TEST_F(HistoryWindows, theShopSearchAsksTheServerTheSelectorNames) {
    context.primaryServer = closed.hostPort();
    context.fallbackServer = primary.hostPort();
    registry().ensure<ui::start1>().Text1->setText("2");
    ui::tavla* table = shopSearch(0);
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_TRUE(primary.waitForLog("GET /sb042.htm"));
    EXPECT_TRUE(read("sbl.htm")->contains("140561"));
}

// The primary server gives no answer: the shop search takes the template from the fallback
// server, which then serves the run; a template the primary refuses with an HTTP error is not
// asked elsewhere.
TEST_F(HistoryWindows, theShopSearchTurnsToTheFallbackWhenThePrimaryGivesNoAnswer) {
    context.primaryServer = closed.hostPort();
    context.fallbackServer = primary.baseUrl();
    ui::tavla* table = shopSearch(0);
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_TRUE(primary.waitForLog("GET /sb042.htm"));
    EXPECT_TRUE(read("sbl.htm")->contains("140561"));
    EXPECT_EQ(registry().serverSelector(), "2");
}

TEST_F(HistoryWindows, theShopSearchDoesNotRetryAnHttpError) {
    StubHttpServer failing;
    failing.setResponse(500, "Internal Server Error", "<h1>500</h1>");
    context.primaryServer = failing.hostPort();
    context.fallbackServer = primary.baseUrl();
    ASSERT_NE(shopSearch(0), nullptr);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().first().contains("500")) << messages().first().toStdString();
    EXPECT_EQ(failing.requestedPaths(), QList<QByteArray>({"/cgi-bin/sb042.htm"}));
    EXPECT_FALSE(primary.log().contains("GET /sb042.htm"));
    EXPECT_EQ(registry().serverSelector(), "1");
}

// Settings that leave both servers out: nothing is asked, the message names the settings, and no
// other shop's template is left in sbl.htm.
TEST_F(HistoryWindows, theShopSearchWithoutServersSaysSoAndLeavesNoTemplate) {
    context.primaryServer = QString();
    context.fallbackServer = QString();
    put("sbl.htm", "<html><head></head><body>140561 another shop's template</body></html>\r\n");
    ASSERT_NE(shopSearch(0), nullptr);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().first().contains("servers/primary")) << messages().first().toStdString();
    EXPECT_TRUE(messages().first().endsWith(u"]טעות! תלחץ עוד פעם!"_s)) << messages().first().toStdString();
    EXPECT_EQ(read("sbl.htm"), QByteArray());
}

TEST_F(HistoryWindows, aSecondSearchWhileTheShopSearchWaitsIsRefused) {
    StubHttpServer silent(StubHttpServer::Mode::Silent);
    context.primaryServer = silent.hostPort();
    context.requestTimeoutMs = 1500;
    ui::hipus1& projects = registry().open<ui::hipus1>();
    ui::hipus& shops = registry().open<ui::hipus>();
    bool pressed = false;
    QTimer::singleShot(200, [&] {
        EXPECT_TRUE(shops.isWaitingForTemplate());
        click(projects.Commandh1);
        click(shops.Commandh);
        pressed = true;
    });
    click(shops.Commandh);

    EXPECT_TRUE(pressed);
    EXPECT_FALSE(shops.isWaitingForTemplate());
    // Two refusals during the wait, then the failed request of the one search that ran.
    ASSERT_EQ(messages().size(), 3) << messages().join(u'\n').toStdString();
    EXPECT_TRUE(messages().at(0).contains(u"ממתין"_s));
    EXPECT_TRUE(messages().at(1).contains(u"ממתין"_s));
    EXPECT_TRUE(messages().at(2).endsWith(u"]טעות! תלחץ עוד פעם!"_s));
    ASSERT_NE(registry().find<ui::tavla>(), nullptr);
    EXPECT_EQ(recordColumn(registry().find<ui::tavla>()->MSFlexGrid1), QList<int>({1, 3, 4, 6}))
        << "only the shop search's rows";
}

} // namespace
