// The start step against the web service on loopback ports, with a stand-in for the start window.
// The failure cases the service cannot show (HTTP errors, a silent or cut-off directory) use a
// small routed server.
#include "startup/StartStep.h"

#include "data/FileIo.h"
#include "platform/Inet.h"
#include "startup/StartStepWindow.h"

#include "ClosedPort.h"
#include "StubHttpServer.h"
#include "TestCertificates.h"
#include "TestService.h"
#include "order/BytesPrinting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

using namespace velmora::startup;
using velmora::data::DataDir;
using velmora::platform::FetchResult;
using velmora::platform::Inet;
using velmora::test::TestService;

namespace {

class FakeStartWindow : public StartStepWindow {
public:
    QString selectorText() const override { return selector; }
    void setSelectorText(const QString& text) override { selector = text; }
    void beginWait() override {
        waiting = true;
        events << "begin";
    }
    void endWait() override {
        waiting = false;
        events << "end";
    }
    void showMessage(const QString& text) override {
        messages << text;
        events << "message";
    }
    void showMainWindow() override { events << "main"; }

    QString selector = QStringLiteral("1");
    bool waiting = false;
    QStringList messages;
    QStringList events;
};

QString url(const QString& hostPort, const char* path) {
    return QStringLiteral("http://") + hostPort + QString::fromLatin1(path);
}

const QByteArray kOld25 = "Old Print kod001\r\n\xe3\xf4\xe5\xf1 kod002\r\n";
const QByteArray kOld27 = "kod001 EM:old@old.example\r\nkod002 EM:&nbsp;\r\n";
const QByteArray kOld29 = "Old Print kod001 EM:old@old.example\r\n***\r\n";
const QByteArray kOldUrl00 = "old.example/start.html\r\n***\r\n";
const QByteArray kOldUrl01 = "old.example/info.html\r\n***\r\n";

class StartStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        write("ruf25.dat", kOld25);
        write("ruf27.dat", kOld27);
        write("ruf29.dat", kOld29);
        write("url00.dat", kOldUrl00);
        write("url01.dat", kOldUrl01);
        m_inet.setRequestTimeout(5000);
    }

    void makeStep(const QString& primary, const QString& fallback) {
        m_step = std::make_unique<StartStep>(m_inet, DataDir(m_dir.path()), primary, fallback, m_window);
        // The window's wiring: the transfer component's notification goes to the step.
        QObject::connect(&m_inet, &Inet::StateChanged, m_step.get(), &StartStep::onStateChanged);
        QObject::connect(m_step.get(), &StartStep::requesting, [this](StartRequest, const QString& url) {
            m_requested << url;
            EXPECT_TRUE(m_window.waiting) << "a request went out while the step did not show WAIT";
        });
    }

    void write(const QString& name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void expectPreviousDirectory() const {
        EXPECT_EQ(read("ruf25.dat"), kOld25);
        EXPECT_EQ(read("ruf27.dat"), kOld27);
    }

    // A server that answers both address requests with an address of its own.
    static void answerAddresses(StubHttpServer& server) {
        server.route("/in1.html", 200, server.hostPort().toLatin1() + "/start.html#/#/#");
        server.route("/in3.html", 200, server.hostPort().toLatin1() + "/info.html#/#/#");
    }

    // Servers that are down.
    ClosedPort m_down;
    ClosedPort m_down2;
    QTemporaryDir m_dir;
    FakeStartWindow m_window;
    Inet m_inet;
    std::unique_ptr<StartStep> m_step;
    QStringList m_requested;
};

