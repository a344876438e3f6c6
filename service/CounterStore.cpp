#include "service/CounterStore.h"

#include "service/RequestLog.h"

#include <algorithm>
#include <map>

namespace velmora::service {

bool isPostgresUrl(std::string_view database) {
    return database.starts_with("postgresql://") || database.starts_with("postgres://");
}

std::string withoutPassword(std::string_view url) {
    const auto scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return std::string(url);
    const std::size_t authorityBegin = scheme + 3;
    std::size_t authorityEnd = url.find_first_of("/?#", authorityBegin);
    if (authorityEnd == std::string_view::npos)
        authorityEnd = url.size();
    std::string shown(url.substr(0, authorityBegin));
    const std::string_view authority = url.substr(authorityBegin, authorityEnd - authorityBegin);
    const auto at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view user = authority.substr(0, at);
        shown += user.substr(0, user.find(':'));
        shown += authority.substr(at);
    } else {
        shown += authority;
    }
    // "password=..." among the parameters.
    const std::string_view rest = url.substr(authorityEnd);
    const auto question = rest.find('?');
    shown += rest.substr(0, question);
    if (question == std::string_view::npos)
        return shown;
    shown += '?';
    std::string_view query = rest.substr(question + 1);
    for (;;) {
        const auto ampersand = query.find('&');
        const std::string_view parameter = query.substr(0, ampersand);
        shown += parameter.starts_with("password=") ? std::string_view("password=***") : parameter;
        if (ampersand == std::string_view::npos)
            break;
        shown += '&';
        query = query.substr(ampersand + 1);
    }
    return shown;
}

// A request waits for its answer on a mutex and condition variable of its own, which block in the
// kernel at once. (A semaphore or an atomic wait spins and yields first: with one waiter per
// connection, that spinning took more processor time than the rest of the number's work.)
struct CounterStore::Request {
    explicit Request(const std::string& shopCode)
        : code(shopCode) {}
    const std::string& code;
    Issue issue;

    void answer() {
        // Notified under the lock: the requester cannot return (and destroy the request) before
        // the writer lets go of it.
        const std::lock_guard lock(mutex);
        answered = true;
        condition.notify_one();
    }
    void waitForAnswer() {
        std::unique_lock lock(mutex);
        condition.wait(lock, [this] { return answered; });
    }

private:
    std::mutex mutex;
    std::condition_variable condition;
    bool answered = false;
};

CounterStore::CounterStore(std::unique_ptr<CounterDatabase> database)
    : m_database(std::move(database))
    , m_writer([this] { writerLoop(); }) {}

CounterStore::~CounterStore() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_writer.join();
}

std::unique_ptr<CounterStore> CounterStore::open(const std::string& database,
                                                 const FirstNumbers& firstNumbers, std::string& error) {
    std::unique_ptr<CounterDatabase> opened =
        isPostgresUrl(database) ? openPostgresCounters(database, error) : openSqliteCounters(database, error);
    if (!opened)
        return nullptr;
    return open(std::move(opened), firstNumbers, error);
}

std::unique_ptr<CounterStore> CounterStore::open(std::unique_ptr<CounterDatabase> database,
                                                 const FirstNumbers& firstNumbers, std::string& error) {
    if (!database->seed(firstNumbers, error))
        return nullptr;
    return std::unique_ptr<CounterStore>(new CounterStore(std::move(database)));
}

CounterStore::Issue CounterStore::next(const std::string& code) {
    Request request(code);
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            request.issue.error = "the service is stopping";
            return request.issue;
        }
        m_queue.push_back(&request);
        ++m_waiting;
        // The writer waits for the first request, or for as many as it gathers. Notified under the
        // lock: once that is released the request may be answered and the store stopped.
        if (m_queue.size() == 1 || m_queue.size() == m_gatherTarget)
            m_wake.notify_one();
    }
    request.waitForAnswer();
    return std::move(request.issue);
}

std::size_t CounterStore::waiting() const {
    std::lock_guard lock(m_mutex);
    return m_waiting;
}

std::uint64_t CounterStore::transactions() const {
    std::lock_guard lock(m_mutex);
    return m_transactions;
}

void CounterStore::writerLoop() {
    using Clock = std::chrono::steady_clock;
    std::vector<Request*> batch;
    // The clients answered by the last transaction tend to ask again at once; the first of them
    // would otherwise start a transaction of its own and leave the others to wait for the one
    // after. So while fewer requests queue than the last transaction took, the writer waits for
    // them a little: at most half as long as that transaction took, and never over kMaxGather.
    std::size_t lastCount = 0;
    Clock::duration lastDuration{};
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
            if (m_queue.empty())
                return;
            if (m_queue.size() < lastCount && !m_stopping) {
                m_gatherTarget = lastCount;
                const auto until = Clock::now() + std::min<Clock::duration>(lastDuration / 2, kMaxGather);
                m_wake.wait_until(lock, until, [&] { return m_queue.size() >= lastCount || m_stopping; });
                m_gatherTarget = 0;
            }
            batch.swap(m_queue);
        }
        const auto started = Clock::now();
        serve(batch);
        lastDuration = Clock::now() - started;
        lastCount = batch.size();
        {
            std::lock_guard lock(m_mutex);
            m_waiting -= batch.size();
        }
        // A requester may return as soon as it is answered: its request is not touched after that.
        for (Request* request : batch)
            request->answer();
        batch.clear();
    }
}

void CounterStore::serve(std::vector<Request*>& batch) {
    // One take per shop, in the order of the codes (writers elsewhere lock counters in the same
    // order).
    std::map<std::string, std::int64_t> counts;
    for (const Request* request : batch)
        ++counts[request->code];
    std::vector<CounterTake> takes;
    takes.reserve(counts.size());
    for (const auto& [code, count] : counts)
        takes.push_back({code, count, 0});

    std::string error;
    const CounterDatabase::Result result = m_database->take(takes, error);
    if (result != CounterDatabase::Result::Committed) {
        writeLogLine("velmora-service: order numbers: " + error);
        const Outcome outcome = result == CounterDatabase::Result::Busy ? Outcome::Busy : Outcome::Failed;
        for (Request* request : batch) {
            request->issue.outcome = outcome;
            request->issue.error = error;
        }
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        ++m_transactions;
    }
    // Hand the numbers out in the order the requests queued.
    std::map<std::string, std::int64_t> nextNumber;
    for (const CounterTake& take : takes)
        nextNumber.emplace(take.code, take.first);
    for (Request* request : batch) {
        std::int64_t& number = nextNumber[request->code];
        if (number == 0) {
            request->issue.outcome = Outcome::UnknownShop;
            continue;
        }
        request->issue.outcome = Outcome::Issued;
        request->issue.number = number++;
    }
}

} // namespace velmora::service
