#include "platform/Inet.h"

#include "ClosedPort.h"
#include "StubHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using velmora::platform::FetchResult;
using velmora::platform::Inet;

namespace {

// Lets the event loop run until the component has ended its transfer, as the windows do.
void waitWhileExecuting(Inet& inet) {
    while (inet.StillExecuting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// A port on which nothing listens: the connection is refused.
QString closedPortUrl() {
    // Kept bound for the whole run, so that no server of a test running in parallel takes it.
    static const ClosedPort port;
    return QStringLiteral("http://") + port.hostPort() + QStringLiteral("/in1.html");
}

QByteArray everyByte(int size) {
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(static_cast<char>(i % 256));
    return bytes;
}

// ---- Failures: whatever goes wrong, OpenURL answers empty and fetch/Execute say why. ----

struct FailureCase {
    std::string name;
    std::function<QString(std::unique_ptr<StubHttpServer>&)> setUp; // returns the URL
    int httpStatus;                                                 // what fetch reports
    QString errorMarker; // a piece of the error text that names the kind of failure
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class InetFailure : public ::testing::TestWithParam<FailureCase> {
protected:
    void SetUp() override {
        url = GetParam().setUp(server);
        inet.setRequestTimeout(400);
        inet.setMaxBodySize(100);
    }
    std::unique_ptr<StubHttpServer> server;
    QString url;
    Inet inet;
};

TEST_P(InetFailure, openUrlGivesAnEmptyReply) {
    EXPECT_TRUE(inet.OpenURL(url).isEmpty());
}

TEST_P(InetFailure, fetchTellsTheFailureApart) {
    const FetchResult r = inet.fetch(url);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.body.isEmpty());
    EXPECT_EQ(r.httpStatus, GetParam().httpStatus);
    EXPECT_TRUE(r.errorText.contains(GetParam().errorMarker)) << r.errorText.toStdString();
}

TEST_P(InetFailure, executeEndsInTheErrorStateWithResponseInfo) {
    std::vector<int> states;
    bool executingDuringNotification = false;
    QObject::connect(&inet, &Inet::StateChanged, [&](int state) {
        states.push_back(state);
        executingDuringNotification = inet.StillExecuting();
    });
    ASSERT_TRUE(inet.Execute(url, QStringLiteral("get /")));
    waitWhileExecuting(inet);
    EXPECT_EQ(states, std::vector<int>{Inet::icError});
    EXPECT_TRUE(executingDuringNotification);
    EXPECT_TRUE(inet.ResponseInfo().contains(GetParam().errorMarker)) << inet.ResponseInfo().toStdString();
    EXPECT_TRUE(inet.GetChunk(80).isEmpty());
    EXPECT_EQ(inet.ResponseCode(), GetParam().httpStatus);
}

QString answering(std::unique_ptr<StubHttpServer>& server, int status, const QByteArray& reason,
                  const QByteArray& body, const QByteArray& headers = {}) {
    server = std::make_unique<StubHttpServer>();
    server->setResponse(status, reason, body, headers);
    return server->url(QStringLiteral("/cgi-bin/sb042.htm"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InetFailure,
    ::testing::Values(
        FailureCase{"connectionRefused", [](auto&) { return closedPortUrl(); }, 0,
                    QStringLiteral(u"אין קשר")},
        FailureCase{"serverNeverAnswers",
                    [](auto& server) {
                        server = std::make_unique<StubHttpServer>(StubHttpServer::Mode::Silent);
                        return server->url();
                    },
                    0, QStringLiteral(u"לא ענה")},
        FailureCase{
            "http500",
            [](auto& server) { return answering(server, 500, "Internal Server Error", "<h1>oops</h1>"); },
            500, QStringLiteral("500")},
        FailureCase{"http404", [](auto& server) { return answering(server, 404, "Not Found", "missing"); },
                    404, QStringLiteral("404")},
        FailureCase{"bodyOverTheCap",
                    [](auto& server) { return answering(server, 200, "OK", QByteArray(101, 'x')); }, 200,
                    QStringLiteral(u"גדולה מדי")},
        FailureCase{"bodyOverTheCapWithoutLength",
                    [](auto& server) {
                        server = std::make_unique<StubHttpServer>();
                        server->setRawResponse("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" +
                                               QByteArray(5000, 'y'));
                        return server->url();
                    },
                    200, QStringLiteral(u"גדולה מדי")},
        FailureCase{"notAnAddress", [](auto&) { return QStringLiteral("no address here"); }, 0,
                    QStringLiteral(u"כתובת לא תקינה")},
        FailureCase{"notHttp", [](auto&) { return QStringLiteral("file:///etc/passwd"); }, 0,
                    QStringLiteral(u"כתובת לא תקינה")},
        FailureCase{"emptyAddress", [](auto&) { return QString(); }, 0, QStringLiteral(u"כתובת לא תקינה")}),
    [](const ::testing::TestParamInfo<FailureCase>& p) { return p.param.name; });

// ---- Success ----

TEST(InetSuccess, openUrlReturnsTheBodyByteForByte) {
    StubHttpServer server;
    const QByteArray body = everyByte(1000) + "\r\n\xe0\xf9";
    server.setResponse(200, "OK", body);
    Inet inet;
    EXPECT_EQ(inet.OpenURL(server.url(QStringLiteral("/in1.html"))), body);
    const FetchResult r = inet.fetch(server.url(QStringLiteral("/in1.html")));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.httpStatus, 200);
    EXPECT_TRUE(r.errorText.isEmpty());
    ASSERT_EQ(server.requestLines().size(), 2);
    EXPECT_EQ(server.requestLines().first(), "GET /in1.html HTTP/1.1");
}

TEST(InetSuccess, aBodyExactlyAtTheCapIsAccepted) {
    StubHttpServer server;
    server.setResponse(200, "OK", QByteArray(100, 'z'));
    Inet inet;
    inet.setMaxBodySize(100);
    EXPECT_EQ(inet.OpenURL(server.url()).size(), 100);
}

TEST(InetSuccess, anEmptyBodyIsAnAnswerForFetch) {
    StubHttpServer server;
    server.setResponse(200, "OK", QByteArray());
    Inet inet;
    const FetchResult r = inet.fetch(server.url());
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.body.isEmpty());
}

TEST(InetExecute, aSecondExecuteWhileOneRunsIsRefused) {
    StubHttpServer server;
    server.setResponse(200, "OK", "first");
    Inet inet;
    int notifications = 0;
    QObject::connect(&inet, &Inet::StateChanged, [&](int) { ++notifications; });
    ASSERT_TRUE(inet.Execute(server.url(QStringLiteral("/a")), QStringLiteral("get /")));
    EXPECT_FALSE(inet.Execute(server.url(QStringLiteral("/b")), QStringLiteral("get /")));
    waitWhileExecuting(inet);
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(inet.GetChunk(80), "first");
    EXPECT_EQ(server.requestLines(), QList<QByteArray>{"GET /a HTTP/1.1"});
    // Once ended, the component takes the next request, with a fresh body.
    ASSERT_TRUE(inet.Execute(server.url(QStringLiteral("/b")), QStringLiteral("get /")));
    waitWhileExecuting(inet);
    EXPECT_EQ(inet.GetChunk(80), "first");
    EXPECT_EQ(server.requestLines().value(1), "GET /b HTTP/1.1");
}

TEST(InetExecute, anOperationOtherThanGetIsAnError) {
    StubHttpServer server;
    server.setResponse(200, "OK", "body");
    Inet inet;
    ASSERT_TRUE(inet.Execute(server.url(), QStringLiteral("put /")));
    waitWhileExecuting(inet);
    EXPECT_EQ(inet.LastState(), Inet::icError);
    EXPECT_FALSE(inet.ResponseInfo().isEmpty());
    EXPECT_TRUE(server.requestLines().isEmpty());
}

// ---- Destroyed mid-request ----

TEST(InetLifetime, destroyedWhileOpenUrlWaitsReturnsEmpty) {
    StubHttpServer server(StubHttpServer::Mode::Silent);
    auto* inet = new Inet;
    inet->setRequestTimeout(60000);
    QTimer::singleShot(100, [inet] { delete inet; });
    EXPECT_TRUE(inet->OpenURL(server.url()).isEmpty());
}

TEST(InetLifetime, destroyedWhileExecutingSendsNothing) {
    StubHttpServer server(StubHttpServer::Mode::Silent);
    int notifications = 0;
    {
        Inet inet;
        QObject::connect(&inet, &Inet::StateChanged, [&](int) { ++notifications; });
        ASSERT_TRUE(inet.Execute(server.url(), QStringLiteral("get /")));
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications, 0);
}

TEST(InetLifetime, aHandlerMayDeleteTheComponent) {
    StubHttpServer server;
    server.setResponse(200, "OK", "done");
    QPointer<Inet> inet = new Inet;
    QByteArray received;
    QObject::connect(inet.data(), &Inet::StateChanged, [&](int) {
        received = inet->GetChunk(80);
        delete inet.data();
    });
    ASSERT_TRUE(inet->Execute(server.url(), QStringLiteral("get /")));
    while (inet && inet->StillExecuting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_TRUE(inet.isNull());
    EXPECT_EQ(received, "done");
}

} // namespace
