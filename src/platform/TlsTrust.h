#pragma once

#include "data/Result.h"

#include <QString>

namespace velmora::platform {

// Adds the certificates of a PEM file to the certificates every later HTTPS request of this
// process trusts, beside the system's own (QSslConfiguration's default configuration). For a web
// service whose certificate is the organisation's own or self-signed. Returns the number of
// certificates added, or a Hebrew text naming the file when it cannot be read or holds none; the
// trusted set is unchanged then.
Result<int> trustCertificatesFrom(const QString& pemFile);

} // namespace velmora::platform
