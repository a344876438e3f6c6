#include "ui/components/FlexGrid.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

using velmora::ui::FlexGrid;

// Texts in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

QStringList column(const FlexGrid& grid, int col) {
    QStringList texts;
    for (int r = 1; r < grid.Rows(); ++r)
        texts << grid.TextMatrix(r, col);
    return texts;
}

// The model index of a cell, counted as the callers count (row 1 is the first data row).
QModelIndex cellIndex(const FlexGrid& grid, int row, int col) {
    return grid.model()->index(row - 1, col);
}

QPoint cellCentre(const FlexGrid& grid, int row, int col) {
    return grid.visualRect(cellIndex(grid, row, col)).center();
}

// A grid as the previous-orders table builds it: a heading row, then one row per order.
class OrdersGrid : public ::testing::Test {
protected:
    void SetUp() override {
        grid.setCols(4);
        grid.setTextMatrix(0, 0, "");
        grid.setTextMatrix(0, 1, QString::fromUtf8("מספר"));
        grid.setTextMatrix(0, 2, QString::fromUtf8("תאריך"));
        grid.setTextMatrix(0, 3, QString::fromUtf8("קוד"));
        grid.AddItem(" \t 99\t05-12-03\t 1");
        grid.AddItem(" \t 123\t20-01-03\t 2");
        grid.AddItem(" \t 7\t05-03-04\t 3");
    }
    FlexGrid grid;
};

TEST_F(OrdersGrid, addItemFillsTheCellsInColumnOrder) {
    EXPECT_EQ(grid.Rows(), 4);
    EXPECT_EQ(grid.TextMatrix(2, 0), " ");
    EXPECT_EQ(grid.TextMatrix(2, 1), " 123");
    EXPECT_EQ(grid.TextMatrix(2, 2), "20-01-03");
    EXPECT_EQ(grid.TextMatrix(2, 3), " 2");
    grid.AddItem("x\ty");             // fewer parts: the rest stays empty
    grid.AddItem("a\tb\tc\td\te\tf"); // more parts than columns: dropped
    EXPECT_EQ(column(grid, 1), (QStringList{" 99", " 123", " 7", "y", "b"}));
    EXPECT_EQ(grid.TextMatrix(4, 3), "");
    EXPECT_EQ(grid.TextMatrix(5, 3), "d");
    EXPECT_EQ(grid.Cols(), 4);
}

TEST_F(OrdersGrid, sortingMovesWholeRowsAndLeavesTheHeadingInPlace) {
    grid.setCol(1);
    grid.setSort(FlexGrid::SortDescending);
    EXPECT_EQ(column(grid, 1), (QStringList{" 123", " 99", " 7"}));
    EXPECT_EQ(column(grid, 3), (QStringList{" 2", " 1", " 3"}));
    EXPECT_EQ(column(grid, 2), (QStringList{"20-01-03", "05-12-03", "05-03-04"}));
    EXPECT_EQ(grid.TextMatrix(0, 1), QString::fromUtf8("מספר"));
    EXPECT_EQ(grid.TextMatrix(0, 3), QString::fromUtf8("קוד"));
    EXPECT_EQ(grid.Rows(), 4);

    grid.setCol(2);
    grid.setSort(FlexGrid::SortAscending);
    EXPECT_EQ(column(grid, 2), (QStringList{"05-03-04", "05-12-03", "20-01-03"}));
    EXPECT_EQ(column(grid, 3), (QStringList{" 3", " 1", " 2"}));
}

TEST_F(OrdersGrid, otherSortValuesChangeNothing) {
    grid.setCol(1);
    for (int order : {0, 3, 7, -1})
        grid.setSort(order);
    EXPECT_EQ(column(grid, 1), (QStringList{" 99", " 123", " 7"}));
}

TEST_F(OrdersGrid, clearEmptiesEveryCellButKeepsTheShape) {
    grid.Clear();
    EXPECT_EQ(grid.Rows(), 4);
    EXPECT_EQ(grid.Cols(), 4);
    for (int r = 0; r < grid.Rows(); ++r)
        for (int c = 0; c < grid.Cols(); ++c)
            EXPECT_EQ(grid.TextMatrix(r, c), "") << r << "," << c;
}

