#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace httplib {
class Server;
struct Request;
} // namespace httplib

namespace velmora::service {

// What one client may send or hold, and how much work may wait. Every value has a command-line
// option (see ServiceConfig.cpp); the defaults suit the order pad, whose requests are a short GET
// with a handful of headers.
struct HttpLimits {
    // Worker threads; each serves one connection at a time.
    int threads = 32;
    // Connections accepted while every worker is busy wait for one, up to this many; beyond that
    // a connection is answered 503 with Retry-After by a small turn-away crew, and when that crew
    // is behind as well, the service stops accepting until there is room (the kernel's listen
    // backlog holds the rest). Nothing waits without bound.
    int maxQueued = 64;
    // A client that sends nothing (or takes nothing) for this long is cut off, in every read and
    // write of a request.
    int readTimeoutSeconds = 5;
    int writeTimeoutSeconds = 5;
    // A whole request (its head, and a body) must come within this many seconds of its first
    // byte, however slowly and steadily it trickles in.
    int requestTimeoutSeconds = 10;
    // A kept-alive connection serves at most this many requests, and is closed after this long
    // without the next one.
    int keepAliveMaxRequests = 100;
    int keepAliveTimeoutSeconds = 2;
    // The request target (path and query, as sent), the number of header fields and their total
    // size (names and values). The HTTP library refuses any single line over 8 KiB on its own.
    int maxUrlBytes = 2048;
    int maxHeaders = 50;
    int maxHeaderBytes = 8192;

    // The largest value each option takes (the smallest is 1).
    static constexpr int kMaxThreads = 1024;
    static constexpr int kMaxQueued = 100000;
    static constexpr int kMaxSeconds = 3600;
    static constexpr int kMaxKeepAliveRequests = 100000;
    static constexpr int kMaxUrlBytes = 8192; // the library's own cap on the request line
    static constexpr int kMaxHeaders = 1000;
    static constexpr int kMaxHeaderBytes = 1 << 20;
};

// A plain HTTP server that reads every request under the limits as it comes in: no more bytes
// than the target, the header fields and a body may take together (so that a client cannot make
// the service hold an endless list of fields before it is refused), and nothing after the
// request's time-out. It also keeps a connection's read-ahead from one request to the next, so
// pipelined requests are all answered, and answers a client that already closed its sending
// side. applyLimits() still applies.
std::unique_ptr<httplib::Server> makeBoundedServer(const HttpLimits& limits, std::size_t maxBodyBytes);

// Makes the bounded server close the connection once the reply being made is out: after a
// request it could not frame, what follows on the connection is no request to trust, and a
// client turned away should not stay. Call on the thread serving the request.
void closeAfterReply();

// The most bytes a request's head and body may take on the wire under the limits.
std::size_t requestByteBudget(const HttpLimits& limits, std::size_t maxBodyBytes);

// Puts the limits on a server (plain or TLS): time-outs, keep-alive bounds, the bounded worker
// queue with its 503 answer. checkRequest() does the rest, from the pre-routing handler.
void applyLimits(httplib::Server& server, const HttpLimits& limits);

// The status a parsed request is refused with under the limits (414, 431, 400 for a header field
// that is no field, or 503 when it came in while the service was overloaded), 0 when it may go
// on. Call on the thread serving it.
int checkRequest(const httplib::Request& req, const HttpLimits& limits);

} // namespace velmora::service
