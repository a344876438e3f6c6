// velmora-service: the web service behind the order pad. See service/Routes.h for what it answers.
#include "service/CounterStore.h"
#include "service/HttpServer.h"
#include "service/Routes.h"
#include "service/ServiceConfig.h"
#include "service/ShopCatalog.h"
#include "service/SiteFiles.h"
#include "service/TlsFiles.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

namespace {

using namespace velmora::service;
namespace fs = std::filesystem;

int fail(const std::string& message) {
    std::cerr << "velmora-service: " << message << std::endl;
    return 1;
}

// Everything a served shop or the start step needs must be there before the first request.
std::string checkSite(const fs::path& site, const ShopCatalog& shops) {
    std::error_code ec;
    for (const char* page : {"in1.html", "in3.html"}) {
        if (!fs::is_regular_file(site / page, ec))
            return "the site has no " + std::string(page);
    }
    for (const Shop& shop : shops.shops()) {
        if (shop.served && !fs::is_regular_file(site / ("sb" + shop.code + ".htm"), ec))
            return "shop " + shop.code + " is served but the site has no template sb" + shop.code + ".htm";
    }
    return {};
}

std::string hostPort(const std::string& host, int port) {
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return shown + ":" + std::to_string(port);
}

} // namespace

int main(int argc, char** argv) {
    const auto parsed = parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<ConfigError>(&parsed)) {
        if (error->message.empty()) {
            std::cout << usageText();
            return 0;
        }
        std::cerr << "velmora-service: " << error->message << "\n" << usageText();
        return 2;
    }
    const ServiceConfig& config = std::get<ServiceConfig>(parsed);

    std::optional<TlsFiles> tls;
    if (!config.tlsCert.empty())
        tls = TlsFiles{config.tlsCert, config.tlsKey};
    if (tls) {
        if (const std::string problem = checkTlsFiles(*tls); !problem.empty())
            return fail(problem);
    }

    std::error_code ec;
    if (!fs::is_directory(config.siteDir, ec))
        return fail("the site directory " + config.siteDir.string() + " does not exist");
    auto loaded = ShopCatalog::load(config.siteDir / "shops.tsv");
    if (const auto* error = std::get_if<std::string>(&loaded))
        return fail(*error);
    const ShopCatalog shops = std::move(std::get<ShopCatalog>(loaded));
    if (const std::string problem = checkSite(config.siteDir, shops); !problem.empty())
        return fail(problem);

    // Termination requests are taken by one thread with sigwait, so the stop happens in plain
    // code and not in a signal handler. Block them before any other thread exists
    // (the order-number store starts its writer thread).
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    FirstNumbers firstNumbers;
    for (const Shop& shop : shops.shops()) {
        if (shop.served)
            firstNumbers.emplace_back(shop.code, shop.firstNumber);
    }
    std::string error;
    const auto counters = CounterStore::open(config.database, firstNumbers, error);
    if (!counters)
        return fail(error);

    const SiteFiles site(config.siteDir);
    // The address replies name the server by the Host header of the request; this is the
    // stand-in for a request without one, completed once the port is known.
    Routes routes(shops, *counters, site);
    HttpServer server(routes, config.limits, tls);
    if (!server.bind(config.host, config.port, error))
        return fail(error);
    const std::string listening = hostPort(config.host, server.port());
    routes.setFallbackHost(listening);

    std::atomic<bool> stopping = false;
    std::thread signalThread([&] {
        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        if (!stopping.exchange(true))
            std::cerr << "velmora-service: stopping on signal " << signalNumber << std::endl;
        server.stop();
    });

    if (tls)
        std::cerr << "velmora-service: HTTPS with the certificate " << tls->cert.string() << std::endl;
    std::cout << "listening on " << listening << std::endl;
    const bool served = server.run();
    if (!stopping.exchange(true))
        pthread_kill(signalThread.native_handle(), SIGTERM);
    signalThread.join();
    if (!served)
        return fail("the server stopped with an error");
    std::cerr << "velmora-service: stopped" << std::endl;
    return 0;
}