TEST_F(OrdersGrid, rowsOneLeavesOnlyTheHeading) {
    grid.setRow(2);
    grid.setRows(1);
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_EQ(grid.Row(), 0);
    EXPECT_EQ(grid.TextMatrix(0, 2), QString::fromUtf8("תאריך"));
    grid.AddItem(" \t 5");
    EXPECT_EQ(grid.TextMatrix(1, 1), " 5");
    EXPECT_EQ(grid.TextMatrix(1, 2), "");
}

TEST_F(OrdersGrid, aSortedGridKeepsItsOrderThroughChangesOfShape) {
    grid.setCol(1);
    grid.setSort(FlexGrid::SortAscending); // 7, 99, 123
    grid.setCols(5);
    EXPECT_EQ(column(grid, 1), (QStringList{" 7", " 99", " 123"}));
    EXPECT_EQ(column(grid, 3), (QStringList{" 3", " 1", " 2"}));
    EXPECT_EQ(column(grid, 4), (QStringList{"", "", ""}));
    grid.setSort(FlexGrid::SortDescending); // 123, 99, 7
    grid.setRows(3);
    EXPECT_EQ(column(grid, 1), (QStringList{" 123", " 99"}));
    EXPECT_EQ(column(grid, 2), (QStringList{"20-01-03", "05-12-03"}));
    grid.AddItem(" \t 5\t01-01-01\t 4");
    grid.setTextMatrix(1, 3, "changed");
    EXPECT_EQ(column(grid, 3), (QStringList{"changed", " 1", " 4"}));
}

TEST_F(OrdersGrid, cellsOutsideTheGridReadEmptyAndIgnoreWrites) {
    grid.setTextMatrix(9, 1, "x");
    grid.setTextMatrix(1, 9, "x");
    grid.setTextMatrix(-1, 1, "x");
    EXPECT_EQ(grid.TextMatrix(9, 1), "");
    EXPECT_EQ(grid.TextMatrix(1, -1), "");
    EXPECT_EQ(grid.Rows(), 4);
}

TEST_F(OrdersGrid, theUserChoosesRowsByClickingAndDoubleClicking) {
    grid.resize(400, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    EXPECT_EQ(grid.Row(), 0); // nothing chosen yet
    QSignalSpy doubleClicks(&grid, &FlexGrid::DblClick);

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellCentre(grid, 3, 2));
    EXPECT_EQ(grid.Row(), 3);
    // The fixed column chooses its row too.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellCentre(grid, 2, 0));
    EXPECT_EQ(grid.Row(), 2);

    const QPoint first = cellCentre(grid, 1, 1);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, first);
    EXPECT_EQ(doubleClicks.count(), 1);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_TRUE(grid.viewport()->findChildren<QLineEdit*>().isEmpty()); // no cell editor opened

    // A sort keeps the chosen position; the row there is now another order.
    grid.setCol(1);
    grid.setSort(FlexGrid::SortDescending);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.TextMatrix(grid.Row(), 3), " 2");
    EXPECT_EQ(grid.currentIndex().row(), 0); // and the view shows the same position

    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(grid.Row(), 2);
}

