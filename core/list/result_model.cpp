#include "result_model.h"

ResultModel::ResultModel(QObject *parent) : QAbstractTableModel(parent) {}

int ResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int ResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant ResultModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole)
        return m_rows.cell(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return {};
    if (role == Qt::DisplayRole)
        return Column::header(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void ResultModel::appendRow(const QString &ownText)
{
    const int row = m_rows.size();
    beginInsertRows({}, row, row);
    Row cells;
    cells[Column::Index] = ownText;
    m_rows.append(cells);
    endInsertRows();
}

void ResultModel::appendRows(CompactRows &&rows)
{
    if (rows.size() == 0)
        return;
    const int first = m_rows.size();
    beginInsertRows({}, first, first + rows.size() - 1);
    m_rows.take(std::move(rows));
    endInsertRows();
}

void ResultModel::setCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= kColumns)
        return;
    m_rows.setCell(row, column, text);
    const QModelIndex at = index(row, column);
    Q_EMIT dataChanged(at, at, {Qt::DisplayRole});
}

QString ResultModel::cell(int row, int column) const
{
    return m_rows.cell(row, column);
}

QByteArrayView ResultModel::cellUtf8(int row, int column) const { return m_rows.cellUtf8(row, column); }

void ResultModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}
