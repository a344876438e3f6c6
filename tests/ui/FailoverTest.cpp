#include "ClosedPort.h"
#include "StubHttpServer.h"
#include "SubmissionFixture.h"

#include "data/Numbers.h"
#include "order/OrderSubmitter.h"
#include "order/ServerExchange.h"
#include "startup/ServerFailover.h"

#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

using namespace Qt::Literals::StringLiterals;
using velmora::order::SubmissionRequest;
using velmora::startup::Server;
using velmora::test::TestService;
using velmora::testing::SubmissionFixture;

namespace {

const QString kNoOrderNumber = u"לא התקבל מספר הזמנה מהשרת."_s;
const QString kNoTemplate = u"תבנית ההזמנה של מכון ההעתקות לא התקבלה מהשרת."_s;
const QString kShopStatus = u"מספר של  דפוס הצפון kod042"_s;

int requestsIn(const QByteArray& log, const QByteArray& path) {
    const QByteArray line = QByteArray(" GET ") + path + " ";
    return static_cast<int>(log.count(line));
}

double journalNumber(const velmora::order::OrderRecord& record) {
    return velmora::data::leadingNumber(record.slot(1));
}

// Orders against a primary and a fallback server: the fixture's service and, where a case needs
// it, a second service on the same order-number database.
class Failover : public SubmissionFixture {
protected:
    // A second service on the primary's database, serving the same template of 042.
    std::unique_ptr<TestService> startSecondService() {
        auto second = std::make_unique<TestService>(TestService::sharingDatabaseOf(*primary));
        QFile::remove(second->siteDir() + "/sb042.htm");
        EXPECT_TRUE(QFile::copy(fixture("sb042.htm"), second->siteDir() + "/sb042.htm"));
        EXPECT_TRUE(second->isRunning()) << second->errorString().toStdString();
        return second;
    }

    void recordRequests(velmora::ui::velmora& pad) {
        QObject::connect(&pad.submission(), &velmora::order::OrderSubmitter::requestStarted, &pad,
                         [this](SubmissionRequest, const QString& url) { requestUrls.append(url); });
    }

    QString selector() { return registry().serverSelector(); }

    QStringList requestUrls;
};

// The user's day: an order on the primary server, the primary goes down, the next order goes
// through on the fallback server with a higher number, and the order pad says which server it
// now uses. The order after that goes to the fallback server at once.
TEST_F(Failover, primaryGoneBetweenTwoOrdersTheSecondGoesThroughOnTheFallback) {
    const std::unique_ptr<TestService> fallback = startSecondService();
    context.primaryServer = primary->baseUrl();
    context.fallbackServer = fallback->baseUrl();
    auto& pad = openPad();
    recordRequests(pad);

    click(pad);
    ASSERT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    ASSERT_EQ(journalRecords(), 1);
    const double first = journalNumber(journalRecord(1));
    EXPECT_EQ(pad.Text23->text(), kShopStatus);

    primary->kill();
    requestUrls.clear();
    click(pad);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    ASSERT_EQ(journalRecords(), 2);
    EXPECT_GT(journalNumber(journalRecord(2)), first);
    EXPECT_EQ(requestUrls,
              QStringList({primary->baseUrl() + "/cgi-bin/scr042n.pl",
                           fallback->baseUrl() + "/cgi-bin/scr042n.pl", fallback->baseUrl() + "/sb042.htm"}));
    EXPECT_EQ(selector(), "2");
    EXPECT_EQ(pad.Text23->text(), u"שרת הגיבוי בשימוש: "_s + fallback->baseUrl());
    EXPECT_EQ(read("sbl.htm"), fixtureBytes("sb042.htm"));
    ASSERT_EQ(viewerStarts.size(), 2);

    // The primary is back, but the run stays with the fallback server.
    const int askedBefore = requestsIn(primary->log(), "/cgi-bin/scr042n.pl");
    ASSERT_TRUE(primary->start()) << primary->errorString().toStdString();
    requestUrls.clear();
    click(pad);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    ASSERT_EQ(journalRecords(), 3);
    EXPECT_GT(journalNumber(journalRecord(3)), journalNumber(journalRecord(2)));
    EXPECT_EQ(requestUrls,
              QStringList({fallback->baseUrl() + "/cgi-bin/scr042n.pl", fallback->baseUrl() + "/sb042.htm"}));
    EXPECT_EQ(requestsIn(primary->log(), "/cgi-bin/scr042n.pl"), askedBefore)
        << "the restarted primary is not asked";
}

// The primary takes a number and its reply never arrives: the order takes the fallback server's
// next number. The number taken on the primary is left unused (a gap), never handed out twice.
TEST_F(Failover, numberTakenOnAServerWhoseReplyWasLostLeavesAGap) {
    const std::unique_ptr<TestService> fallback = startSecondService();
    // In front of the real primary: forwards the order-number request, then keeps the reply.
    StubHttpServer lostReplies(StubHttpServer::Mode::Silent);
    QByteArray takenReply;
    lostReplies.onRequest([&](const QByteArray& path) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, primary->port());
        if (!socket.waitForConnected(5000))
            return;
        socket.write("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
        while (socket.waitForReadyRead(5000))
            takenReply += socket.readAll();
    });
    context.primaryServer = "http://" + lostReplies.hostPort();
    context.fallbackServer = fallback->baseUrl();
    context.requestTimeoutMs = 1000;
    auto& pad = openPad();

