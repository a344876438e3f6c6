#include "ui/components/FlexGrid.h"

#include "ui/components/FlexGridModel.h"
#include "ui/components/TextDirection.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>
#include <cmath>

namespace velmora::ui {
FlexGrid::FlexGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(new FlexGridModel(this)) {
    setModel(m_model);
    // Each cell reads in its own text's direction.
    setItemDelegate(new ReadingDirectionDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setSortingEnabled(false);
    // Every row has the same height, so the view never measures rows to lay them out.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultSectionSize(64); // 960 twips
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    m_model->setFixedColumnBrushes(palette().button(), palette().buttonText());
    setCols(2);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { onCurrentChanged(current); });
    connect(this, &QAbstractItemView::doubleClicked, this, &FlexGrid::onDoubleClicked);
}

int FlexGrid::dataRows() const {
    return m_model->rowCount();
}

int FlexGrid::Rows() const {
    return dataRows() + 1;
}

int FlexGrid::Cols() const {
    return m_model->columnCount();
}

void FlexGrid::setRows(int rows) {
    m_internal = true;
    m_model->setRows(std::max(1, rows) - 1);
    m_internal = false;
    if (m_row > dataRows())
        m_row = 0;
    syncCurrentCell();
}

void FlexGrid::setCols(int cols) {
    cols = std::max(1, cols);
    m_internal = true;
    m_model->setColumns(cols);
    m_internal = false;
    if (m_col >= cols)
        m_col = cols - 1;
    syncCurrentCell();
}

void FlexGrid::setColWidth(int col, int twips) {
    if (col >= 0 && col < Cols())
        setColumnWidth(col, static_cast<int>(std::lround(std::max(0, twips) / 15.0)));
}

int FlexGrid::ColWidth(int col) const {
    return col >= 0 && col < Cols() ? columnWidth(col) * 15 : 0;
}

QString FlexGrid::TextMatrix(int row, int col) const {
    if (col < 0 || col >= Cols() || row < 0 || row > dataRows())
        return {};
    return row == 0 ? m_model->heading(col) : m_model->cell(row - 1, col);
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text) {
    if (col < 0 || col >= Cols() || row < 0 || row > dataRows())
        return;
    if (row == 0)
        m_model->setHeading(col, text);
    else
        m_model->setCell(row - 1, col, text);
}

void FlexGrid::Clear() {
    m_model->clearTexts();
}

void FlexGrid::AddItem(const QString& text) {
    AddRows({text.split(QLatin1Char('\t'))});
}

void FlexGrid::AddRows(const QList<QStringList>& rows) {
    m_internal = true;
    m_model->appendRows(rows);
    m_internal = false;
}

void FlexGrid::AddRowCells(std::vector<QString>&& cells) {
    m_internal = true;
    m_model->appendCells(std::move(cells));
    m_internal = false;
}

void FlexGrid::setRow(int row) {
    m_row = row >= 1 && row <= dataRows() ? row : 0;
    syncCurrentCell();
}

void FlexGrid::setCol(int col) {
    if (col < 0 || col >= Cols())
        return;
    m_col = col;
    syncCurrentCell();
}

void FlexGrid::syncCurrentCell() {
    m_internal = true;
    if (m_row >= 1) {
        selectionModel()->setCurrentIndex(m_model->index(m_row - 1, m_col),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        clearSelection();
        selectionModel()->clearCurrentIndex();
    }
    m_internal = false;
}

void FlexGrid::setSort(int order) {
    if ((order != SortAscending && order != SortDescending) || m_col < 0 || m_col >= Cols())
        return;
    m_internal = true;
    m_model->sortRows(m_col, order == SortDescending);
    m_internal = false;
    // The model carried the current cell along with its row; the chosen position stays.
    syncCurrentCell();
}

int FlexGrid::compareCells(const QString& a, const QString& b) {
    return FlexGridModel::compareCells(a, b);
}

void FlexGrid::focusInEvent(QFocusEvent* event) {
    // Qt makes the first cell current when a view without one gets the focus; here that would
    // look like a choice the user never made.
    const bool wasInternal = m_internal;
    m_internal = true;
    QTableView::focusInEvent(event);
    m_internal = wasInternal;
    if (m_row == 0)
        syncCurrentCell();
}

void FlexGrid::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        m_model->setFixedColumnBrushes(palette().button(), palette().buttonText());
    QTableView::changeEvent(event);
}

void FlexGrid::onCurrentChanged(const QModelIndex& current) {
    if (m_internal || !current.isValid())
        return;
    m_row = current.row() + 1;
    m_col = std::max(0, current.column());
}

void FlexGrid::onDoubleClicked(const QModelIndex& index) {
    if (!index.isValid())
        return;
    m_row = index.row() + 1;
    emit DblClick();
}

} // namespace velmora::ui
