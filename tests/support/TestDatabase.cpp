#include "TestDatabase.h"

#include "TestPostgres.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

namespace velmora::test {

const char* backendName(Backend backend) {
    return backend == Backend::Sqlite ? "Sqlite" : "Postgres";
}

void PrintTo(Backend backend, std::ostream* os) {
    *os << backendName(backend);
}

TestDatabase::TestDatabase(Backend backend)
    : m_backend(backend) {
    if (backend == Backend::Postgres) {
        TestPostgres& server = TestPostgres::shared();
        const std::string name = server.createDatabase();
        if (name.empty())
            m_error = server.errorString();
        else
            m_location = server.socketUrl(name);
        return;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/velmora-db-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        m_error = "cannot create a temporary directory from " + pattern;
        return;
    }
    m_dir = pattern;
    m_location = m_dir + "/orders.sqlite";
}

TestDatabase::~TestDatabase() {
    sqlite3_close_v2(m_sqlite);
    PQfinish(m_postgres);
    if (!m_dir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
}

bool TestDatabase::execute(const std::string& sql) {
    if (!isReady())
        return false;
    if (m_backend == Backend::Sqlite) {
        if (m_sqlite == nullptr) {
            if (sqlite3_open(m_location.c_str(), &m_sqlite) != SQLITE_OK) {
                m_error = sqlite3_errmsg(m_sqlite);
                return false;
            }
            sqlite3_busy_timeout(m_sqlite, 10'000);
        }
        char* message = nullptr;
        if (sqlite3_exec(m_sqlite, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
            return true;
        m_error = sql + ": " + (message != nullptr ? message : "error");
        sqlite3_free(message);
        return false;
    }
    if (m_postgres == nullptr) {
        m_postgres = PQconnectdb(m_location.c_str());
        if (PQstatus(m_postgres) != CONNECTION_OK) {
            m_error = PQerrorMessage(m_postgres);
            PQfinish(m_postgres);
            m_postgres = nullptr;
            return false;
        }
    }
    PGresult* result = PQexec(m_postgres, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok)
        m_error = sql + ": " + PQresultErrorMessage(result);
    PQclear(result);
    return ok;
}

bool TestDatabase::lockCounters() {
    return execute(m_backend == Backend::Sqlite ? "BEGIN IMMEDIATE"
                                                : "BEGIN; LOCK TABLE order_counter IN EXCLUSIVE MODE");
}

bool TestDatabase::unlockCounters() {
    return execute("COMMIT");
}

bool TestDatabase::setSchemaVersion(int version) {
    const std::string number = std::to_string(version);
    return execute(m_backend == Backend::Sqlite ? "PRAGMA user_version=" + number
                                                : "UPDATE schema_version SET version = " + number);
}

} // namespace velmora::test
