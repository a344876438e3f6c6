// The service under hostile input, over real sockets: the limits on what one client may send or
// hold (each at its edge), an overload answered 503 rather than queued without end, and a
// generated table of more than a thousand malformed and hostile requests, after which the
// service still runs, never served a byte from beside its site, and still hands out every order
// number once.
#include "ProgramReading.h"
#include "RawHttp.h"
#include "TestService.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

constexpr int kGenerousMs = 20'000; // far beyond any configured time-out here

long long numberOf(const RawReply& reply) {
    return reply.status == 200 ? static_cast<long long>(programNumber(reply.body)) : -1;
}

std::string get(const std::string& target, const std::string& headers = "Host: x\r\n") {
    return "GET " + target + " HTTP/1.1\r\n" + headers + "Connection: close\r\n\r\n";
}

// Header lines "X-Filler-N: vvv" making count fields of about `each` bytes (name and value).
std::string fillerHeaders(int count, int each) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const std::string name = "X-Filler-" + std::to_string(i);
        text +=
            name + ": " +
            std::string(static_cast<std::size_t>(std::max(1, each - static_cast<int>(name.size()))), 'v') +
            "\r\n";
    }
    return text;
}

// A loopback connection to the port, reads timing out after kGenerousMs; -1 if none.
int connectTo(int port) {
    return connectLoopback(port, kGenerousMs);
}

// Everything the server sends until it closes (or the time-out).
std::string readToEnd(int fd) {
    std::string raw;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        raw.append(buffer, static_cast<std::size_t>(n));
    return raw;
}

// ---------------------------------------------------------------------------------------------
// Each limit at its edge: the request just within is served, the one just beyond refused.

struct LimitCase {
    const char* name;
    std::vector<const char*> options; // empty: the defaults
    std::string request;
    int status;
};

void PrintTo(const LimitCase& c, std::ostream* os) {
    *os << c.name;
}

class Limit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(Limit, IsHeldAtItsEdge) {
    TestService::Options options;
    for (const char* option : GetParam().options)
        options.arguments << option;
    TestService service(options);
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    const RawReply reply = rawExchange(service.port(), GetParam().request);
    EXPECT_EQ(reply.status, GetParam().status) << reply.raw.substr(0, 300);
    if (reply.status >= 400) {
        EXPECT_TRUE(reply.complete()) << "an error reply has its body";
    }
    EXPECT_EQ(rawGet(service.port(), "/in1.html").status, 200) << "the service goes on";
}

