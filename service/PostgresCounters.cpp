// The order-number counters in a PostgreSQL database, which service processes on several hosts
// share. A transaction moves counters on with UPDATE ... RETURNING in READ COMMITTED, all its
// statements sent in one query string (one round trip, however many shops): the row lock
// makes a second writer wait for the first one's commit and then move the counter on from the
// committed value, so no number is handed out twice. Counters are always locked in the order of
// their codes, so two writers never wait for each other in a circle.
//
// Durability: the session runs with synchronous_commit=on whatever the server's default, so COMMIT
// returns only once the transaction is flushed to the write-ahead log (and, where the server names
// synchronous standbys, on them too). A number leaves the service only after that.
#include "service/CounterDatabase.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

namespace velmora::service {

namespace {

// Passed before the URL, whose own parameters override them.
constexpr const char* kConnectTimeoutSeconds = "10";
constexpr const char* kApplicationName = "velmora-service";

// Session settings: durable commits, and no wait that outlasts a client's patience. A writer that
// waits longer than lock_timeout for another host's transaction gives up (503, try again).
constexpr const char* kSessionSetup = "SET synchronous_commit = on; "
                                      "SET lock_timeout = '10s'; "
                                      "SET statement_timeout = '30s'";

// Held while the schema is checked and created, so that services starting together on an empty
// database do not trip over each other's CREATE TABLE.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7311852405938643312)";

constexpr int kSchemaVersion = 1;

constexpr const char* kSchema[] = {
    "CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL)",
    "CREATE TABLE IF NOT EXISTS order_counter ("
    "    shop_code   text PRIMARY KEY,"
    "    next_number bigint NOT NULL CHECK (next_number >= 1))",
};

constexpr const char* kSeedSql =
    "INSERT INTO order_counter (shop_code, next_number) VALUES ($1, $2) "
    "ON CONFLICT (shop_code) DO UPDATE "
    "SET next_number = GREATEST(order_counter.next_number, EXCLUDED.next_number)";

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, ResultDeleter>;

struct ConnectionDeleter {
    void operator()(PGconn* connection) const { PQfinish(connection); }
};
using Connection = std::unique_ptr<PGconn, ConnectionDeleter>;

// libpq's messages end in a line end and may span lines; a log line may not.
std::string oneLine(const char* message) {
    std::string text = message != nullptr ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text.empty() ? "unknown error" : text;
}

std::string describe(PGconn* connection, const PGresult* result) {
    if (result == nullptr)
        return oneLine(PQerrorMessage(connection));
    std::string text = oneLine(PQresultErrorMessage(result));
    if (const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE))
        text += std::string(" (SQLSTATE ") + state + ")";
    return text;
}

// Errors after which the same transaction may well succeed a moment later.
bool isTransient(const PGresult* result) {
    const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state == nullptr)
        return false;
    const std::string_view code(state);
    return code == "55P03"                // lock_not_available: lock_timeout ran out
           || code == "40P01"             // deadlock_detected
           || code == "40001"             // serialization_failure
           || code == "57014"             // query_canceled: statement_timeout ran out
           || code.substr(0, 2) == "08"   // connection exceptions
           || code.substr(0, 4) == "57P0" // the server is shutting down or starting up
           || code == "53300";            // too_many_connections
}

bool commandOk(const PgResult& result) {
    return result && PQresultStatus(result.get()) == PGRES_COMMAND_OK;
}

class PostgresCounters final : public CounterDatabase {
public:
    explicit PostgresCounters(std::string url)
        : m_url(std::move(url)) {}

    bool open(std::string& error) {
        if (!connect(error))
            return false;
        if (!createSchema(error)) {
            error = withoutPassword(m_url) + ": " + error;
            return false;
        }
        return true;
    }

    bool seed(const FirstNumbers& firstNumbers, std::string& error) override {
        if (!m_connection && !connect(error))
            return false;
        PGconn* connection = m_connection.get();
        FirstNumbers sorted = firstNumbers;
        std::sort(sorted.begin(), sorted.end());
        bool ok = commandOk(exec("BEGIN"));
        PgResult failed;
        for (const auto& [code, first] : sorted) {
            if (!ok)
                break;
            const std::string firstText = std::to_string(first);
            const char* values[] = {code.c_str(), firstText.c_str()};
            PgResult result(PQexecParams(connection, kSeedSql, 2, nullptr, values, nullptr, nullptr, 0));
            ok = commandOk(result);
            if (!ok)
                failed = std::move(result);
        }
        if (ok) {
            PgResult result = exec("COMMIT");
            ok = commandOk(result);
            if (!ok)
                failed = std::move(result);
        }
        if (!ok) {
            error = withoutPassword(m_url) +
                    ": cannot set up the order counters: " + describe(connection, failed.get());
            abandonTransaction();
        }
        return ok;
    }

    Result take(std::vector<CounterTake>& takes, std::string& error) override {
        // A connection that broke since the last transaction (a restart of the server, a network
        // fault) shows only when it is used: then try once more on a fresh one. That is safe even
        // when the break came after COMMIT was sent: whatever that transaction took is lost, a gap,
        // and the new one moves on from there.
        for (int attempt = 0;; ++attempt) {
            if (!m_connection && !connect(error))
                return Result::Busy;
            bool transient = false;
            if (runTake(takes, error, transient))
                return Result::Committed;
            const bool lost = PQstatus(m_connection.get()) != CONNECTION_OK;
            if (lost)
                m_connection.reset();
            if (lost && attempt == 0)
                continue;
            return lost || transient ? Result::Busy : Result::Failed;
        }
    }

private:
    PgResult exec(const char* sql) { return PgResult(PQexec(m_connection.get(), sql)); }

