// Order numbers: one counter per shop in one database shared by several servers (the primary and
// the fallback server on one SQLite file, or services on several hosts on one PostgreSQL
// database); no number is ever handed out twice, under concurrent load on three servers, across
// restarts, SIGKILL of a server in mid-load (and of the PostgreSQL server), clients that go away
// and edits of the shop list. The same cases run against both kinds of database.
#include "ProgramReading.h"
#include "RawHttp.h"
#include "TestDatabase.h"
#include "TestPostgres.h"
#include "TestService.h"

#include <QFile>

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

long long takeNumber(const TestService& service, const std::string& code) {
    const RawReply reply = rawGet(service.port(), "/cgi-bin/scr" + code + "n.pl");
    return reply.status == 200 ? static_cast<long long>(programNumber(reply.body)) : -1;
}

std::unique_ptr<httplib::Client> clientFor(const TestService& service) {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", service.port());
    client->set_connection_timeout(5, 0);
    client->set_read_timeout(30, 0); // a sanitizer build on a busy machine syncs slowly
    client->set_keep_alive(true);
    return client;
}

// A fresh database of the test's kind for the services of one test.
class OrderNumbers : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override { ASSERT_TRUE(m_database.isReady()) << m_database.errorString(); }

    TestService::Options options() const {
        TestService::Options options;
        options.database = QString::fromStdString(m_database.location());
        return options;
    }

    TestDatabase m_database{GetParam()};
};