// "Host: x" is 5 bytes of name and value; the default limits are 2048 bytes of target, 50 fields
// and 8192 bytes of fields.
INSTANTIATE_TEST_SUITE_P(
    Edges, Limit,
    ::testing::Values(
        LimitCase{"UrlAtDefaultLimit", {}, get("/in1.html?" + std::string(2048 - 10, 'q')), 200},
        LimitCase{"UrlOverDefaultLimit", {}, get("/in1.html?" + std::string(2048 - 9, 'q')), 414},
        LimitCase{"UrlOverLibraryLimit", {}, get("/in1.html?" + std::string(9000, 'q')), 414},
        LimitCase{"UrlAtConfiguredLimit",
                  {"--max-url-bytes", "100"},
                  get("/in1.html?" + std::string(90, 'q')),
                  200},
        LimitCase{"UrlOverConfiguredLimit",
                  {"--max-url-bytes", "100"},
                  get("/in1.html?" + std::string(91, 'q')),
                  414},
        // Host and Connection are two of the fields.
        // The longest target the service can be configured to take reaches the path check (and
        // the routing pattern, which must not recurse per character).
        LimitCase{"LongPathUnderTheHighestLimit",
                  {"--max-url-bytes", "8192"},
                  get("/" + std::string(8000, 'a') + ".html"),
                  400},
        LimitCase{"HeadersAtDefaultCount", {}, get("/in1.html", "Host: x\r\n" + fillerHeaders(48, 12)), 200},
        LimitCase{
            "HeadersOverDefaultCount", {}, get("/in1.html", "Host: x\r\n" + fillerHeaders(49, 12)), 431},
        LimitCase{"HeadersAtConfiguredCount",
                  {"--max-headers", "5"},
                  get("/in1.html", "Host: x\r\n" + fillerHeaders(3, 12)),
                  200},
        LimitCase{"HeadersOverConfiguredCount",
                  {"--max-headers", "5"},
                  get("/in1.html", "Host: x\r\n" + fillerHeaders(4, 12)),
                  431},
        // 5 (Host) + 15 (Connection: close) + 4 fields of 2043 = 8192.
        LimitCase{
            "HeaderBytesAtDefaultLimit", {}, get("/in1.html", "Host: x\r\n" + fillerHeaders(4, 2043)), 200},
        LimitCase{
            "HeaderBytesOverDefaultLimit", {}, get("/in1.html", "Host: x\r\n" + fillerHeaders(4, 2044)), 431},
        LimitCase{"HeaderBytesAtConfiguredLimit",
                  {"--max-header-bytes", "300"},
                  get("/in1.html", "Host: x\r\n" + fillerHeaders(2, 140)),
                  200},
        LimitCase{"HeaderBytesOverConfiguredLimit",
                  {"--max-header-bytes", "300"},
                  get("/in1.html", "Host: x\r\n" + fillerHeaders(2, 141)),
                  431},
        LimitCase{"HeaderLineOverLibraryLimit",
                  {},
                  get("/in1.html", "Host: x\r\nX-Big: " + std::string(9000, 'b') + "\r\n"),
                  400},
        // Fields that are no fields: the library takes them, and decodes %XX in values.
        LimitCase{"NulInFieldValue", {}, get("/in1.html", std::string("Host: x\r\nX-A: a\0b\r\n", 19)), 400},
        LimitCase{"EncodedNulInFieldValue", {}, get("/in1.html", "Host: x\r\nX-A: a%00b\r\n"), 400},
        LimitCase{
            "EncodedLineBreakInFieldValue", {}, get("/in1.html", "Host: x\r\nX-A: a%0d%0aX-B: c\r\n"), 400},
        LimitCase{"SpaceInFieldName", {}, get("/in1.html", "Host : x\r\n"), 400},
        LimitCase{"ControlByteInFieldName", {}, get("/in1.html", "Host: x\r\nX-\x01A: b\r\n"), 400},
        // Refused while they come in, once they are more than the limits let a request be.
        LimitCase{"TwentyThousandFields", {}, get("/in1.html", "Host: x\r\n" + fillerHeaders(20000, 8)), 400},
        // An order number is refused too when the request is over a limit, and none is taken.
        LimitCase{"NumberRequestOverHeaderCount",
                  {"--max-headers", "5"},
                  get("/cgi-bin/scr042n.pl", "Host: x\r\n" + fillerHeaders(4, 12)),
                  431}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(Limits, ARefusedNumberRequestTakesNoNumber) {
    TestService::Options options;
    options.arguments << "--max-headers"
                      << "5";
    TestService service(options);
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    EXPECT_EQ(numberOf(rawGet(service.port(), "/cgi-bin/scr042n.pl")), 4201);
    EXPECT_EQ(
        rawExchange(service.port(), get("/cgi-bin/scr042n.pl", "Host: x\r\n" + fillerHeaders(9, 8))).status,
        431);
    EXPECT_EQ(rawExchange(service.port(), get("/cgi-bin/scr042n.pl?" + std::string(3000, 'q'))).status, 414);
    EXPECT_EQ(numberOf(rawGet(service.port(), "/cgi-bin/scr042n.pl")), 4202);
}

// A kept-alive connection: requests one after the other, each once the last was answered.
TEST(Limits, KeptAliveConnectionServesAtMostTheConfiguredNumberOfRequests) {
    TestService::Options options;
    options.arguments << "--keep-alive-max"
                      << "3";
    TestService service(options);
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    const int fd = connectTo(service.port());
    ASSERT_GE(fd, 0);
    std::string raw;
    std::size_t answered = 0;
    bool closed = false;
    for (int i = 0; i < 5 && !closed; ++i) {
        const std::string request = "GET /in1.html HTTP/1.1\r\nHost: x\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
            break;
        while (splitReplies(raw).size() == answered && !closed) {
            char buffer[4096];
            const auto n = ::recv(fd, buffer, sizeof buffer, 0);
            closed = n <= 0;
            if (n > 0)
                raw.append(buffer, static_cast<std::size_t>(n));
        }
        answered = splitReplies(raw).size();
    }
    ::close(fd);
    const auto replies = splitReplies(raw);
    ASSERT_EQ(replies.size(), 3u) << raw;
    EXPECT_EQ(replies[0].status, 200);
    EXPECT_EQ(replies[2].header("connection"), "close");
}

// A connection that goes quiet, between requests or inside one, is closed by the service (on
// the configured time-outs; the test allows far more).
TEST(Limits, QuietConnectionsAreClosed) {
    TestService::Options options;
    options.arguments << "--keep-alive-timeout"
                      << "1"
                      << "--read-timeout"
                      << "1";
    TestService service(options);
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    const std::string requests[] = {
        "",                                                   // connects and says nothing
        "GET /in1.html HTTP/1.1\r\nHost: x\r\n\r\n",          // kept alive, then idle
        "GET /in1.html HTTP/1.1\r\nHost: x\r\n",              // stops inside the header
        "GET /cgi-bin/scr042n.pl HTTP/1.1\r\nHost: x\r\nX-A", // stops inside a field
        "GET /in1.ht",                                        // stops inside the request line
    };
    std::vector<std::thread> threads;
    std::vector<RawConversation> conversations(std::size(requests));
    for (std::size_t i = 0; i < std::size(requests); ++i)
        threads.emplace_back(
            [&, i] { conversations[i] = rawConversation(service.port(), requests[i], false, kGenerousMs); });
    for (auto& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < std::size(requests); ++i) {
        SCOPED_TRACE(requests[i]);
        EXPECT_TRUE(conversations[i].closedByServer);
        const auto replies = splitReplies(conversations[i].raw);
        for (std::size_t r = 0; r < replies.size(); ++r) {
            if (i == 1 && r == 0)
                EXPECT_EQ(replies[r].status, 200);
            else
                EXPECT_GE(replies[r].status, 400) << conversations[i].raw;
        }
    }
    EXPECT_EQ(numberOf(rawGet(service.port(), "/cgi-bin/scr042n.pl")), 4201)
        << "the cut request took no number";
}

// A client that streams header fields without end is cut off once they are more than a request
// may be, rather than the service holding them all (it took hundreds of megabytes before).
TEST(Limits, EndlessHeaderFieldsAreCutOffWhileTheyComeIn) {
    TestService service;
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    const int fd = connectTo(service.port());
    ASSERT_GE(fd, 0);
    std::string chunk = "GET /in1.html HTTP/1.1\r\nHost: x\r\n";
    std::size_t sent = 0;
    bool cutOff = false;
    for (int i = 0; sent < (64u << 20) && !cutOff; ++i) {
        chunk += "X-" + std::to_string(i) + ": v\r\n";
        if (chunk.size() < 65536)
            continue;
        cutOff = ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0;
        sent += chunk.size();
        chunk.clear();
    }
    ::close(fd);
    EXPECT_TRUE(cutOff) << sent << " bytes of header fields went in";
    EXPECT_EQ(rawGet(service.port(), "/in1.html").status, 200);
}

// A request that trickles in, a byte at a time well within the read time-out, is cut off once
// the request's time is up (the test allows far more).
TEST(Limits, ARequestTricklingInIsCutOffAtTheRequestTimeout) {
    TestService::Options options;
    options.arguments << "--request-timeout"
                      << "2"
                      << "--read-timeout"
                      << "2";
    TestService service(options);
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    const int fd = connectTo(service.port());
    ASSERT_GE(fd, 0);
    const std::string head = "GET /cgi-bin/scr042n.pl HTTP/1.1\r\nHost: x\r\nX-Slow: ";
    ASSERT_EQ(::send(fd, head.data(), head.size(), MSG_NOSIGNAL), static_cast<ssize_t>(head.size()));
    bool cutOff = false;
    const auto giveUp = std::chrono::steady_clock::now() + 20s;
    while (!cutOff && std::chrono::steady_clock::now() < giveUp) {
        cutOff = ::send(fd, "v", 1, MSG_NOSIGNAL) < 0;
        pollfd entry{fd, POLLIN, 0};
        cutOff = cutOff || ::poll(&entry, 1, 200) > 0; // an answer or the end
    }
    const auto replies = splitReplies(readToEnd(fd));
    ::close(fd);
    EXPECT_TRUE(cutOff) << "the service waited for the request for 20 s";
    for (const auto& reply : replies)
        EXPECT_EQ(reply.status, 400);
    EXPECT_EQ(numberOf(rawGet(service.port(), "/cgi-bin/scr042n.pl")), 4201)
        << "the cut request took no number";
}

// Requests sent before the replies to the earlier ones came are all answered, in order, and so
// is a client that closed its sending side after its request.
TEST(Limits, PipelinedRequestsAndHalfClosedClientsAreAnswered) {
    TestService service;
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    const std::string pipelined = "GET /cgi-bin/scr042n.pl HTTP/1.1\r\nHost: x\r\n\r\n"
                                  "GET /in1.html HTTP/1.1\r\nHost: x\r\n\r\n"
                                  "GET /cgi-bin/scr042n.pl HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    const auto replies = splitReplies(rawConversation(service.port(), pipelined, kGenerousMs).raw);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(numberOf(replies[0]), 4201);
    EXPECT_EQ(programAddress(replies[1].body), "x/start.html");
    EXPECT_EQ(numberOf(replies[2]), 4202);

    for (int i = 0; i < 20; ++i) {
        const int fd = connectTo(service.port());
        ASSERT_GE(fd, 0);
        const std::string request = "GET /cgi-bin/scr042n.pl HTTP/1.1\r\nHost: x\r\n\r\n";
        ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(request.size()));
        ::shutdown(fd, SHUT_WR);
        const auto answer = splitReplies(readToEnd(fd));
        ::close(fd);
        ASSERT_EQ(answer.size(), 1u) << "request " << i;
        EXPECT_EQ(numberOf(answer[0]), 4203 + i);
    }
}

// Every worker busy and the queue full: a further client gets 503 with Retry-After at once, no
// order number is taken for it, and once the workers are free again the service serves as before.
TEST(Limits, OverloadIsAnswered503RatherThanQueued) {
    TestService::Options options;
    options.arguments << "--threads"
                      << "2"
                      << "--max-queued"
                      << "1"
                      << "--read-timeout"
                      << "60";
    TestService service(options);
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();

    // Three slow clients: two hold the workers, one waits in the queue. (The first connections
    // of the service: a connection still being closed would count as busy too.)
    int holders[3] = {-1, -1, -1};
    for (int& fd : holders) {
        fd = connectTo(service.port());
        ASSERT_GE(fd, 0);
        const std::string partial = "GET /in1.html HTTP/1.1\r\nHost: x\r\n";
        ASSERT_EQ(::send(fd, partial.data(), partial.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(partial.size()));
    }

    for (int i = 0; i < 3; ++i) {
        const RawReply busy = rawExchange(service.port(), get("/cgi-bin/scr042n.pl"), kGenerousMs);
        EXPECT_EQ(busy.status, 503) << busy.raw;
        EXPECT_EQ(busy.header("retry-after"), "1");
        EXPECT_TRUE(busy.complete());
    }

    // The slow clients finish their requests and are served.
    for (const int fd : holders) {
        const std::string rest = "Connection: close\r\n\r\n";
        ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
    }
    for (const int fd : holders) {
        const std::string raw = readToEnd(fd);
        ::close(fd);
        const auto replies = splitReplies(raw);
        ASSERT_EQ(replies.size(), 1u) << raw;
        EXPECT_EQ(replies[0].status, 200);
    }
    EXPECT_EQ(numberOf(rawGet(service.port(), "/cgi-bin/scr042n.pl")), 4201) << "a 503 takes no number";
}

// ---------------------------------------------------------------------------------------------
// A thousand and more hostile requests

struct HostileCase {
    std::string category;
    std::string bytes;
    int validReplies = 0;              // leading sound requests, before the garbage
    std::vector<std::string> dialogue; // if set, sent instead of bytes, each part after the last reply
};

// Every way of writing "." and "/" (or "\") a server might decode into a step out of the site.
const std::vector<std::string> kDots = {"..",           "%2e%2e",        "%2E%2E",       ".%2e",
                                        "%2e.",         "%252e%252e",    "%c0%ae%c0%ae", "%e0%80%ae%e0%80%ae",
                                        "%u002e%u002e", "..%00",         "%2e%2e%00",    ".%00.",
                                        "%c0%2e%c0%2e", "%%32%65%%32%65"};
const std::vector<std::string> kSeparators = {"/",      "%2f",   "%2F",    "%252f",  "\\",        "%5c",
                                              "%5C",    "%255c", "%c0%af", "%c1%9c", "%e0%80%af", "%u2215",
                                              "%u002f", "//",    "/./",    "%c0%5c"};
const std::vector<std::string> kRoutePrefixes = {
    "/", "/cgi-bin/", "/sb", "/cgi-bin/sb", "/cgi-bin/scr", "/start.html/", "/images/", "/%2e/"};
const std::vector<std::string> kOutsideNames = {"secret.html",   "secret.txt",  "etc/passwd",
                                                "orders.sqlite", "service.log", "site/shops.tsv"};
const std::vector<std::string> kSuffixes = {"", "%00.html", "?x=1", ".htm", "n.pl", "%00", "#frag", "%20"};
const std::vector<std::string> kSoundTargets = {"/in1.html",  "/cgi-bin/scr042n.pl", "/",
                                                "/sb101.htm", "/cgi-bin/ruf.html",   "/start.html"};

class Generator {
public:
    explicit Generator(std::uint32_t seed)
        : m_random(seed) {}

    template <typename T> const T& pick(const std::vector<T>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(m_random)];
    }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    std::string bytes(std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i)
            text += static_cast<char>(between(0, 255));
        return text;
    }

private:
    std::mt19937 m_random;
};

