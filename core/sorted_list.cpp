#include "sorted_list.h"
#include "grade.h"
#include "result_model.h"

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
    if (column == kGradeColumn) {
        const int index = Grade::indexOf(QString::fromUtf8(utf8.data(), utf8.size()));
        return index < Grade::kScaleSize ? Key{0, double(index)} : Key{1, 0};
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

void SortedList::sort(int column, Qt::SortOrder order)
{
    // Keys worked out once per row rather than twice per comparison.
    if (column >= 0 && column != kNameColumn) {
        m_keys.resize(size_t(m_list->rowCount()));
        for (int r = 0; r < m_list->rowCount(); ++r)
            m_keys[size_t(r)] = keyOf(column, m_list->cellUtf8(r, column));
    }
    QSortFilterProxyModel::sort(column, order);
    m_keys.clear();
    m_keys.shrink_to_fit();
}

bool SortedList::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int column = left.column();
    if (column == kNameColumn) {
        return compareBytes(m_list->cellUtf8(left.row(), column), m_list->cellUtf8(right.row(), column)) < 0;
    }
    const Key a = key(left.row()), b = key(right.row());
    if (a.rank != b.rank) // the rest after the numbers, also when the order is reversed
        return sortOrder() == Qt::AscendingOrder ? a.rank < b.rank : a.rank > b.rank;
    if (a.rank == 0)
        return a.value < b.value;
    return compareBytes(m_list->cellUtf8(left.row(), column), m_list->cellUtf8(right.row(), column)) < 0;
}

QVariant SortedList::headerData(int section, Qt::Orientation orientation, int role) const
{
    // A first click on a header sorts ascending, the next one descending.
    if (role == Qt::InitialSortOrderRole && orientation == Qt::Horizontal)
        return int(Qt::AscendingOrder);
    return QSortFilterProxyModel::headerData(section, orientation, role);
}
