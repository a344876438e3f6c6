#pragma once

#include <memory>
#include <optional>
#include <string>

#include "service/HttpLimits.h"
#include "service/Routes.h"
#include "service/TlsFiles.h"

namespace httplib {
class Server;
}

namespace velmora::service {

// The HTTP side of the service: binds the socket, bounds what a client may send, hands each
// request to the routes and logs it. With TLS files it serves HTTPS instead of plain HTTP.
class HttpServer {
public:
    HttpServer(const Routes& routes, const HttpLimits& limits,
               const std::optional<TlsFiles>& tls = std::nullopt);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and listens; port 0 picks a free port. False with error set when it cannot, or when
    // the TLS files could not be used.
    bool bind(const std::string& host, int port, std::string& error);
    int port() const { return m_port; }

    // Serves until stop(); false when serving could not start.
    bool run();
    // Safe from any thread.
    void stop();

    // A request's body is of no use to any route; anything above this is refused unread.
    static constexpr std::size_t kMaxBodyBytes = 4096;

private:
    const Routes& m_routes;
    const HttpLimits m_limits;
    std::string m_tlsError;
    std::unique_ptr<httplib::Server> m_server;
    int m_port = 0;
};

} // namespace velmora::service