std::vector<HostileCase> hostileCases(const std::string& siteDir) {
    Generator g(20261210);
    std::vector<HostileCase> cases;
    const auto add = [&](const char* category, std::string bytes) {
        cases.push_back({category, std::move(bytes), 0, {}});
    };

    // Request lines that are no request line: a method, target or version that is wrong, or the
    // wrong line end; each case has at least one of them wrong.
    const std::vector<std::string> methods = {"GET",     "get",     "Get",     "GETT", "G ET",
                                              "\x01GET", "GE\x7fT", "FOO",     "123",  std::string(100, 'G'),
                                              "",        "GET /",   "\xE0\xE1"};
    const std::vector<std::string> versions = {"HTTP/1.1",  "HTTP/1.2", "HTTP/2.0",       "http/1.1",
                                               "HTTP/1.1x", "HTTP/1",   "HTTP/1.1 extra", "HTTP/11",
                                               "",          "HTTP/0.9", "HTTPS/1.1",      "HTTP/\x01"};
    const std::vector<std::string> lineEnds = {"\r\n", "\n", "\r", "\n\r", "\r\r\n"};
    for (int i = 0; i < 150; ++i) {
        const std::string& method = g.pick(methods);
        std::string version = g.pick(versions);
        const std::string& lineEnd = g.pick(lineEnds);
        if (method == "GET" && version == "HTTP/1.1" && lineEnd == "\r\n")
            version = "HTTP/1.1 HTTP/1.1";
        add("bad request line",
            method + " " + g.pick(kSoundTargets) + " " + version + lineEnd + "Host: x\r\n\r\n");
    }

    // Steps out of the site, in every encoding, on every route.
    for (int i = 0; i < 420; ++i) {
        std::string target = g.pick(kRoutePrefixes);
        const int depth = g.pick(std::vector<int>{1, 2, 3, 6});
        const std::string& dot = g.pick(kDots);
        const std::string& separator = g.pick(kSeparators);
        for (int d = 0; d < depth; ++d)
            target += dot + separator;
        target += g.pick(kOutsideNames) + g.pick(kSuffixes);
        add("encoded traversal", get(target));
    }

    // Absolute paths, to the secret by its real place too.
    const std::string secret =
        QDir::cleanPath(QString::fromStdString(siteDir) + "/../secret.html").toStdString();
    const std::vector<std::string> absolutes = {
        "//etc/passwd",
        "///etc/passwd",
        "/%2fetc%2fpasswd",
        "%2fetc%2fpasswd",
        "etc/passwd",
        "http://127.0.0.1/../secret.html",
        "http://x//etc/passwd",
        "file:///etc/passwd",
        "*",
        "/proc/self/environ",
        "//proc/self/cwd/../secret.html",
        "/\\etc\\passwd",
        "\\etc\\passwd",
        "C:\\secret.html",
        "/C:/secret.html",
        "/%5cetc%5cpasswd",
        "/cgi-bin//etc/passwd",
        secret,
        "/" + secret,
        "/" + QString::fromStdString(secret).toUtf8().toPercentEncoding("/").toStdString(),
        QString::fromStdString(secret).toUtf8().toPercentEncoding().toStdString(),
        "/sb/" + secret,
        "/cgi-bin/sb" + secret,
        "/proc/self/fd/0",
        "/dev/zero",
        "/linked.html",
        "/linked.html%00.html"};
    for (const std::string& target : absolutes) {
        add("absolute path", get(target));
        add("absolute path", get(target + "?x=" + std::to_string(g.between(0, 9))));
    }

    // NUL, raw in any part of the head, or encoded in the target or a field value.
    for (int i = 0; i < 100; ++i) {
        const std::string target = g.pick(kSoundTargets);
        std::string line = "GET " + target + " HTTP/1.1";
        std::string field = "X-Field: value";
        const int where = g.between(0, 3);
        if (where == 0)
            line.insert(static_cast<std::size_t>(g.between(0, static_cast<int>(line.size()))), 1, '\0');
        else if (where == 1)
            field.insert(static_cast<std::size_t>(g.between(0, static_cast<int>(field.size()))), 1, '\0');
        else if (where == 2)
            line = "GET " + target.substr(0, 1) + "%00" + target.substr(1) + " HTTP/1.1";
        else
            field = "X-Field: va%00lue";
        add("NUL byte", line + "\r\nHost: x\r\n" + field + "\r\nConnection: close\r\n\r\n");
    }

    // Header fields too large: one line over the library's 8 KiB, or many lines over the total.
    for (const int size : {8200, 9000, 16384, 65536, 1 << 20, 2 << 20})
        for (const std::string& target : {std::string("/in1.html"), std::string("/cgi-bin/scr042n.pl")})
            add("huge header", get(target, "Host: x\r\nX-Big: " +
                                               std::string(static_cast<std::size_t>(size), 'b') + "\r\n"));
    for (const auto& [count, each] : std::vector<std::pair<int, int>>{
             {3, 3000}, {5, 2000}, {40, 300}, {10, 1000}, {2, 8000}, {45, 190}, {20, 500}, {9, 950}})
        for (const std::string& target : {std::string("/in1.html"), std::string("/cgi-bin/scr042n.pl")})
            add("huge header", get(target, "Host: x\r\n" + fillerHeaders(count, each)));
    add("huge header", "GET /in1.html HTTP/1.1\r\nHost: x\r\nX-Endless: " + std::string(3 << 20, 'e'));
    add("huge header", "GET /in1.html HTTP/1.1\r\nHost: " + std::string(10000, 'h') + "\r\n\r\n");

    // Too many header fields.
    for (const int count : {49, 51, 60, 100, 500, 1000, 5000, 20000})
        for (const std::string& target :
             {std::string("/in1.html"), std::string("/cgi-bin/scr042n.pl"), std::string("/sb101.htm")})
            add("too many headers", get(target, "Host: x\r\n" + fillerHeaders(count, 8)));
    for (const int count : {60, 1000})
        add("too many headers", get("/in1.html", [&] {
                std::string same;
                for (int i = 0; i < count; ++i)
                    same += "Host: x\r\n";
                return same;
            }()));

    // Targets too long for the limit or for the library.
    for (const int size : {2049, 3000, 8000, 8192, 8193, 9000, 16384, 65536, 1 << 20}) {
        add("huge URL", get("/" + std::string(static_cast<std::size_t>(size), 'a') + ".html"));
        add("huge URL", get("/cgi-bin/scr042n.pl?" + std::string(static_cast<std::size_t>(size), 'q')));
        std::string climbing = "/";
        while (climbing.size() < static_cast<std::size_t>(size))
            climbing += "%2e%2e%2f";
        add("huge URL", get(climbing + "secret.html"));
    }
    add("huge URL", "GET /" + std::string(3 << 20, 'a')); // no end of line at all

    // Sound requests followed, on the same connection, by garbage.
    const std::vector<std::string> garbage = {
        "GARBAGE\r\n\r\n",
        "\r\n\r\n\r\n",
        "GET\r\n\r\n",
        "GET / HTTP/9.9\r\n\r\n",
        "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", // a TLS hello
        "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n",
        "GET /../secret.html HTTP/1.1\r\nHost: x\r\n\r\n",
        "GET /in1.html HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nabcde",
        "GET /in1.html HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"};
    // All in one go, or each part once the last was answered.
    for (int i = 0; i < 150; ++i) {
        HostileCase c{i % 3 == 0 ? "pipelined garbage" : "garbage on a kept-alive connection", {}, 0, {}};
        c.validReplies = g.between(1, 3);
        for (int r = 0; r < c.validReplies; ++r)
            c.dialogue.push_back("GET " + std::string(r % 2 == 0 ? "/cgi-bin/scr042n.pl" : "/in1.html") +
                                 " HTTP/1.1\r\nHost: x\r\n\r\n");
        c.dialogue.push_back(i % 4 == 1 ? g.bytes(static_cast<std::size_t>(g.between(1, 3000)))
                                        : g.pick(garbage));
        if (i % 3 == 0) {
            for (const std::string& part : c.dialogue)
                c.bytes += part;
            c.dialogue.clear();
        }
        cases.push_back(std::move(c));
    }

    // Control characters and backslashes slipped into sound targets, raw or encoded.
    for (int i = 0; i < 150; ++i) {
        std::string target =
            g.pick(std::vector<std::string>{"/in1.html", "/cgi-bin/scr042n.pl", "/sb101.htm",
                                            "/cgi-bin/ruf.html", "/start.html", "/cgi-bin/sb042.htm"});
        // Inside the target: whitespace at its ends would only part the words of the line.
        const auto at = static_cast<std::size_t>(g.between(1, static_cast<int>(target.size()) - 1));
        const int kind = g.between(0, 2);
        const int c = g.pick(std::vector<int>{1, 2, 8, 9, 10, 11, 12, 13, 27, 31, 127, '\\', ' '});
        if (kind == 0) {
            target.insert(at, 1, static_cast<char>(c));
        } else {
            char encoded[8];
            std::snprintf(encoded, sizeof encoded, kind == 1 ? "%%%02x" : "%%%02X", c == ' ' ? 0 : c);
            target.insert(at, encoded);
        }
        add("control byte in target", get(target));
    }

    // Fields that are no fields, and a body on a GET.
    const std::vector<std::string> badFields = {"Content-Length: 5\r\n\r\nabcde",
                                                "Content-Length: -1\r\n",
                                                "Content-Length: 99999999999999999999\r\n",
                                                "Content-Length: abc\r\n",
                                                "Content-Length: 1\r\nContent-Length: 2\r\n",
                                                "Transfer-Encoding: chunked\r\n",
                                                "Transfer-Encoding: identity\r\n",
                                                "Bad Name: x\r\n",
                                                "Host : x\r\n",
                                                "X-(A): x\r\n",
                                                "X-A\x01: x\r\n",
                                                "\xE0\xE1: x\r\n",
                                                "X-A: a\x01b\r\n",
                                                "X-A: a\x7f\r\n",
                                                "X-A: \x1b[31m\r\n",
                                                "X-A: a%0d%0aSet-Cookie: x\r\n",
                                                "X-A: a\rb\r\n",
                                                "X-A: %00\r\n",
                                                "@: x\r\n",
                                                "X-A: a%7fb\r\n"};
    for (const std::string& field : badFields)
        for (const std::string& target : {std::string("/in1.html"), std::string("/cgi-bin/scr042n.pl")}) {
            const bool hasBody = field.find("\r\n\r\n") != std::string::npos;
            add("malformed field",
                "GET " + target + " HTTP/1.1\r\nHost: x\r\n" + field + (hasBody ? "" : "\r\n"));
        }

    // Slow clients: requests begun and never finished, the connection left open.
    const std::vector<std::string> partial = {
        "",
        "G",
        "GET",
        "GET /in1.html",
        "GET /in1.html HTTP/1.1",
        "GET /in1.html HTTP/1.1\r\n",
        "GET /in1.html HTTP/1.1\r\nHost: x",
        "GET /in1.html HTTP/1.1\r\nHost: x\r\n",
        "GET /cgi-bin/scr042n.pl HTTP/1.1\r\nHost: x\r\nX-A: b\r\n\r",
        "POST /in1.html HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\nabc"};
    for (int i = 0; i < 40; ++i)
        add("slow client", g.pick(partial));
    return cases;
}

