#include "service/HttpServer.h"

#include "service/RequestLog.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <iterator>

namespace velmora::service {

namespace {

// Each request is served start to end on one worker thread, so the arrival time can wait here
// for the log line.
thread_local std::chrono::steady_clock::time_point t_requestStart;
thread_local bool t_requestTimed = false;

void applyReply(const Reply& reply, httplib::Response& res) {
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers)
        res.set_header(name, value);
    res.set_content(reply.body, reply.contentType);
}

// The one place that chooses between HTTP and HTTPS. The TLS server reads requests the library's
// own way; the limits (time-outs, the bounded queue, the request checks) hold for both.
std::unique_ptr<httplib::Server> makeServer(const std::optional<TlsFiles>& tls, const HttpLimits& limits,
                                            std::string& error) {
    if (!tls)
        return makeBoundedServer(limits, HttpServer::kMaxBodyBytes);
    return std::make_unique<httplib::SSLServer>([&](SSL_CTX& ctx) { return loadTlsFiles(ctx, *tls, error); });
}

} // namespace

HttpServer::HttpServer(const Routes& routes, const HttpLimits& limits, const std::optional<TlsFiles>& tls)
    : m_routes(routes)
    , m_limits(limits)
    , m_server(makeServer(tls, limits, m_tlsError)) {
    httplib::Server& server = *m_server;
    // Bounds on what a client may send or hold (see HttpLimits.h); the body is of no use to any
    // route and is capped here.
    applyLimits(server, m_limits);
    server.set_payload_max_length(kMaxBodyBytes);
    // Headers and body go out in separate writes; without this, Nagle and delayed ACKs add 40 ms.
    server.set_tcp_nodelay(true);

    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        t_requestStart = std::chrono::steady_clock::now();
        t_requestTimed = true;
        if (const int refused = checkRequest(req, m_limits); refused != 0) {
            Reply reply = errorReply(refused);
            if (refused == 503)
                reply.headers.emplace_back("Retry-After", "1");
            applyReply(reply, res);
            return httplib::Server::HandlerResponse::Handled;
        }
        // Methods the library has no handler list for (HEAD, TRACE, CONNECT) end here.
        static const char* const routed[] = {"GET", "POST", "PUT", "PATCH", "DELETE", "OPTIONS"};
        if (std::find(std::begin(routed), std::end(routed), req.method) == std::end(routed)) {
            Reply reply = errorReply(405);
            reply.headers.emplace_back("Allow", "GET");
            applyReply(reply, res);
            return httplib::Server::HandlerResponse::Handled;
        }
        // The library reads a body only for methods that take one; a GET that announces a body
        // is malformed here, and refused rather than answered as if the body were not there.
        const bool bodyless = req.method == "GET" || req.method == "OPTIONS";
        if (bodyless &&
            (req.has_header("Transfer-Encoding") ||
             req.get_header_value("Content-Length", 0).find_first_not_of("0") != std::string::npos)) {
            applyReply(errorReply(400), res);
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    const auto dispatch = [this](const httplib::Request& req, httplib::Response& res) {
        applyReply(m_routes.handle(req.method, req.path, req.get_header_value("Host")), res);
    };
    // Every path goes to the routes, which answer other methods than GET with 405. "[^]*" would
    // do as well, but libstdc++'s matcher recurses per character, so keep the pattern trivial.
    const std::string anyPath = "/.*|[^/].*|";
    server.Get(anyPath, dispatch);
    server.Post(anyPath, dispatch);
    server.Put(anyPath, dispatch);
    server.Patch(anyPath, dispatch);
    server.Delete(anyPath, dispatch);
    server.Options(anyPath, dispatch);

    // Replies the library makes itself (malformed request, body too large ...) get a body too.
    server.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        // After a request that could not be framed, or one turned away, the connection ends.
        const int status = res.status;
        if (status == 400 || status == 408 || status == 413 || status == 414 || status == 431 ||
            status == 503) {
            // (The library says so itself when the request asked for it.)
            if (req.get_header_value("Connection") != "close")
                res.set_header("Connection", "close");
            closeAfterReply();
        }
        if (res.body.empty()) {
            const Reply reply = errorReply(res.status);
            res.set_content(reply.body, reply.contentType);
        }
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        const Reply reply = errorReply(500);
        res.status = reply.status;
        res.set_content(reply.body, reply.contentType);
    });

    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        RequestLogEntry entry;
        entry.remoteAddress = req.remote_addr;
        entry.remotePort = req.remote_port;
        entry.method = req.method;
        entry.target = req.target.empty() ? req.path : req.target;
        entry.status = res.status;
        entry.bytes = res.body.size();
        if (t_requestTimed) {
            const auto elapsed = std::chrono::steady_clock::now() - t_requestStart;
            entry.milliseconds = std::chrono::duration<double, std::milli>(elapsed).count();
            t_requestTimed = false;
        }
        writeLogLine(formatLogLine(entry, std::chrono::system_clock::now()));
    });
}

HttpServer::~HttpServer() = default;

bool HttpServer::bind(const std::string& host, int port, std::string& error) {
    if (!m_server->is_valid()) {
        error = m_tlsError.empty() ? "cannot set up TLS" : m_tlsError;
        return false;
    }
    if (port == 0) {
        m_port = m_server->bind_to_any_port(host);
        if (m_port > 0)
            return true;
    } else if (m_server->bind_to_port(host, port)) {
        m_port = port;
        return true;
    }
    error = "cannot listen on " + host + ":" + std::to_string(port);
    return false;
}

bool HttpServer::run() {
    return m_server->listen_after_bind();
}

void HttpServer::stop() {
    m_server->stop();
}

} // namespace velmora::service
