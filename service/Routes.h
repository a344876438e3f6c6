#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/CounterStore.h"
#include "service/ShopCatalog.h"
#include "service/SiteFiles.h"

namespace velmora::service {

struct Reply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// What the service answers, independent of the HTTP library:
//   /in1.html, /in3.html            the start-page and second address (the site's in1.html and
//                                   in3.html with "@HOST@" replaced by the server's host:port)
//   /cgi-bin/ruf.html, /ruf.html    the print-shop directory
//   /cgi-bin/scrCODEn.pl            the shop's next order number, or -25000 for a shop that takes
//                                   no orders through the system
//   /cgi-bin/sbCODE.htm, /sbCODE.htm the shop's order template (sbCODE.htm of the site)
//   /                               the start page
//   anything else                   a static file of the site, when it is safe and servable
// Only GET is answered; every other method gets 405.
class Routes {
public:
    Routes(const ShopCatalog& shops, CounterStore& counters, const SiteFiles& site);

    // The host:port the address replies name when a request has no usable Host header. Set
    // before serving starts.
    void setFallbackHost(std::string hostPort) { m_fallbackHost = std::move(hostPort); }

    Reply handle(std::string_view method, std::string_view path, std::string_view hostHeader) const;

    // The order-number page: the number stands on the line after "</center>".
    static std::string orderNumberPage(long long number);

    // The number a shop that takes no orders through the system answers with.
    static constexpr long long kNotServed = -25000;

    // Largest file the service hands out.
    static constexpr std::size_t kMaxFileBytes = 4u << 20;

private:
    Reply addressPage(std::string_view fileName, std::string_view hostHeader) const;
    Reply orderNumber(std::string_view code) const;
    Reply orderTemplate(std::string_view code) const;
    Reply staticFile(std::string_view path) const;

    const ShopCatalog& m_shops;
    CounterStore& m_counters;
    const SiteFiles& m_site;
    std::string m_fallbackHost;
};

// A plain error reply ("404 Not Found").
Reply errorReply(int status);

// The reason phrase of the statuses the service uses.
const char* statusText(int status);

} // namespace velmora::service
