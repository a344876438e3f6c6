#include "service/HttpLimits.h"

#include <httplib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <iterator>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace velmora::service {

namespace {

// Set on the threads of the turn-away crew: every request they read is answered 503.
thread_local bool t_turningAway = false;

// Threads that answer 503 while the workers are all busy and their queue is full. Few: each
// answer is short, and a client that is slow to send its request is cut off by the read time-out.
constexpr std::size_t kTurnAwayThreads = 2;

// The library's own worker pool queues connections without bound (and its enqueue cannot refuse
// one: the connection is hidden inside the task). This one bounds the queue: a connection that
// finds the workers busy and the queue full goes to the turn-away crew, and when the crew's queue
// is full too, enqueue waits for room, so the accepting thread stops accepting until then.
class BoundedTaskQueue final : public httplib::TaskQueue {
public:
    BoundedTaskQueue(std::size_t workers, std::size_t maxQueued)
        : m_served(workers, maxQueued)
        , m_turnedAway(kTurnAwayThreads, maxQueued) {
        for (std::size_t i = 0; i < workers; ++i)
            m_threads.emplace_back([this] { run(m_served, false); });
        for (std::size_t i = 0; i < kTurnAwayThreads; ++i)
            m_threads.emplace_back([this] { run(m_turnedAway, true); });
    }

    ~BoundedTaskQueue() override { shutdown(); }

    void enqueue(std::function<void()> fn) override {
        std::unique_lock lock(m_mutex);
        m_room.wait(lock, [this] { return m_shutdown || m_served.hasRoom() || m_turnedAway.hasRoom(); });
        Lane& lane = m_served.hasRoom() || m_shutdown ? m_served : m_turnedAway;
        lane.jobs.push_back(std::move(fn));
        lock.unlock();
        m_work.notify_all();
    }

    void shutdown() override {
        {
            const std::lock_guard lock(m_mutex);
            if (m_shutdown)
                return;
            m_shutdown = true;
        }
        m_work.notify_all();
        m_room.notify_all();
        for (auto& thread : m_threads)
            thread.join();
    }

private:
    struct Lane {
        Lane(std::size_t threadCount, std::size_t queueLength)
            : threads(threadCount)
            , maxQueued(queueLength) {}

        std::size_t threads;
        std::size_t maxQueued;
        std::deque<std::function<void()>> jobs;
        std::size_t busy = 0;

        // A connection taken now would be served at once or wait behind at most maxQueued others.
        bool hasRoom() const { return jobs.size() + busy < threads + maxQueued; }
    };

    void run(Lane& lane, bool turningAway) {
        t_turningAway = turningAway;
        std::unique_lock lock(m_mutex);
        while (true) {
            m_work.wait(lock, [&] { return m_shutdown || !lane.jobs.empty(); });
            if (lane.jobs.empty())
                return; // shut down, and every accepted connection served
            std::function<void()> job = std::move(lane.jobs.front());
            lane.jobs.pop_front();
            ++lane.busy;
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            --lane.busy;
            m_room.notify_one();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_room;
    bool m_shutdown = false;
    Lane m_served;
    Lane m_turnedAway;
    std::vector<std::thread> m_threads;
};

// Fields the library adds to every request itself (the peer's and its own address).
constexpr const char* kLibraryFields[] = {"REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"};

bool isTokenChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

// A field name is a token; a value holds no control character but the tab. (The library decodes
// %XX in values before this sees them, so an encoded NUL or line break counts too.)
bool isSoundField(const std::string& name, const std::string& value) {
    if (name.empty() || !std::all_of(name.begin(), name.end(),
                                     [](char c) { return isTokenChar(static_cast<unsigned char>(c)); }))
        return false;
    return std::none_of(value.begin(), value.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return (c < 0x20 && c != '\t') || c == 0x7f;
    });
}

} // namespace

void applyLimits(httplib::Server& server, const HttpLimits& limits) {
    const auto workers = static_cast<std::size_t>(limits.threads);
    const auto queued = static_cast<std::size_t>(limits.maxQueued);
    server.new_task_queue = [workers, queued] {
        return new BoundedTaskQueue(workers, queued);
    };
    server.set_read_timeout(limits.readTimeoutSeconds, 0);
    server.set_write_timeout(limits.writeTimeoutSeconds, 0);
    // An idle kept-alive connection holds its worker, and a stop waits for it: keep that short.
    server.set_keep_alive_timeout(limits.keepAliveTimeoutSeconds);
    server.set_keep_alive_max_count(static_cast<std::size_t>(limits.keepAliveMaxRequests));
}

int checkRequest(const httplib::Request& req, const HttpLimits& limits) {
    if (t_turningAway)
        return 503;
    if (req.target.size() > static_cast<std::size_t>(limits.maxUrlBytes))
        return 414;
    std::size_t count = req.headers.size();
    std::size_t bytes = 0;
    for (const auto& [name, value] : req.headers) {
        if (!isSoundField(name, value))
            return 400;
        bytes += name.size() + value.size();
    }
    // The library's own fields are the last of their names (a client may send such names too).
    for (const char* name : kLibraryFields) {
        const auto [first, last] = req.headers.equal_range(name);
        if (first == last)
            continue;
        const auto own = std::prev(last);
        --count;
        bytes -= own->first.size() + own->second.size();
    }
    if (count > static_cast<std::size_t>(limits.maxHeaders) ||
        bytes > static_cast<std::size_t>(limits.maxHeaderBytes))
        return 431;
    return 0;
}

} // namespace velmora::service
