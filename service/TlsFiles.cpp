#include "service/TlsFiles.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

namespace velmora::service {
namespace {

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CtxFree {
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};

// OpenSSL's reasons for the failure just seen, and its error queue emptied for the next one.
std::string openSslReasons() {
    std::string reasons;
    while (const unsigned long code = ERR_get_error()) {
        const char* reason = ERR_reason_error_string(code);
        const std::string text = reason ? reason : "error " + std::to_string(code);
        if (reasons.find(text) == std::string::npos)
            reasons += (reasons.empty() ? "" : "; ") + text;
    }
    return reasons.empty() ? "unknown reason" : reasons;
}

// A key with a pass phrase would make OpenSSL ask for it on the terminal; a service cannot wait
// for that, so an encrypted key is refused.
int noPassPhrase(char*, int, int, void*) {
    return 0;
}

std::string unreadable(const char* what, const std::filesystem::path& file) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec) && !std::filesystem::is_regular_file(file, ec))
        return std::string("cannot read the TLS ") + what + " " + file.string() + ": not a file";
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::string("cannot read the TLS ") + what + " " + file.string() + ": " + std::strerror(errno);
    return {};
}

} // namespace

bool loadTlsFiles(SSL_CTX& ctx, const TlsFiles& files, std::string& error) {
    ERR_clear_error();
    for (const auto& [what, file] : {std::pair{"certificate", &files.cert}, std::pair{"key", &files.key}}) {
        if (error = unreadable(what, *file); !error.empty())
            return false;
    }

    const std::unique_ptr<BIO, BioFree> keyFile(BIO_new_file(files.key.c_str(), "r"));
    const std::unique_ptr<EVP_PKEY, KeyFree> key(
        keyFile ? PEM_read_bio_PrivateKey(keyFile.get(), nullptr, noPassPhrase, nullptr) : nullptr);
    if (!key) {
        error = "the TLS key " + files.key.string() +
                " holds no usable private key (PEM, without a pass phrase): " + openSslReasons();
        return false;
    }
    if (SSL_CTX_use_certificate_chain_file(&ctx, files.cert.c_str()) != 1) {
        error = "the TLS certificate " + files.cert.string() +
                " holds no usable certificate (PEM): " + openSslReasons();
        return false;
    }
    X509* certificate = SSL_CTX_get0_certificate(&ctx);
    if (!certificate || X509_check_private_key(certificate, key.get()) != 1) {
        ERR_clear_error();
        error = "the TLS key " + files.key.string() + " does not belong to the certificate " +
                files.cert.string();
        return false;
    }
    if (SSL_CTX_use_PrivateKey(&ctx, key.get()) != 1 || SSL_CTX_check_private_key(&ctx) != 1) {
        error = "cannot use the TLS key " + files.key.string() + ": " + openSslReasons();
        return false;
    }
    SSL_CTX_set_options(&ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_SESSION_RESUMPTION_ON_RENEGOTIATION);
    SSL_CTX_set_min_proto_version(&ctx, TLS1_2_VERSION);
    return true;
}

std::string checkTlsFiles(const TlsFiles& files) {
    const std::unique_ptr<SSL_CTX, CtxFree> ctx(SSL_CTX_new(TLS_server_method()));
    if (!ctx)
        return "cannot set up TLS: " + openSslReasons();
    std::string error;
    loadTlsFiles(*ctx, files, error);
    return error;
}

} // namespace velmora::service
