#include "service/Routes.h"

namespace velmora::service {

namespace {

constexpr std::string_view kHostPlaceholder = "@HOST@";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The text between prefix and suffix, when the path is made of the three.
bool between(std::string_view path, std::string_view prefix, std::string_view suffix,
             std::string_view& middle) {
    if (path.size() < prefix.size() + suffix.size() || !startsWith(path, prefix) || !endsWith(path, suffix))
        return false;
    middle = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
    return true;
}

// A Host header goes back to the client inside the address reply, so only a plain host[:port]
// is taken from it.
bool isPlainHost(std::string_view host) {
    if (host.empty() || host.size() > 255)
        return false;
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
        if (!ok)
            return false;
    }
    return true;
}

Reply textReply(std::string body, std::string contentType) {
    Reply reply;
    reply.contentType = std::move(contentType);
    reply.body = std::move(body);
    return reply;
}

} // namespace

const char* statusText(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

Reply errorReply(int status) {
    Reply reply;
    reply.status = status;
    reply.contentType = "text/plain; charset=us-ascii";
    reply.body = std::to_string(status) + " " + statusText(status) + "\r\n";
    return reply;
}

Routes::Routes(const ShopCatalog& shops, CounterStore& counters, const SiteFiles& site)
    : m_shops(shops)
    , m_counters(counters)
    , m_site(site) {}

std::string Routes::orderNumberPage(long long number) {
    // "מספר הזמנה" (order number) in Windows-1255.
    return "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=windows-1255\">"
           "</head><body dir=rtl><center>\xEE\xF1\xF4\xF8 \xE4\xE6\xEE\xF0\xE4</center>\r\n" +
           std::to_string(number) + "\r\n</body></html>\r\n";
}

Reply Routes::handle(std::string_view method, std::string_view path, std::string_view hostHeader) const {
    if (path == "/")
        path = "/start.html";
    if (method != "GET") {
        // HEAD is refused too: on the order-number script it would use up a number unseen.
        Reply reply = errorReply(405);
        reply.headers.emplace_back("Allow", "GET");
        return reply;
    }
    if (SiteFiles::isUnsafePath(path))
        return errorReply(400);
    if (path == "/in1.html" || path == "/in3.html")
        return addressPage(path.substr(1), hostHeader);
    if (path == "/cgi-bin/ruf.html" || path == "/ruf.html") {
        Reply reply = textReply(m_shops.directoryText(), "text/plain; charset=windows-1255");
        reply.headers.emplace_back("Cache-Control", "no-cache");
        return reply;
    }
    std::string_view code;
    if (between(path, "/cgi-bin/scr", "n.pl", code))
        return orderNumber(code);
    if (between(path, "/cgi-bin/sb", ".htm", code) || between(path, "/sb", ".htm", code))
        return orderTemplate(code);
    if (startsWith(path, "/cgi-bin/"))
        return errorReply(404);
    return staticFile(path);
}

Reply Routes::addressPage(std::string_view fileName, std::string_view hostHeader) const {
    const auto text = SiteFiles::read(m_site.root() / std::string(fileName), kMaxFileBytes);
    if (!text)
        return errorReply(404);
    const std::string host = isPlainHost(hostHeader) ? std::string(hostHeader) : m_fallbackHost;
    std::string body = *text;
    for (auto at = body.find(kHostPlaceholder); at != std::string::npos;
         at = body.find(kHostPlaceholder, at + host.size()))
        body.replace(at, kHostPlaceholder.size(), host);
    Reply reply = textReply(std::move(body), "text/plain; charset=windows-1255");
    reply.headers.emplace_back("Cache-Control", "no-cache");
    return reply;
}

Reply Routes::orderNumber(std::string_view code) const {
    const Shop* shop = m_shops.find(code);
    if (shop == nullptr)
        return errorReply(404);
    long long number = kNotServed;
    if (shop->served) {
        const CounterStore::Issue issue = m_counters.next(shop->code);
        switch (issue.outcome) {
        case CounterStore::Outcome::Issued:
            number = issue.number;
            break;
        case CounterStore::Outcome::UnknownShop:
            return errorReply(404);
        case CounterStore::Outcome::Busy: {
            Reply reply = errorReply(503);
            reply.headers.emplace_back("Retry-After", "1");
            return reply;
        }
        case CounterStore::Outcome::Failed:
            return errorReply(500);
        }
    }
    Reply reply = textReply(orderNumberPage(number), "text/html; charset=windows-1255");
    // Every request must reach the counter: nothing on the way may answer from a cache.
    reply.headers.emplace_back("Cache-Control", "no-store");
    return reply;
}

Reply Routes::orderTemplate(std::string_view code) const {
    const Shop* shop = m_shops.find(code);
    if (shop == nullptr || !shop->served)
        return errorReply(404);
    const auto text = SiteFiles::read(m_site.root() / ("sb" + shop->code + ".htm"), kMaxFileBytes);
    if (!text)
        return errorReply(404);
    Reply reply = textReply(*text, "text/html; charset=windows-1255");
    reply.headers.emplace_back("Cache-Control", "no-cache");
    return reply;
}

Reply Routes::staticFile(std::string_view path) const {
    const SiteFiles::Lookup lookup = m_site.find(path);
    if (lookup.check == SiteFiles::Check::Refused)
        return errorReply(400);
    if (lookup.check == SiteFiles::Check::NotFound)
        return errorReply(404);
    const auto content = SiteFiles::read(lookup.file, kMaxFileBytes);
    if (!content)
        return errorReply(404);
    return textReply(*content, lookup.contentType);
}

} // namespace velmora::service
