#include "SubmissionFixture.h"

#include "data/CountFile.h"
#include "data/Numbers.h"
#include "order/OrderRecord.h"
#include "order/OrderSubmitter.h"

#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

using namespace Qt::Literals::StringLiterals;
using velmora::order::OrderRecord;
using velmora::order::OrderSubmitter;
using velmora::order::SubmissionRequest;
using velmora::testing::SubmissionFixture;

namespace velmora::order {
inline std::string caseName(SubmissionRequest request) {
    return request == SubmissionRequest::OrderNumber ? "orderNumberRequest" : "templateDownload";
}
inline void PrintTo(SubmissionRequest request, std::ostream* os) {
    *os << caseName(request);
}
} // namespace velmora::order

namespace {

const QString kReminder = u"אל תשכח לקבוא מכון העתקות!"_s;
const QString kNoShop = u"לא נקבא מכונ העתקות!"_s;
const QString kNoFile = u"לא רשום שם הקובץ!"_s;
const QString kNoAccount = u"לא רשום שם מתחייב!"_s;
const QString kNoProject = u"לא רשום שם הפרויקט!"_s;
const QString kNotServed = u"לא עבדים עם מכון הזה!"_s;
const QString kNoOrderNumber = u"לא התקבל מספר הזמנה מהשרת."_s;
const QString kNoTemplate = u"תבנית ההזמנה של מכון ההעתקות לא התקבלה מהשרת."_s;
const QString kNoDocument = u"לא ניתן להכין את מסמך ההזמנה."_s;
const QString kNotSaved = u"ההזמנה לא נשמרה."_s;

// Counts the requests of this path that the service answered.
int requestsIn(const QByteArray& log, const QByteArray& path) {
    const QByteArray line = QByteArray(" GET ") + path + " ";
    return static_cast<int>(log.count(line));
}

class Submission : public SubmissionFixture {
protected:
    // The address of every request the submission made, in order.
    void recordRequests(velmora::ui::velmora& pad) {
        QObject::connect(&pad.submission(), &OrderSubmitter::requestStarted, &pad,
                         [this](SubmissionRequest, const QString& url) { requestUrls.append(url); });
    }
    // Runs the action right after the request of this kind has gone out, while the submission
    // waits for its answer.
    void duringRequest(velmora::ui::velmora& pad, SubmissionRequest which, std::function<void()> action) {
        QObject::connect(&pad.submission(), &OrderSubmitter::requestStarted, &pad,
                         [which, action](SubmissionRequest request, const QString&) {
                             if (request == which)
                                 QTimer::singleShot(0, action);
                         });
    }

    // Expects a failed submission: exactly one message beginning with the text (and saying that
    // nothing was saved when it is not one of the fixed check messages), the data directory as it
    // was, the button enabled and no viewer.
    void expectNothingWritten(const velmora::ui::velmora& pad, const QMap<QString, QByteArray>& before,
                              const QString& messageStart, bool saysNotSaved = true) {
        ASSERT_EQ(messages().size(), 1) << messages().join(u'\n').toStdString();
        EXPECT_TRUE(messages().first().startsWith(messageStart)) << messages().first().toStdString();
        if (saysNotSaved) {
            EXPECT_TRUE(messages().first().contains(kNotSaved)) << messages().first().toStdString();
        }
        EXPECT_EQ(snapshot(), before);
        EXPECT_TRUE(pad.Command1->isEnabled());
        EXPECT_FALSE(pad.submission().isRunning());
        EXPECT_TRUE(viewerStarts.isEmpty());
    }