    click(pad);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    const qsizetype body = takenReply.indexOf("\r\n\r\n");
    ASSERT_GE(body, 0) << "the primary took a number";
    const double taken = velmora::order::parseOrderNumber(takenReply.mid(body + 4));
    ASSERT_GT(taken, 0);
    ASSERT_EQ(journalRecords(), 1);
    EXPECT_GT(journalNumber(journalRecord(1)), taken);
    EXPECT_EQ(selector(), "2");
}

// What happens to a request on the primary server, by the way it fails: no answer at all is
// retried once on the fallback server, which then serves the run; an HTTP error answer is not.
enum class Kind { Refused, TimeOut, ClosedWithoutAnswer, Http500, Http404 };

struct FailureCase {
    const char* name;
    SubmissionRequest request; // which request of the submission fails on the primary
    Kind kind;
    bool retried;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FailoverKinds : public Failover, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailoverKinds, noAnswerIsRetriedOnTheOtherServerAndAnHttpErrorIsNot) {
    const FailureCase& c = GetParam();
    // The primary: a stub that answers the order number itself when the template is the
    // request that fails.
    StubHttpServer stub;
    ClosedPort closed;
    const QByteArray failing =
        c.request == SubmissionRequest::OrderNumber ? "/cgi-bin/scr042n.pl" : "/cgi-bin/sb042.htm";
    if (c.request == SubmissionRequest::Template)
        stub.route("/cgi-bin/scr042n.pl", 200, "<center>Order</center>\r\n9001\r\n");
    switch (c.kind) {
    case Kind::Refused:
        break;
    case Kind::TimeOut:
        stub.route(failing, StubHttpServer::Route{200, {}, StubHttpServer::Mode::Silent});
        break;
    case Kind::ClosedWithoutAnswer:
        stub.route(failing, StubHttpServer::Route{200, {}, StubHttpServer::Mode::Raw});
        break;
    case Kind::Http500:
        stub.route(failing, StubHttpServer::Route{500, "<h1>Internal Server Error</h1>",
                                                  StubHttpServer::Mode::Answer, "Internal Server Error"});
        break;
    case Kind::Http404:
        stub.route(failing, 404, "<h1>Not Found</h1>");
        break;
    }
    const QString primaryBase = "http://" + (c.kind == Kind::Refused ? closed.hostPort() : stub.hostPort());
    context.primaryServer = primaryBase;
    context.fallbackServer = primary->baseUrl(); // the fixture's service is the fallback here
    context.requestTimeoutMs = 1000;
    auto& pad = openPad();
    recordRequests(pad);
    const auto before = snapshot();

    click(pad);

    const int onFallback = requestsIn(primary->log(), c.request == SubmissionRequest::OrderNumber
                                                          ? QByteArray("/cgi-bin/scr042n.pl")
                                                          : QByteArray("/sb042.htm"));
    if (c.retried) {
        EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
        EXPECT_EQ(journalRecords(), 1);
        EXPECT_EQ(onFallback, 1);
        EXPECT_EQ(selector(), "2");
        EXPECT_EQ(pad.Text23->text(), u"שרת הגיבוי בשימוש: "_s + primary->baseUrl());
    } else {
        ASSERT_EQ(messages().size(), 1);
        EXPECT_TRUE(messages().first().startsWith(c.request == SubmissionRequest::OrderNumber ? kNoOrderNumber
                                                                                              : kNoTemplate))
            << messages().first().toStdString();
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(onFallback, 0) << "an HTTP answer is not asked again elsewhere";
        EXPECT_EQ(selector(), "1");
        EXPECT_EQ(pad.Text23->text(), kShopStatus);
    }
    EXPECT_EQ(requestUrls.count(primaryBase + QString::fromLatin1(failing)), 1)
        << "one attempt on the primary";
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailoverKinds,
    ::testing::Values(FailureCase{"orderNumberRefused", SubmissionRequest::OrderNumber, Kind::Refused, true},
                      FailureCase{"orderNumberTimeOut", SubmissionRequest::OrderNumber, Kind::TimeOut, true},
                      FailureCase{"orderNumberClosedWithoutAnswer", SubmissionRequest::OrderNumber,
                                  Kind::ClosedWithoutAnswer, true},
                      FailureCase{"orderNumberHttp500", SubmissionRequest::OrderNumber, Kind::Http500, false},
                      FailureCase{"templateTimeOut", SubmissionRequest::Template, Kind::TimeOut, true},
                      FailureCase{"templateClosedWithoutAnswer", SubmissionRequest::Template,
                                  Kind::ClosedWithoutAnswer, true},
                      FailureCase{"templateHttp500", SubmissionRequest::Template, Kind::Http500, false},
                      FailureCase{"templateHttp404", SubmissionRequest::Template, Kind::Http404, false}),
    [](const auto& tc) { return std::string(tc.param.name); });

