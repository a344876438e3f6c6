#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::service {

// The first order number of every served shop, as the shop list gives it.
using FirstNumbers = std::vector<std::pair<std::string, std::int64_t>>;

// One counter to move on in a transaction: count numbers for the shop with this code. first
// receives the first of them (the others follow it), or 0 when the shop has no counter.
struct CounterTake {
    std::string code;
    std::int64_t count = 1;
    std::int64_t first = 0;
};

// Where the order-number counters are kept: table order_counter(shop_code, next_number), one row
// per served shop. Used by one thread at a time (CounterStore's writer).
class CounterDatabase {
public:
    enum class Result {
        Committed, // the transaction is on disk
        Busy,      // locked by another writer past the time-out, or the server cannot be reached
        Failed,    // any other error
    };

    virtual ~CounterDatabase() = default;

    // Makes sure every shop has a counter that starts at least at its first number. A counter that
    // is already further on is kept: lowering it would hand out numbers a second time.
    virtual bool seed(const FirstNumbers& firstNumbers, std::string& error) = 0;

    // Moves every listed counter on by its count, all in one transaction, and returns once that
    // transaction is durable. Codes are distinct. Unless the result is Committed, no number may be
    // handed out: the transaction may or may not have reached the disk.
    virtual Result take(std::vector<CounterTake>& takes, std::string& error) = 0;
};

// True for "postgresql://..." and "postgres://...": a PostgreSQL connection URI, not a file.
bool isPostgresUrl(std::string_view database);

// The URL as it may be shown in messages: without the password.
std::string withoutPassword(std::string_view url);

// Opens (and creates) the SQLite database file and its schema. Null with error set on failure.
std::unique_ptr<CounterDatabase> openSqliteCounters(const std::filesystem::path& file, std::string& error);

// Connects to the PostgreSQL database of the URL and creates the schema where it is missing.
// Null with error set on failure.
std::unique_ptr<CounterDatabase> openPostgresCounters(const std::string& url, std::string& error);

} // namespace velmora::service
