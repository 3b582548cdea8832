#pragma once

#include "columns.h"
#include "compact_rows.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <vector>

// The result list: rows of ten text cells under fixed headers. Rows are appended and their
// cells set one at a time, the way a harvest fills them; a cell never set reads empty. Rows
// are kept compactly, so that a list of a million rows fits in little memory.
class ResultModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kColumns = Column::kCount;
    using Row = CompactRows::Cells;

    explicit ResultModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void appendRow(const QString &ownText);
    // Whole rows at once, as a journal restores them.
    void appendRows(CompactRows &&rows);
    void setCell(int row, int column, const QString &text);
    QString cell(int row, int column) const;
    // The cell's UTF-8 bytes, valid until the list next changes.
    QByteArrayView cellUtf8(int row, int column) const;
    void clear();
    // The rows as they stand now, to be read on another thread while these go on changing.
    CompactRows share() { return m_rows.share(); }

private:
    CompactRows m_rows;
};
