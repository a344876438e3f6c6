#pragma once

#include <QAbstractTableModel>
#include <QBrush>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace velmora::ui {

// The cells behind a FlexGrid. The data rows are the model's rows (grid row r is model row r - 1);
// the heading row is kept apart and answers as the horizontal header. The cells live row after row
// in one vector of strings, with no object per cell, in the order the rows arrived; a list of row
// numbers says which kept row each model row shows, so a sort reorders that list and moves no
// cell. Tables of a hundred thousand rows stay cheap to fill, show and sort. Only FlexGrid uses it.
class FlexGridModel final : public QAbstractTableModel {
public:
    explicit FlexGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Data rows counted from 0; the caller keeps within the grid.
    const QString& cell(int row, int col) const { return m_cells[slot(row, col)]; }
    void setCell(int row, int col, const QString& text);
    const QString& heading(int col) const { return m_headings[static_cast<std::size_t>(col)]; }
    void setHeading(int col, const QString& text);

    // New rows and columns are empty; removed ones take their cells with them.
    void setRows(int rows);
    void setColumns(int cols);
    // Empties every cell and heading.
    void clearTexts();
    // Appends one data row per list, in one insertion; parts beyond the last column are dropped,
    // missing ones stay empty.
    void appendRows(const QList<QStringList>& rows);
    // Appends the rows given cell after cell, columnCount() cells per row (a short last row is
    // filled up), moving the cells in; in one insertion.
    void appendCells(std::vector<QString>&& cells);
    // Reorders the data rows by the cells of one column, stably (see FlexGrid for the order).
    // Persistent indexes follow their rows.
    void sortRows(int col, bool descending);

    // How the fixed column is drawn.
    void setFixedColumnBrushes(const QBrush& background, const QBrush& foreground);

    // -1, 0 or 1 as sortRows compares two cells.
    static int compareCells(const QString& a, const QString& b);

private:
    // The place of a kept row's cell.
    std::size_t keptSlot(std::size_t kept, int col) const {
        return kept * static_cast<std::size_t>(m_cols) + static_cast<std::size_t>(col);
    }
    // The place of a model row's cell.
    std::size_t slot(int row, int col) const {
        return keptSlot(static_cast<std::size_t>(m_order[static_cast<std::size_t>(row)]), col);
    }
    // Keeps the rows in the model's order again, the cells spaced for cols columns.
    void relayRows(int cols);

    int m_rows = 0;
    int m_cols = 0;
    std::vector<QString> m_cells; // m_rows * m_cols, row after row as the rows arrived
    std::vector<int> m_order;     // the kept row each model row shows
    std::vector<QString> m_headings;
    QBrush m_fixedBackground;
    QBrush m_fixedForeground;
};

} // namespace velmora::ui