TEST_F(OrdersGrid, noCellCanBeEditedAndTheFixedColumnIsNotSelectable) {
    for (int r = 1; r < grid.Rows(); ++r)
        for (int c = 0; c < grid.Cols(); ++c) {
            const Qt::ItemFlags flags = grid.model()->flags(cellIndex(grid, r, c));
            EXPECT_FALSE(flags & Qt::ItemIsEditable);
            EXPECT_EQ(bool(flags & Qt::ItemIsSelectable), c != 0);
        }
    EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(OrdersGrid, theFixedColumnIsDrawnLikeAHeading) {
    const auto brush = [&](int col, Qt::ItemDataRole role) {
        return grid.model()->data(cellIndex(grid, 2, col), role).value<QBrush>();
    };
    EXPECT_EQ(brush(0, Qt::BackgroundRole), grid.palette().button());
    EXPECT_EQ(brush(0, Qt::ForegroundRole), grid.palette().buttonText());
    EXPECT_EQ(brush(1, Qt::BackgroundRole).style(), Qt::NoBrush);

    QPalette palette = grid.palette();
    palette.setColor(QPalette::Button, Qt::darkCyan);
    grid.setPalette(palette);
    EXPECT_EQ(brush(0, Qt::BackgroundRole).color(), QColor(Qt::darkCyan));
}

TEST(FlexGrid, columnWidthsAreGivenInTwips) {
    FlexGrid grid;
    grid.setCols(2);
    grid.setColWidth(0, 500);
    grid.setColWidth(1, 8000);
    EXPECT_EQ(grid.columnWidth(0), 33);
    EXPECT_EQ(grid.columnWidth(1), 533);
    EXPECT_EQ(grid.ColWidth(1), 7995);
}

TEST(FlexGrid, aGridWithOnlyItsHeadingSortsToNothing) {
    FlexGrid grid;
    grid.setTextMatrix(0, 1, "h");
    grid.setCol(1);
    grid.setSort(FlexGrid::SortDescending);
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_EQ(grid.TextMatrix(0, 1), "h");
}

// ---- Appending rows ----

TEST_F(OrdersGrid, addRowsAppendsAllItsRowsInOneInsertion) {
    grid.setRow(2);
    QSignalSpy inserted(grid.model(), &QAbstractItemModel::rowsInserted);
    grid.AddRows({{" ", " 8"}, {" ", " 9", "01-01-05", " 4"}, {}});
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 3); // first and last model row: after the three there were
    EXPECT_EQ(inserted[0][2].toInt(), 5);
    EXPECT_EQ(grid.Rows(), 7);
    EXPECT_EQ(column(grid, 1), (QStringList{" 99", " 123", " 7", " 8", " 9", ""}));
    EXPECT_EQ(column(grid, 2), (QStringList{"05-12-03", "20-01-03", "05-03-04", "", "01-01-05", ""}));
    EXPECT_EQ(grid.Row(), 2); // the chosen row stays chosen

    grid.AddRows({});
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(grid.Rows(), 7);
}

TEST_F(OrdersGrid, addRowCellsMovesRowsGivenCellAfterCellInOneInsertion) {
    QSignalSpy inserted(grid.model(), &QAbstractItemModel::rowsInserted);
    // Two whole rows of four cells and a short third one.
    std::vector<QString> cells{" ", " 8", "01-01-05", " 4", " ", " 100", "02-01-05", " 5", " ", " 9"};
    grid.AddRowCells(std::move(cells));
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(grid.Rows(), 7);
    EXPECT_EQ(column(grid, 1), (QStringList{" 99", " 123", " 7", " 8", " 100", " 9"}));
    EXPECT_EQ(column(grid, 3), (QStringList{" 1", " 2", " 3", " 4", " 5", ""}));
    grid.setCol(1);
    grid.setSort(FlexGrid::SortDescending);
    EXPECT_EQ(column(grid, 3), (QStringList{" 2", " 5", " 1", "", " 4", " 3"}));

    grid.AddRowCells({});
    EXPECT_EQ(inserted.count(), 1);
}

// A row's parts and the cells they fill in a grid of four columns.
struct RowPartsCase {
    std::string name;
    QStringList parts;
    QStringList cells;
};

void PrintTo(const RowPartsCase& c, std::ostream* os) {
    *os << c.name;
}

class RowParts : public ::testing::TestWithParam<RowPartsCase> {
protected:
    void SetUp() override {
        grid.setCols(4);
        grid.AddItem("first\trow");
    }
    QStringList lastRow() const {
        QStringList cells;
        for (int c = 0; c < grid.Cols(); ++c)
            cells << grid.TextMatrix(grid.Rows() - 1, c);
        return cells;
    }
    FlexGrid grid;
};

