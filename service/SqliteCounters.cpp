// The order-number counters in an SQLite database file. Several service processes may share the
// file (the primary and the fallback server); every transaction starts with BEGIN IMMEDIATE, so
// SQLite's locking lets one writer at a time move a counter on.
//
// Durability: the connection runs in WAL mode with synchronous=FULL. In WAL mode,
// synchronous=NORMAL would already survive a killed process (a committed transaction sits in the
// operating system's cache and reaches the file), but not an operating-system crash or a power
// loss: the last commits could be lost, the counter would go back, and numbers that are already
// printed on orders would be handed out again. FULL syncs the log at every commit, so a number
// leaves the service only after the counter that moved past it is on disk.
#include "service/CounterDatabase.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace velmora::service {

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

// While another process holds the write lock, look again every millisecond, up to the time-out.
// SQLite's own handler sleeps longer and longer (up to 100 ms); another process's writer that
// commits back to back would hold the lock nearly every time it looks, and starve it for seconds.
int retryEveryMillisecond(void*, int count) {
    if (count >= kBusyTimeoutMs)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 1;
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

class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        for (sqlite3_stmt* stmt : {m_begin, m_take, m_commit, m_rollback})
            sqlite3_finalize(stmt);
        sqlite3_close_v2(m_db);
    }

    sqlite3* db() const { return m_db; }

    bool connect(const std::filesystem::path& file, std::string& error) {
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        int rc = sqlite3_open_v2(file.c_str(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            error = "cannot open " + file.string() + ": " + describe(m_db, rc);
            return false;
        }
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_handler(m_db, retryEveryMillisecond, nullptr);
        // Switching a fresh file to WAL needs a moment alone with it; a second process that
        // starts at the same time may hold it, so ask a few times.
        std::string mode;
        for (int attempt = 0; attempt < 50; ++attempt) {
            mode = pragmaText(m_db, "PRAGMA journal_mode=WAL", rc);
            if (mode == "wal" || (rc != SQLITE_OK && !isBusy(rc)))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (mode != "wal") {
            error = file.string() + ": cannot switch to write-ahead logging (journal mode \"" + mode +
                    "\", " + describe(m_db, rc) + ")";
            return false;
        }
        if (!exec(m_db, "PRAGMA synchronous=FULL", error)) {
            error = file.string() + ": " + error;
            return false;
        }
        return true;
    }

    bool prepare(std::string& error) {
        const std::pair<sqlite3_stmt**, const char*> statements[] = {
            {&m_begin, "BEGIN IMMEDIATE"},
            {&m_take, "UPDATE order_counter SET next_number = next_number + ?2 WHERE shop_code = ?1 "
                      "RETURNING next_number - ?2"},
            {&m_commit, "COMMIT"},
            {&m_rollback, "ROLLBACK"},
        };
        for (const auto& [stmt, sql] : statements) {
            const int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
            if (rc != SQLITE_OK) {
                error = std::string("cannot prepare \"") + sql + "\": " + describe(m_db, rc);
                return false;
            }
        }
        return true;
    }

    // Steps a statement that returns no rows; the statement is reset afterwards.
    static int run(sqlite3_stmt* stmt) {
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    int begin() { return run(m_begin); }
    int commit() { return run(m_commit); }

    // Moves the shop's counter on by count; first is 0 when the shop has no counter.
    int take(const std::string& code, std::int64_t count, std::int64_t& first) {
        sqlite3_bind_text(m_take, 1, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(m_take, 2, count);
        first = 0;
        int rc = sqlite3_step(m_take);
        if (rc == SQLITE_ROW) {
            first = sqlite3_column_int64(m_take, 0);
            rc = sqlite3_step(m_take);
        }
        sqlite3_reset(m_take);
        sqlite3_clear_bindings(m_take);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    void abandonTransaction() {
        sqlite3_reset(m_take);
        if (sqlite3_get_autocommit(m_db) == 0)
            run(m_rollback);
    }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_begin = nullptr;
    sqlite3_stmt* m_take = nullptr;
    sqlite3_stmt* m_commit = nullptr;
    sqlite3_stmt* m_rollback = nullptr;
};

class SqliteCounters final : public CounterDatabase {
public:
    explicit SqliteCounters(std::filesystem::path file)
        : m_file(std::move(file)) {}

    bool open(std::string& error) {
        auto connection = std::make_unique<Connection>();
        if (!connection->connect(m_file, error))
            return false;
        sqlite3* db = connection->db();
        if (!exec(db, "BEGIN IMMEDIATE", error)) {
            error = m_file.string() + ": " + error;
            return false;
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
            error = m_file.string() + ": " + error;
            std::string ignored;
            exec(db, "ROLLBACK", ignored);
            return false;
        }
        if (!connection->prepare(error))
            return false;
        m_connection = std::move(connection);
        return true;
    }

    bool seed(const FirstNumbers& firstNumbers, std::string& error) override {
        if (!reconnect(error))
            return false;
        sqlite3* db = m_connection->db();
        sqlite3_stmt* upsert = nullptr;
        int rc = sqlite3_prepare_v2(db,
                                    "INSERT INTO order_counter (shop_code, next_number) VALUES (?1, ?2) "
                                    "ON CONFLICT (shop_code) DO UPDATE "
                                    "SET next_number = max(next_number, excluded.next_number)",
                                    -1, &upsert, nullptr);
        if (rc == SQLITE_OK)
            rc = m_connection->begin();
        for (const auto& [code, first] : firstNumbers) {
            if (rc != SQLITE_OK)
                break;
            sqlite3_bind_text(upsert, 1, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(upsert, 2, first);
            rc = Connection::run(upsert);
        }
        if (rc == SQLITE_OK)
            rc = m_connection->commit();
        if (rc != SQLITE_OK) {
            error = m_file.string() + ": cannot set up the order counters: " + describe(db, rc);
            m_connection->abandonTransaction();
        }
        sqlite3_finalize(upsert);
        return rc == SQLITE_OK;
    }

    Result take(std::vector<CounterTake>& takes, std::string& error) override {
        if (!reconnect(error))
            return Result::Failed;
        int rc = m_connection->begin();
        for (CounterTake& counter : takes) {
            if (rc != SQLITE_OK)
                break;
            rc = m_connection->take(counter.code, counter.count, counter.first);
        }
        if (rc == SQLITE_OK)
            rc = m_connection->commit();
        if (rc == SQLITE_OK)
            return Result::Committed;

        error = describe(m_connection->db(), rc);
        m_connection->abandonTransaction();
        if (isBusy(rc))
            return Result::Busy;
        // A connection in an unknown state is not used again: the next transaction opens a new one.
        m_connection.reset();
        return Result::Failed;
    }

private:
    bool reconnect(std::string& error) {
        if (m_connection)
            return true;
        auto connection = std::make_unique<Connection>();
        if (!connection->connect(m_file, error) || !connection->prepare(error))
            return false;
        m_connection = std::move(connection);
        return true;
    }

    std::filesystem::path m_file;
    std::unique_ptr<Connection> m_connection;
};

} // namespace

std::unique_ptr<CounterDatabase> openSqliteCounters(const std::filesystem::path& file, std::string& error) {
    auto database = std::make_unique<SqliteCounters>(file);
    if (!database->open(error))
        return nullptr;
    return database;
}

} // namespace velmora::service
