// The start window's Start button on real widgets offscreen, against the web service on loopback
// ports: the directory download, the fallback server, the failures, and the order pad it opens.
#include "data/Cp1255.h"
#include "platform/Inet.h"
#include "startup/DirectoryDownload.h"
#include "startup/StartStep.h"
#include "ui/CaptionButton.h"
#include "ui/WindowRegistry.h"
#include "ui/components/DialogHooks.h"
#include "ui/components/EditCombo.h"
#include "ui/windows/start1.h"
#include "ui/windows/velmora.h"

#include "ClosedPort.h"
#include "StubHttpServer.h"
#include "TestService.h"
#include "ui/WindowTestData.h"

#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace velmora;
using velmora::startup::StartRequest;
using velmora::test::TestService;
using velmora::testing::WindowTestData;

namespace {

// The shops of a ruf25.dat as the order pad's list shows them.
QStringList shopsOf(const QByteArray& ruf25) {
    QStringList shops;
    for (const QByteArray& line : ruf25.split('\n')) {
        if (!line.trimmed().isEmpty())
            shops << data::fromCp1255(line.chopped(line.endsWith('\r') ? 1 : 0));
    }
    return shops;
}

QStringList entries(const ui::EditCombo* list) {
    QStringList all;
    for (int i = 0; i < list->ListCount(); ++i)
        all << list->List(i);
    return all;
}

// True when the area holds more than one colour, that is something is drawn there.
bool somethingDrawnIn(const QImage& image, const QRect& area) {
    const QRgb first = image.pixel(area.topLeft());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) != first)
                return true;
        }
    }
    return false;
}

class StartWindowTest : public ::testing::Test {
protected:
    ui::start1& openStartWindow(const QString& primary, const QString& fallback, int timeoutMs = 5000) {
        ui::WindowContext context;
        context.dataDir = data.dataDir();
        context.primaryServer = primary;
        context.fallbackServer = fallback;
        context.requestTimeoutMs = timeoutMs;
        m_registry = std::make_unique<ui::WindowRegistry>(context);
        ui::start1& start = m_registry->open<ui::start1>();
        // Runs inside the step's wait, when the directory page has arrived or failed.
        QObject::connect(start.Inet1, &platform::Inet::StateChanged, [this](int) {
            if (duringWait)
                duringWait();
        });
        return start;
    }
    startup::StartStep& startStepOf(ui::start1& start) {
        auto* step = start.findChild<startup::StartStep*>();
        EXPECT_NE(step, nullptr);
        return *step;
    }
    ui::WindowRegistry& registry() { return *m_registry; }
    ui::velmora* orderPad() const { return m_registry->find<ui::velmora>(); }

    // Servers that are down.
    ClosedPort m_down;
    ClosedPort m_down2;
    WindowTestData data; // shops "Print House kod012", "דפוס הצפון kod007", "Third Shop kod099"
    std::function<void()> duringWait;

private:
    std::unique_ptr<ui::WindowRegistry> m_registry;
};

