#include "startup/DirectoryDownload.h"

#include "data/FileIo.h"

#include "order/BytesPrinting.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace velmora::startup;
using velmora::Result;
using velmora::data::DataDir;
using velmora::data::readFile;
using velmora::data::writeFileAtomic;

namespace {

TEST(Answers, threeCharactersCountAsAnAnswer) {
    EXPECT_FALSE(isAnswer(""));
    EXPECT_FALSE(isAnswer("ab"));
    EXPECT_TRUE(isAnswer("abc"));
}

struct AddressCase {
    const char* name;
    QByteArray reply;
    std::optional<QByteArray> address;
};

class AddressReplies : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressReplies, takeTheAddress) {
    EXPECT_EQ(addressFromReply(GetParam().reply), GetParam().address);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressReplies,
    ::testing::Values(AddressCase{"dot_com", "shop.com/x", "shop.com"},
                      AddressCase{"dot_com_is_case_sensitive", "Shop.COM/x", std::nullopt},
                      AddressCase{"hash_marker", "shop.co.il/start#/#/#", "shop.co.il/start"},
                      AddressCase{"hash_marker_wins_over_dot_com", "www.a.com/page#/#/#rest",
                                  "www.a.com/page"},
                      AddressCase{"hash_marker_before_dot_com", "www.b.co.il#/#/#x.com", "www.b.co.il"},
                      AddressCase{"reply_begins_with_hash_marker", "#/#/#shop.com", std::nullopt},
                      AddressCase{"first_dot_com_counts", "a.com.b.com", "a.com"},
                      AddressCase{"line_end_after_address", "www.shop.com\r\n", "www.shop.com"},
                      AddressCase{"no_marker", "www.shop.co.il", std::nullopt},
                      AddressCase{"empty_reply", "", std::nullopt}),
    [](const auto& tc) { return std::string(tc.param.name); });

struct PathCase {
    const char* name;
    StartRequest request;
    QString selector;
    std::optional<QByteArray> path;
};

class StartPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(StartPaths, followTheSelector) {
    EXPECT_EQ(startRequestPath(GetParam().request, GetParam().selector), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartPaths,
    ::testing::Values(PathCase{"start_page_primary", StartRequest::StartPage, "1", "/in1.html"},
                      PathCase{"start_page_fallback", StartRequest::StartPage, "2", "/in1.html"},
                      PathCase{"second_address_primary", StartRequest::SecondAddress, "1", "/in3.html"},
                      PathCase{"second_address_fallback", StartRequest::SecondAddress, "2", "/in3.html"},
                      PathCase{"directory_primary", StartRequest::Directory, "1", "/cgi-bin/ruf.html"},
                      PathCase{"directory_fallback", StartRequest::Directory, "2", "/ruf.html"},
                      PathCase{"abandon_value", StartRequest::Directory, "3", std::nullopt},
                      PathCase{"empty_selector", StartRequest::StartPage, "", std::nullopt}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(ServerSelector, threeAbandonsTheStart) {
    EXPECT_TRUE(selectorAbandonsStart(u"3"));
    EXPECT_FALSE(selectorAbandonsStart(u"2"));
    EXPECT_FALSE(selectorAbandonsStart(u"1"));
}

TEST(ServerSelector, urlJoinsHostAndPath) {
    EXPECT_EQ(serverUrl("primary.example:8080", "/cgi-bin/scr042n.pl").toString(),
              QStringLiteral("http://primary.example:8080/cgi-bin/scr042n.pl"));
    // A code that is not plain ASCII is sent as its Windows-1255 bytes.
    EXPECT_EQ(serverUrl("h", "/sb\xe0 1.htm").toEncoded(), QByteArray("http://h/sb%E0%201.htm"));
}

TEST(ServerSelector, urlKeepsTheSchemeAndPathPrefixOfTheBaseAddress) {
    EXPECT_EQ(serverUrl("https://orders.example.com/velmora", "/cgi-bin/scr042n.pl").toString(),
              QStringLiteral("https://orders.example.com/velmora/cgi-bin/scr042n.pl"));
    EXPECT_EQ(serverUrl("http://[::1]:8081", "/sb042.htm").toString(),
              QStringLiteral("http://[::1]:8081/sb042.htm"));
    EXPECT_EQ(serverUrl("http://h/a%20b/", "/in1.html").toEncoded(), QByteArray("http://h/a%20b/in1.html"));
    EXPECT_EQ(serverUrl("https://orders.example/velmora/", "/cgi-bin/sb04\xe0.htm").toEncoded(),
              QByteArray("https://orders.example/velmora/cgi-bin/sb04%E0.htm"));
    EXPECT_EQ(serverUrl("[::1]:8080", "/in1.html").toString(), QStringLiteral("http://[::1]:8080/in1.html"));
    // No server configured: no address to ask.
    EXPECT_TRUE(serverUrl(QString(), "/in1.html").isEmpty());
}

struct StartPageCase {
    const char* name;
    const char* address;
    const char* primary;
    const char* fallback;
    const char* url;
};

class StartPage : public ::testing::TestWithParam<StartPageCase> {};

// The start page's address file has no scheme: the page is asked over HTTPS exactly when it lies on
// a server the settings reach over HTTPS.
TEST_P(StartPage, getsTheSchemeOfTheServerItLiesOn) {
    const StartPageCase& c = GetParam();
    EXPECT_EQ(startPageUrl(QString::fromLatin1(c.address), QString::fromLatin1(c.primary),
                           QString::fromLatin1(c.fallback)),
              QString::fromLatin1(c.url));
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartPage,
    ::testing::Values(
        StartPageCase{"plain_servers", "127.0.0.1:8081/start.html#/#/#", "http://127.0.0.1:8080",
                      "http://127.0.0.1:8081", "http://127.0.0.1:8081/start.html#/#/#"},
        StartPageCase{"on_the_https_fallback", "127.0.0.1:8443/start.html", "http://127.0.0.1:8080",
                      "https://127.0.0.1:8443", "https://127.0.0.1:8443/start.html"},
        StartPageCase{"https_default_port", "Orders.Example.com/velmora/start.html",
                      "https://orders.example.com/velmora", "",
                      "https://Orders.Example.com/velmora/start.html"},
        StartPageCase{"https_port_written_out", "orders.example.com/start.html", "http://127.0.0.1:8080",
                      "https://orders.example.com:443", "https://orders.example.com/start.html"},
        // Same host, another port: another server, not known to speak HTTPS.
        StartPageCase{"same_host_other_port", "orders.example.com:8080/start.html",
                      "https://orders.example.com", "", "http://orders.example.com:8080/start.html"},
        StartPageCase{"no_servers", "h:1/s.html", "", "", "http://h:1/s.html"},
        StartPageCase{"address_with_scheme", "https://cdn.example/s.html", "", "",
                      "https://cdn.example/s.html"}),
    [](const auto& c) { return std::string(c.param.name); });

struct SplitCase {
    const char* name;
    QByteArray page;
    QByteArray ruf25;
    QByteArray ruf27;
    int records;
};

class DirectorySplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(DirectorySplit, writesOneLinePerRecordIntoEachFile) {
    const DirectoryFiles files = splitDirectory(GetParam().page);
    EXPECT_EQ(files.ruf25, GetParam().ruf25);
    EXPECT_EQ(files.ruf27, GetParam().ruf27);
    EXPECT_EQ(files.records, GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DirectorySplit,
    ::testing::Values(
        SplitCase{"comma_splits_fields", "A, B kod123 EM:x\r\n", "B kod123\r\n", "kod123 EM:x\r\n", 1},
        SplitCase{"first_lower_case_kod", "Kodmor Print kod123\r\n", "Kodmor Print kod123\r\n", "kod123\r\n",
                  1},
        SplitCase{"upper_case_is_no_record", "KOD123\r\n", "", "", 0},
        SplitCase{"short_code_goes_whole", "X kod12\r\n", "X kod12\r\n", "kod12\r\n", 1},
        SplitCase{"long_code_cut_after_three", "Y kod12345 EM:y@y.com", "Y kod123\r\n",
                  "kod12345 EM:y@y.com\r\n", 1},
        SplitCase{"stars_end_the_directory", "A kod001 EM:a\r\n*** kod002 end\r\nB kod003 EM:b\r\n",
                  "A kod001\r\n", "kod001 EM:a\r\n", 1},
        SplitCase{
            "records_in_order_others_skipped",
            "<html>\r\n<body>\r\n\xe3\xf4\xe5\xf1 kod004 EM:p@p.co.il<br>\r\nZ kod005 EM:&nbsp;\r\n</body>",
            "\xe3\xf4\xe5\xf1 kod004\r\nZ kod005\r\n", "kod004 EM:p@p.co.il<br>\r\nkod005 EM:&nbsp;\r\n", 2},
        // A quoted record that runs over a line end stays one line in each file.
        SplitCase{"quoted_record_over_a_line_end", "\"Q Print\r\nHaifa kod006 EM:q@q\"\r\nR kod007\r\n",
                  "Q Print  Haifa kod006\r\nR kod007\r\n", "kod006 EM:q@q\r\nkod007\r\n", 2},
        SplitCase{"empty_page", "", "", "", 0},
        SplitCase{"error_page", "<html><body>500 Internal Server Error</body></html>\r\n", "", "", 0}),
    [](const auto& tc) { return std::string(tc.param.name); });

class DirectoryFilesOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        ASSERT_TRUE(writeFileAtomic(file("ruf25.dat"), kOld25));
        ASSERT_TRUE(writeFileAtomic(file("ruf27.dat"), kOld27));
    }
    QString file(const QString& name) const { return m_tmp.filePath(name); }
    DataDir dir() const { return DataDir(m_tmp.path()); }
    QByteArray content(const QString& name) const {
        const Result<QByteArray> bytes = readFile(file(name));
        return bytes ? *bytes : QByteArray("<missing>");
    }

    const QByteArray kOld25 = "Old kod001\r\n";
    const QByteArray kOld27 = "kod001 EM:old@old.com\r\n";
    QTemporaryDir m_tmp;
};

TEST_F(DirectoryFilesOnDisk, pageWithRecordsReplacesBothFiles) {
    ASSERT_TRUE(writeFileAtomic(file("ruf29.dat"), "New kod002 EM:new@new.com\r\n***\r\n"));
    const Result<DirectoryUpdate> update = rebuildDirectory(dir());
    ASSERT_TRUE(update.ok());
    EXPECT_EQ(*update, DirectoryUpdate::Replaced);
    EXPECT_EQ(content("ruf25.dat"), QByteArray("New kod002\r\n"));
    EXPECT_EQ(content("ruf27.dat"), QByteArray("kod002 EM:new@new.com\r\n"));
}

// A failed download (empty body, error page) must not wipe out the print-shop lists.
TEST_F(DirectoryFilesOnDisk, pageWithoutRecordsKeepsThePreviousDirectory) {
    for (const QByteArray& page :
         {QByteArray(), QByteArray("<html>404 Not Found</html>"), QByteArray("***")}) {
        ASSERT_TRUE(writeFileAtomic(file("ruf29.dat"), page));
        const Result<DirectoryUpdate> update = rebuildDirectory(dir());
        ASSERT_TRUE(update.ok());
        EXPECT_EQ(*update, DirectoryUpdate::KeptPrevious);
        EXPECT_EQ(content("ruf25.dat"), kOld25);
        EXPECT_EQ(content("ruf27.dat"), kOld27);
    }
}

TEST_F(DirectoryFilesOnDisk, missingPageIsAnErrorAndKeepsTheDirectory) {
    const Result<DirectoryUpdate> update = rebuildDirectory(dir());
    ASSERT_FALSE(update.ok());
    EXPECT_TRUE(update.error().contains("ruf29.dat"));
    EXPECT_EQ(content("ruf25.dat"), kOld25);
}

TEST_F(DirectoryFilesOnDisk, addressFileRewrittenOnlyForAnAddress) {
    ASSERT_TRUE(writeFileAtomic(file("url00.dat"), "old.com\r\n***\r\n"));

    const Result<AddressUpdate> none = storeAddress(dir(), "url00.dat", "#/#/#new.com");
    ASSERT_TRUE(none.ok());
    EXPECT_EQ(*none, AddressUpdate::NoAddress);
    EXPECT_EQ(content("url00.dat"), QByteArray("old.com\r\n***\r\n"));

    const Result<AddressUpdate> stored = storeAddress(dir(), "url01.dat", "www.new.com/index.html");
    ASSERT_TRUE(stored.ok());
    EXPECT_EQ(*stored, AddressUpdate::Stored);
    EXPECT_EQ(content("url01.dat"), QByteArray("www.new.com\r\n***\r\n"));
}

} // namespace