// Rewrites the site's shop list (Windows-1255 bytes) with one replacement.
void editShopList(const TestService& service, const QByteArray& from, const QByteArray& to) {
    QFile file(service.siteDir() + "/shops.tsv");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    ASSERT_TRUE(text.contains(from)) << from.toStdString();
    text.replace(from, to);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

TEST_P(OrderNumbers, NeverTwiceUnderConcurrentLoadOnThreeServersSharingOneDatabase) {
    TestService first(options());
    ASSERT_TRUE(first.isRunning()) << first.errorString().toStdString();
    TestService second(TestService::sharingDatabaseOf(first));
    ASSERT_TRUE(second.isRunning()) << second.errorString().toStdString();
    TestService third(TestService::sharingDatabaseOf(first));
    ASSERT_TRUE(third.isRunning()) << third.errorString().toStdString();

    constexpr int kThreads = 9;
    constexpr int kRequestsPerThread = 400;
    const std::string codes[] = {"101", "042"};
    std::vector<std::map<std::string, std::vector<long long>>> numbers(kThreads);
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const auto clients = std::array{clientFor(first), clientFor(second), clientFor(third)};
            for (int i = 0; i < kRequestsPerThread; ++i) {
                const std::string& code = codes[(i / 3 + t) % 2];
                const auto res = clients[(i + t) % 3]->Get("/cgi-bin/scr" + code + "n.pl");
                if (!res || res->status != 200) {
                    ++failures;
                    continue;
                }
                numbers[t][code].push_back(static_cast<long long>(programNumber(res->body)));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);

    // Per shop: every number once, none skipped, starting at the shop's first number.
    const std::map<std::string, long long> firstNumbers = {{"101", 1001}, {"042", 4201}};
    std::size_t total = 0;
    for (const auto& [code, firstNumber] : firstNumbers) {
        std::vector<long long> all;
        for (auto& perThread : numbers)
            all.insert(all.end(), perThread[code].begin(), perThread[code].end());
        std::sort(all.begin(), all.end());
        total += all.size();
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "a number was handed out twice";
        EXPECT_EQ(all.front(), firstNumber) << code;
        EXPECT_EQ(all.back(), firstNumber + static_cast<long long>(all.size()) - 1) << "numbers were skipped";
    }
    EXPECT_EQ(total, static_cast<std::size_t>(kThreads * kRequestsPerThread) - failures.load());
}

// Threads that take shop 777's numbers from a set of servers in turn, each request on a fresh
// connection (so that a restarted server is reached on its new socket), until stopped; every
// number is kept with the times its request began and was answered. Failed requests are retried.
class NumberLoad {
public:
    using Clock = std::chrono::steady_clock;
    struct Taken {
        Clock::time_point begun;
        Clock::time_point answered;
        int round; // the round of the test when the request began
        int server;
        long long number;
    };

    explicit NumberLoad(const std::vector<const TestService*>& servers, int threads = 4) {
        for (const TestService* server : servers)
            m_ports.push_back(std::make_unique<std::atomic<int>>(server->port()));
        for (int t = 0; t < threads; ++t)
            m_threads.emplace_back([this, t] { run(t); });
    }
    ~NumberLoad() { stop(); }

    // Another round begins (a server was killed or restarted); a restarted server's port.
    void nextRound() { ++m_round; }
    void setPort(std::size_t server, int port) { *m_ports[server] = port; }

    std::size_t count() const {
        const std::lock_guard lock(m_mutex);
        return m_taken.size();
    }

    // Waits (generously) until that many numbers were taken in all; false if they were not.
    bool waitForCount(std::size_t count) const {
        const auto deadline = Clock::now() + 60s;
        while (Clock::now() < deadline) {
            {
                const std::lock_guard lock(m_mutex);
                if (m_taken.size() >= count)
                    return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // Waits (generously) until every server handed out at least `each` numbers for requests
    // begun in round r, also on a slow machine where a restart takes long.
    bool waitUntilEachServed(int r, std::size_t each) const {
        const auto deadline = Clock::now() + 60s;
        while (Clock::now() < deadline) {
            {
                const std::lock_guard lock(m_mutex);
                std::vector<std::size_t> counts(m_ports.size(), 0);
                for (const Taken& entry : m_taken) {
                    if (entry.round == r)
                        ++counts[static_cast<std::size_t>(entry.server)];
                }
                if (std::all_of(counts.begin(), counts.end(), [each](std::size_t c) { return c >= each; }))
                    return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    std::vector<Taken> stop() {
        m_done = true;
        for (auto& thread : m_threads) {
            if (thread.joinable())
                thread.join();
        }
        const std::lock_guard lock(m_mutex);
        return m_taken;
    }

private:
    void run(int t) {
        for (int i = 0; !m_done; ++i) {
            const int started = m_round;
            const int server = (i + t) % static_cast<int>(m_ports.size());
            const auto begun = Clock::now();
            const RawReply reply = rawExchange(*m_ports[server],
                                               "GET /cgi-bin/scr777n.pl HTTP/1.1\r\nHost: x\r\n"
                                               "Connection: close\r\n\r\n",
                                               30'000);
            if (reply.status != 200 || !reply.complete()) {
                std::this_thread::sleep_for(5ms);
                continue;
            }
            const std::lock_guard lock(m_mutex);
            m_taken.push_back(
                {begun, Clock::now(), started, server, static_cast<long long>(programNumber(reply.body))});
        }
    }

    std::vector<std::unique_ptr<std::atomic<int>>> m_ports;
    std::atomic<int> m_round = 0;
    std::atomic<bool> m_done = false;
    mutable std::mutex m_mutex;
    std::vector<Taken> m_taken;
    std::vector<std::thread> m_threads;
};

// No number twice, and a request begun after another was answered gets a higher number, across
// kills and restarts alike: the counter never goes back. (Numbers taken by a killed server and
// never delivered are simply missing.)
void expectNeverTwiceAndRising(const std::vector<NumberLoad::Taken>& taken) {
    std::set<long long> seen;
    for (const auto& entry : taken)
        EXPECT_TRUE(seen.insert(entry.number).second) << entry.number << " was handed out twice";
    EXPECT_GE(*seen.begin(), 7001);

    std::vector<const NumberLoad::Taken*> byAnswer;
    std::vector<const NumberLoad::Taken*> byBegin;
    for (const auto& entry : taken) {
        byAnswer.push_back(&entry);
        byBegin.push_back(&entry);
    }
    std::sort(byAnswer.begin(), byAnswer.end(), [](auto x, auto y) { return x->answered < y->answered; });
    std::sort(byBegin.begin(), byBegin.end(), [](auto x, auto y) { return x->begun < y->begun; });
    long long highestAnswered = 0;
    std::size_t answeredSoFar = 0;
    for (const auto* entry : byBegin) {
        while (answeredSoFar < byAnswer.size() && byAnswer[answeredSoFar]->answered < entry->begun)
            highestAnswered = std::max(highestAnswered, byAnswer[answeredSoFar++]->number);
        EXPECT_GT(entry->number, highestAnswered) << "round " << entry->round << " server " << entry->server;
    }
}

// Load on both servers while they are killed with SIGKILL and restarted, round after round: in
// each round one of them in turn, or both at once when killBoth(round). Each kill comes once both
// servers handed out `each` numbers in the round; while one server is down the other one goes on.
// Returns the number of SIGKILLs.
int killInMidLoad(TestService& a, TestService& b, int rounds, const std::function<bool(int)>& killBoth,
                  std::size_t each) {
    NumberLoad load({&a, &b});
    int kills = 0;
    bool progressed = true;
    for (int r = 0; r < rounds && progressed; ++r) {
        const bool both = killBoth(r);
        const std::size_t victim = r % 2;
        TestService& first = victim == 0 ? a : b;
        TestService& second = victim == 0 ? b : a;
        progressed = load.waitUntilEachServed(r, each);
        first.kill();
        ++kills;
        if (both) {
            second.kill();
            ++kills;
        } else {
            const std::size_t before = load.count();
            progressed = progressed && load.waitForCount(before + 3 * each); // the other server goes on
        }
        EXPECT_TRUE(first.start()) << first.errorString().toStdString();
        load.setPort(victim, first.port());
        if (both) {
            EXPECT_TRUE(second.start()) << second.errorString().toStdString();
            load.setPort(1 - victim, second.port());
        }
        load.nextRound();
    }
    progressed = progressed && load.waitUntilEachServed(rounds, each);
    const auto taken = load.stop();
    EXPECT_TRUE(progressed) << "the servers stopped handing out numbers";
    if (!progressed)
        return kills;

    expectNeverTwiceAndRising(taken);
    // Both servers handed out numbers again after every restart.
    std::set<std::pair<int, int>> servedInRound; // {round, server}
    for (const auto& entry : taken)
        servedInRound.emplace(entry.round, entry.server);
    for (int r = 0; r <= rounds; ++r) {
        EXPECT_TRUE(servedInRound.count({r, 0}) && servedInRound.count({r, 1})) << "round " << r;
    }
    std::cout << kills << " SIGKILLs, " << taken.size() << " numbers handed out, none twice" << std::endl;
    return kills;
}

// Load on both servers while one of them is killed and restarted, again and again.
TEST_P(OrderNumbers, ContinueWithoutDuplicatesAfterSigkillInMidLoad) {
    TestService a(options());
    ASSERT_TRUE(a.isRunning()) << a.errorString().toStdString();
    TestService b(TestService::sharingDatabaseOf(a));
    ASSERT_TRUE(b.isRunning()) << b.errorString().toStdString();
    killInMidLoad(
        a, b, 3, [](int) { return false; }, 50);
}

// Ten rounds of kills in a row, every fifth round both servers at once (so that no server is
// left to carry on, and both start again on a database their killed writers left behind).
TEST_P(OrderNumbers, NoNumberTwiceAcrossTenRoundsOfSigkillsInARow) {
    TestService a(options());
    ASSERT_TRUE(a.isRunning()) << a.errorString().toStdString();
    TestService b(TestService::sharingDatabaseOf(a));
    ASSERT_TRUE(b.isRunning()) << b.errorString().toStdString();
    EXPECT_EQ(killInMidLoad(
                  a, b, 10, [](int r) { return r % 5 == 4; }, 20),
              12);
}

TEST_P(OrderNumbers, ContinueAfterACleanRestart) {
    TestService service(options());
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    EXPECT_EQ(takeNumber(service, "042"), 4201);
    EXPECT_EQ(takeNumber(service, "042"), 4202);
    EXPECT_TRUE(service.stop()) << "SIGTERM must end the service with exit code 0";
    EXPECT_TRUE(service.log().contains("velmora-service: stopped"));
    ASSERT_TRUE(service.start()) << service.errorString().toStdString();
    EXPECT_EQ(takeNumber(service, "042"), 4203);
    EXPECT_EQ(takeNumber(service, "101"), 1001);
}

TEST_P(OrderNumbers, CounterNeverGoesBackWhenTheShopListIsEdited) {
    TestService service(options());
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    for (long long expected = 4201; expected <= 4203; ++expected)
        EXPECT_EQ(takeNumber(service, "042"), expected);

    // A lower first number would hand out 100..4203 again: the counter stays where it is.
    service.stop();
    editShopList(service, "042\tyes\t4201\t", "042\tyes\t100\t");
    ASSERT_TRUE(service.start()) << service.errorString().toStdString();
    EXPECT_EQ(takeNumber(service, "042"), 4204);

    // A higher first number moves the counter on.
    service.stop();
    editShopList(service, "042\tyes\t100\t", "042\tyes\t9000\t");
    ASSERT_TRUE(service.start()) << service.errorString().toStdString();
    EXPECT_EQ(takeNumber(service, "042"), 9000);
}

TEST_P(OrderNumbers, ShopTakenOffTheListAndBackContinuesItsCounter) {
    TestService service(options());
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    EXPECT_EQ(takeNumber(service, "512"), 5001);
    EXPECT_EQ(takeNumber(service, "512"), 5002);

    service.stop();
    editShopList(service, "512\tyes\t", "#512\tyes\t");
    ASSERT_TRUE(service.start()) << service.errorString().toStdString();
    EXPECT_EQ(rawGet(service.port(), "/cgi-bin/scr512n.pl").status, 404);
    EXPECT_EQ(rawGet(service.port(), "/cgi-bin/sb512.htm").status, 404);

    service.stop();
    editShopList(service, "#512\tyes\t", "512\tyes\t");
    ASSERT_TRUE(service.start()) << service.errorString().toStdString();
    EXPECT_EQ(takeNumber(service, "512"), 5003);
}

// A client that sends its request and goes away before the answer: its number is taken and
// lost, a gap, and never handed to anyone else.
TEST_P(OrderNumbers, ClientThatWentAwayLeavesAGapNeverARepeat) {
    TestService service(options());
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    EXPECT_EQ(takeNumber(service, "042"), 4201);

    constexpr int kGone = 6;
    for (int i = 0; i < kGone; ++i) {
        ASSERT_TRUE(sendAndHangUp(service.port(), "GET /cgi-bin/scr042n.pl?gone=" + std::to_string(i) +
                                                      " HTTP/1.1\r\nHost: x\r\n\r\n"));
    }
    // Each of them is logged once its number was taken and the answer went nowhere.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (service.log().count(" GET /cgi-bin/scr042n.pl?gone=") < kGone &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(service.log().count(" GET /cgi-bin/scr042n.pl?gone="), kGone) << service.log().toStdString();

    EXPECT_EQ(takeNumber(service, "042"), 4201 + kGone + 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, OrderNumbers, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& c) { return std::string(backendName(c.param)); });

// Services on several hosts reach the database by different ways: one over the unix socket, one
// over TCP with the other URL scheme.
TEST(OrderNumbersOnPostgres, ServicesReachingOneDatabaseBySocketAndByTcpShareTheCounters) {
    TestPostgres& server = TestPostgres::shared();
    ASSERT_TRUE(server.isRunning()) << server.errorString();
    const std::string name = server.createDatabase();
    ASSERT_FALSE(name.empty()) << server.errorString();

    TestService::Options bySocket;
    bySocket.database = QString::fromStdString(server.socketUrl(name));
    TestService::Options byTcp;
    byTcp.database = QString::fromStdString(server.tcpUrl(name)).replace("postgresql://", "postgres://");
    TestService a(bySocket);
    ASSERT_TRUE(a.isRunning()) << a.errorString().toStdString();
    TestService b(byTcp);
    ASSERT_TRUE(b.isRunning()) << b.errorString().toStdString();
    EXPECT_EQ(takeNumber(a, "042"), 4201);
    EXPECT_EQ(takeNumber(b, "042"), 4202);
    EXPECT_EQ(takeNumber(a, "042"), 4203);
    EXPECT_EQ(takeNumber(b, "101"), 1001);
}

// While the database server is down the service answers 503 and takes no number; once the server
// is back, it connects again and goes on where the counter stands.
TEST(OrderNumbersOnPostgres, ServiceRidesOutARestartOfTheDatabaseServer) {
    TestDatabase database(Backend::Postgres);
    ASSERT_TRUE(database.isReady()) << database.errorString();
    TestService::Options options;
    options.database = QString::fromStdString(database.location());
    TestService service(options);
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    EXPECT_EQ(takeNumber(service, "042"), 4201);

    TestPostgres& server = TestPostgres::shared();
    ASSERT_TRUE(server.stop());
    const RawReply down = rawGet(service.port(), "/cgi-bin/scr042n.pl");
    EXPECT_EQ(down.status, 503) << down.raw;
    EXPECT_EQ(down.header("retry-after"), "1");
    EXPECT_TRUE(service.log().contains("velmora-service: order numbers: ")) << service.log().toStdString();

    ASSERT_TRUE(server.start()) << server.errorString();
    EXPECT_EQ(takeNumber(service, "042"), 4202);
    EXPECT_EQ(takeNumber(service, "042"), 4203);
}

// The database server itself is killed under load, all its processes at once as a crash would end
// them, and started again: it recovers the committed counters from its log, and the services go
// on from there without handing out a number a second time.
TEST(OrderNumbersOnPostgres, NoNumberAgainAfterTheDatabaseServerIsKilledInMidLoad) {
    TestDatabase database(Backend::Postgres);
    ASSERT_TRUE(database.isReady()) << database.errorString();
    TestService::Options options;
    options.database = QString::fromStdString(database.location());
    TestService a(options);
    ASSERT_TRUE(a.isRunning()) << a.errorString().toStdString();
    TestService b(options);
    ASSERT_TRUE(b.isRunning()) << b.errorString().toStdString();

    TestPostgres& server = TestPostgres::shared();
    NumberLoad load({&a, &b});
    bool progressed = load.waitForCount(200);
    server.kill();
    const auto killed = NumberLoad::Clock::now();
    load.nextRound();
    std::this_thread::sleep_for(200ms); // requests meet the dead server
    const auto restarting = NumberLoad::Clock::now();
    const bool restarted = server.start();
    load.nextRound();
    progressed = progressed && restarted && load.waitForCount(load.count() + 200);
    const auto taken = load.stop();
    ASSERT_TRUE(restarted) << server.errorString();
    ASSERT_TRUE(progressed) << "the services did not hand out numbers again";

    expectNeverTwiceAndRising(taken);
    // While the server was dead nothing was handed out.
    for (const auto& entry : taken)
        EXPECT_FALSE(entry.begun > killed && entry.answered < restarting) << entry.number;
    EXPECT_TRUE(a.isRunning() && b.isRunning());
}

TEST(ServiceStop, DoesNotWaitLongForAnIdleClient) {
    TestService service;
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    const auto client = clientFor(service);
    ASSERT_TRUE(client->Get("/in1.html")); // the connection stays open, idle
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(service.stop());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
}

} // namespace
} // namespace velmora::test
