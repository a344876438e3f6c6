#include "WindowTestData.h"

#include "ui/CaptionButton.h"
#include "ui/ProgramNames.h"
#include "ui/components/BrowserPane.h"
#include "ui/windows/Help.h"
#include "ui/windows/hipus.h"
#include "ui/windows/hipus1.h"
#include "ui/windows/hipus2.h"
#include "ui/windows/ktovot.h"
#include "ui/windows/start1.h"
#include "ui/windows/tavla.h"
#include "ui/windows/velmora.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using velmora::testing::WindowTestData;
namespace ui = velmora::ui;

namespace {

// A window's caption as the window system shows it. Qt's platform plugins (X11, Windows, macOS)
// show the window's title followed by " — " and the application's display name when the program
// has set a display name of its own that the title does not already end with. Without one of its
// own, the display name is the application name and follows it when it changes.
QString captionAsShown(const QWidget& window) {
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(name + u"-probe");
    const QString displayName = QGuiApplication::applicationDisplayName();
    const bool ownDisplayName = displayName != QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(name);
    const QString title = window.windowTitle();
    if (!ownDisplayName || title.endsWith(displayName))
        return title;
    return title + u" — " + displayName;
}

class WindowRegistryTest : public ::testing::Test {
protected:
    ui::WindowRegistry& registry() { return data.registry(); }
    WindowTestData data;
};

TEST_F(WindowRegistryTest, openingAWindowAgainBringsTheSameOneForward) {
    ui::hipus& first = registry().open<ui::hipus>();
    first.Texth1->setText("kept");
    ui::velmora& pad = registry().open<ui::velmora>();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&pad));

    ui::hipus& second = registry().open<ui::hipus>();
    EXPECT_EQ(&second, &first);
    EXPECT_TRUE(second.isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&second));
    EXPECT_EQ(second.Texth1->text(), "kept");
    EXPECT_EQ(QApplication::topLevelWidgets().count(&second), 1);
}

TEST_F(WindowRegistryTest, aClosedWindowIsDestroyedAndCreatedAfreshAtTheNextUse) {
    ui::hipus& first = registry().open<ui::hipus>();
    first.Texth1->setText("old");
    QPointer<ui::hipus> closed(&first);
    first.close();
    WindowTestData::flushDeletes();
    EXPECT_TRUE(closed.isNull());
    EXPECT_EQ(registry().find<ui::hipus>(), nullptr);

    ui::hipus& again = registry().open<ui::hipus>();
    EXPECT_TRUE(again.isVisible());
    EXPECT_EQ(again.Texth1->text(), "");
}

TEST_F(WindowRegistryTest, searchButtonsOfTheOrderPadOpenTheirWindowsOnce) {
    ui::velmora& pad = registry().open<ui::velmora>();
    pad.Command2->click();
    pad.Command9->click();
    pad.Command10->click();
    ui::hipus* shops = registry().find<ui::hipus>();
    ASSERT_NE(shops, nullptr);
    ASSERT_NE(registry().find<ui::hipus1>(), nullptr);
    ASSERT_NE(registry().find<ui::hipus2>(), nullptr);
    EXPECT_TRUE(registry().find<ui::hipus1>()->isVisible());
    EXPECT_TRUE(registry().find<ui::hipus2>()->isVisible());

    ASSERT_TRUE(QTest::qWaitForWindowActive(registry().find<ui::hipus2>()));
    pad.Command2->click();
    EXPECT_EQ(registry().find<ui::hipus>(), shops);
    EXPECT_TRUE(QTest::qWaitForWindowActive(shops));
}

// Every help button shows its page, beside the program, in the one help window.
struct HelpCase {
    std::string name;
    std::function<void(ui::WindowRegistry&)> press;
    QString page;
};

void PrintTo(const HelpCase& c, std::ostream* os) {
    *os << c.name;
}

class HelpButton : public ::testing::TestWithParam<HelpCase> {
protected:
    WindowTestData data;
};

