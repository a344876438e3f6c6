// The service's answers over HTTP, as the program asks for them: both path styles of every
// endpoint, the not-served answer, unknown paths and every way out of the site directory; every
// case against a service on either kind of database.
#include "ProgramReading.h"
#include "RawHttp.h"
#include "TestDatabase.h"
#include "TestService.h"

#include "data/Cp1255.h"
#include "data/FieldReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <tuple>

namespace velmora::test {
namespace {

QByteArray siteFile(const QString& name) {
    QFile file(TestService::sampleSiteDir() + '/' + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One service per kind of database for all the tests of a suite (when the suite's tests run in
// one process), started by the first test that needs it.
class ServiceHttpSuite : public ::testing::Test {
protected:
    static void TearDownTestSuite() {
        // A clean exit after all the suite's requests: no crash, no sanitizer report.
        for (auto& [backend, running] : s_running)
            EXPECT_TRUE(running.service->stop()) << running.service->log().right(4000).toStdString();
        s_running.clear();
    }

    void SetUp() override {
        Running& running = s_running[backend()];
        if (!running.service) {
            running.database = std::make_unique<TestDatabase>(backend());
            ASSERT_TRUE(running.database->isReady()) << running.database->errorString();
            TestService::Options options;
            options.database = QString::fromStdString(running.database->location());
            running.service = std::make_unique<TestService>(options);
        }
        m_service = running.service.get();
        ASSERT_TRUE(m_service->isRunning()) << m_service->errorString().toStdString();
    }

    virtual Backend backend() const = 0;

    TestService& service() const { return *m_service; }
    int port() const { return m_service->port(); }
    RawReply get(const std::string& target) const { return rawGet(port(), target); }

private:
    struct Running {
        std::unique_ptr<TestDatabase> database;
        std::unique_ptr<TestService> service;
    };
    static std::map<Backend, Running> s_running;
    TestService* m_service = nullptr;
};
std::map<Backend, ServiceHttpSuite::Running> ServiceHttpSuite::s_running;

auto backends() {
    return ::testing::Values(Backend::Sqlite, Backend::Postgres);
}

// Tests of the service on either database.
class ServiceHttp : public ServiceHttpSuite, public ::testing::WithParamInterface<Backend> {
protected:
    Backend backend() const override { return GetParam(); }
};

// A table of cases, each against the service on either database.
template <typename Case>
class ServiceHttpCases : public ServiceHttpSuite,
                         public ::testing::WithParamInterface<std::tuple<Backend, Case>> {
protected:
    Backend backend() const override { return std::get<0>(this->GetParam()); }
    const Case& param() const { return std::get<1>(this->GetParam()); }
};

// Test names "Sqlite_<case>" and "Postgres_<case>".
template <typename NameOfCase> auto backendAnd(NameOfCase nameOfCase) {
    return [nameOfCase](const auto& info) {
        return std::string(backendName(std::get<0>(info.param))) + "_" +
               std::string(nameOfCase(std::get<1>(info.param)));
    };
}

// ---------------------------------------------------------------------------------------------
// Address pages

TEST_P(ServiceHttp, AddressRepliesLeadToPagesOfTheSameServer) {
    const std::pair<const char*, const char*> pages[] = {{"/in1.html", "/start.html"},
                                                         {"/in3.html", "/info.html"}};
    for (const auto& [request, page] : pages) {
        SCOPED_TRACE(request);
        const RawReply reply = get(request);
        ASSERT_EQ(reply.status, 200);
        ASSERT_GE(reply.body.size(), 3u) << "shorter replies count as no answer";
        const std::string address = programAddress(reply.body);
        EXPECT_EQ(address, "127.0.0.1:" + std::to_string(port()) + page);

        // The program prefixes "http://"; the page must be there, in Hebrew.
        const RawReply target = get(address.substr(address.find('/')));
        ASSERT_EQ(target.status, 200);
        EXPECT_EQ(target.header("content-type"), "text/html; charset=windows-1255");
        EXPECT_TRUE(data::fromCp1255(bytes(target.body)).contains(QStringLiteral("פנקס הזמנה")));
    }
}

TEST_P(ServiceHttp, AddressReplyNamesTheHostTheClientAskedFor) {
    const RawReply reply = rawExchange(
        port(), "GET /in1.html HTTP/1.1\r\nHost: primary.example.com:8080\r\nConnection: close\r\n\r\n");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(programAddress(reply.body), "primary.example.com:8080/start.html");
}

TEST_P(ServiceHttp, AddressReplyIgnoresAHostHeaderThatIsNoHost) {
    const RawReply reply = rawExchange(
        port(), "GET /in1.html HTTP/1.1\r\nHost: <script>x</script>\r\nConnection: close\r\n\r\n");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(programAddress(reply.body), service().hostPort().toStdString() + "/start.html");
}

// ---------------------------------------------------------------------------------------------
// Directory

class DirectoryPath : public ServiceHttpCases<const char*> {};

TEST_P(DirectoryPath, SplitsIntoTheShopListAndTheShopDetails) {
    const RawReply reply = get(param());
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("content-type"), "text/plain; charset=windows-1255");

    // The split as the program does it: field by field, a record holds "kod", "***" ends.
    QList<QByteArray> shopList;
    QList<QByteArray> shopDetails;
    bool ended = false;
    data::FieldReader reader(bytes(reply.body));
    int lines = 0;
    while (!reader.atEnd()) {
        const QByteArray field = reader.next();
        ++lines;
        if (field.contains("***")) {
            ended = true;
            break;
        }
        const qsizetype p = field.indexOf("kod");
        if (p < 0)
            continue;
        shopList.append(field.left(p + 6));
        shopDetails.append(field.mid(p));
    }
    EXPECT_TRUE(ended) << "the directory must end with ***";
    EXPECT_TRUE(reader.atEnd()) << "nothing may follow the *** line";
    EXPECT_EQ(lines, QByteArray(bytes(reply.body)).count("\r\n")) << "a record holds a comma";
    ASSERT_EQ(shopList.size(), 7);

    QStringList codes;
    for (const QByteArray& entry : shopList)
        codes.append(QString::fromLatin1(entry.right(3)));
    EXPECT_EQ(codes, QStringList({"101", "042", "215", "330", "512", "618", "777"}));
    EXPECT_TRUE(shopList[1].startsWith(data::toCp1255(u"דפוס הצפון - שד' הנשיא 12 חיפה kod042")));
    EXPECT_EQ(shopDetails[1], data::toCp1255(u"kod042 טל' 04-8523311 EM:tzafon@tzafon-print.co.il"));
    // The shop without e-mail: the program shows "No E-Mail" for an address holding "&nb".
    EXPECT_TRUE(shopDetails[2].endsWith("EM:&nbsp;"));
    for (const QByteArray& details : shopDetails)
        EXPECT_EQ(details.count("EM:"), 1) << details.toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothServers, DirectoryPath,
                         ::testing::Combine(backends(), ::testing::Values("/cgi-bin/ruf.html", "/ruf.html")),
                         backendAnd([](const char* path) {
                             return std::string(path) == "/ruf.html" ? "Fallback" : "Primary";
                         }));

// ---------------------------------------------------------------------------------------------
// Templates

struct TemplateCase {
    const char* name;
    const char* prefix; // "/cgi-bin/sb" on the primary server, "/sb" on the fallback server
    const char* code;
};

void PrintTo(const TemplateCase& c, std::ostream* os) {
    *os << c.prefix << c.code << ".htm";
}

class TemplatePath : public ServiceHttpCases<TemplateCase> {};

TEST_P(TemplatePath, IsTheStoredFileByteForByte) {
    const TemplateCase& c = param();
    const RawReply reply = get(std::string(c.prefix) + c.code + ".htm");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("content-type"), "text/html; charset=windows-1255");
    const QByteArray stored = siteFile(QStringLiteral("sb%1.htm").arg(QLatin1String(c.code)));
    ASSERT_FALSE(stored.isEmpty());
    EXPECT_EQ(bytes(reply.body), stored);
}

INSTANTIATE_TEST_SUITE_P(
    BothServers, TemplatePath,
    ::testing::Combine(backends(), ::testing::Values(TemplateCase{"Primary101", "/cgi-bin/sb", "101"},
                                                     TemplateCase{"Fallback101", "/sb", "101"},
                                                     TemplateCase{"PrimaryLeadingZero", "/cgi-bin/sb", "042"},
                                                     TemplateCase{"FallbackLeadingZero", "/sb", "042"},
                                                     TemplateCase{"PrimaryNoEmail", "/cgi-bin/sb", "215"},
                                                     TemplateCase{"Fallback777", "/sb", "777"})),
    backendAnd([](const auto& c) { return c.name; }));

// ---------------------------------------------------------------------------------------------
// Order numbers

TEST_P(ServiceHttp, OrderNumbersCountOnPerShopAndReadAsTheProgramReadsThem) {
    // The suite's service is shared: read where the counters stand, then count on.
    const RawReply first = get("/cgi-bin/scr042n.pl");
    ASSERT_EQ(first.status, 200);
    EXPECT_EQ(first.header("content-type"), "text/html; charset=windows-1255");
    EXPECT_EQ(first.header("cache-control"), "no-store");
    const double n = programNumber(first.body);
    EXPECT_GE(n, 4201);
    EXPECT_EQ(programNumber(get("/cgi-bin/scr042n.pl").body), n + 1);
    const double other = programNumber(get("/cgi-bin/scr101n.pl").body);
    EXPECT_GE(other, 1001);
    EXPECT_LT(other, 4201) << "each shop has a counter of its own";
    EXPECT_EQ(programNumber(get("/cgi-bin/scr042n.pl").body), n + 2);
}

TEST_P(ServiceHttp, NotServedShopAnswersMinus25000AndHasNoTemplate) {
    for (int i = 0; i < 2; ++i) {
        const RawReply reply = get("/cgi-bin/scr618n.pl");
        ASSERT_EQ(reply.status, 200);
        EXPECT_EQ(programNumber(reply.body), -25000);
    }
    EXPECT_EQ(get("/cgi-bin/sb618.htm").status, 404);
    EXPECT_EQ(get("/sb618.htm").status, 404);
}

struct NotFoundCase {
    const char* name;
    const char* target;
};

void PrintTo(const NotFoundCase& c, std::ostream* os) {
    *os << c.target;
}

class NotFound : public ServiceHttpCases<NotFoundCase> {};

TEST_P(NotFound, Answers404) {
    const RawReply reply = get(param().target);
    EXPECT_EQ(reply.status, 404) << reply.raw;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, NotFound,
    ::testing::Combine(
        backends(), ::testing::Values(NotFoundCase{"UnknownShopNumber", "/cgi-bin/scr999n.pl"},
                                      // Codes are matched as the directory spells them: 42 is not 042.
                                      NotFoundCase{"CodeWithoutLeadingZero", "/cgi-bin/scr42n.pl"},
                                      NotFoundCase{"CodeTooLong", "/cgi-bin/scr0420n.pl"},
                                      NotFoundCase{"EmptyCode", "/cgi-bin/scrn.pl"},
                                      NotFoundCase{"UnknownShopTemplate", "/cgi-bin/sb999.htm"},
                                      NotFoundCase{"UnknownShopTemplateFallback", "/sb999.htm"},
                                      NotFoundCase{"NumberScriptOnFallbackStyle", "/scr042n.pl"},
                                      NotFoundCase{"DirectoryUnderOtherName", "/cgi-bin/ruf.htm"},
                                      NotFoundCase{"OtherScript", "/cgi-bin/other.pl"},
                                      NotFoundCase{"UnknownPage", "/nothing.html"},
                                      NotFoundCase{"ShopListIsNoPage", "/shops.tsv"},
                                      NotFoundCase{"DoubleEncodedDotsAreAName", "/%252e%252e/start.html"})),
    backendAnd([](const auto& c) { return c.name; }));

// ---------------------------------------------------------------------------------------------
// Leaving the site

// A file next to the site directory that no request may reach.
class OutsideSite : public ServiceHttpCases<NotFoundCase> {
protected:
    void SetUp() override {
        ServiceHttpCases::SetUp();
        const QString site = service().siteDir();
        if (QFileInfo::exists(site + "/linked.html"))
            return;
        QFile secret(site + "/../secret.html");
        ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
        secret.write("TOP-SECRET");
        secret.close();
        // A link inside the site that points out of it.
        ASSERT_EQ(::symlink(QFile::encodeName(QDir(site + "/..").absoluteFilePath("secret.html")).constData(),
                            QFile::encodeName(site + "/linked.html").constData()),
                  0);
    }
};

TEST_P(OutsideSite, IsNeverServed) {
    const RawReply reply = get(param().target);
    EXPECT_NE(reply.status, 200) << reply.raw;
    EXPECT_GE(reply.status, 400);
    EXPECT_EQ(reply.raw.find("TOP-SECRET"), std::string::npos);
    EXPECT_EQ(reply.raw.find("root:"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, OutsideSite,
    ::testing::Combine(backends(),
                       ::testing::Values(NotFoundCase{"DotDot", "/../secret.html"},
                                         NotFoundCase{"DotDotAfterCgiBin", "/cgi-bin/../../secret.html"},
                                         NotFoundCase{"DotDotDeep", "/../../../../../../etc/passwd"},
                                         NotFoundCase{"EncodedDots", "/%2e%2e/secret.html"},
                                         NotFoundCase{"EncodedDotsUpperCase", "/%2E%2E/secret.html"},
                                         NotFoundCase{"EncodedSlash", "/..%2fsecret.html"},
                                         NotFoundCase{"EncodedEverything", "/%2e%2e%2f%2e%2e%2fetc%2fpasswd"},
                                         NotFoundCase{"Backslash", "/..\\secret.html"},
                                         NotFoundCase{"EncodedBackslash", "/..%5csecret.html"},
                                         NotFoundCase{"AbsolutePath", "//etc/passwd"},
                                         NotFoundCase{"EncodedAbsolutePath", "/%2fetc%2fpasswd"},
                                         NotFoundCase{"NoLeadingSlash", "etc/passwd"},
                                         NotFoundCase{"AbsoluteUri", "http://127.0.0.1/../secret.html"},
                                         NotFoundCase{"EncodedNul", "/secret.html%00.html"},
                                         NotFoundCase{"NulBeforeDotDot", "/start.html%00/../../secret.html"},
                                         NotFoundCase{"DotSegment", "/./../secret.html"},
                                         NotFoundCase{"TemplateRoute", "/sb..%2fsecret.htm"},
                                         NotFoundCase{"TemplateRouteOnCgiBin",
                                                      "/cgi-bin/sb..%2f..%2fsecret.htm"},
                                         NotFoundCase{"NumberRoute", "/cgi-bin/scr..%2f..%2fsecretn.pl"},
                                         NotFoundCase{"SymbolicLinkOutOfTheSite", "/linked.html"},
                                         NotFoundCase{"EncodedNewline", "/%0a/../secret.html"})),
    backendAnd([](const auto& c) { return c.name; }));

// ---------------------------------------------------------------------------------------------
// Methods and limits

struct MethodCase {
    const char* name;
    const char* request;
};

void PrintTo(const MethodCase& c, std::ostream* os) {
    *os << c.name;
}

class OtherMethod : public ServiceHttpCases<MethodCase> {};

TEST_P(OtherMethod, IsRefusedWithoutTakingANumber) {
    const double before = programNumber(get("/cgi-bin/scr330n.pl").body);
    const RawReply reply = rawExchange(port(), param().request);
    EXPECT_EQ(reply.status, 405) << reply.raw;
    EXPECT_EQ(reply.header("allow"), "GET");
    EXPECT_EQ(programNumber(get("/cgi-bin/scr330n.pl").body), before + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, OtherMethod,
    ::testing::Combine(
        backends(),
        ::testing::Values(
            MethodCase{"Head", "HEAD /cgi-bin/scr330n.pl HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"},
            MethodCase{"Trace", "TRACE /cgi-bin/scr330n.pl HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"},
            MethodCase{"Post", "POST /cgi-bin/scr330n.pl HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n"
                               "Connection: close\r\n\r\na=1"},
            MethodCase{
                "Put",
                "PUT /sb330.htm HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\nConnection: close\r\n\r\nhi"},
            MethodCase{"Delete",
                       "DELETE /cgi-bin/scr330n.pl HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"},
            MethodCase{"Patch", "PATCH /cgi-bin/scr330n.pl HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n"
                                "Connection: close\r\n\r\n"},
            MethodCase{"Options",
                       "OPTIONS /cgi-bin/scr330n.pl HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"})),
    backendAnd([](const auto& c) { return c.name; }));

TEST_P(ServiceHttp, OversizedRequestsAreRefusedAndTheServiceGoesOn) {
    const std::string host = "Host: 127.0.0.1\r\n";
    const RawReply bigBody = rawExchange(port(), "POST /in1.html HTTP/1.1\r\n" + host +
                                                     "Content-Length: 1000000\r\n"
                                                     "Connection: close\r\n\r\n" +
                                                     std::string(1'000'000, 'x'));
    EXPECT_TRUE(bigBody.status == 413 || bigBody.status == 0) << bigBody.raw.substr(0, 200);

    const RawReply bigHeader =
        rawExchange(port(), "GET /in1.html HTTP/1.1\r\n" + host + "X-Filler: " + std::string(20'000, 'y') +
                                "\r\nConnection: close\r\n\r\n");
    EXPECT_NE(bigHeader.status, 200);

    const RawReply longTarget = get("/" + std::string(20'000, 'a') + ".html");
    EXPECT_NE(longTarget.status, 200);
    // Long but within the target limit: refused by the path check, and no deep recursion.
    const RawReply longPath = get("/" + std::string(2'000, 'a') + ".html");
    EXPECT_EQ(longPath.status, 400);
    // Over the target limit (2048 bytes unless configured): refused before any routing.
    const RawReply overTargetLimit = get("/" + std::string(7'000, 'a') + ".html");
    EXPECT_EQ(overTargetLimit.status, 414);

    const RawReply garbage = rawExchange(port(), std::string("\x01\x02\x03 nonsense\r\n\r\n"));
    EXPECT_NE(garbage.status, 200);

    // A GET has no body; one that announces a body is not answered as a plain GET.
    const RawReply getWithBody =
        rawExchange(port(), "GET /cgi-bin/scr101n.pl HTTP/1.1\r\n" + host +
                                "Content-Length: 4\r\nConnection: close\r\n\r\nabcd");
    EXPECT_EQ(getWithBody.status, 400);

    EXPECT_EQ(get("/in1.html").status, 200) << "the service must still answer";
}

TEST_P(ServiceHttp, LogsEveryRequestInOneLine) {
    const std::string target = "/cgi-bin/scr512n.pl?marker=" + std::to_string(::getpid());
    ASSERT_EQ(get(target).status, 200);
    ASSERT_EQ(get("/nothing%0aFORGED.html").status, 404);
    ASSERT_EQ(
        rawExchange(port(), "GET /start\xE0.html HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n").status,
        404);

    ASSERT_TRUE(service().waitForLog(" GET /start%E0.html 404 "));
    ASSERT_TRUE(service().waitForLog(" GET /nothing%0aFORGED.html 404 "));
    ASSERT_TRUE(service().waitForLog(QByteArray(" GET " + QByteArray::fromStdString(target) + " 200 ")));
    const QByteArray log = service().log();
    const QRegularExpression line(QStringLiteral(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (127\.0\.0\.1:\d+|-) \S+ \S+ \d{3} \d+ (\d+\.\d\dms|-)$)"));
    int checked = 0;
    for (const QByteArray& text : log.split('\n')) {
        if (text.isEmpty() || text.startsWith("velmora-service:"))
            continue;
        EXPECT_TRUE(line.match(QString::fromLatin1(text)).hasMatch()) << text.toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 3);
    EXPECT_FALSE(log.contains("\nFORGED"));
}

INSTANTIATE_TEST_SUITE_P(Backends, ServiceHttp, backends(),
                         [](const auto& c) { return std::string(backendName(c.param)); });

} // namespace
} // namespace velmora::test
