#include "ui/components/BrowserPane.h"
#include "WindowTestData.h"

#include "TestCertificates.h"
#include "TestService.h"
#include "platform/TlsTrust.h"
#include "ui/FormBuilder.h"
#include "ui/windows/start1.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFontInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using velmora::ui::BrowserPane;

namespace {

// The e-mail pane: a page with one mailto link, as the print-shop choice writes it.
class MailPane : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        page = dir.filePath("em.htm");
        QFile file(page);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<html>\r\n<a id=link href=mailto:shop@example.com>shop@example.com</a>\r\n</html>\r\n");
        file.close();
        pane.setMailHandler([this](const QUrl& url) { mailed.append(url); });
        pane.resize(300, 100);
        pane.show();
    }

    bool load(const QString& address) {
        QSignalSpy finished(&pane, &BrowserPane::loadFinished);
        pane.Navigate(address);
        return finished.wait(60000) && finished.first().first().toBool();
    }

    template <typename Pred> static bool waitFor(Pred done) {
        const QDeadlineTimer deadline(30000);
        while (!done() && !deadline.hasExpired())
            QTest::qWait(20);
        return done();
    }

    QTemporaryDir dir;
    QString page;
    BrowserPane pane;
    QList<QUrl> mailed;
};

TEST_F(MailPane, showsALocalFileGivenByItsPath) {
    ASSERT_TRUE(load(page));
    EXPECT_EQ(pane.url(), QUrl::fromLocalFile(page));
    EXPECT_EQ(pane.lastNavigated(), QUrl::fromLocalFile(page));
}

TEST_F(MailPane, aClickedMailtoLinkGoesToTheMailProgramNotIntoThePane) {
    ASSERT_TRUE(load(page));
    // A real click: the engine opens outside programs only on a user's gesture.
    QRect link;
    pane.page()->runJavaScript("(function(){var r=document.getElementById('link').getBoundingClientRect();"
                               "return [r.left,r.top,r.width,r.height];})()",
                               [&](const QVariant& v) {
                                   const QVariantList r = v.toList();
                                   if (r.size() == 4)
                                       link = QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
                               });
    ASSERT_TRUE(waitFor([&] { return !link.isEmpty(); }));
    QWidget* surface = pane.focusProxy() ? pane.focusProxy() : &pane;
    QTest::mouseClick(surface, Qt::LeftButton, {}, link.center());
    ASSERT_TRUE(waitFor([&] { return !mailed.isEmpty(); }));
    EXPECT_EQ(mailed, QList<QUrl>{QUrl("mailto:shop@example.com")});
    QTest::qWait(200);
    EXPECT_EQ(pane.url(), QUrl::fromLocalFile(page));
    EXPECT_EQ(mailed.size(), 1);
}

TEST_F(MailPane, navigatingToAMailtoAddressAlsoGoesToTheMailProgram) {
    ASSERT_TRUE(load(page));
    pane.Navigate("mailto:other@example.com");
    EXPECT_EQ(mailed, QList<QUrl>{QUrl("mailto:other@example.com")});
    QTest::qWait(200);
    EXPECT_EQ(pane.url(), QUrl::fromLocalFile(page));
}

// The order pad's pane at its designed size (3375 x 615 twips) in its designed font: the address
// stands on one line, in that font, with nothing to scroll. The page's bytes set no font at all.
TEST_F(MailPane, theAddressFitsOneLineInThePanesFont) {
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("<html>\r\n<a id=link href=mailto:orders@printhouse.example>orders@printhouse.example</a>\r\n"
               "</html>\r\n");
    file.close();
    pane.resize(velmora::ui::twips(3375), velmora::ui::twips(615));
    pane.setPageFont(velmora::ui::designFont(velmora::ui::kPt8));
    ASSERT_TRUE(load(page));

    QVariantList layout;
    pane.page()->runJavaScript(
        "(function(){var a=document.getElementById('link'),e=document.scrollingElement;"
        "return [a.getClientRects().length,e.scrollWidth-e.clientWidth,e.scrollHeight-e.clientHeight,"
        "getComputedStyle(a).fontSize,getComputedStyle(a).fontFamily];})()",
        [&](const QVariant& v) { layout = v.toList(); });
    ASSERT_TRUE(waitFor([&] { return layout.size() == 5; }));
    EXPECT_EQ(layout[0].toInt(), 1) << "one line";
    EXPECT_LE(layout[1].toInt(), 0) << "nothing to scroll sideways";
    EXPECT_LE(layout[2].toInt(), 0) << "nothing to scroll down";
    EXPECT_EQ(layout[3].toString(), "11px");
    EXPECT_TRUE(layout[4].toString().contains(QFontInfo(velmora::ui::designFont(velmora::ui::kPt8)).family()))
        << layout[4].toString().toStdString();
}

