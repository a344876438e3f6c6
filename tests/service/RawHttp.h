#pragma once

#include <map>
#include <string>
#include <vector>

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

// A loopback TCP connection to the port whose reads and writes time out after timeoutMs; -1 when
// it cannot be made. The caller closes it.
int connectLoopback(int port, int timeoutMs);

RawReply rawExchange(int port, const std::string& request, int timeoutMs = 10'000);

// Sends the request over a fresh loopback connection and closes it at once, reading no reply: a
// client that went away. False when no connection could be made.
bool sendAndHangUp(int port, const std::string& request);

// Everything a server sent on one connection until it closed it.
struct RawConversation {
    std::string raw;
    bool closedByServer = false; // closed or reset; false: refused, or open when the time was up
    bool reset = false;          // ended by a reset (a server closing with input unread does so)
    bool timedOut = false;       // the server kept the connection open, silent, for timeoutMs
    bool enoughReplies = false;  // stopAfterReplies replies came (the connection may be open)
};

// Sends the bytes over a fresh loopback connection and reads until the server closes, or until
// stopAfterReplies whole replies came (0: until it closes). (A client that ends its sending side
// gets no reply from the HTTP library when its end arrives before the reply goes out, so the
// connection stays open both ways.)
RawConversation rawConversation(int port, const std::string& request, int timeoutMs,
                                std::size_t stopAfterReplies = 0);

// As rawConversation, with the request in parts: each part after the first goes out once as many
// replies came as parts were sent (a client that waits for each answer on a kept-alive connection).
RawConversation rawDialogue(int port, const std::vector<std::string>& parts, int timeoutMs,
                            std::size_t stopAfterReplies = 0);

// The replies in what a server sent, in order; a reply cut short ends the list.
std::vector<RawReply> splitReplies(const std::string& raw);

// "GET <target> HTTP/1.1" with a Host header and "Connection: close".
RawReply rawGet(int port, const std::string& target);

} // namespace velmora::test
