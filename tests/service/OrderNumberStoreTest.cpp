// The order-number store on its own, against both kinds of database: numbers for many threads at
// once, requests that queue up while another writer holds the counters, a stop with requests
// waiting, and a database of a newer service.
#include "TestDatabase.h"

#include "service/CounterStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

namespace velmora::test {
namespace {

using service::CounterStore;
using namespace std::chrono_literals;

const service::FirstNumbers kFirstNumbers = {{"101", 1001}, {"042", 4201}, {"777", 7001}};

class OrderNumberStore : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_database.isReady()) << m_database.errorString();
        std::string error;
        m_store = CounterStore::open(m_database.location(), kFirstNumbers, error);
        ASSERT_TRUE(m_store) << error;
    }

    // Waits (generously: the machine may be busy) until that many requests wait for an answer.
    static bool waitUntilWaiting(const CounterStore& store, std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (store.waiting() < count) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    // Holds the counters locked while each code's request queues, one after the other, then lets
    // the writer go on. The answers, in the order of the codes.
    std::vector<CounterStore::Issue> queueBehindALock(const std::vector<std::string>& codes) {
        std::vector<CounterStore::Issue> issues(codes.size());
        if (!m_database.lockCounters()) {
            ADD_FAILURE() << m_database.errorString();
            return issues;
        }
        std::vector<std::thread> threads;
        bool queued = true;
        for (std::size_t i = 0; i < codes.size() && queued; ++i) {
            threads.emplace_back([&, i] { issues[i] = m_store->next(codes[i]); });
            queued = waitUntilWaiting(*m_store, i + 1);
        }
        EXPECT_TRUE(queued) << "the requests did not queue up";
        EXPECT_TRUE(m_database.unlockCounters()) << m_database.errorString();
        for (auto& thread : threads)
            thread.join();
        return issues;
    }

    TestDatabase m_database{GetParam()};
    std::unique_ptr<CounterStore> m_store;
};

TEST_P(OrderNumberStore, ManyThreadsGetEveryNumberOnceAndEachItsOwnInRisingOrder) {
    constexpr int kThreads = 16;
    constexpr int kRequestsPerThread = 120;
    const std::string codes[] = {"101", "042", "777", "999"};
    std::vector<std::vector<std::pair<std::string, CounterStore::Issue>>> taken(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRequestsPerThread; ++i) {
                const std::string& code = codes[(i + t) % 4];
                taken[t].emplace_back(code, m_store->next(code));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    std::map<std::string, std::vector<std::int64_t>> perShop;
    for (const auto& perThread : taken) {
        std::map<std::string, std::int64_t> lastOfThread;
        for (const auto& [code, issue] : perThread) {
            if (code == "999") {
                EXPECT_EQ(issue.outcome, CounterStore::Outcome::UnknownShop);
                continue;
            }
            ASSERT_EQ(issue.outcome, CounterStore::Outcome::Issued) << issue.error;
            // A thread's next request queues after its last one was answered.
            EXPECT_GT(issue.number, lastOfThread[code]) << code;
            lastOfThread[code] = issue.number;
            perShop[code].push_back(issue.number);
        }
    }
    const std::size_t requestsPerShop = kThreads * kRequestsPerThread / 4;
    for (const auto& [code, first] : kFirstNumbers) {
        std::vector<std::int64_t>& numbers = perShop[code];
        ASSERT_EQ(numbers.size(), requestsPerShop) << code;
        std::sort(numbers.begin(), numbers.end());
        // Every number once and none skipped: first, first + 1, ...
        for (std::size_t i = 0; i < numbers.size(); ++i)
            ASSERT_EQ(numbers[i], first + static_cast<std::int64_t>(i)) << code;
    }
}

TEST_P(OrderNumberStore, RequestsQueuedWhileAnotherWriterHoldsTheCountersShareOneTransaction) {
    const CounterStore::Issue warmUp = m_store->next("042");
    ASSERT_EQ(warmUp.outcome, CounterStore::Outcome::Issued) << warmUp.error;
    ASSERT_EQ(warmUp.number, 4201);
    const std::uint64_t before = m_store->transactions();

    const std::vector<std::string> codes = {"042", "101", "042", "999", "101", "042", "777", "042"};
    const auto issues = queueBehindALock(codes);

    // The first request may have gone into a transaction of its own before the others queued;
    // the rest waited together.
    const std::uint64_t transactions = m_store->transactions() - before;
    EXPECT_GE(transactions, 1u);
    EXPECT_LE(transactions, 2u);
    // Per shop, consecutive numbers in the order the requests queued; an unknown shop takes none.
    const std::int64_t expected[] = {4202, 1001, 4203, 0, 1002, 4204, 7001, 4205};
    for (std::size_t i = 0; i < codes.size(); ++i) {
        SCOPED_TRACE("request " + std::to_string(i) + " for " + codes[i]);
        if (expected[i] == 0) {
            EXPECT_EQ(issues[i].outcome, CounterStore::Outcome::UnknownShop);
            continue;
        }
        EXPECT_EQ(issues[i].outcome, CounterStore::Outcome::Issued) << issues[i].error;
        EXPECT_EQ(issues[i].number, expected[i]);
    }
    EXPECT_EQ(m_store->next("042").number, 4206);
}

TEST_P(OrderNumberStore, StopAnswersTheRequestsStillWaiting) {
    ASSERT_TRUE(m_database.lockCounters()) << m_database.errorString();
    CounterStore* store = m_store.get();
    std::vector<CounterStore::Issue> issues(3);
    std::vector<std::thread> threads;
    bool queued = true;
    for (std::size_t i = 0; i < issues.size() && queued; ++i) {
        threads.emplace_back([&, i] { issues[i] = store->next("101"); });
        queued = waitUntilWaiting(*store, i + 1);
    }
    // The stop waits for the writer, which waits for the lock.
    std::thread stopper([&] { m_store.reset(); });
    EXPECT_TRUE(m_database.unlockCounters()) << m_database.errorString();
    stopper.join();
    for (auto& thread : threads)
        thread.join();
    ASSERT_TRUE(queued);
    for (std::size_t i = 0; i < issues.size(); ++i) {
        EXPECT_EQ(issues[i].outcome, CounterStore::Outcome::Issued) << issues[i].error;
        EXPECT_EQ(issues[i].number, 1001 + static_cast<std::int64_t>(i));
    }

    // The counters went on to disk: a new store continues after them.
    std::string error;
    m_store = CounterStore::open(m_database.location(), kFirstNumbers, error);
    ASSERT_TRUE(m_store) << error;
    EXPECT_EQ(m_store->next("101").number, 1004);
}

TEST_P(OrderNumberStore, RefusesADatabaseOfANewerService) {
    m_store.reset();
    ASSERT_TRUE(m_database.setSchemaVersion(2)) << m_database.errorString();
    std::string error;
    EXPECT_FALSE(CounterStore::open(m_database.location(), kFirstNumbers, error));
    EXPECT_NE(error.find("the database was made by a newer service (schema 2)"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Backends, OrderNumberStore, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& c) { return std::string(backendName(c.param)); });

} // namespace
} // namespace velmora::test