// Latin phrases inside the Hebrew text of the start pages read left to right in one piece: the
// first character of each stands left of its last (without isolation the "!" of the button's
// caption would stand at the far left of it).
class StartPage : public ::testing::Test {
protected:
    // For each phrase, the left edges of its first and last characters as the page lays them out.
    static QList<QVariant> phraseEnds(BrowserPane& pane, const QStringList& phrases) {
        const QString script =
            QStringLiteral("(function(phrases){return phrases.map(function(p){"
                           "var w=document.createTreeWalker(document.body,NodeFilter.SHOW_TEXT),n;"
                           "while((n=w.nextNode())){var i=n.data.indexOf(p);if(i<0)continue;"
                           "var r=document.createRange();r.setStart(n,i);r.setEnd(n,i+1);"
                           "var first=r.getBoundingClientRect().left;"
                           "r.setStart(n,i+p.length-1);r.setEnd(n,i+p.length);"
                           "return [first,r.getBoundingClientRect().left];}"
                           "return [];});})(%1)")
                .arg(QString::fromUtf8(
                    QJsonDocument(QJsonArray::fromStringList(phrases)).toJson(QJsonDocument::Compact)));
        QList<QVariant> ends;
        bool done = false;
        pane.page()->runJavaScript(script, [&](const QVariant& v) {
            ends = v.toList();
            done = true;
        });
        const QDeadlineTimer deadline(30000);
        while (!done && !deadline.hasExpired())
            QTest::qWait(20);
        return ends;
    }

    static void expectLeftToRight(BrowserPane& pane, const QStringList& phrases) {
        const QList<QVariant> ends = phraseEnds(pane, phrases);
        ASSERT_EQ(ends.size(), phrases.size());
        for (qsizetype i = 0; i < phrases.size(); ++i) {
            const QVariantList pair = ends[i].toList();
            ASSERT_EQ(pair.size(), 2) << phrases[i].toStdString() << " not found";
            EXPECT_LT(pair[0].toDouble(), pair[1].toDouble()) << phrases[i].toStdString();
        }
    }
};

TEST_F(StartPage, theSampleSitesStartPageKeepsItsLatinPhrasesInOrder) {
    BrowserPane pane;
    pane.resize(673, 473); // the start window's pane
    pane.show();
    QSignalSpy finished(&pane, &BrowserPane::loadFinished);
    pane.Navigate(QStringLiteral(VELMORA_SOURCE_DIR "/service/site/start.html"));
    ASSERT_TRUE(finished.wait(60000));
    expectLeftToRight(pane, {"Click here - Start!", "*.plt", "support@velmora.co.il"});
}

TEST_F(StartPage, theStartWindowsOwnPageKeepsTheButtonsCaptionInOrder) {
    velmora::testing::WindowTestData data; // no start-page address yet
    velmora::ui::start1& start = data.registry().open<velmora::ui::start1>();
    QSignalSpy finished(start.WebBrowser1, &BrowserPane::loadFinished);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    expectLeftToRight(*start.WebBrowser1, {"Click here - Start!"});
}

// A start page on a server behind HTTPS: shown when the program trusts the server's certificate
// (the web engine's own store does not hold it), an error page when it does not.
TEST(BrowserPaneOverTls, showsAPageOnlyFromAServerTheProgramTrusts) {
    velmora::test::TestCertificates certificates;
    const auto trusted = certificates.make("trusted", {"127.0.0.1"});
    const auto stranger = certificates.make("stranger", {"127.0.0.1"});
    ASSERT_TRUE(trusted && stranger) << certificates.errorString().toStdString();
    ASSERT_TRUE(velmora::platform::trustCertificatesFrom(trusted.cert).ok());

    const auto serve = [](const velmora::test::TestCertificates::Pair& pair) {
        velmora::test::TestService::Options options;
        options.tlsCert = pair.cert;
        options.tlsKey = pair.key;
        return options;
    };
    velmora::test::TestService good(serve(trusted));
    velmora::test::TestService bad(serve(stranger));
    ASSERT_TRUE(good.isRunning()) << good.errorString().toStdString();
    ASSERT_TRUE(bad.isRunning()) << bad.errorString().toStdString();

    const auto load = [](const QString& url) {
        BrowserPane pane;
        pane.resize(673, 473);
        pane.show();
        QSignalSpy finished(&pane, &BrowserPane::loadFinished);
        pane.Navigate(url);
        EXPECT_TRUE(finished.wait(60000)) << url.toStdString();
        return !finished.isEmpty() && finished.first().first().toBool();
    };
    EXPECT_TRUE(load(good.baseUrl() + "/start.html"));
    EXPECT_FALSE(load(bad.baseUrl() + "/start.html"));
    EXPECT_FALSE(bad.log().contains("GET /start.html")) << "nothing was asked of a server not trusted";
}

TEST(BrowserPane, webAddressesStayAsGivenAndPathsBecomeFileUrls) {
    EXPECT_EQ(BrowserPane::urlFor("http://shop.com/start"), QUrl("http://shop.com/start"));
    EXPECT_EQ(BrowserPane::urlFor("/opt/velmora/help 1.htm"), QUrl::fromLocalFile("/opt/velmora/help 1.htm"));
    EXPECT_TRUE(BrowserPane::urlFor("").isEmpty());
}

} // namespace