TEST_F(StartWindowTest, startButtonDownloadsTheDirectoryAndOpensTheOrderPadWithItsShops) {
    TestService primary;
    ASSERT_TRUE(primary.isRunning()) << primary.errorString().toStdString();
    platform::Inet probe;
    const platform::FetchResult page = probe.fetch(primary.baseUrl() + "/cgi-bin/ruf.html");
    ASSERT_TRUE(page.ok);
    const startup::DirectoryFiles expected = startup::splitDirectory(page.body);

    ui::start1& start = openStartWindow(primary.hostPort(), m_down.hostPort());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&start));
    EXPECT_FALSE(somethingDrawnIn(start.grab().toImage(), ui::start1::printArea()));

    bool checkedDuringWait = false;
    duringWait = [&] {
        checkedDuringWait = true;
        EXPECT_FALSE(start.start0->isEnabled());
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        EXPECT_EQ(start.printedText(), "WAIT..........");
        EXPECT_TRUE(somethingDrawnIn(start.grab().toImage(), ui::start1::printArea()));
        // The window cannot go while its step runs.
        EXPECT_FALSE(start.close());
        EXPECT_EQ(orderPad(), nullptr);
    };
    start.start0->click();

    EXPECT_TRUE(checkedDuringWait);
    EXPECT_TRUE(start.start0->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(start.isVisible());
    EXPECT_EQ(start.printedText(), "WAIT..........");
    EXPECT_TRUE(ui::DialogHooks::shownMessages().isEmpty())
        << ui::DialogHooks::shownMessages().join('\n').toStdString();

    EXPECT_EQ(data.read("ruf25.dat"), expected.ruf25);
    EXPECT_EQ(data.read("ruf27.dat"), expected.ruf27);
    EXPECT_EQ(data.read("url00.dat"), primary.hostPort().toLatin1() + "/start.html\r\n***\r\n");
    EXPECT_EQ(data.read("url01.dat"), primary.hostPort().toLatin1() + "/info.html\r\n***\r\n");

    // The order pad was created by the step and loaded the fresh list.
    ASSERT_NE(orderPad(), nullptr);
    EXPECT_TRUE(orderPad()->isVisible());
    const QStringList shops = shopsOf(expected.ruf25);
    EXPECT_EQ(shops.size(), 7);
    EXPECT_EQ(entries(orderPad()->Combo3), shops);
}

TEST_F(StartWindowTest, secondStartBringsTheSameOrderPadForwardWithoutLoadingItAgain) {
    TestService primary;
    ASSERT_TRUE(primary.isRunning()) << primary.errorString().toStdString();
    ui::start1& start = openStartWindow(primary.hostPort(), m_down.hostPort());
    start.start0->click();
    ui::velmora* pad = orderPad();
    ASSERT_NE(pad, nullptr);
    const QStringList shops = entries(pad->Combo3);

    // The user works in the order pad, then puts it away and starts again.
    pad->text1->setText("typed by the user");
    pad->hide();
    data.write("ruf25.dat", {"Stale Shop kod555"});
    start.start0->click();

    EXPECT_EQ(orderPad(), pad);
    EXPECT_TRUE(pad->isVisible());
    EXPECT_EQ(pad->text1->text(), "typed by the user");
    EXPECT_EQ(entries(pad->Combo3), shops);
    // The download itself ran again and rewrote the list file.
    EXPECT_EQ(shopsOf(data.read("ruf25.dat")), shops);
    EXPECT_EQ(primary.log().count("GET /cgi-bin/ruf.html 200"), 2);
}

TEST_F(StartWindowTest, primaryDownMakesTheStartUseTheFallbackServer) {
    TestService::Options options;
    options.startNow = false;
    TestService fallback(options);
    QFile shops(fallback.siteDir() + "/shops.tsv");
    ASSERT_TRUE(shops.open(QIODevice::WriteOnly | QIODevice::Truncate));
    shops.write("042\tyes\t4201\tFallback Copy\tHarbour Rd 2\tTel 04-5550042\tcopy@fallback.example\n");
    shops.close();
    ASSERT_TRUE(fallback.start()) << fallback.errorString().toStdString();

    ui::start1& start = openStartWindow(m_down.hostPort(), fallback.hostPort());
    start.start0->click();

    EXPECT_EQ(start.Text1->text(), "2");
    EXPECT_TRUE(fallback.waitForLog("GET /ruf.html 200"));
    EXPECT_TRUE(fallback.log().contains("GET /in1.html 200"));
    EXPECT_TRUE(fallback.log().contains("GET /in3.html 200"));
    ASSERT_NE(orderPad(), nullptr);
    EXPECT_EQ(entries(orderPad()->Combo3), QStringList({"Fallback Copy - Harbour Rd 2 kod042"}));
    EXPECT_TRUE(ui::DialogHooks::shownMessages().isEmpty());
}

