#include "ui/components/TextDirection.h"
#include "ui/components/EditCombo.h"
#include "ui/components/FlexGrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using velmora::ui::EditCombo;
using velmora::ui::FlexGrid;

namespace {

// Long enough that none of them fits a box of the test's width.
const QString kHebrewShop = u"דפוס הצפון - שד' הנשיא 12 חיפה kod042"_s;
const QString kStatusLine = u"מספר של  "_s + kHebrewShop;
const QString kLatinShop = u"Print House Tel-Aviv - 5 Rothschild Blvd kod012"_s;

// A text box and a list beside each other in a shown window, each narrower than the texts, as
// the order pad's print-shop list and status line are.
struct BoxWindow {
    BoxWindow() {
        window.resize(400, 80);
        box = new QLineEdit(&window);
        box->setGeometry(10, 10, 140, 24);
        velmora::ui::showProgramTextFromStart(box);
        list = new EditCombo(&window);
        list->setGeometry(170, 10, 160, 24);
        window.show();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&window);
    }

    QWidget window;
    QLineEdit* box;
    EditCombo* list;
};

// The x of the text cursor at a position, in the box's own coordinates, with the box painted
// (and so scrolled) as it stands; the cursor is put back afterwards.
int cursorX(QLineEdit* box, int position) {
    const int kept = box->cursorPosition();
    box->setCursorPosition(position);
    box->grab();
    const int x = box->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    box->setCursorPosition(kept);
    box->grab();
    return x;
}

