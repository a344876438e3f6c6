#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace velmora::service {

// The order-number counters, one per print shop, in an SQLite database file. Several service
// processes may share the file (the primary and the fallback server); SQLite's locking makes each
// hand-out one transaction, so no number is ever handed out twice, by either process, and a
// number is handed out only once its transaction is on disk.
//
// Thread-safe: each request borrows a connection of its own from a small pool.
class CounterStore {
public:
    enum class Outcome {
        Issued,      // number holds the order number
        UnknownShop, // no counter for that code
        Busy,        // the database stayed locked past the busy time-out
        Failed,      // any other database error (error says which)
    };
    struct Issue {
        Outcome outcome = Outcome::Failed;
        std::int64_t number = 0;
        std::string error;
    };

    // Opens (and creates) the database and its schema. Returns null with error set on failure.
    static std::unique_ptr<CounterStore> open(const std::filesystem::path& file, std::string& error);
    ~CounterStore();
    CounterStore(const CounterStore&) = delete;
    CounterStore& operator=(const CounterStore&) = delete;

    // Makes sure every shop has a counter that starts at least at its first number. A counter that
    // is already further on is kept: lowering it would hand out numbers a second time.
    bool seed(const std::vector<std::pair<std::string, std::int64_t>>& firstNumbers, std::string& error);

    // The shop's next order number; the counter moves on by one in the same transaction.
    Issue next(const std::string& code);

    // The number the shop's next order would get, without taking it (0: no counter).
    std::int64_t peek(const std::string& code, std::string& error);

private:
    struct Connection;
    explicit CounterStore(std::filesystem::path file);
    std::unique_ptr<Connection> acquire(std::string& error);
    void release(std::unique_ptr<Connection> connection);

    std::filesystem::path m_file;
    std::mutex m_mutex; // guards m_idle
    // One write transaction at a time from this process: the others queue here instead of in
    // SQLite's busy handler, whose growing sleeps starve some requests for seconds under load.
    // Other processes on the same file still meet the busy handler.
    std::mutex m_writeMutex;
    std::vector<std::unique_ptr<Connection>> m_idle;
};

} // namespace velmora::service
