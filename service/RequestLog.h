#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::service {

// One line on stderr per request:
//   2024-05-02T09:14:03.117Z 127.0.0.1:53012 GET /cgi-bin/scr042n.pl 200 171 0.84ms
// (time in UTC, remote address and port, method, request target, status, body bytes, time taken
// from the request's arrival to its reply; "-" when the request never reached the routes).
// Lines from many threads never mix.
struct RequestLogEntry {
    std::string_view remoteAddress;
    int remotePort = 0;
    std::string_view method;
    std::string_view target;
    int status = 0;
    std::size_t bytes = 0;
    double milliseconds = -1; // negative: unknown
};

std::string formatLogLine(const RequestLogEntry& entry, std::chrono::system_clock::time_point when);

// Writes the line and a line end to stderr in one piece.
void writeLogLine(const std::string& line);

// Bytes that could forge or break a log line (control characters, blanks, non-ASCII, '"') are
// written as %XX.
std::string escapeForLog(std::string_view text, std::size_t maxLength = 300);

} // namespace velmora::service
