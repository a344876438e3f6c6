// The service behind HTTPS: --tls-cert and --tls-key, a pair it refuses at start with a message
// naming the fault, and the order requests over TLS.
#include "ProgramReading.h"
#include "TestCertificates.h"
#include "TestService.h"

#include "service/ServiceConfig.h"

#include <QFile>

#include <httplib.h>

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

// One set of certificates for the whole program: openssl runs once per pair.
struct Certificates {
    TestCertificates dir;
    TestCertificates::Pair loopback = dir.make("loopback", {"127.0.0.1"});
    TestCertificates::Pair other = dir.make("other", {"127.0.0.1"});
};

Certificates& certificates() {
    static Certificates shared;
    return shared;
}

// ---------------------------------------------------------------------------------------------
// Command line: both files or neither.

struct TlsArgsCase {
    const char* name;
    std::vector<std::string> extra;
    const char* error; // empty: accepted
};

void PrintTo(const TlsArgsCase& c, std::ostream* os) {
    *os << c.name;
}

class TlsCommandLine : public ::testing::TestWithParam<TlsArgsCase> {};

TEST_P(TlsCommandLine, TakesTheCertificateAndKeyTogether) {
    std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--site", "s", "--db", "d"};
    args.insert(args.end(), GetParam().extra.begin(), GetParam().extra.end());
    const auto parsed = service::parseArguments(args);
    if (std::string(GetParam().error).empty()) {
        ASSERT_TRUE(std::holds_alternative<service::ServiceConfig>(parsed))
            << std::get<service::ConfigError>(parsed).message;
        const auto& config = std::get<service::ServiceConfig>(parsed);
        EXPECT_EQ(config.tlsCert.empty(), config.tlsKey.empty());
    } else {
        ASSERT_TRUE(std::holds_alternative<service::ConfigError>(parsed));
        const std::string& message = std::get<service::ConfigError>(parsed).message;
        EXPECT_NE(message.find(GetParam().error), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, TlsCommandLine,
    ::testing::Values(TlsArgsCase{"Neither", {}, ""},
                      TlsArgsCase{"Both", {"--tls-cert", "c.pem", "--tls-key", "k.pem"}, ""},
                      TlsArgsCase{"KeyFirst", {"--tls-key", "k.pem", "--tls-cert", "c.pem"}, ""},
                      TlsArgsCase{"CertificateOnly", {"--tls-cert", "c.pem"}, "give both or neither"},
                      TlsArgsCase{"KeyOnly", {"--tls-key", "k.pem"}, "give both or neither"},
                      TlsArgsCase{"EmptyFileName", {"--tls-cert", "", "--tls-key", "k.pem"}, "needs a file"},
                      TlsArgsCase{"NoValue", {"--tls-key", "k.pem", "--tls-cert"}, "needs a value"}),
    [](const auto& c) { return std::string(c.param.name); });

// ---------------------------------------------------------------------------------------------
// A pair the service cannot serve with stops it at start, naming the file and the fault.

struct TlsStartCase {
    const char* name;
    // Sets options.tlsCert and options.tlsKey from the certificates (files made in dir).
    void (*choose)(Certificates& certs, const QString& dir, TestService::Options& options);
    const char* message;
};

void PrintTo(const TlsStartCase& c, std::ostream* os) {
    *os << c.name;
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(bytes);
    return path;
}

class BrokenTlsPair : public ::testing::TestWithParam<TlsStartCase> {};

TEST_P(BrokenTlsPair, StopsTheServiceAtStart) {
    Certificates& certs = certificates();
    ASSERT_TRUE(certs.loopback && certs.other) << certs.dir.errorString().toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TestService::Options options;
    options.startNow = false;
    GetParam().choose(certs, dir.path(), options);
    ASSERT_FALSE(options.tlsCert.isEmpty() || options.tlsKey.isEmpty())
        << certs.dir.errorString().toStdString();
    TestService service(options);
    EXPECT_FALSE(service.start());
    EXPECT_FALSE(service.isRunning());
    EXPECT_TRUE(service.errorString().contains(QLatin1String(GetParam().message)))
        << service.errorString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenTlsPair,
    ::testing::Values(TlsStartCase{"NoCertificateFile",
                                   [](Certificates& c, const QString& dir, TestService::Options& o) {
                                       o.tlsCert = dir + "/missing.pem";
                                       o.tlsKey = c.loopback.key;
                                   },
                                   "cannot read the TLS certificate"},
                      TlsStartCase{"NoKeyFile",
                                   [](Certificates& c, const QString& dir, TestService::Options& o) {
                                       o.tlsCert = c.loopback.cert;
                                       o.tlsKey = dir + "/missing.pem";
                                   },
                                   "cannot read the TLS key"},
                      TlsStartCase{"KeyOfAnotherCertificate",
                                   [](Certificates& c, const QString&, TestService::Options& o) {
                                       o.tlsCert = c.loopback.cert;
                                       o.tlsKey = c.other.key;
                                   },
                                   "does not belong to the certificate"},
                      TlsStartCase{"CertificateAndKeySwapped",
                                   [](Certificates& c, const QString&, TestService::Options& o) {
                                       o.tlsCert = c.loopback.key;
                                       o.tlsKey = c.loopback.cert;
                                   },
                                   "holds no usable private key"},
                      TlsStartCase{"CertificateNotPem",
                                   [](Certificates& c, const QString& dir, TestService::Options& o) {
                                       o.tlsCert = writeFile(dir + "/cert.pem", "not a certificate\n");
                                       o.tlsKey = c.loopback.key;
                                   },
                                   "holds no usable certificate"},
                      // It would otherwise ask for the pass phrase on the terminal and wait.
                      TlsStartCase{"EncryptedKey",
                                   [](Certificates& c, const QString&, TestService::Options& o) {
                                       o.tlsCert = c.loopback.cert;
                                       o.tlsKey = c.dir.encryptedKey(c.loopback);
                                   },
                                   "without a pass phrase"}),
    [](const auto& c) { return std::string(c.param.name); });

// ---------------------------------------------------------------------------------------------
// Serving HTTPS

class HttpsService : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(certificates().loopback) << certificates().dir.errorString().toStdString();
        ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    }

    static TestService::Options options() {
        TestService::Options options;
        options.tlsCert = certificates().loopback.cert;
        options.tlsKey = certificates().loopback.key;
        return options;
    }

    std::unique_ptr<httplib::SSLClient> client(const QString& trusted) const {
        auto client = std::make_unique<httplib::SSLClient>("127.0.0.1", service.port());
        client->set_ca_cert_path(trusted.toStdString().c_str());
        client->enable_server_certificate_verification(true);
        client->set_connection_timeout(5, 0);
        client->set_read_timeout(30, 0);
        return client;
    }

    TestService service{options()};
};