TEST_P(RowParts, addRowsFillsTheColumnsInOrder) {
    grid.AddRows({GetParam().parts});
    EXPECT_EQ(grid.Rows(), 3);
    EXPECT_EQ(lastRow(), GetParam().cells);
}

// AddItem takes the same parts joined by TABs.
TEST_P(RowParts, addItemFollowsTheSameRules) {
    grid.AddItem(GetParam().parts.join(QLatin1Char('\t')));
    EXPECT_EQ(grid.Rows(), 3);
    EXPECT_EQ(lastRow(), GetParam().cells);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RowParts,
    ::testing::Values(RowPartsCase{"onePartPerColumn",
                                   {" ", " 12345", "05-03-04", QString::fromUtf8("דפוס כהן kod012")},
                                   {" ", " 12345", "05-03-04", QString::fromUtf8("דפוס כהן kod012")}},
                      RowPartsCase{"missingPartsStayEmpty", {" ", " 12"}, {" ", " 12", "", ""}},
                      RowPartsCase{"emptyPartsKeepTheirColumns", {"", "", "x"}, {"", "", "x", ""}},
                      RowPartsCase{"partsBeyondTheLastColumnAreDropped",
                                   {"a", "b", "c", "d", "e", "f"},
                                   {"a", "b", "c", "d"}},
                      RowPartsCase{"noPartsGiveAnEmptyRow", {}, {"", "", "", ""}}),
    [](const ::testing::TestParamInfo<RowPartsCase>& p) { return p.param.name; });

// ---- The keyboard ----

// A grid taller than its window, shown, so that a page is fewer rows than the grid has.
class ShownGrid : public ::testing::Test {
protected:
    void SetUp() override {
        grid.setCols(3);
        for (int i = 1; i <= kRows; ++i)
            grid.AddItem(" \t" + QString::number(i) + "\tx");
        grid.resize(300, 200);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
    // The rows one Page Up or Page Down moves.
    int page() const { return grid.viewport()->height() / grid.rowHeight(0); }

    static constexpr int kRows = 100;
    FlexGrid grid;
};

struct KeyMoveCase {
    std::string name;
    int from; // the row chosen before the key, 0 for none
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int to;        // the row chosen after it ...
    int pages = 0; // ... give or take this many pages
};

void PrintTo(const KeyMoveCase& c, std::ostream* os) {
    *os << c.name;
}

class KeyMove : public ShownGrid, public ::testing::WithParamInterface<KeyMoveCase> {};

TEST_P(KeyMove, movesTheChosenRow) {
    const KeyMoveCase& c = GetParam();
    grid.setRow(c.from);
    QTest::keyClick(&grid, c.key, c.modifiers);
    EXPECT_EQ(grid.Row(), c.to + c.pages * page());
    EXPECT_EQ(grid.currentIndex().row(), grid.Row() - 1); // the view shows the same row
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyMove,
    ::testing::Values(KeyMoveCase{"downFromNothingChoosesTheFirstRow", 0, Qt::Key_Down, {}, 1},
                      KeyMoveCase{"down", 5, Qt::Key_Down, {}, 6}, KeyMoveCase{"up", 5, Qt::Key_Up, {}, 4},
                      KeyMoveCase{"upStaysOnTheFirstRow", 1, Qt::Key_Up, {}, 1},
                      KeyMoveCase{"downStaysOnTheLastRow", 100, Qt::Key_Down, {}, 100},
                      KeyMoveCase{"pageDownFromTheTop", 1, Qt::Key_PageDown, {}, 1, 1},
                      KeyMoveCase{"pageDown", 50, Qt::Key_PageDown, {}, 50, 1},
                      KeyMoveCase{"pageUp", 50, Qt::Key_PageUp, {}, 50, -1},
                      KeyMoveCase{"pageUpStopsAtTheFirstRow", 3, Qt::Key_PageUp, {}, 1},
                      KeyMoveCase{"pageDownStopsAtTheLastRow", 98, Qt::Key_PageDown, {}, 100},
                      KeyMoveCase{"ctrlHome", 50, Qt::Key_Home, Qt::ControlModifier, 1},
                      KeyMoveCase{"ctrlEnd", 50, Qt::Key_End, Qt::ControlModifier, 100}),
    [](const ::testing::TestParamInfo<KeyMoveCase>& p) { return p.param.name; });

TEST_F(ShownGrid, theFocusArrivingChoosesNothing) {
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(&grid, &focusIn);
    EXPECT_EQ(grid.Row(), 0);
    EXPECT_FALSE(grid.currentIndex().isValid());
    EXPECT_FALSE(grid.selectionModel()->hasSelection());
}

TEST_F(ShownGrid, ctrlCCopiesTheCurrentCell) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    QTest::keySequence(&grid, QKeySequence::Copy);
    EXPECT_EQ(clipboard->text(), "before"); // nothing chosen, nothing copied