TEST_F(StartWindowTest, noServerAnsweringShowsProblemsOfInternetAndOpensTheOrderPadWithTheOldShops) {
    const QByteArray old25 = data.read("ruf25.dat");
    const QByteArray old27 = data.read("ruf27.dat");
    ui::start1& start = openStartWindow(m_down.hostPort(), m_down2.hostPort());
    // The message comes before the Start button is enabled again, under the usual arrow.
    QList<bool> buttonEnabled;
    QList<Qt::CursorShape> cursor;
    ui::DialogHooks::onMessage([&](const QString&) {
        buttonEnabled << start.start0->isEnabled();
        const QCursor* shown = QGuiApplication::overrideCursor();
        cursor << (shown ? shown->shape() : Qt::ArrowCursor);
    });
    start.start0->click();

    EXPECT_EQ(ui::DialogHooks::shownMessages(), QStringList({"Problems of Internet!!!"}));
    EXPECT_EQ(buttonEnabled, QList<bool>({false}));
    EXPECT_EQ(cursor, QList<Qt::CursorShape>({Qt::ArrowCursor}));
    EXPECT_EQ(start.Text1->text(), "2");
    EXPECT_TRUE(start.start0->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(data.read("ruf25.dat"), old25);
    EXPECT_EQ(data.read("ruf27.dat"), old27);
    ASSERT_NE(orderPad(), nullptr);
    EXPECT_TRUE(orderPad()->isVisible());
    EXPECT_EQ(entries(orderPad()->Combo3), shopsOf(old25));
}

// The server answers the two addresses and is gone when the directory is asked for.
TEST_F(StartWindowTest, directoryRequestThatFailsKeepsTheOldShopsAndSaysSo) {
    const QByteArray old25 = data.read("ruf25.dat");
    const QByteArray old27 = data.read("ruf27.dat");
    TestService primary;
    ASSERT_TRUE(primary.isRunning()) << primary.errorString().toStdString();
    ui::start1& start = openStartWindow(primary.hostPort(), m_down.hostPort());
    QObject::connect(&startStepOf(start), &startup::StartStep::requesting,
                     [&](StartRequest request, const QString&) {
                         if (request == StartRequest::Directory)
                             primary.kill();
                     });
    start.start0->click();

    EXPECT_EQ(data.read("url00.dat"), primary.hostPort().toLatin1() + "/start.html\r\n***\r\n");
    EXPECT_EQ(data.read("ruf25.dat"), old25);
    EXPECT_EQ(data.read("ruf27.dat"), old27);
    const QStringList messages = ui::DialogHooks::shownMessages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral(u"רשימת מכוני ההעתקות הקודמת נשארה")));
    EXPECT_TRUE(messages[0].contains("ruf.html"));
    EXPECT_EQ(start.lastStartOutcome().directory, startup::DirectoryOutcome::KeptPrevious);
    ASSERT_NE(orderPad(), nullptr);
    EXPECT_EQ(entries(orderPad()->Combo3), shopsOf(old25));
}

TEST_F(StartWindowTest, selectorThreeTypedDuringTheWaitEndsTheStepWithoutTheOrderPad) {
    const QByteArray old25 = data.read("ruf25.dat");
    StubHttpServer primary;
    primary.route("/in1.html", 200, "primary.example.com/start");
    primary.route("/in3.html", 200, "primary.example.com/info");
    primary.route("/cgi-bin/ruf.html", {200, "", StubHttpServer::Mode::Silent});
    ui::start1& start = openStartWindow(primary.hostPort(), m_down.hostPort(), 2000);
    bool typed = false;
    primary.onRequest([&](const QByteArray& path) {
        if (path != "/cgi-bin/ruf.html")
            return;
        // The user types 3 over the selector while the page is awaited.
        EXPECT_FALSE(start.start0->isEnabled());
        start.Text1->selectAll();
        QTest::keyClicks(start.Text1, "3");
        typed = true;
    });
    start.start0->click();

    ASSERT_TRUE(typed);
    EXPECT_EQ(start.Text1->text(), "3");
    EXPECT_EQ(start.lastStartOutcome().ending, startup::StartEnding::Abandoned);
    // The step did not wait for the silent server.
    EXPECT_TRUE(start.Inet1->StillExecuting());
    EXPECT_TRUE(start.start0->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(orderPad(), nullptr);
    EXPECT_TRUE(ui::DialogHooks::shownMessages().isEmpty());
    EXPECT_EQ(data.read("ruf25.dat"), old25);
}

} // namespace
