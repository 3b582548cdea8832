#include "list_snapshot.h"
#include "result_model.h"

#include <QAbstractProxyModel>

#include <numeric>

ListSnapshot::ListSnapshot(ResultModel &list, const QAbstractItemModel &shown) : m_rows(list.share())
{
    m_order.resize(size_t(m_rows.size()));
    const auto *view = qobject_cast<const QAbstractProxyModel *>(&shown);
    if (!view || view->rowCount() != m_rows.size()) {
        std::iota(m_order.begin(), m_order.end(), 0);
        return;
    }
    for (int r = 0; r < m_rows.size(); ++r)
        m_order[size_t(r)] = view->mapToSource(view->index(r, 0)).row();
}

int ListSnapshot::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_rows.size(); }

int ListSnapshot::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : Column::kCount; }

QVariant ListSnapshot::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return m_rows.cell(m_order[size_t(index.row())], index.column());
}

QVariant ListSnapshot::headerData(int section, Qt::Orientation orientation, int role) const
{
    return orientation == Qt::Horizontal && role == Qt::DisplayRole ? QVariant(Column::header(section)) : QVariant();
}

QByteArrayView ListSnapshot::cellUtf8(int row, int column) const { return m_rows.cellUtf8(m_order[size_t(row)], column); }
