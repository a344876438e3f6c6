#pragma once

#include <ostream>
#include <string>

struct sqlite3;
struct pg_conn;

namespace velmora::test {

// The two kinds of database the order-number counters live in; tests of the counters run their
// table of cases against both.
enum class Backend { Sqlite, Postgres };

const char* backendName(Backend backend);

// How tests show it: Sqlite, Postgres.
void PrintTo(Backend backend, std::ostream* os);

// A fresh, empty order-number database for one test: an SQLite file in a temporary directory of
// its own, or a new database on the test process's PostgreSQL server (TestPostgres::shared()).
//
//   TestDatabase database(GetParam());
//   ASSERT_TRUE(database.isReady()) << database.errorString();
//   options.database = QString::fromStdString(database.location());
//
// The test's own connection (opened on first use, kept until the object goes) runs SQL beside the
// service, for instance to hold the lock that every writer of the counters has to wait for.
class TestDatabase {
public:
    explicit TestDatabase(Backend backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    bool isReady() const { return !m_location.empty(); }
    const std::string& errorString() const { return m_error; }
    Backend backend() const { return m_backend; }
    // What the service's --db takes: the file's path or the database's URL.
    const std::string& location() const { return m_location; }

    // Runs SQL on the test's connection. False with errorString() set on failure.
    bool execute(const std::string& sql);

    // Begins a transaction that holds the counters locked (writers wait, up to their time-out),
    // and commits it. The counters must exist: after a service or store opened the database.
    bool lockCounters();
    bool unlockCounters();

    // Marks the database as made by a service with that schema version.
    bool setSchemaVersion(int version);

private:
    Backend m_backend;
    std::string m_dir;
    std::string m_location;
    std::string m_error;
    sqlite3* m_sqlite = nullptr;
    pg_conn* m_postgres = nullptr;
};

} // namespace velmora::test