    grid.setRow(7);
    grid.setCol(2);
    QTest::keySequence(&grid, QKeySequence::Copy);
    EXPECT_EQ(clipboard->text(), "x");

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellCentre(grid, 3, 1));
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keySequence(&grid, QKeySequence::Copy);
    EXPECT_EQ(clipboard->text(), "4");
}

// ---- The comparison of the sort ----

struct SortCase {
    std::string name;
    QStringList cells;
    int order;
    QStringList expected;
};

void PrintTo(const SortCase& c, std::ostream* os) {
    *os << c.name;
}

class SortOrder : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortOrder, sortsTheColumn) {
    FlexGrid grid;
    grid.setCols(3);
    int n = 0;
    for (const QString& cell : GetParam().cells) {
        ++n;
        grid.AddItem(QString::number(n) + "\t" + cell + "\tkeep " + QString::number(n));
    }
    grid.setCol(1);
    grid.setSort(GetParam().order);
    EXPECT_EQ(column(grid, 1), GetParam().expected);
    // Whole rows moved: each row still carries its own number and companion cell.
    for (int r = 1; r < grid.Rows(); ++r)
        EXPECT_EQ(grid.TextMatrix(r, 2), "keep " + grid.TextMatrix(r, 0));
}

constexpr int kAsc = FlexGrid::SortAscending;
constexpr int kDesc = FlexGrid::SortDescending;

INSTANTIATE_TEST_SUITE_P(
    Cases, SortOrder,
    ::testing::Values(
        SortCase{"numbersWithLeadingBlankAscending", {" 123", " 99", " 7"}, kAsc, {" 7", " 99", " 123"}},
        SortCase{"numbersDescending", {" 7", " 12", " 100"}, kDesc, {" 100", " 12", " 7"}},
        SortCase{"signsAndDecimals", {"3.5", "-5", " 3", "+4", ".5"}, kAsc, {"-5", ".5", " 3", "3.5", "+4"}},
        SortCase{"numberWithTrailingBlank", {" 137 ", " 20"}, kAsc, {" 20", " 137 "}},
        SortCase{"datesAreText",
                 {"05-12-03", "20-01-03", "05-03-04"},
                 kDesc,
                 {"20-01-03", "05-12-03", "05-03-04"}},
        SortCase{
            "letterCaseCounts", {"beta", "Alpha", "alpha", "Beta"}, kAsc, {"Alpha", "Beta", "alpha", "beta"}},
        SortCase{
            "aLeadingBlankSortsFirst", {"Haifa", "Ashdod", " Haifa"}, kAsc, {" Haifa", "Ashdod", "Haifa"}},
        SortCase{"hebrewAfterLatin",
                 {QString::fromUtf8("תל אביב"), "Haifa", QString::fromUtf8("אשדוד")},
                 kAsc,
                 {"Haifa", QString::fromUtf8("אשדוד"), QString::fromUtf8("תל אביב")}},
        SortCase{"numbersAgainstTextCompareAsText", {"abc", " 5", "10"}, kAsc, {" 5", "10", "abc"}},
        SortCase{"emptyCellsFirstAscending", {"b", "", "a"}, kAsc, {"", "a", "b"}},
        SortCase{"longNumbers",
                 {"1234567890123456789", "123456789012345679", "12345678901234567.5"},
                 kAsc,
                 {"12345678901234567.5", "123456789012345679", "1234567890123456789"}},
        SortCase{"notQuiteNumbers", {"1e3", " 12 3", "12", "1-2"}, kAsc, {" 12 3", "1-2", "12", "1e3"}}),
    [](const ::testing::TestParamInfo<SortCase>& p) { return p.param.name; });

