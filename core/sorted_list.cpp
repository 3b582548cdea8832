#include "sorted_list.h"
#include "grade.h"
#include "result_model.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kNameColumn = 1;
constexpr int kGradeColumn = 4;

// A whole cell that is a decimal number: an optional minus, digits, an optional fraction.
bool number(QByteArrayView text, double &value)
{
    qsizetype i = text.startsWith('-') ? 1 : 0;
    const qsizetype digitsFrom = i;
    double whole = 0, scale = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            whole = whole * 10 + (c - '0');
            if (scale > 0)
                scale *= 10;
        } else if (c == '.' && scale == 0 && i > digitsFrom) {
            scale = 1;
        } else {
            return false;
        }
    }
    if (i == digitsFrom || (scale > 0 && text.endsWith('.')))
        return false;
    value = (scale > 0 ? whole / scale : whole) * (digitsFrom ? -1 : 1);
    return true;
}

int compareBytes(QByteArrayView a, QByteArrayView b)
{
    // UTF-8 bytes compare as their code points do.
    const int c = std::memcmp(a.data(), b.data(), size_t(qMin(a.size(), b.size())));
    return c != 0 ? c : a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}
} // namespace

SortedList::SortedList(ResultModel *list, QObject *parent) : QSortFilterProxyModel(parent), m_list(list)
{
    setSourceModel(list);
    setDynamicSortFilter(true);
}

SortedList::Key SortedList::keyOf(int column, QByteArrayView utf8)
{
    if (column == kNameColumn) {
        Key key{0, 0};
        for (qsizetype i = 0; i < 16; ++i)
            key.prefix[i / 8] = key.prefix[i / 8] << 8 | (i < utf8.size() ? quint8(utf8[i]) : 0);
        return key;
    }
    if (column == kGradeColumn) {
        static const std::vector<QByteArray> labels = [] {
            std::vector<QByteArray> out;
            for (const QString &label : Grade::scale())
                out.push_back(label.toUtf8());
            return out;
        }();
        for (size_t i = 0; i < labels.size(); ++i) {
            if (utf8 == labels[i])
                return Key{0, double(i)};
        }
        return Key{1, 0};
    }
    double value = 0;
    return number(utf8, value) ? Key{0, value} : Key{1, 0};
}

SortedList::Key SortedList::key(int row) const
{
    if (size_t(row) < m_keys.size())
        return m_keys[size_t(row)];
    return keyOf(sortColumn(), m_list->cellUtf8(row, sortColumn()));
}

QByteArrayView SortedList::text(int row, int column) const
{
    return size_t(row) < m_texts.size() ? m_texts[size_t(row)] : m_list->cellUtf8(row, column);
}

// Names ranked once, on their keys alone where the first bytes differ, so that the sort
// itself compares numbers and does not wander through the rows' memory.
void SortedList::rankNames()
{
    std::vector<int> rows(m_keys.size());
    for (size_t r = 0; r < rows.size(); ++r)
        rows[r] = int(r);
    const auto compare = [this](int l, int r) {
        const Key &a = m_keys[size_t(l)], &b = m_keys[size_t(r)];
        if (a.prefix[0] != b.prefix[0])
            return a.prefix[0] < b.prefix[0] ? -1 : 1;
        if (a.prefix[1] != b.prefix[1])
            return a.prefix[1] < b.prefix[1] ? -1 : 1;
        return compareBytes(m_texts[size_t(l)], m_texts[size_t(r)]);
    };
    std::sort(rows.begin(), rows.end(), [&compare](int l, int r) { return compare(l, r) < 0; });
    double rank = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0 && compare(rows[i - 1], rows[i]) != 0)
            ++rank;
        m_keys[size_t(rows[i])].value = rank;
    }
    m_ranked = true;
}

void SortedList::sort(int column, Qt::SortOrder order)
{
    if (column >= 0) {
        // The list does not change during the sort, so views of its bytes stay valid.
        m_texts.resize(size_t(m_list->rowCount()));
        for (int r = 0; r < m_list->rowCount(); ++r)
            m_texts[size_t(r)] = m_list->cellUtf8(r, column);
        m_keys.resize(m_texts.size());
        for (size_t r = 0; r < m_texts.size(); ++r)
            m_keys[r] = keyOf(column, m_texts[r]);
        if (column == kNameColumn)
            rankNames();
    }
    QSortFilterProxyModel::sort(column, order);
    m_keys = {};
    m_texts = {};
    m_ranked = false;
}

bool SortedList::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int column = left.column();
    const Key a = key(left.row()), b = key(right.row());
    if (column == kNameColumn && m_ranked)
        return a.value < b.value;
    if (column == kNameColumn) {
        if (a.prefix[0] != b.prefix[0])
            return a.prefix[0] < b.prefix[0];
        if (a.prefix[1] != b.prefix[1])
            return a.prefix[1] < b.prefix[1];
        return compareBytes(text(left.row(), column), text(right.row(), column)) < 0;
    }
    if (a.rank != b.rank) // the rest after the numbers, also when the order is reversed
        return sortOrder() == Qt::AscendingOrder ? a.rank < b.rank : a.rank > b.rank;
    if (a.rank == 0)
        return a.value < b.value;
    return compareBytes(text(left.row(), column), text(right.row(), column)) < 0;
}

QVariant SortedList::headerData(int section, Qt::Orientation orientation, int role) const
{
    // A first click on a header sorts ascending, the next one descending.
    if (role == Qt::InitialSortOrderRole && orientation == Qt::Horizontal)
        return int(Qt::AscendingOrder);
    return QSortFilterProxyModel::headerData(section, orientation, role);
}
