#include "service/RequestLog.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace velmora::service {

std::string escapeForLog(std::string_view text, std::size_t maxLength) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        if (out.size() >= maxLength) {
            out += "...";
            break;
        }
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7f || c == '"') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xf];
        } else {
            out += ch;
        }
    }
    return out.empty() ? std::string("-") : out;
}

std::string formatLogLine(const RequestLogEntry& entry, std::chrono::system_clock::time_point when) {
    const auto sinceEpoch = when.time_since_epoch();
    const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));

    std::string duration = "-";
    if (entry.milliseconds >= 0) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.2fms", entry.milliseconds);
        duration = buffer;
    }
    // A request the library could not parse carries no peer address.
    std::string remote = "-";
    if (entry.remotePort >= 0 && !entry.remoteAddress.empty()) {
        remote = escapeForLog(entry.remoteAddress, 64);
        if (remote.find(':') != std::string::npos)
            remote = "[" + remote + "]";
        remote += ":" + std::to_string(entry.remotePort);
    }
    return std::string(stamp) + " " + remote + " " + escapeForLog(entry.method, 16) + " " +
           escapeForLog(entry.target) + " " + std::to_string(entry.status) + " " +
           std::to_string(entry.bytes) + " " + duration;
}

void writeLogLine(const std::string& line) {
    static std::mutex mutex;
    const std::string withEnd = line + "\n";
    std::lock_guard lock(mutex);
    std::fwrite(withEnd.data(), 1, withEnd.size(), stderr);
    std::fflush(stderr);
}

} // namespace velmora::service