    QStringList requestUrls;
};

// ---------------------------------------------------------------------------------------------
// A whole order, every written file compared byte for byte with tests/fixtures/submission.
// With VELMORA_UPDATE_FIXTURES=1 the files are written there instead; look at them before
// committing (placeholders filled, "&nbsp" for empty slots, the heading, CR LF, Windows-1255).

const QStringList kWrittenFiles = {"vl1.html", "vlt.dat",    "vlc.dat", "const.dat",  "hes.dat", "hescol.dat",
                                   "pro.dat",  "procol.dat", "lis.dat", "liscol.dat", "vl.url"};

TEST_F(Submission, wholeOrderWritesEveryFileByteForByte) {
    auto& pad = openPad();
    recordRequests(pad);
    pad.Combo1->setText(u"משרד התכנון"_s); // typed: learned into hes.dat
    pad.Combo2->setListIndex(1);           // chosen: not learned
    pad.Text5->setText(QStringLiteral("A&B <rev2>.plt"));
    pad.Text6->setText(QStringLiteral("1"));
    pad.Combo10->setListIndex(2);
    pad.Combo5->setText(u"משרד חדש"_s); // typed recipient: learned
    pad.Combo6->setText(QString());     // cleared by hand: nothing is learned for it
    pad.Text13->setText(QStringLiteral("1"));
    pad.Text18->setText(QStringLiteral("2"));
    pad.Text14->setText(QStringLiteral("3"));

    click(pad);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_TRUE(pad.Command1->isEnabled());
    EXPECT_EQ(requestUrls, QStringList({"http://" + primary->hostPort() + "/cgi-bin/scr042n.pl",
                                        "http://" + primary->hostPort() + "/cgi-bin/sb042.htm"}));
    // The template as the server sent it.
    EXPECT_EQ(read("sbl.htm"), fixtureBytes("sb042.htm"));

    const QByteArray dataPath = velmora::data::toCp1255(QDir::toNativeSeparators(dataDir().path()));
    const bool update = qEnvironmentVariableIntValue("VELMORA_UPDATE_FIXTURES") == 1;
    for (const QString& name : kWrittenFiles) {
        QByteArray written = read(name);
        if (name == "vl.url")
            written.replace(dataPath, "@DATADIR@");
        if (update) {
            QFile out(fixture(name));
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(written);
            continue;
        }
        EXPECT_EQ(written, fixtureBytes(name)) << name.toStdString();
    }

    // The document as sent, kept under the order's record number.
    EXPECT_EQ(read("archive/000001.html"), read("vl1.html"));

    ASSERT_EQ(viewerStarts.size(), 1);
    EXPECT_EQ(viewerStarts.first(), QStringList({context.viewer, path("vl1.html")}));
    // The window keeps the order as it was.
    EXPECT_EQ(pad.Text23->text(), u"מספר של  דפוס הצפון kod042"_s);
    EXPECT_EQ(pad.Combo1->Text(), u"משרד התכנון"_s);
}

TEST_F(Submission, commasAndDoubleQuotesAreCleanedButTheSettingsKeepThemAsTyped) {
    auto& pad = openPad();
    pad.Combo2->setText(u"Tower, \"B\""_s);
    pad.text1->setText(u"Cohen, Dan"_s);

    click(pad);
    ASSERT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();

    const OrderRecord record = journalRecord(1);
    EXPECT_EQ(record.slot(4), "Tower; ''B''");
    EXPECT_EQ(record.slot(11), "Cohen; Dan");
    EXPECT_TRUE(read("pro.dat").endsWith("\r\nTower; ''B''\r\n"));
    EXPECT_TRUE(read("vl1.html").contains("\r\nTower; ''B''\r\n"));
    EXPECT_TRUE(read("vl1.html").contains("\r\nCohen; Dan\r\n"));
    EXPECT_TRUE(read("const.dat").startsWith("\"Cohen, Dan\"\r\n04-8123456\r\n"));

    // The next load finds the orderer's name whole, and the telephone in its own box.
    registry().close<velmora::ui::velmora>();
    flushDeletes();
    auto& again = registry().open<velmora::ui::velmora>();
    EXPECT_EQ(again.text1->text(), u"Cohen, Dan"_s);
    EXPECT_EQ(again.Text2->text(), u"04-8123456"_s);
}

TEST_F(Submission, submittingTwiceGivesTwoRecordsThatDifferOnlyInTheOrderNumber) {
    auto& pad = openPad();
    click(pad);
    click(pad);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    ASSERT_EQ(journalRecords(), 2);
    const OrderRecord first = journalRecord(1);
    OrderRecord second = journalRecord(2);
    EXPECT_EQ(first.slot(1), " 4201");
    EXPECT_EQ(second.slot(1), " 4202");
    second.setSlot(1, first.slot(1));
    EXPECT_EQ(second, first);
    EXPECT_EQ(velmora::data::readCount(dataDir(), "vlc.dat").value(), 2);
    EXPECT_EQ(viewerStarts.size(), 2);
}

// ---------------------------------------------------------------------------------------------
// The checks: the first that fails shows its message and nothing is written. Each case empties
// its own field and the ones checked after it, so only the first message may appear.

struct CheckCase {
    const char* name;
    std::function<void(velmora::ui::velmora&)> change;
    QString message; // empty: the order passes
};
void PrintTo(const CheckCase& check, std::ostream* os) {
    *os << check.name;
}

class SubmissionChecks : public Submission, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(SubmissionChecks, firstFailingCheckAloneIsShown) {
    auto& pad = openPad();
    GetParam().change(pad);
    const auto before = snapshot();

