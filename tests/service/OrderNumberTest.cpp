// Order numbers: one counter per shop in one database file shared by the primary and the
// fallback server; no number is ever handed out twice, under concurrent load on both servers,
// across restarts, SIGKILL in mid-load, and edits of the shop list.
#include "ProgramReading.h"
#include "RawHttp.h"
#include "TestService.h"

#include <QFile>

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
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

TEST(OrderNumbers, NeverTwiceUnderConcurrentLoadOnTwoServersSharingOneDatabase) {
    TestService primary;
    ASSERT_TRUE(primary.isRunning()) << primary.errorString().toStdString();
    TestService fallback(TestService::sharingDatabaseOf(primary));
    ASSERT_TRUE(fallback.isRunning()) << fallback.errorString().toStdString();

    constexpr int kThreads = 8;
    constexpr int kRequestsPerThread = 500;
    const std::string codes[] = {"101", "042"};
    std::vector<std::map<std::string, std::vector<long long>>> numbers(kThreads);
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const auto clients = std::array{clientFor(primary), clientFor(fallback)};
            for (int i = 0; i < kRequestsPerThread; ++i) {
                const std::string& code = codes[(i / 2 + t) % 2];
                const auto res = clients[(i + t) % 2]->Get("/cgi-bin/scr" + code + "n.pl");
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
    for (const auto& [code, first] : firstNumbers) {
        std::vector<long long> all;
        for (auto& perThread : numbers)
            all.insert(all.end(), perThread[code].begin(), perThread[code].end());
        std::sort(all.begin(), all.end());
        total += all.size();
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "a number was handed out twice";
        EXPECT_EQ(all.front(), first) << code;
        EXPECT_EQ(all.back(), first + static_cast<long long>(all.size()) - 1) << "numbers were skipped";
    }
    EXPECT_EQ(total, static_cast<std::size_t>(kThreads * kRequestsPerThread) - failures.load());
}

// Load on both servers while one of them is killed and restarted, again and again.
TEST(OrderNumbers, ContinueWithoutDuplicatesAfterSigkillInMidLoad) {
    TestService a;
    ASSERT_TRUE(a.isRunning()) << a.errorString().toStdString();
    TestService b(TestService::sharingDatabaseOf(a));
    ASSERT_TRUE(b.isRunning()) << b.errorString().toStdString();

    using Clock = std::chrono::steady_clock;
    struct Taken {
        Clock::time_point begun;
        Clock::time_point answered;
        int round; // restarts done when the request began
        int server;
        long long number;
    };
    std::mutex mutex;
    std::vector<Taken> taken;
    std::atomic<int> round = 0;
    std::atomic<int> ports[2] = {a.port(), b.port()};
    std::atomic<bool> done = false;

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; !done; ++i) {
                const int started = round;
                const int server = (i + t) % 2;
                const auto begun = Clock::now();
                // Fresh connections, so that a restarted server is reached on its new socket.
                const RawReply reply = rawExchange(ports[server],
                                                   "GET /cgi-bin/scr777n.pl HTTP/1.1\r\nHost: x\r\n"
                                                   "Connection: close\r\n\r\n",
                                                   30'000);
                // A reply cut off by the kill is a lost reply (its number is a gap), not a number.
                if (reply.status != 200 || reply.body.find("</html>") == std::string::npos) {
                    std::this_thread::sleep_for(5ms);
                    continue;
                }
                const std::lock_guard lock(mutex);
                taken.push_back({begun, Clock::now(), started, server,
                                 static_cast<long long>(programNumber(reply.body))});
            }
        });
    }
    // Waits until the condition holds (it is checked under the lock), at most a minute.
    const auto waitFor = [&](const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (std::chrono::steady_clock::now() < deadline) {
            {
                const std::lock_guard lock(mutex);
                if (condition())
                    return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };
    // Numbers that each server handed out for requests begun in round r: both must have served
    // in every round, also on a slow machine where a restart takes long.
    const auto bothServedInRound = [&](int r, std::size_t each) {
        return [&, r, each] {
            std::size_t counts[2] = {0, 0};
            for (const Taken& entry : taken) {
                if (entry.round == r)
                    ++counts[entry.server];
            }
            return counts[0] >= each && counts[1] >= each;
        };
    };

    constexpr int kRounds = 3;
    bool progressed = true;
    for (int r = 0; r < kRounds && progressed; ++r) {
        TestService& victim = r % 2 == 0 ? a : b;
        progressed = waitFor(bothServedInRound(r, 50));
        victim.kill();
        std::size_t before = 0;
        {
            const std::lock_guard lock(mutex);
            before = taken.size();
        }
        // The other server goes on alone.
        progressed = progressed && waitFor([&] { return taken.size() >= before + 150; });
        ASSERT_TRUE(victim.start()) << victim.errorString().toStdString();
        ports[r % 2] = victim.port();
        ++round;
    }
    progressed = progressed && waitFor(bothServedInRound(kRounds, 50));
    done = true;
    for (auto& thread : threads)
        thread.join();
    ASSERT_TRUE(progressed) << "the servers stopped handing out numbers";

    std::set<long long> seen;
    std::set<std::pair<int, int>> servedInRound; // {round, server}
    for (const Taken& entry : taken) {
        EXPECT_TRUE(seen.insert(entry.number).second) << entry.number << " was handed out twice";
        servedInRound.emplace(entry.round, entry.server);
    }
    // A request begun after another was answered gets a higher number, across kills and
    // restarts alike: the counter never goes back. (Numbers taken by a killed server and never
    // delivered are simply missing.)
    std::vector<const Taken*> byAnswer;
    std::vector<const Taken*> byBegin;
    for (const Taken& entry : taken) {
        byAnswer.push_back(&entry);
        byBegin.push_back(&entry);
    }
    std::sort(byAnswer.begin(), byAnswer.end(), [](auto x, auto y) { return x->answered < y->answered; });
    std::sort(byBegin.begin(), byBegin.end(), [](auto x, auto y) { return x->begun < y->begun; });
    long long highestAnswered = 0;
    std::size_t answeredSoFar = 0;
    for (const Taken* entry : byBegin) {
        while (answeredSoFar < byAnswer.size() && byAnswer[answeredSoFar]->answered < entry->begun)
            highestAnswered = std::max(highestAnswered, byAnswer[answeredSoFar++]->number);
        EXPECT_GT(entry->number, highestAnswered) << "round " << entry->round << " server " << entry->server;
    }
    // Both servers handed out numbers again after every restart.
    for (int r = 0; r <= kRounds; ++r) {
        EXPECT_TRUE(servedInRound.count({r, 0}) && servedInRound.count({r, 1})) << "round " << r;
    }
    EXPECT_GE(*seen.begin(), 7001);
}

TEST(OrderNumbers, ContinueAfterACleanRestart) {
    TestService service;
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    EXPECT_EQ(takeNumber(service, "042"), 4201);
    EXPECT_EQ(takeNumber(service, "042"), 4202);
    EXPECT_TRUE(service.stop()) << "SIGTERM must end the service with exit code 0";
    EXPECT_TRUE(service.log().contains("velmora-service: stopped"));
    ASSERT_TRUE(service.start()) << service.errorString().toStdString();
    EXPECT_EQ(takeNumber(service, "042"), 4203);
    EXPECT_EQ(takeNumber(service, "101"), 1001);
}

TEST(OrderNumbers, CounterNeverGoesBackWhenTheShopListIsEdited) {
    TestService service;
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

TEST(OrderNumbers, ShopTakenOffTheListAndBackContinuesItsCounter) {
    TestService service;
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

TEST(OrderNumbers, StopDoesNotWaitLongForAnIdleClient) {
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
