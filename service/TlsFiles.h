#pragma once

#include <filesystem>
#include <string>

using SSL_CTX = struct ssl_ctx_st;

namespace velmora::service {

// The certificate and private key of a service that serves HTTPS. Both are PEM files; the
// certificate file holds the server's certificate first and then any intermediate ones.
struct TlsFiles {
    std::filesystem::path cert;
    std::filesystem::path key;
};

// Sets ctx up to serve with the pair: TLS 1.2 or later, the certificate chain and the key. False
// with error set (naming the file and the fault) when a file cannot be read, holds no usable
// certificate or key, the key is encrypted, or the key does not belong to the certificate.
bool loadTlsFiles(SSL_CTX& ctx, const TlsFiles& files, std::string& error);

// The same on a context of its own; empty when the pair can be served. Lets the service refuse
// to start before it opens anything else.
std::string checkTlsFiles(const TlsFiles& files);

} // namespace velmora::service