// Typing as the keyboard does it, one character at a time (QTest::keyClicks takes only Latin-1).
void typeInto(QWidget* widget, const QString& text) {
    widget->setFocus();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// ---- A text the program puts into a box shows from its start.

struct ProgramTextCase {
    std::string name;
    QString text;
    // Puts the text in and returns the edit line that shows it.
    std::function<QLineEdit*(BoxWindow&, const QString&)> put;
};

void PrintTo(const ProgramTextCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramText : public ::testing::TestWithParam<ProgramTextCase> {};

TEST_P(ProgramText, showsFromItsStart) {
    BoxWindow w;
    const QString& text = GetParam().text;
    QLineEdit* line = GetParam().put(w, text);
    ASSERT_EQ(line->text(), text);
    EXPECT_EQ(line->cursorPosition(), 0);

    // The start of the text is in view, at the edge where the text begins: the right edge for a
    // Hebrew text, the left edge for a Latin one. (Before, the end stood there.)
    const QRect shown = line->contentsRect();
    const int start = cursorX(line, 0);
    EXPECT_TRUE(shown.contains(start, shown.center().y())) << "start at x " << start;
    if (text.isRightToLeft()) {
        EXPECT_GT(start, shown.center().x()) << "a Hebrew text starts at the right";
    } else {
        EXPECT_LT(start, shown.center().x()) << "a Latin text starts at the left";
    }
    // The box shows the text as it would show a text the user has just moved to the start of:
    // the same pixels.
    const QImage asShown = line->grab().toImage();
    line->setCursorPosition(static_cast<int>(text.size()));
    line->grab();
    line->home(false);
    EXPECT_EQ(line->grab().toImage(), asShown);
}

INSTANTIATE_TEST_SUITE_P(BoxesAndLists, ProgramText,
                         ::testing::Values(ProgramTextCase{"hebrewStatusLine", kStatusLine,
                                                           [](BoxWindow& w, const QString& entry) {
                                                               w.box->setText(entry);
                                                               return w.box;
                                                           }},
                                           ProgramTextCase{"latinTextBox", kLatinShop,
                                                           [](BoxWindow& w, const QString& entry) {
                                                               w.box->setText(entry);
                                                               return w.box;
                                                           }},
                                           ProgramTextCase{"hebrewReplacesTypedText", kHebrewShop,
                                                           [](BoxWindow& w, const QString& entry) {
                                                               typeInto(w.box, u"abc"_s);
                                                               w.box->setText(entry);
                                                               return w.box;
                                                           }},
                                           ProgramTextCase{"hebrewEntryChosenByTheProgram", kHebrewShop,
                                                           [](BoxWindow& w, const QString& entry) {
                                                               w.list->AddItem(u"Print House kod012"_s);
                                                               w.list->AddItem(entry);
                                                               w.list->setListIndex(1);
                                                               return w.list->lineEdit();
                                                           }},
                                           ProgramTextCase{"hebrewEntryChosenWithTheKeyboard", kHebrewShop,
                                                           [](BoxWindow& w, const QString& entry) {
                                                               w.list->AddItem(u"Print House kod012"_s);
                                                               w.list->AddItem(entry);
                                                               w.list->setListIndex(0);
                                                               w.list->setFocus();
                                                               QTest::keyClick(w.list, Qt::Key_Down);
                                                               return w.list->lineEdit();
                                                           }},
                                           ProgramTextCase{"hebrewTextSetIntoAList", kHebrewShop,
                                                           [](BoxWindow& w, const QString& entry) {
                                                               w.list->setText(entry);
                                                               return w.list->lineEdit();
                                                           }},
                                           ProgramTextCase{"latinEntryChosenByTheProgram", kLatinShop,
                                                           [](BoxWindow& w, const QString& entry) {
                                                               w.list->AddItem(entry);
                                                               w.list->setListIndex(0);
                                                               return w.list->lineEdit();
                                                           }}),
                         [](const ::testing::TestParamInfo<ProgramTextCase>& p) { return p.param.name; });

// ---- Typed text stays where the keys put it and reads in its own direction.

struct TypedCase {
    std::string name;
    QString text;
    bool rightToLeft;
};

void PrintTo(const TypedCase& c, std::ostream* os) {
    *os << c.name;
}

class TypedText : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedText, readsInItsOwnDirectionAndKeepsTheCursorAtTheTypingPoint) {
    BoxWindow w;
    for (QLineEdit* line : {w.box, w.list->lineEdit()}) {
        SCOPED_TRACE(line == w.box ? "text box" : "list");
        typeInto(line, GetParam().text);
        ASSERT_EQ(line->text(), GetParam().text);
        EXPECT_EQ(line->cursorPosition(), GetParam().text.size()) << "the cursor stays after the typed text";

        const QRect shown = line->contentsRect();
        const int start = cursorX(line, 0);
        const int end = cursorX(line, static_cast<int>(GetParam().text.size()));
        if (GetParam().rightToLeft) {
            EXPECT_GT(start, end) << "right to left";
            EXPECT_GT(start, shown.right() - 8) << "right-aligned";
        } else {
            EXPECT_LT(start, end) << "left to right";
            EXPECT_LT(start, shown.left() + 8) << "left-aligned";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FirstLetterDecides, TypedText,
                         ::testing::Values(TypedCase{"hebrew", u"מגדל צפון"_s, true},
                                           TypedCase{"hebrewFirstWithLatin", u"מגדל A-7"_s, true},
                                           TypedCase{"latin", u"Tower A"_s, false},
                                           TypedCase{"latinFirstWithHebrew", u"Site צפון"_s, false},
                                           TypedCase{"telephone", u"03-5551234"_s, false}),
                         [](const ::testing::TestParamInfo<TypedCase>& p) { return p.param.name; });

// ---- Mixed Hebrew, Latin and digits in a Hebrew reader's order.

// Positions inside the parts of a text, in reading order: each part must stand left of the one
// before it in a right-to-left text, right of it in a left-to-right one.
struct OrderCase {
    std::string name;
    QString text;
    std::vector<int> partsInReadingOrder;
    bool rightToLeft;
};

void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << c.name;
}

class MixedText : public ::testing::TestWithParam<OrderCase> {};

TEST_P(MixedText, partsStandInReadingOrder) {
    BoxWindow w;
    w.window.resize(900, 80);
    w.box->resize(400, 24); // the whole text in view
    w.list->AddItem(GetParam().text);
    w.list->resize(420, 24);
    w.list->setListIndex(0);
    w.box->setText(GetParam().text);
    for (QLineEdit* line : {w.box, w.list->lineEdit()}) {
        SCOPED_TRACE(line == w.box ? "text box" : "list");
        std::vector<int> xs;
        for (const int position : GetParam().partsInReadingOrder)
            xs.push_back(cursorX(line, position));
        for (size_t i = 1; i < xs.size(); ++i) {
            if (GetParam().rightToLeft) {
                EXPECT_LT(xs[i], xs[i - 1]) << "part " << i << " stands left of the part before";
            } else {
                EXPECT_GT(xs[i], xs[i - 1]) << "part " << i << " stands right of the part before";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HebrewLatinDigits, MixedText,
                         ::testing::Values(
                             // מג|דל, A|-7, צפ|ון
                             OrderCase{"project", u"מגדל A-7 צפון"_s, {2, 6, 11}, true},
                             // דפ|וס, 1|2, חי|פה, ko|d042: the shop code ends the entry, at its left
                             OrderCase{"shopEntry", kHebrewShop, {2, 24, 28, 33}, true},
                             // מס|פר, הצ|פון, ko|d042
                             OrderCase{"statusLine", kStatusLine, {2, 16, 42}, true},
                             // Si|te, A|-7, צפ|ון
                             OrderCase{"latinFirst", u"Site A-7 צפון"_s, {2, 6, 11}, false}),
                         [](const ::testing::TestParamInfo<OrderCase>& p) { return p.param.name; });

// ---- Grid cells read in their own direction too.

// The ink of a grid cell as runs of columns, words apart where a blank stands.
std::vector<std::pair<int, int>> inkRuns(const QImage& image) {
    std::vector<std::pair<int, int>> runs;
    int gap = 99;
    for (int x = 0; x < image.width(); ++x) {
        bool ink = false;
        for (int y = 0; y < image.height() && !ink; ++y)
            ink = qGray(image.pixel(x, y)) < 128;
        if (!ink) {
            ++gap;
            continue;
        }
        if (gap >= 3 || runs.empty())
            runs.emplace_back(x, x);
        else
            runs.back().second = x;
        gap = 0;
    }
    return runs;
}

// A long first word and a short last one: their places tell the reading direction.
const QString kHebrewItem = u"מגדלורים A-7 צ"_s;
const QString kLatinItem = u"Towers A-7 B"_s;

// The pictures of an item of each kind, as a view draws them.
void expectReadingOrder(const QImage& hebrewItem, const QImage& latinItem) {
    const auto width = [](const std::pair<int, int>& run) {
        return run.second - run.first;
    };
    const auto hebrewRuns = inkRuns(hebrewItem);
    ASSERT_GE(hebrewRuns.size(), 3u);
    EXPECT_LT(width(hebrewRuns.front()), width(hebrewRuns.back()))
        << "the first (long) word stands at the right, the last (short) one at the left";
    EXPECT_GT(hebrewRuns.back().second, hebrewItem.width() / 2) << "right-aligned";

    const auto latinRuns = inkRuns(latinItem);
    ASSERT_GE(latinRuns.size(), 3u);
    EXPECT_GT(width(latinRuns.front()), width(latinRuns.back()));
    EXPECT_LT(latinRuns.front().first, latinItem.width() / 2) << "left-aligned";
}

QImage itemPicture(QAbstractItemView& view, int row, int column) {
    const QModelIndex index = view.model()->index(row, column);
    view.selectionModel()->clearSelection();
    return view.viewport()->grab(view.visualRect(index).adjusted(1, 1, -1, -1)).toImage();
}

TEST(ReadingDirection, gridCellsReadInTheirOwnDirection) {
    QWidget window;
    window.resize(500, 200);
    FlexGrid grid(&window);
    grid.setGeometry(0, 0, 500, 200);
    grid.setShowGrid(false);
    grid.setCols(2);
    grid.setColumnWidth(1, 300);
    grid.AddItem(u"1\t"_s + kHebrewItem);
    grid.AddItem(u"2\t"_s + kLatinItem);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    expectReadingOrder(itemPicture(grid, 0, 1), itemPicture(grid, 1, 1));
}

TEST(ReadingDirection, theEntriesOfADropDownReadInTheirOwnDirection) {
    QWidget window;
    window.resize(400, 100);
    EditCombo list(&window);
    list.setGeometry(10, 10, 300, 24);
    list.AddItem(kHebrewItem);
    list.AddItem(kLatinItem);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    list.showPopup();
    QAbstractItemView* view = list.view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    view->setCurrentIndex({});
    expectReadingOrder(itemPicture(*view, 0, 0), itemPicture(*view, 1, 0));
    list.hidePopup();
}

} // namespace
