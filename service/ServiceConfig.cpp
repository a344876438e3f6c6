#include "service/ServiceConfig.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace velmora::service {

namespace {

// The options that take a whole number, with their range and where the value goes.
struct NumberOption {
    const char* name;
    int HttpLimits::*field;
    int max;
    const char* help;
};

constexpr NumberOption kNumberOptions[] = {
    {"--threads", &HttpLimits::threads, HttpLimits::kMaxThreads, "worker threads"},
    {"--max-queued", &HttpLimits::maxQueued, HttpLimits::kMaxQueued,
     "connections waiting for a busy worker; beyond that 503"},
    {"--read-timeout", &HttpLimits::readTimeoutSeconds, HttpLimits::kMaxSeconds,
     "seconds a client may send nothing while it sends a request"},
    {"--write-timeout", &HttpLimits::writeTimeoutSeconds, HttpLimits::kMaxSeconds,
     "seconds a client may take nothing while it gets a reply"},
    {"--request-timeout", &HttpLimits::requestTimeoutSeconds, HttpLimits::kMaxSeconds,
     "seconds a client may take to send a whole request"},
    {"--keep-alive-max", &HttpLimits::keepAliveMaxRequests, HttpLimits::kMaxKeepAliveRequests,
     "requests on one connection"},
    {"--keep-alive-timeout", &HttpLimits::keepAliveTimeoutSeconds, HttpLimits::kMaxSeconds,
     "seconds an idle connection is kept"},
    {"--max-url-bytes", &HttpLimits::maxUrlBytes, HttpLimits::kMaxUrlBytes,
     "request target length; beyond 414"},
    {"--max-headers", &HttpLimits::maxHeaders, HttpLimits::kMaxHeaders, "header fields; beyond 431"},
    {"--max-header-bytes", &HttpLimits::maxHeaderBytes, HttpLimits::kMaxHeaderBytes,
     "header names and values together; beyond 431"},
};

} // namespace

std::string usageText() {
    std::string text =
        "usage: velmora-service --listen ADDRESS:PORT --site DIR --db FILE|URL [OPTION N]...\n"
        "                       [--tls-cert FILE --tls-key FILE]\n"
        "  --listen   address and port to listen on; port 0 picks a free port\n"
        "  --site     directory with shops.tsv, the address pages and the templates\n"
        "  --db       the order-number counters: an SQLite database file, or a PostgreSQL\n"
        "             database as postgresql://[USER[:PASSWORD]@][HOST][:PORT]/NAME[?...]\n"
        "             (several instances may share one file or database)\n"
        "  --tls-cert serve HTTPS with this certificate (PEM; the server's certificate first,\n"
        "             then any intermediate ones)\n"
        "  --tls-key  the certificate's private key (PEM, not encrypted); both or neither\n"
        "limits (whole numbers from 1):\n";
    const HttpLimits defaults;
    for (const NumberOption& option : kNumberOptions) {
        std::string line = "  " + std::string(option.name);
        line.resize(std::max<std::size_t>(line.size() + 2, 24), ' ');
        text += line + option.help + " (default " + std::to_string(defaults.*option.field) + ", at most " +
                std::to_string(option.max) + ")\n";
    }
    return text;
}

namespace {

bool parseInt(const std::string& text, int& value) {
    if (text.empty())
        return false;
    const char* begin = text.data();
    const char* end = begin + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end;
}

} // namespace

bool splitListenAddress(const std::string& text, std::string& host, int& port) {
    std::string hostPart;
    std::string portPart;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return false;
        hostPart = text.substr(1, close - 1);
        portPart = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string::npos)
            return false;
        hostPart = text.substr(0, colon);
        portPart = text.substr(colon + 1);
        // An IPv6 address without brackets would be ambiguous.
        if (hostPart.find(':') != std::string::npos)
            return false;
    }
    int value = 0;
    if (hostPart.empty() || !parseInt(portPart, value) || value < 0 || value > 65535)
        return false;
    host = hostPart;
    port = value;
    return true;
}

std::variant<ServiceConfig, ConfigError> parseArguments(const std::vector<std::string>& args) {
    ServiceConfig config;
    bool haveListen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h")
            return ConfigError{};
        const auto* number = std::find_if(std::begin(kNumberOptions), std::end(kNumberOptions),
                                          [&](const NumberOption& o) { return option == o.name; });
        const bool isNumber = number != std::end(kNumberOptions);
        if (option != "--listen" && option != "--site" && option != "--db" && !isNumber &&
            option != "--tls-cert" && option != "--tls-key")
            return ConfigError{"unknown argument: " + option};
        if (i + 1 >= args.size())
            return ConfigError{option + " needs a value"};
        const std::string& value = args[++i];
        if (option == "--listen") {
            if (!splitListenAddress(value, config.host, config.port))
                return ConfigError{"--listen wants ADDRESS:PORT, got: " + value};
            haveListen = true;
        } else if (option == "--site") {
            config.siteDir = value;
        } else if (option == "--db") {
            config.database = value;
        } else if (option == "--tls-cert" || option == "--tls-key") {
            if (value.empty())
                return ConfigError{option + " needs a file"};
            (option == "--tls-cert" ? config.tlsCert : config.tlsKey) = value;
        } else {
            int& field = config.limits.*number->field;
            if (!parseInt(value, field) || field < 1 || field > number->max)
                return ConfigError{option + " wants a number from 1 to " + std::to_string(number->max) +
                                   ", got: " + value};
        }
    }
    if (!haveListen)
        return ConfigError{"--listen is required"};
    if (config.siteDir.empty())
        return ConfigError{"--site is required"};
    if (config.database.empty())
        return ConfigError{"--db is required"};
    if (config.tlsCert.empty() != config.tlsKey.empty())
        return ConfigError{"--tls-cert and --tls-key go together: give both or neither"};
    return config;
}

} // namespace velmora::service
