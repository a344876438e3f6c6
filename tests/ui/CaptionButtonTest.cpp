// How button captions wrap: the line breaking on its own with a width of one unit per character,
// and the captions of every window's buttons at their real fonts and sizes.
#include "WindowTestData.h"

#include "ui/CaptionButton.h"
#include "ui/windows/hipus.h"
#include "ui/windows/hipus1.h"
#include "ui/windows/hipus2.h"
#include "ui/windows/ktovot.h"
#include "ui/windows/start1.h"
#include "ui/windows/tavla.h"
#include "ui/windows/velmora.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using velmora::testing::WindowTestData;
using velmora::ui::CaptionButton;
using velmora::ui::wrapCaption;
namespace ui = velmora::ui;
using namespace Qt::Literals::StringLiterals;

namespace {

// Empty when the lines give back the caption in order, each one ending after a blank (the blanks
// between two lines are dropped) or after a punctuation mark; otherwise what is wrong.
std::string breakFault(const QString& caption, const QStringList& lines) {
    qsizetype at = 0;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        const QString& line = lines.at(k);
        if (line.isEmpty() || !QStringView(caption).sliced(at).startsWith(line))
            return "line \"" + line.toStdString() + "\" is not the caption's next text";
        at += line.size();
        const qsizetype wordEnd = at;
        while (at < caption.size() && caption.at(at) == u' ')
            ++at;
        if (k + 1 < lines.size() && at == wordEnd && !line.back().isPunct())
            return "line \"" + line.toStdString() + "\" ends inside a word";
    }
    if (at != caption.size())
        return "the lines leave out \"" + caption.sliced(at).toStdString() + '"';
    return {};
}

qreal oneUnitPerCharacter(const QString& text) {
    return static_cast<qreal>(text.size());
}

struct WrapCase {
    std::string name;
    QString caption;
    qreal width;
    QStringList lines;
};

void PrintTo(const WrapCase& c, std::ostream* os) {
    *os << c.name;
}

class CaptionWrapping : public ::testing::TestWithParam<WrapCase> {};

TEST_P(CaptionWrapping, breaksWhereAReaderExpects) {
    const WrapCase& c = GetParam();
    EXPECT_EQ(wrapCaption(c.caption, c.width, oneUnitPerCharacter), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptionWrapping,
    ::testing::Values(
        WrapCase{"fitsOnOneLine", u" חפש הזמנות"_s, 11, {u" חפש הזמנות"_s}},
        WrapCase{"blanksBetweenLinesAreDropped", u"מידה  על מכוני"_s, 8, {u"מידה  על"_s, u"מכוני"_s}},
        WrapCase{"afterAColonBetweenWords", u"העתקות:פקס"_s, 8, {u"העתקות:"_s, u"פקס"_s}},
        // The comma after the blank closes "טלפון": the line ends after it, not before it.
        WrapCase{
            "commaStaysWithTheWordBeforeIt", u"פקס,טלפון ,מודם"_s, 10, {u"פקס,"_s, u"טלפון ,"_s, u"מודם"_s}},
        WrapCase{"afterAHyphen", u"שחור-לבן"_s, 6, {u"שחור-"_s, u"לבן"_s}},
        WrapCase{"notInsideANumber", u"Tel 03-5551234"_s, 10, {u"Tel"_s, u"03-5551234"_s}},
        WrapCase{"asMuchAsFitsOnEachLine", u"Show, print and save"_s, 12, {u"Show, print"_s, u"and save"_s}},
        WrapCase{"afterLeadingMarks", u"..חיפוש"_s, 5, {u".."_s, u"חיפוש"_s}},
        // Only a word wider than the box itself is broken inside it, rather than cut off.
        WrapCase{"wordWiderThanTheBox", u"Browse.."_s, 4, {u"Brow"_s, u"se.."_s}}),
    [](const ::testing::TestParamInfo<WrapCase>& p) { return p.param.name; });

// The tall button beside the file rows of the order pad, at its real font and size: its caption
// takes several lines, and "העתקות:פקס" and "פקס,טלפון" are not broken inside a word.
TEST(CaptionButtons, theOrderPadsPrintShopButtonBreaksOnlyAfterBlanksAndMarks) {
    WindowTestData data;
    const CaptionButton* button = data.registry().open<ui::velmora>().Command3;
    const QStringList lines = button->captionLines();
    EXPECT_GT(lines.size(), 2) << lines.join(u'|').toStdString();
    EXPECT_EQ(breakFault(button->text(), lines), "") << lines.join(u'|').toStdString();
}

// Every button of every window: a caption that takes several lines breaks only after blanks and
// punctuation marks.
struct WindowCase {
    std::string name;
    std::function<QWidget*(ui::WindowRegistry&)> open;
};

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowButtons : public ::testing::TestWithParam<WindowCase> {
protected:
    WindowTestData data;
};

TEST_P(WindowButtons, wrapOnlyAfterBlanksAndMarks) {
    const QWidget* window = GetParam().open(data.registry());
    const QList<CaptionButton*> buttons = window->findChildren<CaptionButton*>();
    ASSERT_FALSE(buttons.isEmpty());
    for (const CaptionButton* button : buttons) {
        const QStringList lines = button->captionLines();
        EXPECT_EQ(breakFault(button->text(), lines), "")
            << button->objectName().toStdString() << ": " << lines.join(u'|').toStdString();
    }
}

template <typename W> WindowCase windowCase(const char* name) {
    return {name, [](ui::WindowRegistry& registry) -> QWidget* {
                return &registry.open<W>();
            }};
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowButtons,
                         ::testing::Values(windowCase<ui::start1>("start1"),
                                           windowCase<ui::velmora>("velmora"), windowCase<ui::hipus>("hipus"),
                                           windowCase<ui::hipus1>("hipus1"), windowCase<ui::hipus2>("hipus2"),
                                           windowCase<ui::tavla>("tavla"), windowCase<ui::ktovot>("ktovot")),
                         [](const ::testing::TestParamInfo<WindowCase>& p) { return p.param.name; });

} // namespace
