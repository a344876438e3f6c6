#include "service/HttpLimits.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
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
// Set while a request is served when its connection is to close after the reply.
thread_local bool t_closeAfterReply = false;

// Threads that answer 503 while the workers are all busy and their queue is full. Few: each
// answer is short, and a client that is slow to send its request is cut off by the request
// time-out.
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
        lane.work.notify_one();
    }

    void shutdown() override {
        {
            const std::lock_guard lock(m_mutex);
            if (m_shutdown)
                return;
            m_shutdown = true;
        }
        m_served.work.notify_all();
        m_turnedAway.work.notify_all();
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
        std::condition_variable work;

        // A connection taken now would be served at once or wait behind at most maxQueued others.
        bool hasRoom() const { return jobs.size() + busy < threads + maxQueued; }
    };

    void run(Lane& lane, bool turningAway) {
        t_turningAway = turningAway;
        std::unique_lock lock(m_mutex);
        while (true) {
            lane.work.wait(lock, [&] { return m_shutdown || !lane.jobs.empty(); });
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

// Waits until the socket is readable (or writable); false on time-out or error.
bool waitFor(int sock, short events, int timeoutMs) {
    pollfd entry{sock, events, 0};
    while (true) {
        const int n = ::poll(&entry, 1, std::max(0, timeoutMs));
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0;
    }
}

void addressOf(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
    }
    ip = text;
}

// One connection's socket as the library reads and writes it, under the limits. The read-ahead
// buffer lives as long as the connection.
class BoundedStream final : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    BoundedStream(int sock, const HttpLimits& limits, std::size_t budget)
        : m_sock(sock)
        , m_limits(limits)
        , m_budgetPerRequest(budget) {}

    void beginRequest() {
        m_deadline = Clock::now() + std::chrono::seconds(m_limits.requestTimeoutSeconds);
        m_budget = m_budgetPerRequest;
    }
    bool hasReadAhead() const { return m_begin < m_end; }
    // A read was refused: over the budget, or out of time.
    bool cutOff() const { return m_cutOff; }

    bool is_readable() const override { return hasReadAhead() || waitFor(m_sock, POLLIN, readWaitMs()); }
    bool is_writable() const override {
        return waitFor(m_sock, POLLOUT, m_limits.writeTimeoutSeconds * 1000);
    }

    ssize_t read(char* ptr, size_t size) override {
        if (!hasReadAhead()) {
            // Over the budget or the request's time: the request cannot be whole any more.
            const int waitMs = readWaitMs();
            if (m_budget == 0 || waitMs <= 0 || !waitFor(m_sock, POLLIN, waitMs)) {
                m_cutOff = true;
                return -1;
            }
            ssize_t n;
            do
                n = ::recv(m_sock, m_buffer, std::min(sizeof m_buffer, m_budget), 0);
            while (n < 0 && errno == EINTR);
            if (n <= 0)
                return n;
            m_begin = 0;
            m_end = static_cast<std::size_t>(n);
            m_budget -= m_end;
        }
        const std::size_t count = std::min(size, m_end - m_begin);
        std::copy_n(m_buffer + m_begin, count, ptr);
        m_begin += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (!is_writable())
            return -1;
        ssize_t n;
        do
            n = ::send(m_sock, ptr, size, MSG_NOSIGNAL);
        while (n < 0 && errno == EINTR);
        return n;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getpeername(m_sock, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            addressOf(address, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getsockname(m_sock, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            addressOf(address, ip, port);
    }
    socket_t socket() const override { return m_sock; }

private:
    // The read time-out, or less when the request's time runs out sooner.
    int readWaitMs() const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
        return static_cast<int>(std::min<long long>(left, m_limits.readTimeoutSeconds * 1000LL));
    }

    int m_sock;
    const HttpLimits& m_limits;
    std::size_t m_budgetPerRequest;
    std::size_t m_budget = 0;
    Clock::time_point m_deadline;
    char m_buffer[4096];
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_cutOff = false;
};

class BoundedServer final : public httplib::Server {
public:
    BoundedServer(const HttpLimits& limits, std::size_t maxBodyBytes)
        : m_limits(limits)
        , m_budget(requestByteBudget(limits, maxBodyBytes)) {}

private:
    // The library's own connection loop, with the bounded stream.
    bool process_and_close_socket(socket_t sock) override {
        BoundedStream stream(sock, m_limits, m_budget);
        bool served = false;
        for (std::size_t left = static_cast<std::size_t>(m_limits.keepAliveMaxRequests);
             left > 0 && svr_sock_ != INVALID_SOCKET; --left) {
            if (!stream.hasReadAhead() && !waitFor(sock, POLLIN, m_limits.keepAliveTimeoutSeconds * 1000))
                break;
            stream.beginRequest();
            t_closeAfterReply = false;
            bool closed = false;
            served = process_request(stream, left == 1, closed, nullptr);
            if (!served || closed || stream.cutOff() || t_closeAfterReply)
                break;
        }
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
        return served;
    }

    const HttpLimits m_limits;
    const std::size_t m_budget;
};

} // namespace

void closeAfterReply() {
    t_closeAfterReply = true;
}

std::size_t requestByteBudget(const HttpLimits& limits, std::size_t maxBodyBytes) {
    // Request line: method, spaces, version, line end; every field line: ": " and its line end
    // (and some room for blanks around values); the empty line; the body.
    return 64 + static_cast<std::size_t>(limits.maxUrlBytes) +
           static_cast<std::size_t>(limits.maxHeaderBytes) +
           16 * static_cast<std::size_t>(limits.maxHeaders) + 2 + maxBodyBytes;
}

std::unique_ptr<httplib::Server> makeBoundedServer(const HttpLimits& limits, std::size_t maxBodyBytes) {
    return std::make_unique<BoundedServer>(limits, maxBodyBytes);
}

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
