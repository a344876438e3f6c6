#pragma once

#include <map>
#include <string>

namespace velmora::test {

// One HTTP exchange over a fresh loopback connection, with the request bytes exactly as given
// (no client library in between to normalise paths or encode bytes).
struct RawReply {
    int status = 0;                             // 0: no reply (connection refused, reset or timed out)
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
    std::string raw;

    // The whole body arrived, as its Content-Length announced (a server killed while it answered
    // may leave the body short or missing).
    bool complete() const {
        const std::string length = header("content-length");
        return !length.empty() && body.size() == std::stoul(length);
    }

    std::string header(const std::string& lowerCaseName) const {
        const auto it = headers.find(lowerCaseName);
        return it == headers.end() ? std::string() : it->second;
    }
};

RawReply rawExchange(int port, const std::string& request, int timeoutMs = 10'000);

// Sends the request over a fresh loopback connection and closes it at once, reading no reply: a
// client that went away. False when no connection could be made.
bool sendAndHangUp(int port, const std::string& request);

// "GET <target> HTTP/1.1" with a Host header and "Connection: close".
RawReply rawGet(int port, const std::string& target);

} // namespace velmora::test