    click(pad);

    if (GetParam().message.isEmpty()) {
        EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
        EXPECT_EQ(journalRecords(), 1);
        return;
    }
    expectNothingWritten(pad, before, GetParam().message, false);
    EXPECT_EQ(messages().first(), GetParam().message);
    EXPECT_EQ(requestsIn(primary->log(), "/cgi-bin/scr042n.pl"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SubmissionChecks,
    ::testing::Values(
        CheckCase{"reminderStillInStatusLineEvenWithoutFileName",
                  [](velmora::ui::velmora& pad) {
                      pad.Text23->setText(kReminder);
                      pad.Text3->clear();
                      pad.Combo1->setText(QString());
                  },
                  kNoShop},
        CheckCase{"noFileName",
                  [](velmora::ui::velmora& pad) {
                      pad.Text3->clear();
                      pad.Combo1->setText(QString());
                      pad.Combo2->setText(QString());
                  },
                  kNoFile},
        CheckCase{"noAccount",
                  [](velmora::ui::velmora& pad) {
                      pad.Combo1->setText(QString());
                      pad.Combo2->setText(QString());
                  },
                  kNoAccount},
        CheckCase{"noProject", [](velmora::ui::velmora& pad) { pad.Combo2->setText(QString()); }, kNoProject},
        CheckCase{"singleBlankFileNamePasses",
                  [](velmora::ui::velmora& pad) { pad.Text3->setText(QStringLiteral(" ")); }, QString()}),
    [](const ::testing::TestParamInfo<CheckCase>& p) { return std::string(p.param.name); });

TEST_F(Submission, rightAfterLoadingTheShopMustBeChosen) {
    auto& pad = registry().open<velmora::ui::velmora>();
    const auto before = snapshot();
    click(pad);
    expectNothingWritten(pad, before, kNoShop, false);
}

// ---------------------------------------------------------------------------------------------
// The server's answers.

TEST_F(Submission, shopThatIsNotServedChangesNoFile) {
    auto& pad = openPad(kShop618);
    const auto before = snapshot();

    click(pad);

    expectNothingWritten(pad, before, kNotServed, false);
    EXPECT_EQ(messages().first(), kNotServed);
    EXPECT_EQ(requestsIn(primary->log(), "/cgi-bin/sb618.htm"), 0);
}

TEST_F(Submission, selectorTwoTakesBothRequestsFromTheFallbackServer) {
    velmora::test::TestService fallback(velmora::test::TestService::sharingDatabaseOf(*primary));
    ASSERT_TRUE(fallback.isRunning()) << fallback.errorString().toStdString();
    QFile::remove(fallback.siteDir() + "/sb042.htm");
    ASSERT_TRUE(QFile::copy(fixture("sb042.htm"), fallback.siteDir() + "/sb042.htm"));
    context.fallbackServer = fallback.hostPort();
    auto& pad = openPad();
    recordRequests(pad);
    setSelector(QStringLiteral("2"));

    click(pad);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(requestUrls, QStringList({"http://" + fallback.hostPort() + "/cgi-bin/scr042n.pl",
                                        "http://" + fallback.hostPort() + "/sb042.htm"}));
    EXPECT_TRUE(fallback.waitForLog(" GET /sb042.htm 200 "));
    EXPECT_EQ(requestsIn(fallback.log(), "/cgi-bin/scr042n.pl"), 1);
    EXPECT_EQ(requestsIn(primary->log(), "/cgi-bin/scr042n.pl"), 0);
    EXPECT_EQ(journalRecord(1).slot(1), " 4201");
    EXPECT_EQ(read("sbl.htm"), fixtureBytes("sb042.htm"));
}

// The fields are read once, but each request reads the print-shop list as it is at that moment.
TEST_F(Submission, eachRequestTakesTheShopCodeFromTheListAsItReadsThen) {
    auto& pad = openPad(kShop042);
    recordRequests(pad);
    duringRequest(pad, SubmissionRequest::OrderNumber, [&] { pad.Combo3->setListIndex(kShop777); });

    click(pad);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(requestUrls, QStringList({"http://" + primary->hostPort() + "/cgi-bin/scr042n.pl",
                                        "http://" + primary->hostPort() + "/cgi-bin/sb777.htm"}));
    const OrderRecord record = journalRecord(1);
    EXPECT_EQ(record.slot(1), " 4201");
    EXPECT_EQ(velmora::data::fromCp1255(record.slot(5)), u"דפוס הצפון kod042"_s);
}

class SubmissionSelector : public Submission, public ::testing::WithParamInterface<const char*> {};

TEST_P(SubmissionSelector, selectorNamingNoServerStopsBeforeAnyRequest) {
    auto& pad = openPad();
    setSelector(QString::fromLatin1(GetParam()));
    const auto before = snapshot();

    click(pad);

    expectNothingWritten(pad, before, u"בורר השרתים"_s);
    EXPECT_EQ(requestsIn(primary->log(), "/cgi-bin/scr042n.pl"), 0);
}

INSTANTIATE_TEST_SUITE_P(Values, SubmissionSelector, ::testing::Values("3", "0", "x", ""),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             const std::string value = p.param;
                             return value.empty()  ? std::string("empty")
                                    : value == "x" ? std::string("letter")
                                                   : "value" + value;
                         });

// A failed order-number request is not order number 0: the order stops there.
enum class NumberFailure { PrimaryDown, UnknownShopAnswers404, NoAnswerWithinTimeOut };

std::string caseName(NumberFailure failure) {
    switch (failure) {
    case NumberFailure::PrimaryDown:
        return "primaryDown";
    case NumberFailure::UnknownShopAnswers404:
        return "unknownShopAnswers404";
    case NumberFailure::NoAnswerWithinTimeOut:
        return "noAnswerWithinTimeOut";
    }
    return "unknown";
}
void PrintTo(NumberFailure failure, std::ostream* os) {
    *os << caseName(failure);
}

class SubmissionOrderNumberFailure : public Submission,
                                     public ::testing::WithParamInterface<NumberFailure> {};

TEST_P(SubmissionOrderNumberFailure, isReportedAndWritesNothing) {
    QTcpServer silent;
    int shop = kShop042;
    switch (GetParam()) {
    case NumberFailure::PrimaryDown:
        ASSERT_TRUE(primary->stop());
        break;
    case NumberFailure::UnknownShopAnswers404:
        shop = kShop999;
        break;
    case NumberFailure::NoAnswerWithinTimeOut:
        // Takes the connection and never answers.
        ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
        context.primaryServer = QStringLiteral("127.0.0.1:%1").arg(silent.serverPort());
        context.requestTimeoutMs = 300;
        break;
    }
    auto& pad = openPad(shop);
    const auto before = snapshot();

    click(pad);

    expectNothingWritten(pad, before, kNoOrderNumber);
}

INSTANTIATE_TEST_SUITE_P(Cases, SubmissionOrderNumberFailure,
                         ::testing::Values(NumberFailure::PrimaryDown, NumberFailure::UnknownShopAnswers404,
                                           NumberFailure::NoAnswerWithinTimeOut),
                         [](const ::testing::TestParamInfo<NumberFailure>& p) { return caseName(p.param); });

// After the order number, the template: a download that fails or a template the document cannot
// be made from stops the order before the journal, and sbl.htm keeps the earlier template.
enum class TemplateFailure {
    TemplateMissing404,
    ServiceGoneAfterOrderNumber,
    TemplateEndsBeforeHeadEnd,
    TemplateWithoutBodyMarker,
    HeadingFileMissing,
};

std::string caseName(TemplateFailure failure) {
    switch (failure) {
    case TemplateFailure::TemplateMissing404:
        return "templateMissing404";
    case TemplateFailure::ServiceGoneAfterOrderNumber:
        return "serviceGoneAfterOrderNumber";
    case TemplateFailure::TemplateEndsBeforeHeadEnd:
        return "templateEndsBeforeHeadEnd";
    case TemplateFailure::TemplateWithoutBodyMarker:
        return "templateWithoutBodyMarker";
    case TemplateFailure::HeadingFileMissing:
        return "headingFileMissing";
    }
    return "unknown";
}
void PrintTo(TemplateFailure failure, std::ostream* os) {
    *os << caseName(failure);
}

class SubmissionTemplateFailure : public Submission, public ::testing::WithParamInterface<TemplateFailure> {};

TEST_P(SubmissionTemplateFailure, isReportedAndWritesNothing) {
    int shop = kShop042;
    QString message = kNoDocument;
    switch (GetParam()) {
    case TemplateFailure::TemplateMissing404:
        shop = kShop777;
        ASSERT_TRUE(QFile::remove(primary->siteDir() + "/sb777.htm"));
        message = kNoTemplate;
        break;
    case TemplateFailure::ServiceGoneAfterOrderNumber:
        message = kNoTemplate;
        break;
    case TemplateFailure::TemplateEndsBeforeHeadEnd: {
        shop = kShop215;
        QFile file(primary->siteDir() + "/sb215.htm");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("<html>\r\n<title>cut short\r\n");
        break;
    }
    case TemplateFailure::TemplateWithoutBodyMarker: {
        shop = kShop215;
        QFile file(primary->siteDir() + "/sb215.htm");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("<html><head></head>\r\n<body>###01</body></html>\r\n");
        break;
    }
    case TemplateFailure::HeadingFileMissing:
        ASSERT_TRUE(QFile::remove(path("korok.txt")));
        break;
    }
    auto& pad = openPad(shop);
    if (GetParam() == TemplateFailure::ServiceGoneAfterOrderNumber) {
        QObject::connect(&pad.submission(), &OrderSubmitter::requestStarted, &pad,
                         [this](SubmissionRequest request, const QString&) {
                             if (request == SubmissionRequest::Template)
                                 primary->kill();
                         });
    }
    const auto before = snapshot();

    click(pad);

    expectNothingWritten(pad, before, message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SubmissionTemplateFailure,
    ::testing::Values(TemplateFailure::TemplateMissing404, TemplateFailure::ServiceGoneAfterOrderNumber,
                      TemplateFailure::TemplateEndsBeforeHeadEnd, TemplateFailure::TemplateWithoutBodyMarker,
                      TemplateFailure::HeadingFileMissing),
    [](const ::testing::TestParamInfo<TemplateFailure>& p) { return caseName(p.param); });

TEST_F(Submission, viewerThatCannotStartIsReportedButTheOrderStaysSubmitted) {
    viewerStartSucceeds = false;
    auto& pad = openPad();

    click(pad);

    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().first().startsWith(u"ההזמנה נשמרה"_s)) << messages().first().toStdString();
    EXPECT_TRUE(messages().first().contains(context.viewer));
    EXPECT_EQ(journalRecords(), 1);
    EXPECT_FALSE(read("vl1.html").isEmpty());
    EXPECT_FALSE(read("vl.url").isEmpty());
    EXPECT_TRUE(pad.Command1->isEnabled());
}

TEST_F(Submission, anArchiveThatCannotKeepTheDocumentIsReportedButTheOrderStaysSubmitted) {
    writeBytes("archive", "a file where the archive folder belongs");
    auto& pad = openPad();

    click(pad);

    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().first().startsWith(u"ההזמנה נשמרה"_s)) << messages().first().toStdString();
    EXPECT_TRUE(messages().first().contains("archive/000001.html")) << messages().first().toStdString();
    EXPECT_EQ(journalRecords(), 1);
    EXPECT_FALSE(read("vl.url").isEmpty());
    EXPECT_EQ(viewerStarts.size(), 1) << "the document is shown all the same";
    EXPECT_TRUE(pad.Command1->isEnabled());
}

// ---------------------------------------------------------------------------------------------
// One submission at a time: a second click while the first waits for the server does nothing,
// whether it reaches the disabled button or the handler itself.

class SubmissionSecondClick : public Submission, public ::testing::WithParamInterface<SubmissionRequest> {};

TEST_P(SubmissionSecondClick, duringTheWaitStartsNoSecondOrder) {
    auto& pad = openPad();
    bool clickedDuringWait = false;
    bool buttonEnabledDuringWait = true;
    duringRequest(pad, GetParam(), [&] {
        clickedDuringWait = pad.submission().isRunning();
        buttonEnabledDuringWait = pad.Command1->isEnabled();
        click(pad);
        pad.Command1_Click();
    });

    click(pad);

    ASSERT_TRUE(clickedDuringWait);
    EXPECT_FALSE(buttonEnabledDuringWait);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(journalRecords(), 1);
    EXPECT_EQ(velmora::data::readCount(dataDir(), "vlc.dat").value(), 1);
    EXPECT_EQ(viewerStarts.size(), 1);
    EXPECT_TRUE(primary->waitForLog(" GET /cgi-bin/sb042.htm 200 "));
    EXPECT_EQ(requestsIn(primary->log(), "/cgi-bin/scr042n.pl"), 1);
    EXPECT_TRUE(pad.Command1->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Waits, SubmissionSecondClick,
                         ::testing::Values(SubmissionRequest::OrderNumber, SubmissionRequest::Template),
                         [](const ::testing::TestParamInfo<SubmissionRequest>& p) {
                             return p.param == SubmissionRequest::OrderNumber ? "orderNumberRequest"
                                                                              : "templateDownload";
                         });

// The user may close the order pad while the template downloads: the program goes on, and no
// journal record is left without its document.
TEST_F(Submission, closingThePadDuringTheDownloadLeavesNoHalfOrder) {
    auto& pad = openPad();
    const auto before = snapshot();
    duringRequest(pad, SubmissionRequest::Template, [&] { pad.close(); });

    click(pad);
    flushDeletes();

    EXPECT_EQ(registry().find<velmora::ui::velmora>(), nullptr);
    if (journalRecords() > 0) {
        EXPECT_EQ(journalRecords(), 1);
        EXPECT_FALSE(read("vl1.html").isEmpty());
    } else {
        EXPECT_EQ(snapshot(), before);
    }
}

} // namespace
