#include "service/CounterStore.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace velmora::service {

// Durability: every connection runs in WAL mode with synchronous=FULL. In WAL mode,
// synchronous=NORMAL would already survive a killed process (a committed transaction sits in the
// operating system's cache and reaches the file), but not an operating-system crash or a power
// loss: the last commits could be lost, the counter would go back, and numbers that are already
// printed on orders would be handed out again. FULL syncs the log at every commit, so a number
// leaves the service only after the counter that moved past it is on disk. It costs one sync per
// order number, far below what a print-order service needs.
namespace {

constexpr int kBusyTimeoutMs = 10'000;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS order_counter (
    shop_code   TEXT PRIMARY KEY NOT NULL,
    next_number INTEGER NOT NULL CHECK (next_number >= 1)
) STRICT;
)sql";

constexpr int kSchemaVersion = 1;

std::string describe(sqlite3* db, int code) {
    std::string text = sqlite3_errstr(code);
    if (db != nullptr && sqlite3_errcode(db) == code)
        text = sqlite3_errmsg(db);
    return text + " (" + std::to_string(code) + ")";
}

bool isBusy(int code) {
    return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED;
}

bool exec(sqlite3* db, const char* sql, std::string& error) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return true;
    error = std::string(message != nullptr ? message : sqlite3_errstr(rc)) + " (" + std::to_string(rc) + ")";
    sqlite3_free(message);
    return false;
}

// Runs a pragma that answers with one text row and returns that row ("" on error).
std::string pragmaText(sqlite3* db, const char* sql, int& rc) {
    sqlite3_stmt* stmt = nullptr;
    std::string value;
    rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            value = text != nullptr ? reinterpret_cast<const char*>(text) : "";
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(stmt);
    return value;
}

} // namespace

struct CounterStore::Connection {
    sqlite3* db = nullptr;
    sqlite3_stmt* begin = nullptr;
    sqlite3_stmt* take = nullptr;
    sqlite3_stmt* commit = nullptr;
    sqlite3_stmt* rollback = nullptr;
    sqlite3_stmt* peek = nullptr;

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        for (sqlite3_stmt* stmt : {begin, take, commit, rollback, peek})
            sqlite3_finalize(stmt);
        sqlite3_close_v2(db);
    }

    bool connect(const std::filesystem::path& file, std::string& error) {
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
        if (rc != SQLITE_OK) {
            error = "cannot open " + file.string() + ": " + describe(db, rc);
            return false;
        }
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        // Switching a fresh file to WAL needs a moment alone with it; a second process that
        // starts at the same time may hold it, so ask a few times.
        std::string mode;
        for (int attempt = 0; attempt < 50; ++attempt) {
            mode = pragmaText(db, "PRAGMA journal_mode=WAL", rc);
            if (mode == "wal" || (rc != SQLITE_OK && !isBusy(rc)))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (mode != "wal") {
            error = file.string() + ": cannot switch to write-ahead logging (journal mode \"" + mode +
                    "\", " + describe(db, rc) + ")";
            return false;
        }
        if (!exec(db, "PRAGMA synchronous=FULL", error)) {
            error = file.string() + ": " + error;
            return false;
        }
        return true;
    }

    bool prepare(std::string& error) {
        const std::pair<sqlite3_stmt**, const char*> statements[] = {
            {&begin, "BEGIN IMMEDIATE"},
            {&take, "UPDATE order_counter SET next_number = next_number + 1 WHERE shop_code = ?1 "
                    "RETURNING next_number - 1"},
            {&commit, "COMMIT"},
            {&rollback, "ROLLBACK"},
            {&peek, "SELECT next_number FROM order_counter WHERE shop_code = ?1"},
        };
        for (const auto& [stmt, sql] : statements) {
            const int rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
            if (rc != SQLITE_OK) {
                error = std::string("cannot prepare \"") + sql + "\": " + describe(db, rc);
                return false;
            }
        }
        return true;
    }

    // Step a statement that returns no rows; the statement is reset afterwards.
    int run(sqlite3_stmt* stmt) {
        int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    void abandonTransaction() {
        sqlite3_reset(take);
        if (sqlite3_get_autocommit(db) == 0)
            run(rollback);
    }
};

CounterStore::CounterStore(std::filesystem::path file)
    : m_file(std::move(file)) {}

CounterStore::~CounterStore() = default;

std::unique_ptr<CounterStore> CounterStore::open(const std::filesystem::path& file, std::string& error) {
    std::unique_ptr<CounterStore> store(new CounterStore(file));
    auto connection = std::make_unique<Connection>();
    if (!connection->connect(file, error))
        return nullptr;

    sqlite3* db = connection->db;
    if (!exec(db, "BEGIN IMMEDIATE", error)) {
        error = file.string() + ": " + error;
        return nullptr;
    }
    int rc = SQLITE_OK;
    const int version = std::atoi(pragmaText(db, "PRAGMA user_version", rc).c_str());
    bool ok = rc == SQLITE_OK;
    if (!ok)
        error = describe(db, rc);
    if (ok && version > kSchemaVersion) {
        error = "the database was made by a newer service (schema " + std::to_string(version) + ")";
        ok = false;
    }
    ok = ok && exec(db, kSchema, error);
    ok = ok && exec(db, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str(), error);
    ok = ok && exec(db, "COMMIT", error);
    if (!ok) {
        error = file.string() + ": " + error;
        exec(db, "ROLLBACK", error);
        return nullptr;
    }
    if (!connection->prepare(error))
        return nullptr;
    store->m_idle.push_back(std::move(connection));
    return store;
}

std::unique_ptr<CounterStore::Connection> CounterStore::acquire(std::string& error) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_idle.empty()) {
            auto connection = std::move(m_idle.back());
            m_idle.pop_back();
            return connection;
        }
    }
    auto connection = std::make_unique<Connection>();
    if (!connection->connect(m_file, error) || !connection->prepare(error))
        return nullptr;
    return connection;
}

