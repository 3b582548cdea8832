#include "sorted_list.h"
#include "columns.h"
#include "grade.h"
#include "result_model.h"

#include <algorithm>
#include <cstring>

namespace {
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

// A double's bits as an unsigned number of the same order.
quint64 ordered(double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits >> 63 ? ~bits : bits | (quint64(1) << 63);
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

SortedList::Key SortedList::keyOf(int column, QByteArrayView utf8, Qt::SortOrder order) const
{
    // The rest goes after the numbers also when the order is reversed.
    const int first = order == Qt::AscendingOrder ? 0 : 1, rest = 1 - first;
    double value = 0;
    if (column == Column::Grade) {
        if (const int index = Grade::indexOf(QUtf8StringView(utf8.data(), utf8.size())); index < Grade::kScaleSize)
            return Key{first, 0, quint64(index), 0};
    } else if (column != Column::Name && number(utf8, value)) {
        return Key{first, 0, ordered(value), 0};
    }
    Key key{column == Column::Name ? first : rest, int(qMin<qsizetype>(utf8.size(), 1 << 30)), 0, 0};
    for (qsizetype i = 0; i < 16; ++i) {
        quint64 &word = i < 8 ? key.high : key.low;
        word = word << 8 | (i < utf8.size() ? quint8(utf8[i]) : 0);
    }
    return key;
}

// Negative, zero or positive as the left row's cell comes before, with or after the right's.
int SortedList::compare(int column, Qt::SortOrder order, int leftRow, const Key &a, int rightRow, const Key &b) const
{
    if (a.group != b.group)
        return a.group < b.group ? -1 : 1;
    if (a.high != b.high)
        return a.high < b.high ? -1 : 1;
    if (a.low != b.low)
        return a.low < b.low ? -1 : 1;
    const int rest = order == Qt::AscendingOrder ? 1 : 0;
    if (column != Column::Name && a.group != rest)
        return 0; // equal numbers
    if (a.length <= 16 || b.length <= 16) // the words held all of the shorter one
        return a.length < b.length ? -1 : a.length > b.length ? 1 : 0;
    return compareBytes(m_list->cellUtf8(leftRow, column), m_list->cellUtf8(rightRow, column));
}

void SortedList::rank(int column, Qt::SortOrder order)
{
    struct Item
    {
        Key key;
        int row;
    };
    std::vector<Item> items(size_t(m_list->rowCount()));
    for (size_t r = 0; r < items.size(); ++r)
        items[r] = {keyOf(column, m_list->cellUtf8(int(r), column), order), int(r)};
    std::sort(items.begin(), items.end(),
              [&](const Item &l, const Item &r) { return compare(column, order, l.row, l.key, r.row, r.key) < 0; });
    m_rank.assign(items.size(), 0);
    int place = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0 && compare(column, order, items[i - 1].row, items[i - 1].key, items[i].row, items[i].key) != 0)
            ++place;
        m_rank[size_t(items[i].row)] = place; // equal cells share a place and keep their order
    }
}

void SortedList::sort(int column, Qt::SortOrder order)
{
    if (column >= 0)
        rank(column, order);
    QSortFilterProxyModel::sort(column, order);
    m_rank = {};
}

bool SortedList::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (!m_rank.empty())
        return m_rank[size_t(left.row())] < m_rank[size_t(right.row())];
    // A row added or changed while sorted finds its place here.
    const int column = left.column();
    const Key a = keyOf(column, m_list->cellUtf8(left.row(), column), sortOrder());
    const Key b = keyOf(column, m_list->cellUtf8(right.row(), column), sortOrder());
    return compare(column, sortOrder(), left.row(), a, right.row(), b) < 0;
}

QVariant SortedList::headerData(int section, Qt::Orientation orientation, int role) const
{
    // A first click on a header sorts ascending, the next one descending.
    if (role == Qt::InitialSortOrderRole && orientation == Qt::Horizontal)
        return int(Qt::AscendingOrder);
    return QSortFilterProxyModel::headerData(section, orientation, role);
}