TEST_F(HttpsService, AnswersAClientThatTrustsItsCertificate) {
    EXPECT_TRUE(service.baseUrl().startsWith("https://127.0.0.1:"));
    const auto reply = client(certificates().loopback.cert)->Get("/cgi-bin/scr042n.pl");
    ASSERT_TRUE(reply) << httplib::to_string(reply.error());
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(programNumber(reply->body), 4201) << reply->body;
    const auto page = client(certificates().loopback.cert)->Get("/sb042.htm");
    ASSERT_TRUE(page) << httplib::to_string(page.error());
    EXPECT_EQ(page->status, 200);
}

TEST_F(HttpsService, AClientThatTrustsAnotherCertificateGetsNoAnswerAndTakesNoNumber) {
    const auto refused = client(certificates().other.cert)->Get("/cgi-bin/scr042n.pl");
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.error(), httplib::Error::SSLServerVerification);
    // Nor does plain HTTP on the HTTPS port reach the routes.
    httplib::Client plain("127.0.0.1", service.port());
    plain.set_connection_timeout(5, 0);
    plain.set_read_timeout(5, 0);
    const auto plainReply = plain.Get("/cgi-bin/scr042n.pl");
    EXPECT_TRUE(!plainReply || plainReply->status != 200);

    // Neither request took a number: the next one is still the first.
    const auto reply = client(certificates().loopback.cert)->Get("/cgi-bin/scr042n.pl");
    ASSERT_TRUE(reply) << httplib::to_string(reply.error());
    EXPECT_EQ(programNumber(reply->body), 4201) << reply->body;
}

} // namespace
} // namespace velmora::test