// ---- Sorting a search's rows ----

// Rows as the previous-orders search appends them: a blank fixed cell, the order number, the
// date, the shop, the project, the account and the shop's code.
const QList<QStringList>& searchRows() {
    static const QList<QStringList> rows = {
        {" ", " 120", "05-03-04", QString::fromUtf8("דפוס כהן kod012"), QString::fromUtf8("מגדל"),
         QString::fromUtf8("חשבון א"), " 98765"},
        {" ", " 99", "20-01-03", QString::fromUtf8("אור kod007"), QString::fromUtf8("גשר"),
         QString::fromUtf8("חשבון ב"), " 1001"},
        {" ", " 1005", "05-12-03", QString::fromUtf8("דפוס כהן kod003"), QString::fromUtf8("מגדל"),
         QString::fromUtf8("חשבון א"), " 55"},
        {" ", " 7", "05-03-04", "Alpha kod100", QString::fromUtf8("בית ספר"), QString::fromUtf8("חשבון ג"),
         " 98765"},
        {" ", " 450", "11-11-02", QString::fromUtf8("אור kod007"), QString::fromUtf8("אגם"),
         QString::fromUtf8("חשבון ב"), " 300"},
    };
    return rows;
}

struct SearchSortCase {
    std::string name;
    int col;
    int order;
    QStringList orderNumbers; // column 1 after the sort
};

void PrintTo(const SearchSortCase& c, std::ostream* os) {
    *os << c.name;
}

class SearchSort : public ::testing::TestWithParam<SearchSortCase> {
protected:
    void SetUp() override {
        grid.setCols(7);
        grid.AddRows(searchRows());
    }
    QStringList row(int r) const {
        QStringList cells;
        for (int c = 0; c < grid.Cols(); ++c)
            cells << grid.TextMatrix(r, c);
        return cells;
    }
    FlexGrid grid;
};