void CounterStore::release(std::unique_ptr<Connection> connection) {
    std::lock_guard lock(m_mutex);
    m_idle.push_back(std::move(connection));
}

bool CounterStore::seed(const std::vector<std::pair<std::string, std::int64_t>>& firstNumbers,
                        std::string& error) {
    auto connection = acquire(error);
    if (!connection)
        return false;
    sqlite3* db = connection->db;
    sqlite3_stmt* upsert = nullptr;
    int rc = sqlite3_prepare_v2(db,
                                "INSERT INTO order_counter (shop_code, next_number) VALUES (?1, ?2) "
                                "ON CONFLICT (shop_code) DO UPDATE "
                                "SET next_number = max(next_number, excluded.next_number)",
                                -1, &upsert, nullptr);
    if (rc == SQLITE_OK)
        rc = connection->run(connection->begin);
    for (const auto& [code, first] : firstNumbers) {
        if (rc != SQLITE_OK)
            break;
        sqlite3_bind_text(upsert, 1, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(upsert, 2, first);
        rc = connection->run(upsert);
    }
    if (rc == SQLITE_OK)
        rc = connection->run(connection->commit);
    if (rc != SQLITE_OK) {
        error = m_file.string() + ": cannot set up the order counters: " + describe(db, rc);
        connection->abandonTransaction();
    }
    sqlite3_finalize(upsert);
    if (rc == SQLITE_OK)
        release(std::move(connection));
    return rc == SQLITE_OK;
}

CounterStore::Issue CounterStore::next(const std::string& code) {
    Issue issue;
    auto connection = acquire(issue.error);
    if (!connection)
        return issue;
    sqlite3* db = connection->db;

    std::unique_lock writeLock(m_writeMutex);
    int rc = connection->run(connection->begin);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(connection->take, 1, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(connection->take);
        if (rc == SQLITE_ROW) {
            issue.number = sqlite3_column_int64(connection->take, 0);
            issue.outcome = Outcome::Issued;
            rc = sqlite3_step(connection->take);
        } else if (rc == SQLITE_DONE) {
            issue.outcome = Outcome::UnknownShop;
        }
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        sqlite3_reset(connection->take);
        sqlite3_clear_bindings(connection->take);
    }
    if (rc == SQLITE_OK)
        rc = connection->run(connection->commit);
    if (rc != SQLITE_OK) {
        // The number is not handed out unless its transaction committed.
        issue.outcome = isBusy(rc) ? Outcome::Busy : Outcome::Failed;
        issue.number = 0;
        issue.error = describe(db, rc);
        connection->abandonTransaction();
        if (issue.outcome == Outcome::Failed)
            return issue; // a connection in an unknown state is not reused
    }
    writeLock.unlock();
    release(std::move(connection));
    return issue;
}

std::int64_t CounterStore::peek(const std::string& code, std::string& error) {
    auto connection = acquire(error);
    if (!connection)
        return 0;
    sqlite3_stmt* stmt = connection->peek;
    sqlite3_bind_text(stmt, 1, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
    std::int64_t value = 0;
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    else if (rc != SQLITE_DONE)
        error = describe(connection->db, rc);
    sqlite3_reset(stmt);
    release(std::move(connection));
    return value;
}

} // namespace velmora::service
