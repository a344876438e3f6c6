#include "platform/Inet.h"

#include "TestService.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using velmora::platform::FetchResult;
using velmora::platform::Inet;
using velmora::test::TestService;

namespace {

void waitWhileExecuting(Inet& inet) {
    while (inet.StillExecuting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The transfer component against the program's own web service on a loopback port.
class InetAgainstService : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString(); }
    QString url(const QString& path) const { return service.baseUrl() + path; }

    TestService service;
    Inet inet;
};

TEST_F(InetAgainstService, openUrlReturnsTheAddressPage) {
    QByteArray expected = readAll(TestService::sampleSiteDir() + "/in1.html");
    ASSERT_FALSE(expected.isEmpty());
    expected.replace("@HOST@", service.hostPort().toLatin1());
    EXPECT_EQ(inet.OpenURL(url("/in1.html")), expected);
}

TEST_F(InetAgainstService, aPathTheServiceDoesNotKnowIsAFailure) {
    const FetchResult r = inet.fetch(url("/cgi-bin/sb999.htm"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.httpStatus, 404);
    EXPECT_TRUE(r.body.isEmpty());
    EXPECT_TRUE(inet.OpenURL(url("/cgi-bin/sb999.htm")).isEmpty());
}

TEST_F(InetAgainstService, aStoppedServiceGivesAnEmptyReply) {
    const QString address = url("/in1.html");
    service.kill();
    EXPECT_TRUE(inet.OpenURL(address).isEmpty());
    const FetchResult r = inet.fetch(address);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.httpStatus, 0);
    EXPECT_FALSE(r.errorText.isEmpty());
}

// The template download as the submission runs it: the handler on state 12 appends chunks of 80
// to the download target while the caller still waits; the file ends up holding the body exactly.
TEST_F(InetAgainstService, aTemplateOf200BytesArrivesAsChunks80_80_40AndEmpty) {
    QByteArray body = "<html>\r\n\xe0\xe1\xe2 [1] [13]\r\n"; // Windows-1255 letters, CR LF
    while (body.size() < 191)
        body.append(static_cast<char>('a' + body.size() % 26));
    body.append("\r\n</html>");
    ASSERT_EQ(body.size(), 200);
    {
        QFile site(service.siteDir() + "/sb042.htm");
        ASSERT_TRUE(site.open(QIODevice::WriteOnly));
        site.write(body);
    }
    QTemporaryDir dir;
    QFile target(dir.filePath("sbl.htm"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));

    std::vector<int> states;
    std::vector<qsizetype> chunkSizes;
    bool executingDuringNotification = false;
    QObject::connect(&inet, &Inet::StateChanged, [&](int state) {
        states.push_back(state);
        executingDuringNotification = inet.StillExecuting();
        if (state != Inet::icResponseCompleted)
            return;
        for (;;) {
            const QByteArray part = inet.GetChunk(80);
            chunkSizes.push_back(part.size());
            target.write(part);
            if (part.isEmpty())
                break;
        }
    });
    ASSERT_TRUE(inet.Execute(url("/cgi-bin/sb042.htm"), "get /"));
    EXPECT_TRUE(inet.StillExecuting());
    waitWhileExecuting(inet);
    target.close();

    EXPECT_EQ(states, std::vector<int>{Inet::icResponseCompleted});
    EXPECT_TRUE(executingDuringNotification);
    EXPECT_EQ(chunkSizes, (std::vector<qsizetype>{80, 80, 40, 0}));
    EXPECT_EQ(readAll(target.fileName()), body);
    EXPECT_TRUE(inet.ResponseInfo().isEmpty());
    EXPECT_EQ(inet.ResponseCode(), 200);
    // The body stays readable only once.
    EXPECT_TRUE(inet.GetChunk(80).isEmpty());
}

TEST_F(InetAgainstService, aFailedTemplateRequestEndsInTheErrorState) {
    std::vector<int> states;
    QObject::connect(&inet, &Inet::StateChanged, [&](int state) { states.push_back(state); });
    ASSERT_TRUE(inet.Execute(url("/cgi-bin/sb999.htm"), "get /"));
    waitWhileExecuting(inet);
    EXPECT_EQ(states, std::vector<int>{Inet::icError});
    EXPECT_TRUE(inet.ResponseInfo().contains("404")) << inet.ResponseInfo().toStdString();
    EXPECT_TRUE(inet.GetChunk(80).isEmpty());
}

} // namespace
