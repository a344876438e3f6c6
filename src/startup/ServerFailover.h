#pragma once

#include "platform/FetchResult.h"
#include "startup/ServerSelector.h"

#include <QString>

// After the start step has chosen a server, every request of the run goes to the server the
// selector names. A request that gets no answer at all from it (refused, reset, time-out, no
// such server configured) is made once more on the other configured server; when that one
// answers, the selector is set to it for the rest of the run, as the start step does. An
// answer with an HTTP error status is an answer: it is not retried.
namespace velmora::startup {

// The two servers of the run: their base addresses, empty for a server the settings leave out.
struct Servers {
    QString primary;
    QString fallback;

    const QString& base(Server server) const { return server == Server::Primary ? primary : fallback; }
    bool has(Server server) const { return !base(server).isEmpty(); }
};

Server otherServer(Server server);

// "1" for the primary server, "2" for the fallback server.
QString selectorFor(Server server);

// True when the server gave no HTTP answer at all. A failure with an HTTP status (an error page,
// a body over the cap) is an answer.
bool gotNoAnswer(const platform::FetchResult& result);
bool gotNoAnswer(bool ok, int httpStatus);

// The failure of a request to a server the settings leave out; no request is made for it.
platform::FetchResult noSuchServer(Server server);

// What the status line says about the server in use: its name and base address.
QString serverInUseText(Server server, const QString& base);

} // namespace velmora::startup
