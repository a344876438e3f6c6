#include "SubmissionFixture.h"

#include "ui/CaptionButton.h"
#include "ui/components/BrowserPane.h"
#include "ui/components/FlexGrid.h"
#include "ui/windows/hipus1.h"
#include "ui/windows/mismach.h"
#include "ui/windows/tavla.h"

#include <QAbstractItemModel>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QWebEnginePage>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

using namespace Qt::Literals::StringLiterals;
using velmora::ui::mismach;

namespace {

// The order pad and the history windows with no viewer in the settings: documents open in the
// program's own document window.
class DocumentWindow : public velmora::testing::SubmissionFixture {
protected:
    void SetUp() override {
        SubmissionFixture::SetUp();
        context.viewer.clear();
        context.launcher = velmora::platform::ProgramLauncher();
        writeBytes("sbpro.htm", "<html><head></head>\r\n<body>\r\n<!-- 140561 -->\r\n<p>###01 ###04</p>\r\n");
    }

    // Submits order 4201 with Hebrew values in most fields; returns the document window.
    mismach* submitHebrewOrder() {
        auto& pad = openPad();
        pad.Combo1->setListIndex(0); // עיריית חיפה
        pad.Combo2->setListIndex(1); // מגדל ב
        click(pad);
        EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
        return registry().find<mismach>();
    }

    // Waits until the window's page has loaded (its buttons come back).
    static bool loaded(mismach& window) {
        return QTest::qWaitFor([&] { return window.Command1->isEnabled() && window.Command2->isEnabled(); },
                               60000);
    }

    static QString run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(60000))
            return {};
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    static bool havePoppler() {
        return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
    }

    QString pdfPath(const QString& name) const { return path(name); }
};

// Whichever way the document comes, it is the program's window that shows it, titled with the
// order's number, and no program is started.
struct ShowCase {
    const char* name;
    std::function<void(velmora::ui::WindowRegistry&)> show; // after order 4201 was submitted
    const char* file;
    QString title;
};

void PrintTo(const ShowCase& c, std::ostream* os) {
    *os << c.name;
}

class DocumentWindowShows : public DocumentWindow, public ::testing::WithParamInterface<ShowCase> {};

TEST_P(DocumentWindowShows, theDocumentWithTheOrderNumberInTheTitle) {
    ASSERT_NE(submitHebrewOrder(), nullptr);
    GetParam().show(registry());

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_TRUE(viewerStarts.isEmpty());
    mismach* window = registry().find<mismach>();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), GetParam().title);
    EXPECT_EQ(window->WebBrowser1->lastNavigated(), QUrl::fromLocalFile(path(GetParam().file)));
    EXPECT_TRUE(loaded(*window));
}

// The table of the orders of "מגדל ב" with its first row, order 4201, chosen.
velmora::ui::tavla& tableWithTheOrder(velmora::ui::WindowRegistry& registry) {
    auto& projects = registry.open<velmora::ui::hipus1>();
    projects.Comboh1->setText(u"מגדל ב"_s);
    QTest::mouseClick(projects.Commandh1, Qt::LeftButton);
    velmora::ui::tavla& table = *registry.find<velmora::ui::tavla>();
    const QRect cell = table.MSFlexGrid1->visualRect(table.MSFlexGrid1->model()->index(0, 1));
    QTest::mouseClick(table.MSFlexGrid1->viewport(), Qt::LeftButton, {}, cell.center());
    return table;
}

INSTANTIATE_TEST_SUITE_P(Callers, DocumentWindowShows,
                         ::testing::Values(ShowCase{"submission", [](velmora::ui::WindowRegistry&) {},
                                                    "vl1.html", u"הזמנה מס 4201"_s},
                                           ShowCase{"reshow",
                                                    [](velmora::ui::WindowRegistry& r) {
                                                        QTest::mouseClick(tableWithTheOrder(r).Commandt1,
                                                                          Qt::LeftButton);
                                                    },
                                                    "vl1.html", u"הזמנה מס 4201"_s},
                                           ShowCase{"asSent",
                                                    [](velmora::ui::WindowRegistry& r) {
                                                        QTest::mouseClick(tableWithTheOrder(r).Command7,
                                                                          Qt::LeftButton);
                                                    },
                                                    "archive/000001.html", u"הזמנה מס 4201"_s}),
                         [](const auto& tc) { return std::string(tc.param.name); });