TEST_F(StartStepTest, primaryServerGivesTheAddressesAndTheDirectory) {
    TestService primary;
    ASSERT_TRUE(primary.isRunning()) << primary.errorString().toStdString();
    Inet probe;
    const FetchResult page = probe.fetch(primary.baseUrl() + "/cgi-bin/ruf.html");
    ASSERT_TRUE(page.ok);
    const DirectoryFiles expected = splitDirectory(page.body);
    ASSERT_EQ(expected.records, 7);

    makeStep(primary.hostPort(), m_down.hostPort());
    const StartOutcome outcome = m_step->run();

    EXPECT_EQ(outcome.ending, StartEnding::MainWindow);
    EXPECT_EQ(outcome.directory, DirectoryOutcome::Replaced);
    EXPECT_FALSE(outcome.noServer);
    EXPECT_EQ(m_window.events, QStringList({"begin", "end", "main"}));
    EXPECT_EQ(m_window.selector, "1");
    EXPECT_EQ(m_requested,
              QStringList({url(primary.hostPort(), "/in1.html"), url(primary.hostPort(), "/in3.html"),
                           url(primary.hostPort(), "/cgi-bin/ruf.html")}));

    const QByteArray host = primary.hostPort().toLatin1();
    EXPECT_EQ(read("url00.dat"), host + "/start.html\r\n***\r\n");
    EXPECT_EQ(read("url01.dat"), host + "/info.html\r\n***\r\n");
    // ruf29.dat holds the page exactly as received, the 80-byte chunks joined without a gap.
    EXPECT_EQ(read("ruf29.dat"), page.body);
    EXPECT_EQ(read("ruf25.dat"), expected.ruf25);
    EXPECT_EQ(read("ruf27.dat"), expected.ruf27);
    // The sample site's shops, in its order, each line ending in its code.
    const QList<QByteArray> lines = read("ruf25.dat").split('\n');
    const QList<QByteArray> codes{"101", "042", "215", "330", "512", "618", "777"};
    ASSERT_EQ(lines.size(), codes.size() + 1);
    for (qsizetype i = 0; i < codes.size(); ++i)
        EXPECT_TRUE(lines[i].endsWith(QByteArray("kod" + codes[i] + "\r"))) << lines[i].toStdString();
}

TEST_F(StartStepTest, silentPrimaryMakesEveryRequestGoToTheFallback) {
    TestService::Options options;
    options.startNow = false;
    TestService fallback(options);
    // A directory of its own, so the split shows where the page came from.
    QFile shops(fallback.siteDir() + "/shops.tsv");
    ASSERT_TRUE(shops.open(QIODevice::WriteOnly | QIODevice::Truncate));
    shops.write("101\tyes\t5001\tFallback Print\tMain St 1\tTel 03-5550555\tfb@fallback.example\n");
    shops.close();
    ASSERT_TRUE(fallback.start()) << fallback.errorString().toStdString();

    const QString primary = m_down.hostPort();
    makeStep(primary, fallback.hostPort());
    const StartOutcome outcome = m_step->run();

    EXPECT_EQ(outcome.ending, StartEnding::MainWindow);
    EXPECT_EQ(outcome.directory, DirectoryOutcome::Replaced);
    EXPECT_TRUE(m_window.messages.isEmpty()) << m_window.messages.join('\n').toStdString();
    EXPECT_EQ(m_window.selector, "2");
    // The primary server is asked once; after the switch it is not tried again.
    EXPECT_EQ(m_requested,
              QStringList({url(primary, "/in1.html"), url(fallback.hostPort(), "/in1.html"),
                           url(fallback.hostPort(), "/in3.html"), url(fallback.hostPort(), "/ruf.html")}));
    EXPECT_TRUE(fallback.waitForLog("GET /ruf.html 200"));
    EXPECT_FALSE(fallback.log().contains("/cgi-bin/ruf.html"));
    EXPECT_EQ(read("url00.dat"), fallback.hostPort().toLatin1() + "/start.html\r\n***\r\n");
    EXPECT_EQ(read("ruf25.dat"), QByteArray("Fallback Print - Main St 1 kod101\r\n"));
    EXPECT_EQ(read("ruf27.dat"), QByteArray("kod101 Tel 03-5550555 EM:fb@fallback.example\r\n"));
}