TEST_P(HelpButton, showsItsPageInTheSharedHelpWindow) {
    ui::WindowRegistry& registry = data.registry();
    registry.open<ui::velmora>().Command11->click();
    ui::Help* help = registry.find<ui::Help>();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->WebBrowser1->lastNavigated(), QUrl::fromLocalFile(data.path("help1.htm")));

    GetParam().press(registry);
    EXPECT_EQ(registry.find<ui::Help>(), help);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(help));
    EXPECT_EQ(help->WebBrowser1->lastNavigated(), QUrl::fromLocalFile(data.path(GetParam().page)));
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, HelpButton,
    ::testing::Values(
        HelpCase{"orderPad", [](ui::WindowRegistry& r) { r.open<ui::velmora>().Command11->click(); },
                 "help1.htm"},
        HelpCase{"printShopSearch", [](ui::WindowRegistry& r) { r.open<ui::hipus>().Command1->click(); },
                 "help2.htm"},
        HelpCase{"projectSearch", [](ui::WindowRegistry& r) { r.open<ui::hipus1>().Command1->click(); },
                 "help3.htm"},
        // The account window's fixed path names the data directory's page too.
        HelpCase{"accountSearch", [](ui::WindowRegistry& r) { r.open<ui::hipus2>().Command1->click(); },
                 "help4.htm"},
        HelpCase{"previousOrders", [](ui::WindowRegistry& r) { r.open<ui::tavla>().Command5->click(); },
                 "help5.htm"}),
    [](const ::testing::TestParamInfo<HelpCase>& param) { return param.param.name; });

TEST_F(WindowRegistryTest, helpWindowClosedByTheUserComesBackAtTheNextRequest) {
    registry().showHelp(registry().helpPage(2));
    registry().find<ui::Help>()->close();
    WindowTestData::flushDeletes();
    EXPECT_EQ(registry().find<ui::Help>(), nullptr);
    registry().showHelp(registry().helpPage(3));
    ASSERT_NE(registry().find<ui::Help>(), nullptr);
    EXPECT_EQ(registry().find<ui::Help>()->WebBrowser1->lastNavigated(),
              QUrl::fromLocalFile(data.path("help3.htm")));
}

TEST_F(WindowRegistryTest, readingTheServerSelectorWithoutAStartWindowCreatesOneHidden) {
    EXPECT_EQ(registry().find<ui::start1>(), nullptr);
    EXPECT_EQ(registry().serverSelector(), "1");
    ASSERT_NE(registry().find<ui::start1>(), nullptr);
    EXPECT_FALSE(registry().find<ui::start1>()->isVisible());
}

TEST_F(WindowRegistryTest, serverSelectorIsWhatTheStartWindowsBoxHolds) {
    registry().open<ui::start1>().Text1->setText("2");
    EXPECT_EQ(registry().serverSelector(), "2");
}

TEST_F(WindowRegistryTest, startWindowShowsTheStartPageOfTheSavedAddress) {
    data.write("url00.dat", {"start.example.com/welcome", "***"});
    ui::start1& start = registry().open<ui::start1>();
    EXPECT_EQ(start.WebBrowser1->lastNavigated(), QUrl("http://start.example.com/welcome"));
    EXPECT_TRUE(start.Label1->text().contains("127.0.0.1:1 "));
    EXPECT_TRUE(start.Label1->text().contains("127.0.0.1:2"));
}

TEST_F(WindowRegistryTest, startButtonOpensTheOrderPad) {
    // Both servers refuse: the start step reports it and still opens the order pad.
    registry().open<ui::start1>().start0->click();
    EXPECT_TRUE(ui::DialogHooks::shownMessages().contains(QStringLiteral("Problems of Internet!!!")));
    ASSERT_NE(registry().find<ui::velmora>(), nullptr);
    EXPECT_TRUE(registry().find<ui::velmora>()->isVisible());
    EXPECT_TRUE(registry().find<ui::start1>()->isVisible());
}

// Named as the program names itself, a window shows its caption and nothing after it.
TEST_F(WindowRegistryTest, theWindowSystemShowsTheCaptionAlone) {
    ui::setProgramNames();
    ui::ktovot& book = registry().open<ui::ktovot>();
    EXPECT_EQ(captionAsShown(book), QStringLiteral("Form1"));
}

TEST_F(WindowRegistryTest, addressBookButtonsOpenOneBookForTheirRow) {
    ui::velmora& pad = registry().open<ui::velmora>();
    pad.Command15->click();
    ui::ktovot* book = registry().find<ui::ktovot>();
    ASSERT_NE(book, nullptr);
    EXPECT_EQ(book->Text2->text(), "4");
    EXPECT_EQ(book->windowTitle(), "Form1");
    pad.Command12->click();
    EXPECT_EQ(registry().find<ui::ktovot>(), book);
    EXPECT_EQ(book->Text2->text(), "1");
}

} // namespace