// Neither server answers: the order stops with both servers' failures, and the selector stays.
TEST_F(Failover, neitherServerAnsweringStopsTheOrderAndKeepsTheSelector) {
    ClosedPort primaryPort;
    ClosedPort fallbackPort;
    context.primaryServer = primaryPort.hostPort();
    context.fallbackServer = fallbackPort.hostPort();
    auto& pad = openPad();
    const auto before = snapshot();

    click(pad);

    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().first().startsWith(kNoOrderNumber));
    EXPECT_TRUE(messages().first().contains(primaryPort.hostPort())) << messages().first().toStdString();
    EXPECT_TRUE(messages().first().contains(fallbackPort.hostPort())) << messages().first().toStdString();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(selector(), "1");
}

// A server the settings leave out is not asked: the order goes to the other one.
TEST_F(Failover, aServerLeftOutOfTheSettingsIsNotAskedAndTheOtherServes) {
    context.primaryServer = QString();
    context.fallbackServer = primary->baseUrl();
    auto& pad = openPad();
    recordRequests(pad);

    click(pad);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(journalRecords(), 1);
    EXPECT_EQ(requestUrls,
              QStringList({primary->baseUrl() + "/cgi-bin/scr042n.pl", primary->baseUrl() + "/sb042.htm"}));
    EXPECT_EQ(selector(), "2");
}

// The requests go to the base address as the settings give it, path prefix included.
TEST_F(Failover, requestsKeepThePathPrefixOfTheServerAddress) {
    StubHttpServer prefixed;
    prefixed.route("/velmora/cgi-bin/scr042n.pl", 200, "<center>Order</center>\r\n8800\r\n");
    prefixed.route("/velmora/cgi-bin/sb042.htm", 200, fixtureBytes("sb042.htm"));
    context.primaryServer = prefixed.url(QStringLiteral("/velmora"));
    auto& pad = openPad();

    click(pad);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(prefixed.requestedPaths(),
              QList<QByteArray>({"/velmora/cgi-bin/scr042n.pl", "/velmora/cgi-bin/sb042.htm"}));
    EXPECT_EQ(journalRecord(1).slot(1), " 8800");
}

} // namespace
