#pragma once

#include <QString>
#include <QTableWidget>

namespace velmora::ui {

// A grid of text cells in the shape the program's tables use: row 0 is a fixed heading row (it
// stays in view while the rows scroll and never sorts), column 0 a fixed column drawn like a
// heading; the user can choose rows but never edit a cell.
//
// Rows and columns are counted as the callers count them: Rows() includes the heading row, row r
// of the data is grid row r (from 1). Cells outside the grid read as empty text and writing them
// changes nothing.
//
// Sorting (setCol, then setSort) reorders all rows below the heading by the text of that column,
// moving whole rows. Two cells that both read as numbers compare as numbers: a number is the
// whole cell, blanks around it allowed, an optional sign, digits with an optional decimal point
// (« 99» < « 123», «-5» < « 3.5»). Otherwise the cells compare as text, character by character in
// Unicode code order, letter case significant and blanks significant: a blank sorts before every
// letter and digit, digits before Latin capitals, capitals before small letters, Latin before
// Hebrew. Dates such as «05-03-04» are not numbers and compare as text. The sort is stable: rows
// whose cells compare equal keep their order.
class FlexGrid : public QTableWidget {
    Q_OBJECT
public:
    enum SortOrder { SortAscending = 1, SortDescending = 2 };

    explicit FlexGrid(QWidget* parent = nullptr);

    int Rows() const { return rowCount() + 1; }
    // At least the heading row remains.
    void setRows(int rows);
    int Cols() const { return columnCount(); }
    // At least the fixed column remains.
    void setCols(int cols);

    // 15 twips are one pixel.
    void setColWidth(int col, int twips);
    int ColWidth(int col) const;

    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    // Empties every cell, the heading row included; rows and columns stay.
    void Clear();
    // Appends a row; its cells are the TAB-separated parts of the text in column order (parts
    // beyond the last column are dropped, missing ones stay empty).
    void AddItem(const QString& text);

    // The row the user last clicked or moved to with the keyboard, or that setRow set; 0 while no
    // data row has been chosen (the focus arriving on the grid chooses nothing, so a button that
    // acts on the chosen row does nothing until the user has chosen one).
    int Row() const { return m_row; }
    void setRow(int row);
    int Col() const { return m_col; }
    // Makes the column current; any block selection shrinks to the current cell.
    void setCol(int col);
    // SortAscending or SortDescending by the current column; other values change nothing.
    void setSort(int order);

    // -1, 0 or 1 as the sort compares two cells.
    static int compareCells(const QString& a, const QString& b);

signals:
    // A double click on a data row (after the click has made it the current row).
    void DblClick();

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    void prepareRow(int tableRow);
    void prepareColumn(int col);
    QTableWidgetItem* makeItem(int col) const;
    void onCurrentCellChanged(int tableRow);
    void onCellDoubleClicked(int tableRow);
    void syncCurrentCell();

    int m_row = 0;
    int m_col = 1;
    bool m_internal = false;
};

} // namespace velmora::ui