struct CategoryCount {
    int sent = 0;
    int errorReply = 0;       // answered with an error status
    int closedUnanswered = 0; // closed without an error reply (after any sound replies)
    int faults = 0;
};

TEST(HostileRequests, AreRefusedOrCutOffAndTheServiceGoesOnHandingOutUniqueNumbers) {
    TestService::Options options;
    options.arguments << "--read-timeout"
                      << "1"
                      << "--keep-alive-timeout"
                      << "1"
                      << "--write-timeout"
                      << "2";
    TestService service(options);
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    const QString site = service.siteDir();
    const std::string marker = "SECRET-BESIDE-THE-SITE-4711";
    for (const char* name : {"/../secret.html", "/../secret.txt"}) {
        QFile secret(site + name);
        ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
        secret.write(marker.c_str());
    }
    ASSERT_EQ(::symlink(QFile::encodeName(QDir(site + "/..").absoluteFilePath("secret.html")).constData(),
                        QFile::encodeName(site + "/linked.html").constData()),
              0);
    ASSERT_EQ(rawGet(service.port(), "/cgi-bin/scr042n.pl").status, 200); // the database file exists

    const std::vector<HostileCase> cases = hostileCases(site.toStdString());
    ASSERT_GE(cases.size(), 1000u);

    std::mutex mutex;
    std::vector<long long> numbers;
    std::map<std::string, CategoryCount> counts;
    std::vector<std::string> faults;
    std::atomic<std::size_t> next = 0;
    std::atomic<bool> done = false;

    // Sound clients take order numbers all the while.
    std::thread numberTaker([&] {
        while (!done) {
            const long long number = numberOf(rawGet(service.port(), "/cgi-bin/scr042n.pl"));
            const std::lock_guard lock(mutex);
            numbers.push_back(number);
        }
    });

    const auto runCases = [&] {
        for (std::size_t i; (i = next++) < cases.size();) {
            const HostileCase& c = cases[i];
            // Read until the service closes, or until it answered past the sound requests.
            const auto stopAfter = static_cast<std::size_t>(c.validReplies) + 1;
            const RawConversation conversation =
                c.dialogue.empty() ? rawConversation(service.port(), c.bytes, kGenerousMs, stopAfter)
                                   : rawDialogue(service.port(), c.dialogue, kGenerousMs, stopAfter);
            const auto replies = splitReplies(conversation.raw);
            std::size_t parsed = 0;
            for (const auto& reply : replies)
                parsed += reply.raw.size();
            std::string fault;
            if (!conversation.closedByServer && !conversation.enoughReplies)
                fault = conversation.timedOut ? "the service kept the connection open" : "no connection";
            else if (conversation.closedByServer && parsed != conversation.raw.size())
                fault = "bytes that are no reply";
            else if (c.validReplies > 0 && replies.empty())
                fault = "a sound request went unanswered";
            for (std::size_t r = 0; r < replies.size() && fault.empty(); ++r) {
                const int status = replies[r].status;
                const bool sound = r < static_cast<std::size_t>(c.validReplies);
                if (sound ? status != 200 : status < 400 || status > 599)
                    fault = "status " + std::to_string(status);
            }
            for (const std::string& leak :
                 {marker, std::string("root:x:0:0"), std::string("SQLite format 3")})
                if (conversation.raw.find(leak) != std::string::npos)
                    fault = "served " + leak;

            const std::lock_guard lock(mutex);
            for (std::size_t r = 0; r < replies.size() && r < static_cast<std::size_t>(c.validReplies); ++r)
                if (replies[r].body.find("</center>") != std::string::npos)
                    numbers.push_back(numberOf(replies[r]));
            CategoryCount& count = counts[c.category];
            ++count.sent;
            if (!fault.empty()) {
                ++count.faults;
                std::string shown = (c.dialogue.empty() ? c.bytes : c.dialogue.back()).substr(0, 160);
                for (char& ch : shown)
                    if (static_cast<unsigned char>(ch) < 0x20)
                        ch = '.';
                faults.push_back(c.category + ": " + fault + ": " + shown);
            } else if (replies.size() > static_cast<std::size_t>(c.validReplies)) {
                ++count.errorReply;
            } else {
                ++count.closedUnanswered;
            }
        }
    };
    std::vector<std::thread> clients;
    for (int t = 0; t < 8; ++t)
        clients.emplace_back(runCases);
    for (auto& client : clients)
        client.join();
    done = true;
    numberTaker.join();

    int sent = 0;
    std::cout << "category                  sent  error reply  closed unanswered  faults\n";
    for (const auto& [category, count] : counts) {
        std::printf("%-24s %5d %12d %18d %7d\n", category.c_str(), count.sent, count.errorReply,
                    count.closedUnanswered, count.faults);
        sent += count.sent;
    }
    std::cout << "total " << sent << std::endl;
    for (std::size_t i = 0; i < faults.size() && i < 40; ++i)
        ADD_FAILURE() << faults[i];
    EXPECT_TRUE(faults.empty()) << faults.size() << " of " << cases.size() << " cases failed";

    // Still up, and every number handed out once, all through and after.
    ASSERT_TRUE(service.isRunning()) << service.log().right(3000).toStdString();
    EXPECT_EQ(rawGet(service.port(), "/in1.html").status, 200);
    std::vector<std::thread> after;
    for (int t = 0; t < 4; ++t)
        after.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                const long long number = numberOf(rawGet(service.port(), "/cgi-bin/scr042n.pl"));
                const std::lock_guard lock(mutex);
                numbers.push_back(number);
            }
        });
    for (auto& thread : after)
        thread.join();
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), -1), 0) << "a sound number request failed";
    std::set<long long> unique(numbers.begin(), numbers.end());
    EXPECT_EQ(unique.size(), numbers.size()) << "a number was handed out twice";
    EXPECT_GT(*unique.begin(), 4201);
    EXPECT_FALSE(service.log().contains("velmora-service: order numbers"))
        << service.log().right(3000).toStdString();
    EXPECT_TRUE(service.stop()) << "a clean stop after it all";
}

} // namespace
} // namespace velmora::test
