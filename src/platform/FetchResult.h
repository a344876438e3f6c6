#pragma once

#include <QByteArray>
#include <QString>

namespace velmora::platform {

// The outcome of one HTTP GET. A transfer counts as ok only when the server answered with a 2xx
// status and the whole body arrived within the time-out and under the size cap.
struct FetchResult {
    bool ok = false;
    int httpStatus = 0; // 0 when no HTTP answer arrived at all (refused, unknown host, time-out)
    QByteArray body;    // the body exactly as received; empty whenever ok is false
    QString errorText;  // Hebrew, names the address; empty when ok
    // The server's TLS certificate could not be verified (errorText says why); the request was
    // not sent.
    bool certificateRejected = false;
};

} // namespace velmora::platform
