#pragma once

#include "data/Result.h"

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace velmora::platform {

// Adds the certificates of a PEM file to the certificates every later HTTPS request of this
// process trusts, beside the system's own (QSslConfiguration's default configuration). For a web
// service whose certificate is the organisation's own or self-signed. Returns the number of
// certificates added, or a Hebrew text naming the file when it cannot be read or holds none; the
// trusted set is unchanged then.
Result<int> trustCertificatesFrom(const QString& pemFile);

// True when the chain (the server's certificate first) verifies for the host against the
// certificates the program's own requests trust: the system's and those added above. The web
// view, which keeps a store of its own, asks this before it refuses a page's certificate.
bool certificateChainTrusted(const QList<QSslCertificate>& chain, const QString& host);

} // namespace velmora::platform