// A primary server the settings leave out (its value could not be used) is not asked: the step
// goes to the fallback server at once.
TEST_F(StartStepTest, primaryLeftOutOfTheSettingsIsNotAsked) {
    StubHttpServer fallback;
    answerAddresses(fallback);
    fallback.route("/ruf.html", 200, "B Print kod202 EM:b@b.example\r\n***\r\n");
    makeStep(QString(), fallback.hostPort());
    const StartOutcome outcome = m_step->run();

    EXPECT_TRUE(m_window.messages.isEmpty()) << m_window.messages.join(u'\n').toStdString();
    EXPECT_EQ(outcome.directory, DirectoryOutcome::Replaced);
    EXPECT_EQ(m_window.selector, "2");
    EXPECT_EQ(m_requested,
              QStringList({url(fallback.hostPort(), "/in1.html"), url(fallback.hostPort(), "/in3.html"),
                           url(fallback.hostPort(), "/ruf.html")}));
}

// A primary server behind HTTPS whose certificate the program does not trust: it is never
// talked to, the user is told why, and the fallback server serves the step.
TEST_F(StartStepTest, primaryWithACertificateNotTrustedIsReportedAndTheFallbackServes) {
    velmora::test::TestCertificates certificates;
    const auto pair = certificates.make("primary", {"127.0.0.1"});
    ASSERT_TRUE(pair) << certificates.errorString().toStdString();
    TestService::Options options;
    options.tlsCert = pair.cert;
    options.tlsKey = pair.key;
    TestService primary(options);
    ASSERT_TRUE(primary.isRunning()) << primary.errorString().toStdString();
    TestService fallback;
    ASSERT_TRUE(fallback.isRunning()) << fallback.errorString().toStdString();

    makeStep(primary.baseUrl(), fallback.hostPort());
    const StartOutcome outcome = m_step->run();

    EXPECT_EQ(outcome.ending, StartEnding::MainWindow);
    EXPECT_EQ(outcome.directory, DirectoryOutcome::Replaced);
    EXPECT_EQ(m_window.selector, "2");
    EXPECT_EQ(
        m_window.messages,
        QStringList({QStringLiteral(u"לא ניתן לאמת את תעודת האבטחה של השרת 127.0.0.1: התעודה חתומה בידי "
                                    u"השרת עצמו ואינה בין התעודות המהימנות (%1/in1.html)")
                         .arg(primary.baseUrl())}));
    EXPECT_EQ(m_window.events, QStringList({"begin", "message", "end", "main"}));
    EXPECT_EQ(m_requested.first(), primary.baseUrl() + "/in1.html");
    EXPECT_FALSE(primary.log().contains("GET /")) << primary.log().toStdString();
    EXPECT_EQ(read("url00.dat"), fallback.hostPort().toLatin1() + "/start.html\r\n***\r\n");
}

TEST_F(StartStepTest, noServerAnsweringShowsProblemsOfInternetAndKeepsEveryFile) {
    const QString primary = m_down.hostPort();
    const QString fallback = m_down2.hostPort();
    makeStep(primary, fallback);
    const StartOutcome outcome = m_step->run();

    EXPECT_EQ(outcome.ending, StartEnding::MainWindow);
    EXPECT_TRUE(outcome.noServer);
    EXPECT_EQ(outcome.directory, DirectoryOutcome::NotRequested);
    EXPECT_EQ(m_window.messages, QStringList({"Problems of Internet!!!"}));
    // The message comes while the Start button is still disabled; then the button, then the order
    // pad.
    EXPECT_EQ(m_window.events, QStringList({"begin", "message", "end", "main"}));
    EXPECT_EQ(m_requested, QStringList({url(primary, "/in1.html"), url(fallback, "/in1.html")}));
    expectPreviousDirectory();
    EXPECT_EQ(read("ruf29.dat"), kOld29);
    EXPECT_EQ(read("url00.dat"), kOldUrl00);
    EXPECT_EQ(read("url01.dat"), kOldUrl01);
}

// The second address fails on both servers after the first one was stored.
TEST_F(StartStepTest, fallbackFailingOnTheSecondAddressEndsWithProblemsOfInternet) {
    StubHttpServer primary;
    primary.route("/in1.html", 200, "primary.example.com/start");
    StubHttpServer fallback;
    makeStep(primary.hostPort(), fallback.hostPort());
    const StartOutcome outcome = m_step->run();

    EXPECT_TRUE(outcome.noServer);
    EXPECT_EQ(m_window.messages, QStringList({"Problems of Internet!!!"}));
    EXPECT_EQ(m_window.events.last(), "main");
    EXPECT_EQ(read("url00.dat"), QByteArray("primary.example.com\r\n***\r\n"));
    EXPECT_EQ(read("url01.dat"), kOldUrl01);
    EXPECT_EQ(fallback.requestedPaths(), QList<QByteArray>({"/in3.html"}));
    expectPreviousDirectory();
}

