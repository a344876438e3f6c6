#include "WindowTestData.h"

#include "ui/FormBuilder.h"
#include "ui/components/BrowserPane.h"
#include "ui/windows/hipus.h"
#include "ui/windows/hipus1.h"
#include "ui/windows/hipus2.h"
#include "ui/windows/start1.h"
#include "ui/windows/tavla.h"
#include "ui/windows/velmora.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QWebEngineSettings>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using velmora::testing::WindowTestData;
namespace ui = velmora::ui;

namespace {

// ---- Every caption fits the box it was designed for, in the font the window really uses.

struct WindowCase {
    std::string name;
    std::function<QWidget&(ui::WindowRegistry&)> open;
};

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.name;
}

class CaptionsFit : public ::testing::TestWithParam<WindowCase> {};

TEST_P(CaptionsFit, everyLabelsCaptionFitsItsBoxAndTheWindow) {
    WindowTestData data;
    QWidget& window = GetParam().open(data.registry());
    const QList<QLabel*> labels = window.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_FALSE(labels.isEmpty());
    for (const QLabel* label : labels) {
        const QString caption = label->text();
        if (caption.isEmpty())
            continue;
        SCOPED_TRACE(label->objectName().toStdString() + " \"" + caption.toStdString() + "\" in " +
                     QFontInfo(label->font()).family().toStdString());
        const QFontMetricsF metrics(label->font());
        const QRect box = label->geometry();
        // A box tall enough for two lines wraps its caption at blanks; every line must fit its
        // width, and the lines its height. A lower box holds one line.
        const bool wraps = label->wordWrap() && box.height() >= 2 * metrics.height();
        const QRectF laidOut = wraps ? metrics.boundingRect(QRectF(0, 0, box.width(), 10000),
                                                            Qt::AlignLeft | Qt::TextWordWrap, caption)
                                     : QRectF(0, 0, metrics.horizontalAdvance(caption), metrics.height());
        EXPECT_LE(laidOut.width(), box.width()) << "wider than its box";
        if (wraps) {
            EXPECT_LE(laidOut.height(), box.height()) << "more lines than its box holds";
        }
        // The caption starts at the box's left edge; all of it stands inside the window, also
        // where the box itself runs past the window's edge.
        EXPECT_GE(box.left(), 0);
        EXPECT_LE(box.left() + laidOut.width(), window.width()) << "cut at the window's right edge";
    }
}

template <typename W> WindowCase windowCase(const char* name) {
    return {name, [](ui::WindowRegistry& r) -> QWidget& {
                return r.open<W>();
            }};
}

INSTANTIATE_TEST_SUITE_P(Windows, CaptionsFit,
                         ::testing::Values(windowCase<ui::start1>("start1"),
                                           windowCase<ui::velmora>("velmora"), windowCase<ui::hipus>("hipus"),
                                           windowCase<ui::hipus1>("hipus1"), windowCase<ui::hipus2>("hipus2"),
                                           windowCase<ui::tavla>("tavla")),
                         [](const ::testing::TestParamInfo<WindowCase>& p) { return p.param.name; });

// The fonts are sized in the design's pixels, like the geometry, so the fit above holds on a
// screen of any density.
TEST(DesignFont, sizesArePixelsOfTheDesign) {
    for (const auto& [spec, pixels] : {std::pair{ui::kPt8, 11}, {ui::kPt9, 13}, {ui::kPt12Underline, 16}}) {
        const QFont font = ui::designFont(spec);
        EXPECT_EQ(font.pixelSize(), pixels) << spec.points;
        EXPECT_EQ(QFontInfo(font).pixelSize(), pixels) << spec.points;
    }
}

// ---- The e-mail pane reads in the order pad's font.

TEST(EmailPane, pagesWithoutFontsOfTheirOwnUseThePanesDesignedFont) {
    WindowTestData data;
    ui::velmora& pad = data.registry().open<ui::velmora>();
    const QFontInfo windowFont(pad.font());
    const QFontInfo paneFont(pad.WebBrowser1->font());
    QWebEngineSettings* settings = pad.WebBrowser1->settings();
    EXPECT_EQ(settings->fontFamily(QWebEngineSettings::StandardFont), windowFont.family());
    EXPECT_EQ(settings->fontFamily(QWebEngineSettings::SansSerifFont), windowFont.family());
    EXPECT_EQ(settings->fontSize(QWebEngineSettings::DefaultFontSize), paneFont.pixelSize());
    EXPECT_EQ(paneFont.pixelSize(), 11);
}

} // namespace