    bool connect(std::string& error) {
        m_connection.reset();
        const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
        const char* values[] = {kConnectTimeoutSeconds, kApplicationName, m_url.c_str(), nullptr};
        Connection connection(PQconnectdbParams(keywords, values, 1));
        if (!connection) {
            error = "cannot connect to " + withoutPassword(m_url) + ": out of memory";
            return false;
        }
        if (PQstatus(connection.get()) != CONNECTION_OK) {
            error =
                "cannot connect to " + withoutPassword(m_url) + ": " + describe(connection.get(), nullptr);
            return false;
        }
        // Notices ("relation already exists, skipping") would go to stderr between the log lines.
        PQsetNoticeProcessor(
            connection.get(), [](void*, const char*) {}, nullptr);
        m_connection = std::move(connection);

        PgResult setup = exec(kSessionSetup);
        if (!commandOk(setup)) {
            error = withoutPassword(m_url) + ": " + describe(m_connection.get(), setup.get());
            m_connection.reset();
            return false;
        }
        return true;
    }

    bool createSchema(std::string& error) {
        PGconn* connection = m_connection.get();
        PgResult result = exec("BEGIN");
        bool ok = commandOk(result);
        if (ok) {
            result = exec(kSchemaLock);
            ok = result && PQresultStatus(result.get()) == PGRES_TUPLES_OK;
        }
        for (const char* sql : kSchema) {
            if (!ok)
                break;
            result = exec(sql);
            ok = commandOk(result);
        }
        int version = 0;
        if (ok) {
            result = exec("SELECT coalesce(max(version), 0) FROM schema_version");
            ok = result && PQresultStatus(result.get()) == PGRES_TUPLES_OK && PQntuples(result.get()) == 1;
            if (ok)
                version = std::atoi(PQgetvalue(result.get(), 0, 0));
        }
        if (ok && version > kSchemaVersion) {
            error = "the database was made by a newer service (schema " + std::to_string(version) + ")";
            abandonTransaction();
            return false;
        }
        if (ok && version < kSchemaVersion) {
            result = exec(("DELETE FROM schema_version; INSERT INTO schema_version VALUES (" +
                           std::to_string(kSchemaVersion) + ")")
                              .c_str());
            ok = commandOk(result);
        }
        if (ok) {
            result = exec("COMMIT");
            ok = commandOk(result);
        }
        if (!ok) {
            error = describe(connection, result.get());
            abandonTransaction();
        }
        return ok;
    }

    // One transaction over all the takes. False with error set when it did not commit; transient
    // tells whether trying again later may succeed.
    // One transaction over all the takes, sent as one query string, so that it costs one round
    // trip to the server: BEGIN, an UPDATE per shop, COMMIT. False with error set when it did not
    // commit; transient tells whether trying again later may succeed.
    bool runTake(std::vector<CounterTake>& takes, std::string& error, bool& transient) {
        PGconn* connection = m_connection.get();
        std::string sql = "BEGIN ISOLATION LEVEL READ COMMITTED;";
        for (const CounterTake& counter : takes) {
            char* code = PQescapeLiteral(connection, counter.code.data(), counter.code.size());
            if (code == nullptr) {
                error = describe(connection, nullptr);
                return false;
            }
            const std::string count = std::to_string(counter.count);
            sql += "UPDATE order_counter SET next_number = next_number + " + count +
                   " WHERE shop_code = " + code + " RETURNING next_number - " + count + ";";
            PQfreemem(code);
        }
        sql += "COMMIT";
        if (PQsendQuery(connection, sql.c_str()) == 0) {
            error = describe(connection, nullptr);
            return false;
        }

        // The results come in the order of the statements; after a failed one the server skips the
        // rest. Every result is read, so that the connection is ready for the next query.
        std::size_t index = 0;
        bool ok = true;
        PgResult failed;
        while (PgResult result{PQgetResult(connection)}) {
            if (!ok)
                continue;
            const ExecStatusType status = PQresultStatus(result.get());
            if (index == 0) {
                ok = status == PGRES_COMMAND_OK;
            } else if (index <= takes.size()) {
                CounterTake& counter = takes[index - 1];
                ok = status == PGRES_TUPLES_OK;
                counter.first = 0;
                if (ok && PQntuples(result.get()) == 1) {
                    const char* text = PQgetvalue(result.get(), 0, 0);
                    const auto [end, ec] = std::from_chars(text, text + std::strlen(text), counter.first);
                    ok = ec == std::errc() && *end == '\0';
                }
            } else {
                // COMMIT of a transaction that went wrong answers "ROLLBACK", not an error.
                ok = status == PGRES_COMMAND_OK && std::strcmp(PQcmdStatus(result.get()), "COMMIT") == 0;
            }
            if (!ok)
                failed = std::move(result);
            ++index;
        }
        if (ok && index == takes.size() + 2)
            return true;
        error = describe(connection, failed.get());
        transient = isTransient(failed.get());
        abandonTransaction();
        return false;
    }

    void abandonTransaction() {
        if (m_connection && PQtransactionStatus(m_connection.get()) != PQTRANS_IDLE)
            exec("ROLLBACK");
    }

    std::string m_url;
    Connection m_connection;
};

} // namespace

std::unique_ptr<CounterDatabase> openPostgresCounters(const std::string& url, std::string& error) {
    auto database = std::make_unique<PostgresCounters>(url);
    if (!database->open(error))
        return nullptr;
    return database;
}

} // namespace velmora::service