TEST_P(SearchSort, sortsTheAppendedRowsAsWholeRows) {
    const SearchSortCase& c = GetParam();
    grid.setRow(2);
    grid.setCol(c.col);
    grid.setSort(c.order);
    EXPECT_EQ(column(grid, 1), c.orderNumbers);
    for (int r = 1; r < grid.Rows(); ++r) {
        const auto original =
            std::find_if(searchRows().begin(), searchRows().end(),
                         [&](const QStringList& s) { return s[1] == grid.TextMatrix(r, 1); });
        ASSERT_NE(original, searchRows().end());
        EXPECT_EQ(row(r), *original) << "row " << r;
    }
    // The chosen position stays chosen, in the view too.
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.currentIndex().row(), 1);
    EXPECT_EQ(grid.selectionModel()->selectedRows(1).size(), 1);
    EXPECT_EQ(grid.selectionModel()->selectedRows(1).value(0).row(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, SearchSort,
    ::testing::Values(
        SearchSortCase{"orderNumbersAscending", 1, kAsc, {" 7", " 99", " 120", " 450", " 1005"}},
        SearchSortCase{"orderNumbersDescending", 1, kDesc, {" 1005", " 450", " 120", " 99", " 7"}},
        SearchSortCase{"datesAsTextEqualOnesKeepTheirOrder", 2, kAsc, {" 120", " 7", " 1005", " 450", " 99"}},
        SearchSortCase{"datesDescending", 2, kDesc, {" 99", " 450", " 1005", " 120", " 7"}},
        SearchSortCase{"shopsLatinBeforeHebrew", 3, kAsc, {" 7", " 99", " 450", " 1005", " 120"}},
        SearchSortCase{"projects", 4, kAsc, {" 450", " 7", " 99", " 120", " 1005"}},
        SearchSortCase{
            "codesDescendingEqualOnesKeepTheirOrder", 6, kDesc, {" 120", " 7", " 99", " 450", " 1005"}}),
    [](const ::testing::TestParamInfo<SearchSortCase>& p) { return p.param.name; });

// ---- The sort against its comparison ----

// Columns whose cells the comparison orders consistently (texts only, numbers only, or numbers
// that all come before the texts), so that a plain stable sort by FlexGrid::compareCells tells
// the order a grid must reach. The texts press on the places where a sort could cut corners:
// long shared beginnings, texts that begin other texts, repeats, case, blanks, and code units
// from the whole UTF-16 range.
QStringList sharedBeginnings() {
    const QString word = QString::fromUtf8("דפוס אור kod0123456789 אבגד");
    QStringList texts;
    for (int length = 0; length <= word.size(); ++length)
        texts << word.left(length);
    for (int at = 0; at < word.size(); ++at) {
        QString changed = word;
        changed[at] = QChar(changed[at].unicode() + 1);
        texts << changed;
        changed[at] = QChar(changed[at].unicode() - 2);
        texts << changed;
    }
    texts << word << word.left(9) << QString() << word.toUpper();
    return texts;
}

QStringList wideAlphabet() {
    QStringList texts;
    for (char16_t unit = 0x20; unit < 0x400; unit += 7) {
        if (unit >= u'0' && unit <= u'9')
            continue; // a digit alone is a number
        texts << QString(QChar(unit)) + QChar(u'a' + unit % 5) << QString(QChar(unit));
    }
    const QString astral = QString::fromUcs4(U"\U0001F600");
    texts << astral << QString(QChar(0xFFFD)) << QString(QChar(0xE000)) << QString(QChar(u'\0'))
          << QString(2, QChar(u'\0')) << QString(QChar(0xFFFF)) << "a" + astral
          << "a" + QString(QChar(0xFFFD)) << QString::fromUtf8("שלום") << QString::fromUtf8("שלום ")
          << "Shalom"
          << "shalom";
    return texts;
}

// Long texts that agree far into them.
QStringList longTexts() {
    QString base;
    for (int i = 0; i < 1500; ++i)
        base += QChar(u'a' + i % 7);
    QStringList texts;
    for (const int at : {0, 9, 1023, 1024, 1030, 1499}) {
        QString changed = base;
        changed[at] = QChar(u'b');
        texts << changed;
    }
    texts << base << base + "x" << base << base.left(1100) << base + "a" << base.left(1024) << base;
    return texts;
}

QStringList numbersOnly() {
    return {" 7",
            "7",
            "007",
            " 7 ",
            "7.0",
            "-3",
            "+3",
            " 12",
            "1234567890123456789",
            "123456789012345679",
            "0.5",
            ".5",
            "-0",
            "0",
            " 99",
            "100",
            "-12.25",
            "3",
            "12"};
}

QStringList numbersThenTexts() {
    return {" 5",   "Zeta", " 12", "abc", " -3", "abd", " 007", " 7", "ab", QString::fromUtf8("אור"),
            " 5.5", "abc",  " 12"};
}

struct OracleCase {
    std::string name;
    QStringList (*cells)();
};

void PrintTo(const OracleCase& c, std::ostream* os) {
    *os << c.name;
}

class SortAgainstComparison : public ::testing::TestWithParam<std::tuple<OracleCase, int>> {
protected:
    // The ids of the rows, column 0, in the order a stable sort by compareCells gives.
    static QStringList expectedIds(QList<QStringList> rows, int order) {
        std::stable_sort(rows.begin(), rows.end(), [&](const QStringList& a, const QStringList& b) {
            const int c = FlexGrid::compareCells(a[1], b[1]);
            return order == FlexGrid::SortAscending ? c < 0 : c > 0;
        });
        QStringList ids;
        for (const QStringList& row : rows)
            ids << row[0];
        return ids;
    }
};

TEST_P(SortAgainstComparison, reachesTheOrderOfAStableSortByTheComparison) {
    const auto& [oracle, order] = GetParam();
    const QStringList cells = oracle.cells();
    // Column 2 holds another order of the rows to sort by first.
    QList<QStringList> rows;
    for (int i = 0; i < cells.size(); ++i)
        rows.append({QString::number(i), cells[i], QString::number(i * 37 % 11)});
    FlexGrid grid;
    grid.setCols(3);
    grid.AddRows(rows);
    const auto gridRows = [&grid] {
        QList<QStringList> texts;
        for (int r = 1; r < grid.Rows(); ++r)
            texts.append({grid.TextMatrix(r, 0), grid.TextMatrix(r, 1), grid.TextMatrix(r, 2)});
        return texts;
    };

    grid.setCol(1);
    grid.setSort(order);
    EXPECT_EQ(column(grid, 0), expectedIds(rows, order));
    for (const QStringList& row : gridRows())
        EXPECT_EQ(row, rows[row[0].toInt()]); // whole rows moved

    // Sorted by another column and then by this one again, equal cells keep the other order.
    grid.setCol(2);
    grid.setSort(FlexGrid::SortDescending);
    const QList<QStringList> byOther = gridRows();
    // What the view holds on to follows its rows.
    std::vector<QPersistentModelIndex> held;
    for (int r = 0; r < grid.model()->rowCount(); ++r)
        held.emplace_back(grid.model()->index(r, 0));
    grid.setCol(1);
    grid.setSort(order);
    EXPECT_EQ(column(grid, 0), expectedIds(byOther, order));
    for (std::size_t i = 0; i < held.size(); ++i)
        EXPECT_EQ(held[i].data().toString(), byOther[static_cast<qsizetype>(i)][0]);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, SortAgainstComparison,
    ::testing::Combine(::testing::Values(OracleCase{"sharedBeginnings", sharedBeginnings},
                                         OracleCase{"wideAlphabet", wideAlphabet},
                                         OracleCase{"longTexts", longTexts},
                                         OracleCase{"numbersOnly", numbersOnly},
                                         OracleCase{"numbersThenTexts", numbersThenTexts}),
                       ::testing::Values(kAsc, kDesc)),
    [](const ::testing::TestParamInfo<std::tuple<OracleCase, int>>& p) {
        return std::get<0>(p.param).name + (std::get<1>(p.param) == kAsc ? "Ascending" : "Descending");
    });

// Equal keys keep their order, ascending and descending alike.
TEST(FlexGrid, theSortIsStable) {
    FlexGrid grid;
    grid.setCols(2);
    for (const char* row : {"1\tx", "2\ta", "3\tx", "4\ta"})
        grid.AddItem(row);
    grid.setCol(1);
    grid.setSort(FlexGrid::SortAscending);
    EXPECT_EQ(column(grid, 0), (QStringList{"2", "4", "1", "3"}));
    grid.setSort(FlexGrid::SortDescending);
    EXPECT_EQ(column(grid, 0), (QStringList{"1", "3", "2", "4"}));
}

// Numbers and texts mixed in one column give no consistent order (9 < 10 as numbers, but
// "10" < "1a" < "9" as text); the sort must still keep every row.
TEST(FlexGrid, aMixedColumnLosesNoRow) {
    FlexGrid grid;
    grid.setCols(2);
    QStringList cells;
    for (int i = 0; i < 200; ++i)
        cells << (i % 3 == 0 ? QString::number(i % 17) : QString::number(i % 13) + "a");
    for (const QString& cell : cells)
        grid.AddItem("\t" + cell);
    grid.setCol(1);
    grid.setSort(FlexGrid::SortDescending);
    QStringList after = column(grid, 1);
    std::sort(after.begin(), after.end());
    std::sort(cells.begin(), cells.end());
    EXPECT_EQ(after, cells);
}

} // namespace
