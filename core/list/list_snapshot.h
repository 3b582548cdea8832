#pragma once

#include "compact_rows.h"

#include <QAbstractTableModel>

#include <vector>

class ResultModel;

// The result list as it stood at one moment, in the order shown then: what a save writes,
// read on a thread of its own while the list goes on growing, is cleared or is sorted again.
class ListSnapshot : public QAbstractTableModel
{
    Q_OBJECT
public:
    // shown: list itself, or a view that only orders its rows.
    ListSnapshot(ResultModel &list, const QAbstractItemModel &shown);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // The cell's UTF-8 bytes, of the row-th row as shown.
    QByteArrayView cellUtf8(int row, int column) const;

private:
    CompactRows m_rows;
    std::vector<int> m_order; // the list's row of each row shown
};