// gtest prints the case by its name, not as raw bytes.
template <typename Case> void printCase(const Case& c, std::ostream* os) {
    *os << c.name;
}

struct ShortReplyCase {
    const char* name;
    QByteArray primaryReply;
    const char* selectorAfter;
    bool url00FromFallback; // otherwise url00.dat keeps its old content
};

void PrintTo(const ShortReplyCase& c, std::ostream* os) {
    printCase(c, os);
}

class ShortReplies : public StartStepTest, public ::testing::WithParamInterface<ShortReplyCase> {};

TEST_P(ShortReplies, underThreeCharactersIsNoAnswer) {
    StubHttpServer primary;
    answerAddresses(primary);
    primary.route("/in1.html", 200, GetParam().primaryReply);
    primary.route("/cgi-bin/ruf.html", 200, "P kod101 EM:p@p.example\r\n***\r\n");
    StubHttpServer fallback;
    answerAddresses(fallback);
    fallback.route("/ruf.html", 200, "F kod202 EM:f@f.example\r\n***\r\n");

    makeStep(primary.hostPort(), fallback.hostPort());
    const StartOutcome outcome = m_step->run();

    EXPECT_EQ(outcome.ending, StartEnding::MainWindow);
    EXPECT_EQ(m_window.selector, GetParam().selectorAfter);
    EXPECT_EQ(read("url00.dat"), GetParam().url00FromFallback
                                     ? fallback.hostPort().toLatin1() + "/start.html\r\n***\r\n"
                                     : kOldUrl00);
    EXPECT_EQ(read("ruf25.dat"), QByteArray(GetParam().url00FromFallback ? "F kod202\r\n" : "P kod101\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShortReplies,
    ::testing::Values(ShortReplyCase{"two_characters_switch_to_the_fallback", "ab", "2", true},
                      ShortReplyCase{"three_characters_are_an_answer_without_address", "abc", "1", false},
                      ShortReplyCase{"empty_reply_switches", "", "2", true}),
    [](const auto& tc) { return std::string(tc.param.name); });

struct DirectoryFailureCase {
    const char* name;
    StubHttpServer::Route directory;
    const char* messagePart; // what the message must say beside keeping the old list
};

void PrintTo(const DirectoryFailureCase& c, std::ostream* os) {
    printCase(c, os);
}

class DirectoryFailures : public StartStepTest, public ::testing::WithParamInterface<DirectoryFailureCase> {};

// Whatever goes wrong with the directory, the print shops of the last good download stay.
TEST_P(DirectoryFailures, keepThePreviousDirectory) {
    StubHttpServer primary;
    answerAddresses(primary);
    primary.route("/cgi-bin/ruf.html", GetParam().directory);
    m_inet.setRequestTimeout(1000);
    makeStep(primary.hostPort(), m_down.hostPort());
    const StartOutcome outcome = m_step->run();

    EXPECT_EQ(outcome.ending, StartEnding::MainWindow);
    EXPECT_EQ(outcome.directory, DirectoryOutcome::KeptPrevious);
    expectPreviousDirectory();
    ASSERT_EQ(m_window.messages.size(), 1);
    EXPECT_TRUE(m_window.messages[0].contains(QStringLiteral(u"רשימת מכוני ההעתקות הקודמת נשארה")));
    EXPECT_TRUE(m_window.messages[0].contains(QString::fromUtf8(GetParam().messagePart)))
        << m_window.messages[0].toStdString();
    EXPECT_EQ(m_window.events, QStringList({"begin", "message", "end", "main"}));
    // The addresses came through and are kept; the selector stays on the primary server.
    EXPECT_EQ(read("url00.dat"), primary.hostPort().toLatin1() + "/start.html\r\n***\r\n");
    EXPECT_EQ(m_window.selector, "1");
}

using Mode = StubHttpServer::Mode;
INSTANTIATE_TEST_SUITE_P(
    Table, DirectoryFailures,
    ::testing::Values(
        DirectoryFailureCase{"http_404", {404, "Not here\r\n"}, "404"},
        DirectoryFailureCase{"http_500", {500, "A kod101 EM:a@a.example\r\n"}, "500"},
        DirectoryFailureCase{
            "body_cut_off", {200, "A kod101 EM:a@a.example\r\nB kod1", Mode::CutOff}, "ruf.html"},
        DirectoryFailureCase{"no_reply_within_the_time_out", {200, "", Mode::Silent}, "ruf.html"},
        DirectoryFailureCase{"empty_page", {200, ""}, "ruf.html"},
        DirectoryFailureCase{
            "error_page_without_shops", {200, "<html><body>Server error</body></html>"}, "ruf.html"},
        DirectoryFailureCase{
            "end_mark_before_any_shop", {200, "***\r\nA kod101 EM:a@a.example\r\n"}, "ruf.html"}),
    [](const auto& tc) { return std::string(tc.param.name); });

// The primary server gave the addresses but gives no answer to the directory request: the
// directory comes from the fallback server (its own path), which serves the rest of the run.
TEST_F(StartStepTest, directoryWithoutAnswerFromThePrimaryComesFromTheFallback) {
    StubHttpServer primary;
    answerAddresses(primary);
    primary.route("/cgi-bin/ruf.html", {200, "", Mode::Raw});
    StubHttpServer fallback;
    fallback.route("/ruf.html", 200, "B Print kod202 EM:b@b.example\r\n***\r\n");
    makeStep(primary.hostPort(), fallback.hostPort());
    const StartOutcome outcome = m_step->run();

    EXPECT_TRUE(m_window.messages.isEmpty()) << m_window.messages.join(u'\n').toStdString();
    EXPECT_EQ(outcome.directory, DirectoryOutcome::Replaced);
    EXPECT_EQ(read("ruf25.dat"), "B Print kod202\r\n");
    EXPECT_EQ(m_window.selector, "2");
    EXPECT_EQ(m_requested.mid(2), QStringList({url(primary.hostPort(), "/cgi-bin/ruf.html"),
                                               url(fallback.hostPort(), "/ruf.html")}));
}

TEST_F(StartStepTest, downloadTargetThatCannotBeCreatedKeepsTheDirectory) {
    StubHttpServer primary;
    answerAddresses(primary);
    primary.route("/cgi-bin/ruf.html", 200, "A kod101 EM:a@a.example\r\n***\r\n");
    ASSERT_TRUE(QFile::remove(m_dir.filePath("ruf29.dat")));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("ruf29.dat"));
    makeStep(primary.hostPort(), m_down.hostPort());
    const StartOutcome outcome = m_step->run();

    EXPECT_EQ(outcome.directory, DirectoryOutcome::KeptPrevious);
    ASSERT_EQ(m_window.messages.size(), 1);
    EXPECT_TRUE(m_window.messages[0].contains("ruf29.dat"));
    EXPECT_EQ(m_window.events.last(), "main");
    expectPreviousDirectory();
    EXPECT_FALSE(primary.requestedPaths().contains("/cgi-bin/ruf.html"));
}

TEST_F(StartStepTest, selectorThreeTypedDuringTheWaitAbandonsAtTheNextPoll) {
    StubHttpServer primary;
    answerAddresses(primary);
    primary.route("/cgi-bin/ruf.html", {200, "", Mode::Silent});
    primary.onRequest([this](const QByteArray& path) {
        if (path == "/cgi-bin/ruf.html")
            m_window.selector = QStringLiteral("3");
    });
    m_inet.setRequestTimeout(1500);
    makeStep(primary.hostPort(), m_down.hostPort());
    const StartOutcome outcome = m_step->run();

    EXPECT_EQ(outcome.ending, StartEnding::Abandoned);
    // The step did not wait for the transfer to end.
    EXPECT_TRUE(m_inet.StillExecuting());
    EXPECT_EQ(m_window.events, QStringList({"begin", "end"}));
    EXPECT_TRUE(m_window.messages.isEmpty());
    expectPreviousDirectory();

    // The next step waits for the abandoned transfer to end, then downloads normally; the late
    // end of the old transfer writes nothing.
    primary.route("/cgi-bin/ruf.html", 200, "New Print kod303 EM:n@n.example\r\n***\r\n");
    primary.onRequest(nullptr);
    m_window.selector = QStringLiteral("1");
    m_window.events.clear();
    const StartOutcome second = m_step->run();
    EXPECT_EQ(second.ending, StartEnding::MainWindow);
    EXPECT_EQ(second.directory, DirectoryOutcome::Replaced);
    EXPECT_EQ(m_window.events, QStringList({"begin", "end", "main"}));
    EXPECT_EQ(read("ruf29.dat"), QByteArray("New Print kod303 EM:n@n.example\r\n***\r\n"));
    EXPECT_EQ(read("ruf25.dat"), QByteArray("New Print kod303\r\n"));
}

struct SelectorCase {
    const char* name;
    const char* selector;
    const char* firstServer; // "primary", "fallback", or nullptr when nothing is requested
    bool message;
};

void PrintTo(const SelectorCase& c, std::ostream* os) {
    printCase(c, os);
}

class SelectorValues : public StartStepTest, public ::testing::WithParamInterface<SelectorCase> {};

TEST_P(SelectorValues, chooseTheServerAsANumber) {
    StubHttpServer primary;
    answerAddresses(primary);
    primary.route("/cgi-bin/ruf.html", 200, "P kod101 EM:p@p.example\r\n***\r\n");
    StubHttpServer fallback;
    answerAddresses(fallback);
    fallback.route("/ruf.html", 200, "F kod202 EM:f@f.example\r\n***\r\n");
    m_window.selector = QString::fromLatin1(GetParam().selector);
    makeStep(primary.hostPort(), fallback.hostPort());
    const StartOutcome outcome = m_step->run();

    const char* first = GetParam().firstServer;
    if (first == nullptr) {
        EXPECT_EQ(outcome.ending, StartEnding::Abandoned);
        EXPECT_TRUE(m_requested.isEmpty());
        EXPECT_FALSE(m_window.events.contains("main"));
        expectPreviousDirectory();
    } else {
        EXPECT_EQ(outcome.ending, StartEnding::MainWindow);
        const StubHttpServer& used = QByteArray(first) == "primary" ? primary : fallback;
        ASSERT_FALSE(m_requested.isEmpty());
        EXPECT_TRUE(m_requested.first().startsWith(url(used.hostPort(), "/")));
    }
    EXPECT_EQ(m_window.messages.size(), GetParam().message ? 1 : 0);
    if (GetParam().message) {
        EXPECT_TRUE(m_window.messages[0].contains(m_window.selector));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SelectorValues,
                         ::testing::Values(SelectorCase{"one", "1", "primary", false},
                                           SelectorCase{"two_as_number_text", "02", "fallback", false},
                                           SelectorCase{"three_abandons_at_once", "3", nullptr, false},
                                           SelectorCase{"other_number", "7", nullptr, true},
                                           SelectorCase{"empty_box", "", nullptr, true}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(StartStepTest, secondStartWhileOneRunsDoesNothing) {
    TestService primary;
    ASSERT_TRUE(primary.isRunning()) << primary.errorString().toStdString();
    makeStep(primary.hostPort(), m_down.hostPort());
    std::optional<StartOutcome> nested;
    QObject::connect(m_step.get(), &StartStep::requesting, [&](StartRequest request, const QString&) {
        if (request == StartRequest::Directory && !nested)
            nested = m_step->run();
    });
    const StartOutcome outcome = m_step->run();

    ASSERT_TRUE(nested.has_value());
    EXPECT_EQ(nested->ending, StartEnding::Busy);
    EXPECT_EQ(outcome.directory, DirectoryOutcome::Replaced);
    EXPECT_EQ(m_window.events, QStringList({"begin", "end", "main"}));
    EXPECT_EQ(m_requested.size(), 3);
}

} // namespace