// vl1.html is rewritten in place: showing it again shows the new content, not the page the window
// already holds.
TEST_F(DocumentWindow, aReshowReplacesThePageAtTheSamePath) {
    auto& pad = openPad();
    pad.Combo2->setListIndex(1);
    click(pad);
    click(pad); // order 4202 is on show
    mismach* window = registry().find<mismach>();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(loaded(*window));

    QTest::mouseClick(tableWithTheOrder(registry()).Commandt1, Qt::LeftButton); // order 4201

    ASSERT_TRUE(loaded(*window));
    EXPECT_EQ(window->windowTitle(), u"הזמנה מס 4201"_s);
    QString text;
    window->WebBrowser1->page()->toPlainText([&](const QString& t) { text = t; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !text.isEmpty(); }, 30000));
    EXPECT_TRUE(text.contains("4201")) << text.toStdString();
    EXPECT_FALSE(text.contains("4202")) << text.toStdString();
}

// Save as PDF: the file chosen in the save dialog gets the page as PDF, its Hebrew as text in
// reading order with the fonts embedded.
TEST_F(DocumentWindow, savesThePageAsPdfWithTheHebrewInReadingOrder) {
    ASSERT_TRUE(havePoppler()) << "pdftotext, pdffonts and pdftoppm (poppler-utils) are needed";
    mismach* window = submitHebrewOrder();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(loaded(*window));
    const QString pdf = pdfPath(u"הזמנה 4201.pdf"_s);
    velmora::ui::DialogHooks::setNextFiles({pdf});
    QSignalSpy finished(window->WebBrowser1, &QWebEngineView::pdfPrintingFinished);

    QTest::mouseClick(window->Command2, Qt::LeftButton);

    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(finished.first(), QVariantList({pdf, true}));
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(velmora::ui::DialogHooks::shownFileDialogs(), QStringList{"PDF (*.pdf)"});

    // pdftotext marks the runs of each direction with embedding characters; without them a text
    // read in display order would come out backwards («הפיח תיירע»). A neutral character between
    // a Hebrew and a Latin run («א.plt») is ambiguous in any PDF text, so the values have none.
    QString text = run("pdftotext", {"-enc", "UTF-8", pdf, "-"});
    text.remove(QRegularExpression(QStringLiteral("[\\x{200E}\\x{200F}\\x{202A}-\\x{202E}]")));
    for (const QString& value :
         {u"דפוס הצפון kod042"_s, u"עיריית חיפה"_s, u"מגדל ב"_s, u"דנה לוי"_s, u"עתקות ציבוניות"_s,
          u"משרד ב"_s, u"4201"_s, u"plan-a.plt"_s, u"משרד התכנון בע''מ"_s})
        EXPECT_TRUE(text.contains(value)) << value.toStdString() << " in\n" << text.toStdString();

    // Every font in the file is embedded: a reader without Hebrew fonts shows the same page.
    const QStringList fonts = run("pdffonts", {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(fonts.isEmpty());
    for (const QString& font : fonts) {
        const QStringList columns = font.split(u' ', Qt::SkipEmptyParts);
        ASSERT_GE(columns.size(), 5) << font.toStdString();
        EXPECT_EQ(columns.at(columns.size() - 5), "yes") << "not embedded: " << font.toStdString();
    }

    // Page 1 as a picture, beside the test program, for a look: a page with printing on it.
    const QString picture = QStringLiteral(VELMORA_BINARY_DIR "/tests/ui/document-window-page1");
    run("pdftoppm", {"-png", "-r", "72", "-f", "1", "-l", "1", "-singlefile", pdf, picture});
    const QImage page(picture + ".png");
    ASSERT_FALSE(page.isNull());
    int dark = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            dark += qGray(page.pixel(x, y)) < 128;
    EXPECT_GT(dark, page.width() * page.height() / 200) << "page 1 is (almost) blank";
}

// Print: the page goes to the printer chosen in the print dialog (here a PDF file, as a test has
// no printer); a cancelled dialog prints nothing.
TEST_F(DocumentWindow, printsToThePrinterOfThePrintDialogAndNotWhenCancelled) {
    ASSERT_TRUE(havePoppler());
    mismach* window = submitHebrewOrder();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(loaded(*window));
    QSignalSpy finished(window->WebBrowser1, &QWebEngineView::printFinished);

    velmora::ui::DialogHooks::setNextPrintFile(QString());
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    EXPECT_EQ(velmora::ui::DialogHooks::shownPrintDialogs(), 1);
    EXPECT_TRUE(window->Command1->isEnabled());

    const QString printed = pdfPath("printed.pdf");
    velmora::ui::DialogHooks::setNextPrintFile(printed);
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    EXPECT_FALSE(window->Command1->isEnabled()) << "one print job at a time";
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(finished.first(), QVariantList({true}));
    EXPECT_TRUE(window->Command1->isEnabled());
    EXPECT_EQ(finished.size(), 1) << "the cancelled dialog printed nothing";
    EXPECT_TRUE(run("pdfinfo", {printed}).contains(QRegularExpression("Pages: +[1-9]")));
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
}

} // namespace
