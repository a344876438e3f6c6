#include "ui/components/FlexGrid.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace velmora::ui {
namespace {

// The whole cell as a number, blanks around it allowed: [sign] digits [. digits] or [sign] . digits.
std::optional<double> cellNumber(const QString& cell) {
    const QStringView v = QStringView(cell).trimmed();
    qsizetype i = 0;
    if (i < v.size() && (v[i] == u'-' || v[i] == u'+'))
        ++i;
    qsizetype digits = 0;
    while (i < v.size() && v[i] >= u'0' && v[i] <= u'9') {
        ++i;
        ++digits;
    }
    if (i < v.size() && v[i] == u'.') {
        ++i;
        while (i < v.size() && v[i] >= u'0' && v[i] <= u'9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0 || i != v.size())
        return std::nullopt;
    bool ok = false;
    const double value = v.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A stable merge sort that stays within its arrays whatever the comparison answers. Mixed
// number/text columns can make the comparison inconsistent (9 < 10 as numbers, "10" < "1a" < "9"
// as text), which the standard sorts do not allow.
template <typename Before> void mergeSort(std::vector<int>& order, Before before) {
    std::vector<int> buffer(order.size());
    const std::size_t n = order.size();
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, n);
            const std::size_t hi = std::min(lo + 2 * width, n);
            std::size_t a = lo, b = mid, out = lo;
            while (a < mid && b < hi)
                buffer[out++] = before(order[b], order[a]) ? order[b++] : order[a++];
            while (a < mid)
                buffer[out++] = order[a++];
            while (b < hi)
                buffer[out++] = order[b++];
        }
        order.swap(buffer);
    }
}

} // namespace

FlexGrid::FlexGrid(QWidget* parent)
    : QTableWidget(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setSortingEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultSectionSize(64); // 960 twips
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    setCols(2);
    connect(this, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { onCurrentCellChanged(row); });
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { onCellDoubleClicked(row); });
}

QTableWidgetItem* FlexGrid::makeItem(int col) const {
    auto* item = new QTableWidgetItem;
    if (col == 0) {
        item->setFlags(Qt::ItemIsEnabled);
        item->setBackground(palette().button());
        item->setForeground(palette().buttonText());
    } else {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    return item;
}

void FlexGrid::prepareRow(int tableRow) {
    for (int c = 0; c < columnCount(); ++c)
        if (!item(tableRow, c))
            setItem(tableRow, c, makeItem(c));
}

void FlexGrid::prepareColumn(int col) {
    if (!horizontalHeaderItem(col))
        setHorizontalHeaderItem(col, new QTableWidgetItem(QString()));
    for (int r = 0; r < rowCount(); ++r)
        if (!item(r, col))
            setItem(r, col, makeItem(col));
}

void FlexGrid::setRows(int rows) {
    rows = std::max(1, rows);
    m_internal = true;
    const int before = rowCount();
    setRowCount(rows - 1);
    for (int r = before; r < rowCount(); ++r)
        prepareRow(r);
    m_internal = false;
    if (m_row > rowCount())
        m_row = 0;
    syncCurrentCell();
}

void FlexGrid::setCols(int cols) {
    cols = std::max(1, cols);
    m_internal = true;
    const int before = columnCount();
    setColumnCount(cols);
    for (int c = before; c < cols; ++c)
        prepareColumn(c);
    m_internal = false;
    if (m_col >= cols)
        m_col = cols - 1;
    syncCurrentCell();
}

void FlexGrid::setColWidth(int col, int twips) {
    if (col >= 0 && col < columnCount())
        setColumnWidth(col, static_cast<int>(std::lround(std::max(0, twips) / 15.0)));
}

int FlexGrid::ColWidth(int col) const {
    return col >= 0 && col < columnCount() ? columnWidth(col) * 15 : 0;
}

QString FlexGrid::TextMatrix(int row, int col) const {
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount())
        return {};
    const QTableWidgetItem* cell = row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
    return cell ? cell->text() : QString();
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text) {
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount())
        return;
    QTableWidgetItem* cell = row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
    if (cell)
        cell->setText(text);
}

void FlexGrid::Clear() {
    for (int c = 0; c < columnCount(); ++c) {
        if (QTableWidgetItem* heading = horizontalHeaderItem(c))
            heading->setText(QString());
        for (int r = 0; r < rowCount(); ++r)
            if (QTableWidgetItem* cell = item(r, c))
                cell->setText(QString());
    }
}

void FlexGrid::AddItem(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('\t'));
    m_internal = true;
    const int r = rowCount();
    insertRow(r);
    prepareRow(r);
    for (int c = 0; c < columnCount() && c < parts.size(); ++c)
        item(r, c)->setText(parts[c]);
    m_internal = false;
}

void FlexGrid::setRow(int row) {
    m_row = row >= 1 && row <= rowCount() ? row : 0;
    syncCurrentCell();
}

void FlexGrid::setCol(int col) {
    if (col < 0 || col >= columnCount())
        return;
    m_col = col;
    syncCurrentCell();
}

void FlexGrid::syncCurrentCell() {
    m_internal = true;
    if (m_row >= 1) {
        setCurrentCell(m_row - 1, m_col, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        clearSelection();
        selectionModel()->clearCurrentIndex();
    }
    m_internal = false;
}

void FlexGrid::setSort(int order) {
    if ((order != SortAscending && order != SortDescending) || m_col < 0 || m_col >= columnCount())
        return;
    const int n = rowCount();
    if (n < 2)
        return;
    std::vector<QStringList> rows(static_cast<std::size_t>(n));
    std::vector<int> sequence(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r) {
        sequence[static_cast<std::size_t>(r)] = r;
        for (int c = 0; c < columnCount(); ++c)
            rows[static_cast<std::size_t>(r)].append(item(r, c)->text());
    }
    const int key = m_col;
    const auto keyOf = [&](int r) -> const QString& {
        return rows[static_cast<std::size_t>(r)][key];
    };
    if (order == SortAscending)
        mergeSort(sequence, [&](int a, int b) { return compareCells(keyOf(a), keyOf(b)) < 0; });
    else
        mergeSort(sequence, [&](int a, int b) { return compareCells(keyOf(a), keyOf(b)) > 0; });
    m_internal = true;
    for (int r = 0; r < n; ++r) {
        const QStringList& source = rows[static_cast<std::size_t>(sequence[static_cast<std::size_t>(r)])];
        for (int c = 0; c < columnCount(); ++c)
            item(r, c)->setText(source[c]);
    }
    m_internal = false;
}

int FlexGrid::compareCells(const QString& a, const QString& b) {
    const std::optional<double> x = cellNumber(a);
    const std::optional<double> y = cellNumber(b);
    if (x && y)
        return *x < *y ? -1 : (*y < *x ? 1 : 0);
    const int c = QString::compare(a, b, Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void FlexGrid::focusInEvent(QFocusEvent* event) {
    // Qt makes the first cell current when a view without one gets the focus; here that would
    // look like a choice the user never made.
    const bool wasInternal = m_internal;
    m_internal = true;
    QTableWidget::focusInEvent(event);
    m_internal = wasInternal;
    if (m_row == 0)
        syncCurrentCell();
}

void FlexGrid::onCurrentCellChanged(int tableRow) {
    if (m_internal || tableRow < 0)
        return;
    m_row = tableRow + 1;
    m_col = std::max(0, currentColumn());
}

void FlexGrid::onCellDoubleClicked(int tableRow) {
    if (tableRow < 0)
        return;
    m_row = tableRow + 1;
    emit DblClick();
}

} // namespace velmora::ui
