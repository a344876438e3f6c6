#pragma once

#include "service/CounterDatabase.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora::service {

// The order-number counters, one per print shop, in an SQLite database file or a PostgreSQL
// database. Several service processes may share the database (the primary and the fallback
// server on one file, or services on several hosts on one PostgreSQL database); each hand-out is
// part of a committed transaction, so no number is ever handed out twice, by any process, and a
// number is handed out only once its transaction is on disk.
//
// Group commit: the requests of all threads go into one queue, and a single writer thread takes
// whatever has queued up in one transaction with one sync, then answers them all. While that sync
// runs the next requests queue up for the following transaction, so under load many numbers share
// one sync, and a lone request waits for no one. (After a transaction of several requests the
// writer gives their clients a moment to come back before it starts the next one; see writerLoop.) Per shop,
// the numbers of a transaction are consecutive and go out in the order the requests queued. A requester that
// is gone by then (its client went away) leaves a gap: the number is never handed out again.
//
// Thread-safe.
class CounterStore {
public:
    enum class Outcome {
        Issued,      // number holds the order number
        UnknownShop, // no counter for that code
        Busy,        // the database stayed locked past the time-out or could not be reached
        Failed,      // any other database error (error says which)
    };
    struct Issue {
        Outcome outcome = Outcome::Failed;
        std::int64_t number = 0;
        std::string error;
    };

    // Opens the database: a PostgreSQL URL ("postgresql://" or "postgres://"), else an SQLite
    // file, created where missing. Creates the schema and seeds the counters (see seed). Returns
    // null with error set on failure.
    static std::unique_ptr<CounterStore> open(const std::string& database, const FirstNumbers& firstNumbers,
                                              std::string& error);
    // Takes over an opened database; seeds it first.
    static std::unique_ptr<CounterStore> open(std::unique_ptr<CounterDatabase> database,
                                              const FirstNumbers& firstNumbers, std::string& error);
    // Answers every request still queued, then stops the writer.
    ~CounterStore();
    CounterStore(const CounterStore&) = delete;
    CounterStore& operator=(const CounterStore&) = delete;

    // The shop's next order number, once the transaction that moved the counter past it is on disk.
    Issue next(const std::string& code);

    // Requests taken but not answered yet (queued or in the transaction under way).
    std::size_t waiting() const;
    // Transactions committed so far.
    std::uint64_t transactions() const;

private:
    struct Request;
    // The longest a transaction waits for more requests to join it.
    static constexpr std::chrono::microseconds kMaxGather{2000};
    explicit CounterStore(std::unique_ptr<CounterDatabase> database);
    void writerLoop();
    void serve(std::vector<Request*>& batch);

    std::unique_ptr<CounterDatabase> m_database; // used by the writer thread only
    mutable std::mutex m_mutex;                  // guards everything below
    std::condition_variable m_wake;
    std::vector<Request*> m_queue;
    std::size_t m_waiting = 0;
    std::uint64_t m_transactions = 0;
    bool m_stopping = false;
    std::size_t m_gatherTarget = 0; // the writer waits until this many requests queued (0: for one)
    std::thread m_writer;
};

} // namespace velmora::service
