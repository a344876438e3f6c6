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
#include <QImage>
#include <QLabel>
#include <QRect>
#include <QWebEngineSettings>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

// Where the label's picture shows something other than its background, in the label's
// coordinates.
QRect inkOf(QLabel& label) {
    const QImage image = label.grab().toImage();
    const QColor background = label.palette().color(label.backgroundRole());
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue()) >
                96)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

TEST_P(CaptionsFit, everyLabelsCaptionFitsItsBoxAndTheWindow) {
    WindowTestData data;
    QWidget& window = GetParam().open(data.registry());
    const QList<QLabel*> labels = window.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_FALSE(labels.isEmpty());
    for (QLabel* label : labels) {
        const QString caption = label->text();
        if (caption.isEmpty())
            continue;
        SCOPED_TRACE(label->objectName().toStdString() + " \"" + caption.toStdString() + "\" in " +
                     QFontInfo(label->font()).family().toStdString());
        const QFontMetricsF metrics(label->font());
        // The part of the designed box that holds the caption (all of it, but where the box runs
        // past the window's edge).
        const QRect box = label->contentsRect().translated(label->pos());
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
        // The caption stands at the edge where its reading starts, all of it inside the window.
        const bool hebrew = caption.isRightToLeft();
        const qreal left = hebrew ? box.right() + 1 - laidOut.width() : box.left();
        EXPECT_GE(left, 0) << "cut at the window's left edge";
        EXPECT_LE(left + laidOut.width(), window.width()) << "cut at the window's right edge";
        // And as painted: the caption's ink keeps clear of the window's edges (a letter at the
        // very edge reads as cut off).
        const QRect ink = inkOf(*label).translated(label->pos());
        ASSERT_FALSE(ink.isEmpty()) << "nothing painted";
        EXPECT_GE(ink.left(), 2) << "touches the window's left edge";
        EXPECT_LE(ink.right(), window.width() - 3) << "touches the window's right edge";
        // No other control covers any of it.
        for (const QWidget* other : window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (other != label && other->isVisible()) {
                EXPECT_FALSE(other->geometry().intersects(ink))
                    << "covered by " << other->objectName().toStdString();
            }
        }
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
