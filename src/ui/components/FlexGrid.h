#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTableView>

#include <vector>

namespace velmora::ui {

class FlexGridModel;

// A grid of text cells in the shape the program's tables use: row 0 is a fixed heading row (it
// stays in view while the rows scroll and never sorts), column 0 a fixed column drawn like a
// heading; the user can choose rows but never edit a cell. The keyboard moves the current row
// (arrows, Page Up/Down, Ctrl+Home/End; Home and End move within the row), and Ctrl+C copies the
// text of the current cell.
//
// The grid is a view over a model of its own that keeps the texts in plain storage, with no
// object per cell, and every row has the same height, so that a table of a hundred thousand rows
// fills, scrolls and sorts without a pause. Appending many rows at once goes through AddRows.
//
// Rows and columns are counted as the callers count them: Rows() includes the heading row, row r
// of the data is grid row r (from 1). Cells outside the grid read as empty text and writing them
// changes nothing.
//
// Sorting (setCol, then setSort) reorders all rows below the heading by the text of that column,
// moving whole rows. Two cells that both read as numbers compare as numbers: a number is the
// whole cell, blanks around it allowed, an optional sign, digits with an optional decimal point
// (« 99» < « 123», «-5» < « 3.5»). Otherwise the cells compare as text, character by character in
// UTF-16 code order, letter case significant and blanks significant: a blank sorts before every
// letter and digit, digits before Latin capitals, capitals before small letters, Latin before
// Hebrew. Dates such as «05-03-04» are not numbers and compare as text. The sort is stable: rows
// whose cells compare equal keep their order. The chosen row (Row()) keeps its position, so after a
// sort it is whichever row has moved there.
class FlexGrid : public QTableView {
    Q_OBJECT
public:
    enum SortOrder { SortAscending = 1, SortDescending = 2 };

    explicit FlexGrid(QWidget* parent = nullptr);

    int Rows() const;
    // At least the heading row remains.
    void setRows(int rows);
    int Cols() const;
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
    // Appends one row per list, each list holding the row's cells in column order, by AddItem's
    // rules (parts beyond the last column are dropped, missing ones stay empty). The rows arrive
    // as one insertion, so the view takes them in once however many there are: the way to fill
    // the grid from a large search.
    void AddRows(const QList<QStringList>& rows);
    // The same for rows given cell after cell: Cols() cells per row, row after row (a last row
    // that is short is filled up with empty cells). The cells are moved into the grid, not
    // copied: a search with a hundred thousand orders fills it with no string made twice.
    void AddRowCells(std::vector<QString>&& cells);

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
    void changeEvent(QEvent* event) override;

private:
    void onCurrentChanged(const QModelIndex& current);
    void onDoubleClicked(const QModelIndex& index);
    void syncCurrentCell();
    int dataRows() const;

    FlexGridModel* m_model;
    int m_row = 0;
    int m_col = 1;
    bool m_internal = false;
};

} // namespace velmora::ui
