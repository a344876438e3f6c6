#include "RawHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace velmora::test {

namespace {

void parse(RawReply& reply) {
    const auto headEnd = reply.raw.find("\r\n\r\n");
    if (reply.raw.compare(0, 9, "HTTP/1.1 ") != 0 || headEnd == std::string::npos)
        return;
    reply.status = std::atoi(reply.raw.c_str() + 9);
    std::size_t lineStart = reply.raw.find("\r\n") + 2;
    while (lineStart < headEnd) {
        const auto lineEnd = reply.raw.find("\r\n", lineStart);
        const std::string line = reply.raw.substr(lineStart, lineEnd - lineStart);
        const auto colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            reply.headers[name] = value;
        }
        lineStart = lineEnd + 2;
    }
    reply.body = reply.raw.substr(headEnd + 4);
}

bool complete(const std::string& raw) {
    const auto headEnd = raw.find("\r\n\r\n");
    if (headEnd == std::string::npos)
        return false;
    std::string head = raw.substr(0, headEnd);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto field = head.find("\r\ncontent-length:");
    if (field == std::string::npos)
        return false;
    const std::size_t length = std::strtoul(head.c_str() + field + 17, nullptr, 10);
    return raw.size() >= headEnd + 4 + length;
}

// A loopback connection with the request sent; -1 when it could not be sent.
int connectAndSend(int port, const std::string& request, int timeoutMs) {
    const int fd = connectLoopback(port, timeoutMs);
    if (fd < 0)
        return -1;
    std::size_t sent = 0;
    while (sent < request.size()) {
        const auto n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break; // the server may refuse a request before it has all of it
        sent += static_cast<std::size_t>(n);
    }
    return fd;
}

} // namespace

bool sendAndHangUp(int port, const std::string& request) {
    const int fd = connectAndSend(port, request, 10'000);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

RawReply rawExchange(int port, const std::string& request, int timeoutMs) {
    RawReply reply;
    const int fd = connectAndSend(port, request, timeoutMs);
    if (fd < 0)
        return reply;
    // Read until the server closes, or until the whole reply is there: the service may keep
    // the connection open for a next request even when asked to close it.
    char buffer[8192];
    while (!complete(reply.raw)) {
        const auto n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        reply.raw.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    parse(reply);
    return reply;
}

RawConversation rawConversation(int port, const std::string& request, int timeoutMs,
                                std::size_t stopAfterReplies) {
    return rawDialogue(port, {request}, timeoutMs, stopAfterReplies);
}

RawConversation rawDialogue(int port, const std::vector<std::string>& parts, int timeoutMs,
                            std::size_t stopAfterReplies) {
    RawConversation conversation;
    if (parts.empty())
        return conversation;
    const int fd = connectAndSend(port, parts.front(), timeoutMs);
    if (fd < 0)
        return conversation;
    std::size_t sent = 1;
    char buffer[8192];
    while (true) {
        const std::size_t replies = splitReplies(conversation.raw).size();
        if (stopAfterReplies > 0 && replies >= stopAfterReplies) {
            conversation.enoughReplies = true;
            break;
        }
        if (sent < parts.size() && replies >= sent) {
            const std::string& part = parts[sent++];
            if (::send(fd, part.data(), part.size(), MSG_NOSIGNAL) < 0 && errno != EPIPE &&
                errno != ECONNRESET)
                break;
            continue;
        }
        const auto n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) {
            conversation.closedByServer = true;
            break;
        }
        if (n < 0) {
            conversation.timedOut = errno == EAGAIN || errno == EWOULDBLOCK;
            conversation.reset = conversation.closedByServer = errno == ECONNRESET;
            break;
        }
        conversation.raw.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return conversation;
}

std::vector<RawReply> splitReplies(const std::string& raw) {
    std::vector<RawReply> replies;
    std::size_t at = 0;
    while (at < raw.size()) {
        const auto headEnd = raw.find("\r\n\r\n", at);
        if (headEnd == std::string::npos)
            break;
        RawReply reply;
        reply.raw = raw.substr(at, headEnd + 4 - at);
        parse(reply);
        const std::string length = reply.header("content-length");
        if (reply.status == 0 || length.empty() ||
            length.find_first_not_of("0123456789") != std::string::npos)
            break;
        const std::size_t bodyLength = std::stoul(length);
        if (headEnd + 4 + bodyLength > raw.size())
            break;
        reply.body = raw.substr(headEnd + 4, bodyLength);
        reply.raw += reply.body;
        replies.push_back(std::move(reply));
        at = headEnd + 4 + bodyLength;
    }
    return replies;
}

RawReply rawGet(int port, const std::string& target) {
    return rawExchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                 "\r\nConnection: close\r\n\r\n");
}

int connectLoopback(int port, int timeoutMs) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace velmora::test
