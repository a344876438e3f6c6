#pragma once

#include "service/HttpLimits.h"

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace velmora::service {

// What the service is told on its command line:
//   velmora-service --listen ADDRESS:PORT --site DIR --db FILE|URL [--threads N] [limits]
//                   [--tls-cert FILE --tls-key FILE]
// ADDRESS is an IPv4 address or a host name, or an IPv6 address in brackets ("[::1]:8080");
// PORT 0 lets the system choose a free port.
struct ServiceConfig {
    std::string host;
    int port = 0;
    std::filesystem::path siteDir;
    // An SQLite database file, or a PostgreSQL URL ("postgresql://..." or "postgres://...").
    std::string database;
    // Worker threads (--threads) and what a client may send or hold (see HttpLimits.h).
    HttpLimits limits;
    // HTTPS instead of HTTP: the certificate (chain) and its private key, both PEM files. Both
    // are set or neither.
    std::filesystem::path tlsCert;
    std::filesystem::path tlsKey;
};

struct ConfigError {
    std::string message;
};

// The usage text; printed for --help and after a command-line error.
std::string usageText();

// Parses the arguments after the program name. Returns the config, or an error text; "--help"
// gives an error whose message is empty.
std::variant<ServiceConfig, ConfigError> parseArguments(const std::vector<std::string>& args);

// Splits "ADDRESS:PORT" (or "[V6]:PORT"); false when it is malformed or the port is not 0..65535.
bool splitListenAddress(const std::string& text, std::string& host, int& port);

} // namespace velmora::service
