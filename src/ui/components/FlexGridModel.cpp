#include "ui/components/FlexGridModel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>
#include <optional>

namespace velmora::ui {
namespace {

// The whole cell as a number, blanks around it allowed: [sign] digits [. digits] or [sign] . digits.
std::optional<double> cellNumber(QStringView cell) {
    qsizetype begin = 0;
    qsizetype end = cell.size();
    while (begin < end && cell[begin].isSpace())
        ++begin;
    while (end > begin && cell[end - 1].isSpace())
        --end;
    const QStringView v = cell.sliced(begin, end - begin);
    qsizetype i = 0;
    const bool negative = i < v.size() && v[i] == u'-';
    if (i < v.size() && (v[i] == u'-' || v[i] == u'+'))
        ++i;
    qsizetype digits = 0;
    quint64 whole = 0;
    while (i < v.size() && v[i] >= u'0' && v[i] <= u'9') {
        if (digits < 18)
            whole = whole * 10 + (v[i].unicode() - u'0');
        ++i;
        ++digits;
    }
    const qsizetype wholeDigits = digits;
    bool point = false;
    if (i < v.size() && v[i] == u'.') {
        point = true;
        ++i;
        while (i < v.size() && v[i] >= u'0' && v[i] <= u'9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0 || i != v.size())
        return std::nullopt;
    // Whole numbers of up to 15 digits are exact as doubles; the rest goes the long way.
    if (!point && wholeDigits <= 15) {
        const auto value = static_cast<double>(whole);
        return negative ? -value : value;
    }
    bool ok = false;
    const double value = v.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Asks for memory a little ahead of its use. The texts of a column lie scattered over the heap,
// and a hundred thousand of them do not fit the processor's nearer caches: reading them one by
// one would wait on memory at every cell.
inline void prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    Q_UNUSED(address);
#endif
}

constexpr std::ptrdiff_t kPrefetchAhead = 16;

template <typename T> int threeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Two cells as the sort compares them: two numbers as numbers, anything else as UTF-16 text,
// letter case significant.
int compareCellTexts(const QString& a, const QString& b) {
    const std::optional<double> x = cellNumber(a);
    const std::optional<double> y = cellNumber(b);
    if (x && y)
        return threeWay(*x, *y);
    return threeWay(QString::compare(a, b, Qt::CaseSensitive), 0);
}

// Ranks texts in UTF-16 code order, equal texts ranking equal, so that comparing two ranks answers
// as comparing the two texts without reading them again.
//
// The code units the texts use are numbered densely in their order (a column of Hebrew names uses
// a few dozen of the 65,536), which packs a run of up to ten units into one 64-bit integer whose
// order is the texts' order. The texts are sorted by their first run; only a group that still
// agrees, and whose texts go on, is sorted again by the next run. Each text's characters are read
// a few times instead of at every comparison, and long shared beginnings («דפוס ...») cost little.
class TextRanker {
public:
    // usedUnits has an entry for each of the 65,536 code units, not 0 for those the texts use.
    TextRanker(const std::vector<QStringView>& texts, const std::vector<quint8>& usedUnits)
        : m_texts(texts)
        , m_ranks(texts.size()) {
        numberUnits(usedUnits);
        std::vector<Entry> entries(texts.size());
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i].index = static_cast<quint32>(i);
        rank(entries.begin(), entries.end(), 0);
    }

    std::vector<quint32> take() { return std::move(m_ranks); }

private:
    struct Entry {
        // The run's unit numbers, the first in the top bits, 0 past the text's end; the lowest
        // bit is set when the text goes on past the run.
        quint64 run = 0;
        quint32 index = 0;
    };
    using Iterator = std::vector<Entry>::iterator;

    void numberUnits(const std::vector<quint8>& used) {
        m_number.assign(0x10000, 0);
        quint32 count = 0;
        for (std::size_t unit = 0; unit < used.size(); ++unit)
            if (used[unit])
                m_number[unit] = ++count;
        m_bits = std::max(1, static_cast<int>(std::bit_width(count)));
        m_perRun = 63 / m_bits;
    }

    void rank(Iterator first, Iterator last, qsizetype offset) {
        if (offset >= kRunsFor) {
            rankByComparison(first, last, offset);
            return;
        }
        const qsizetype runEnd = offset + m_perRun;
        for (Iterator it = first; it != last; ++it) {
            if (last - it > kPrefetchAhead)
                prefetch(m_texts[(it + kPrefetchAhead)->index].data());
            const QStringView text = m_texts[it->index];
            const qsizetype end = std::min(text.size(), runEnd);
            quint64 run = 0;
            for (qsizetype k = offset; k < end; ++k)
                run = (run << m_bits) | m_number[text[k].unicode()];
            run <<= m_bits * (runEnd - std::max(end, offset));
            it->run = (run << 1) | (text.size() > runEnd ? 1 : 0);
        }
        const auto before = [](const Entry& a, const Entry& b) {
            return a.run < b.run;
        };
        if (!std::is_sorted(first, last, before))
            std::sort(first, last, before);
        for (Iterator group = first; group != last;) {
            const Iterator end =
                std::find_if(group + 1, last, [&](const Entry& e) { return e.run != group->run; });
            if ((group->run & 1) != 0 && end - group > 1) {
                rank(group, end, runEnd);
            } else {
                for (Iterator it = group; it != end; ++it)
                    m_ranks[it->index] = m_next;
                ++m_next;
            }
            group = end;
        }
    }

    // Texts that still agree after this many units (long, and mostly repeated) are compared
    // whole from there on, which keeps the runs from nesting deeper.
    static constexpr qsizetype kRunsFor = 1024;

    void rankByComparison(Iterator first, Iterator last, qsizetype offset) {
        const auto rest = [&](const Entry& e) {
            return m_texts[e.index].sliced(offset);
        };
        std::sort(first, last, [&](const Entry& a, const Entry& b) {
            return rest(a).compare(rest(b), Qt::CaseSensitive) < 0;
        });
        for (Iterator it = first; it != last; ++it) {
            if (it != first && rest(*it) != rest(*(it - 1)))
                ++m_next;
            m_ranks[it->index] = m_next;
        }
        ++m_next;
    }

    const std::vector<QStringView>& m_texts;
    std::vector<quint32> m_ranks;
    std::vector<quint32> m_number; // of each code unit the texts use, from 1 in code order
    int m_bits = 1;                // per unit number
    qsizetype m_perRun = 63;       // units in a run
    quint32 m_next = 0;
};

// The rows of order placed by their texts' ranks, in one pass: a column of texts only compares
// consistently, so this stable placement is the order the merge sort would reach, without its
// n log n comparisons.
std::vector<int> placeByRank(const std::vector<int>& order, const std::vector<quint32>& ranks,
                             bool descending) {
    const std::size_t rankCount = ranks.empty() ? 0 : *std::max_element(ranks.begin(), ranks.end()) + 1;
    std::vector<std::size_t> next(rankCount);
    for (const int row : order)
        ++next[ranks[static_cast<std::size_t>(row)]];
    std::size_t first = 0;
    for (std::size_t i = 0; i < rankCount; ++i) {
        std::size_t& slot = next[descending ? rankCount - 1 - i : i];
        const std::size_t count = slot;
        slot = first;
        first += count;
    }
    std::vector<int> placed(order.size());
    for (const int row : order)
        placed[next[ranks[static_cast<std::size_t>(row)]]++] = row;
    return placed;
}

// What the sort compares of a cell in a column of numbers and texts, read once per cell: its
// number, if the whole cell is one, and the rank of its text among the column's texts.
struct SortKey {
    double number = 0;
    quint32 textRank = 0;
    bool isNumber = false;
};

int compareKeys(const SortKey& a, const SortKey& b) {
    if (a.isNumber && b.isNumber)
        return threeWay(a.number, b.number);
    return threeWay(a.textRank, b.textRank);
}

// A stable merge sort that stays within its arrays whatever the comparison answers. Mixed
// number/text columns can make the comparison inconsistent (9 < 10 as numbers, "10" < "1a" < "9"
// as text), which the standard sorts do not allow.
template <typename Before> void mergeSort(std::vector<int>& order, Before before) {
    std::vector<int> buffer(order.size());
    const std::size_t n = order.size();
    for (std::size_t width = 1; width < n; width *= 2) {
        // Plain pointers: this loop runs n log n times, and checked indexing would slow it by a
        // fifth.
        const int* from = order.data();
        int* to = buffer.data();
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, n);
            const std::size_t hi = std::min(lo + 2 * width, n);
            std::size_t a = lo, b = mid, out = lo;
            while (a < mid && b < hi)
                to[out++] = before(from[b], from[a]) ? from[b++] : from[a++];
            while (a < mid)
                to[out++] = from[a++];
            while (b < hi)
                to[out++] = from[b++];
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

void FlexGridModel::relayRows(int cols) {
    std::vector<QString> cells(static_cast<std::size_t>(m_rows) * static_cast<std::size_t>(cols));
    const int kept = std::min(cols, m_cols);
    auto to = cells.begin();
    for (int r = 0; r < m_rows; ++r, to += cols) {
        const auto from = m_cells.begin() + static_cast<std::ptrdiff_t>(slot(r, 0));
        std::move(from, from + kept, to);
    }
    m_cells.swap(cells);
    std::iota(m_order.begin(), m_order.end(), 0);
}

void FlexGridModel::setRows(int rows) {
    rows = std::max(0, rows);
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_cells.resize(keptSlot(static_cast<std::size_t>(rows), 0));
        for (int r = m_rows; r < rows; ++r)
            m_order.push_back(r);
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows({}, rows, m_rows - 1);
        // After a sort the rows that stay may be kept anywhere; they close up first.
        for (int r = 0; r < rows; ++r)
            if (m_order[static_cast<std::size_t>(r)] != r) {
                relayRows(m_cols);
                break;
            }
        m_cells.resize(keptSlot(static_cast<std::size_t>(rows), 0));
        m_order.resize(static_cast<std::size_t>(rows));
        m_rows = rows;
        endRemoveRows();
    }
}

void FlexGridModel::setColumns(int cols) {
    cols = std::max(0, cols);
    if (cols == m_cols)
        return;
    const bool inserting = cols > m_cols;
    if (inserting)
        beginInsertColumns({}, m_cols, cols - 1);
    else
        beginRemoveColumns({}, cols, m_cols - 1);
    relayRows(cols);
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
    // Grows by at least half again, so that rows appended one at a time stay cheap.
    const std::size_t needed = keptSlot(static_cast<std::size_t>(last) + 1, 0);
    if (needed > m_cells.capacity())
        m_cells.reserve(std::max(needed, m_cells.capacity() + m_cells.capacity() / 2));
    for (const QStringList& parts : rows) {
        const qsizetype given = std::min<qsizetype>(parts.size(), m_cols);
        m_cells.insert(m_cells.end(), parts.cbegin(), parts.cbegin() + given);
        m_cells.resize(m_cells.size() + static_cast<std::size_t>(m_cols - given));
    }
    for (int r = first; r <= last; ++r)
        m_order.push_back(r);
    m_rows = last + 1;
    endInsertRows();
}

void FlexGridModel::appendCells(std::vector<QString>&& cells) {
    if (cells.empty() || m_cols < 1)
        return;
    const auto cols = static_cast<std::size_t>(m_cols);
    const std::size_t count = (cells.size() + cols - 1) / cols;
    const int first = m_rows;
    const int last = m_rows + static_cast<int>(count) - 1;
    beginInsertRows({}, first, last);
    cells.resize(count * cols);
    if (m_cells.empty())
        m_cells = std::move(cells);
    else
        m_cells.insert(m_cells.end(), std::make_move_iterator(cells.begin()),
                       std::make_move_iterator(cells.end()));
    for (int r = first; r <= last; ++r)
        m_order.push_back(r);
    m_rows = last + 1;
    endInsertRows();
}

void FlexGridModel::sortRows(int col, bool descending) {
    if (col < 0 || col >= m_cols || m_rows < 2)
        return;
    const auto n = static_cast<std::size_t>(m_rows);
    const auto textOf = [&](std::size_t kept) -> const QString& {
        return m_cells[keptSlot(kept, col)];
    };
    // Each key cell is read once, in the order the rows are kept, which is the order their texts
    // were made in: its number, its text and the code units it uses (for the ranks). The merge sort
    // then compares numbers and ranks only, each column kind with the smallest keys it needs.
    std::vector<double> numbers(n);
    std::vector<char> isNumber(n);
    std::vector<QStringView> texts(n);
    std::vector<quint8> usedUnits(0x10000);
    std::size_t numberCount = 0;
    for (std::size_t k = 0; k < n; ++k) {
        if (k + kPrefetchAhead < n)
            prefetch(textOf(k + kPrefetchAhead).constData());
        texts[k] = textOf(k);
        for (const QChar unit : texts[k])
            usedUnits[unit.unicode()] = 1;
        const std::optional<double> number = cellNumber(texts[k]);
        numbers[k] = number.value_or(0.0);
        isNumber[k] = number.has_value();
        numberCount += number.has_value();
    }
    std::vector<quint32> ranks;
    if (numberCount < n)
        ranks = TextRanker(texts, usedUnits).take();

    // The rows in their present order, so that equal keys keep it.
    std::vector<int> order = m_order;
    // The keys by plain pointer, for the same reason as in mergeSort.
    const auto sortBy = [&](const auto* keys, auto compare) {
        if (descending)
            mergeSort(order, [&](int a, int b) { return compare(keys[a], keys[b]) > 0; });
        else
            mergeSort(order, [&](int a, int b) { return compare(keys[a], keys[b]) < 0; });
    };
    if (numberCount == n) {
        sortBy(numbers.data(), threeWay<double>);
    } else if (numberCount == 0) {
        order = placeByRank(order, ranks, descending);
    } else {
        std::vector<SortKey> keys(n);
        for (std::size_t k = 0; k < n; ++k)
            keys[k] = {numbers[k], ranks[k], isNumber[k] != 0};
        sortBy(keys.data(), compareKeys);
    }

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOfKept(n);
    for (std::size_t r = 0; r < n; ++r)
        newRowOfKept[static_cast<std::size_t>(order[r])] = static_cast<int>(r);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& at : before) {
        const auto kept = static_cast<std::size_t>(m_order[static_cast<std::size_t>(at.row())]);
        after.append(index(newRowOfKept[kept], at.column()));
    }
    m_order.swap(order);
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
    return compareCellTexts(a, b);
}

} // namespace velmora::ui
