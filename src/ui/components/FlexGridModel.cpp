#include "ui/components/FlexGridModel.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>
#include <optional>

namespace velmora::ui {
namespace {

// The whole cell as a number, blanks around it allowed: [sign] digits [. digits] or [sign] . digits.
std::optional<double> cellNumber(QStringView cell) {
    const QStringView v = cell.trimmed();
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

// What the sort compares of a cell, read once per cell: its number, if the whole cell is one, and
// its text.
struct SortKey {
    QStringView text;
    double number = 0;
    bool isNumber = false;
};

SortKey sortKey(const QString& cell) {
    const std::optional<double> number = cellNumber(cell);
    return {cell, number.value_or(0.0), number.has_value()};
}

// Two numbers compare as numbers, anything else as UTF-16 text, letter case significant.
int compareKeys(const SortKey& a, const SortKey& b) {
    if (a.isNumber && b.isNumber)
        return a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
    const int c = a.text.compare(b.text, Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
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

FlexGridModel::FlexGridModel(QObject* parent)
    : QAbstractTableModel(parent) {}

int FlexGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int FlexGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_cols;
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows || index.column() >= m_cols)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return cell(index.row(), index.column());
    case Qt::BackgroundRole:
        return index.column() == 0 ? QVariant(m_fixedBackground) : QVariant();
    case Qt::ForegroundRole:
        return index.column() == 0 ? QVariant(m_fixedForeground) : QVariant();
    default:
        return {};
    }
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_cols)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return heading(section);
    return {};
}

Qt::ItemFlags FlexGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // The fixed column can be clicked (it chooses its row) but is never part of a selection.
    return index.column() == 0 ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void FlexGridModel::setCell(int row, int col, const QString& text) {
    m_cells[slot(row, col)] = text;
    const QModelIndex at = index(row, col);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
}

void FlexGridModel::setHeading(int col, const QString& text) {
    m_headings[static_cast<std::size_t>(col)] = text;
    emit headerDataChanged(Qt::Horizontal, col, col);
}

void FlexGridModel::setRows(int rows) {
    rows = std::max(0, rows);
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_cells.resize(slot(rows, 0));
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows({}, rows, m_rows - 1);
        m_cells.resize(slot(rows, 0));
        m_rows = rows;
        endRemoveRows();
    }
}

void FlexGridModel::setColumns(int cols) {
    cols = std::max(0, cols);
    if (cols == m_cols)
        return;
    // The cells take their new places row by row.
    std::vector<QString> cells(static_cast<std::size_t>(m_rows) * static_cast<std::size_t>(cols));
    const int kept = std::min(cols, m_cols);
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < kept; ++c)
            cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) +
                  static_cast<std::size_t>(c)] = std::move(m_cells[slot(r, c)]);
    if (cols > m_cols)
        beginInsertColumns({}, m_cols, cols - 1);
    else
        beginRemoveColumns({}, cols, m_cols - 1);
    const bool inserting = cols > m_cols;
    m_cells.swap(cells);
    m_headings.resize(static_cast<std::size_t>(cols));
    m_cols = cols;
    if (inserting)
        endInsertColumns();
    else
        endRemoveColumns();
}

void FlexGridModel::clearTexts() {
    std::fill(m_cells.begin(), m_cells.end(), QString());
    std::fill(m_headings.begin(), m_headings.end(), QString());
    if (m_cols == 0)
        return;
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, m_cols - 1), {Qt::DisplayRole, Qt::EditRole});
    emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
}

void FlexGridModel::appendRows(const QList<QStringList>& rows) {
    if (rows.isEmpty())
        return;
    const int first = m_rows;
    const int last = m_rows + static_cast<int>(rows.size()) - 1;
    beginInsertRows({}, first, last);
    m_cells.reserve(slot(last + 1, 0));
    for (const QStringList& parts : rows) {
        const qsizetype given = std::min<qsizetype>(parts.size(), m_cols);
        m_cells.insert(m_cells.end(), parts.cbegin(), parts.cbegin() + given);
        m_cells.resize(m_cells.size() + static_cast<std::size_t>(m_cols - given));
    }
    m_rows = last + 1;
    endInsertRows();
}

void FlexGridModel::sortRows(int col, bool descending) {
    if (col < 0 || col >= m_cols || m_rows < 2)
        return;
    const auto n = static_cast<std::size_t>(m_rows);
    // Each key cell is read once; the sort then only compares the keys.
    std::vector<SortKey> keys;
    keys.reserve(n);
    for (int r = 0; r < m_rows; ++r)
        keys.push_back(sortKey(cell(r, col)));
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    const auto keyOf = [&keys](int row) -> const SortKey& {
        return keys[static_cast<std::size_t>(row)];
    };
    if (descending)
        mergeSort(order, [&](int a, int b) { return compareKeys(keyOf(a), keyOf(b)) > 0; });
    else
        mergeSort(order, [&](int a, int b) { return compareKeys(keyOf(a), keyOf(b)) < 0; });
    keys.clear(); // its texts point into the cells that move now

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<QString> sorted;
    sorted.reserve(m_cells.size());
    std::vector<int> newRow(n);
    for (std::size_t r = 0; r < n; ++r) {
        const int from = order[r];
        newRow[static_cast<std::size_t>(from)] = static_cast<int>(r);
        const auto begin = m_cells.begin() + static_cast<std::ptrdiff_t>(slot(from, 0));
        std::move(begin, begin + m_cols, std::back_inserter(sorted));
    }
    m_cells.swap(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& at : before)
        after.append(index(newRow[static_cast<std::size_t>(at.row())], at.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FlexGridModel::setFixedColumnBrushes(const QBrush& background, const QBrush& foreground) {
    m_fixedBackground = background;
    m_fixedForeground = foreground;
    if (m_rows > 0 && m_cols > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, 0), {Qt::BackgroundRole, Qt::ForegroundRole});
}

int FlexGridModel::compareCells(const QString& a, const QString& b) {
    return compareKeys(sortKey(a), sortKey(b));
}

} // namespace velmora::ui
