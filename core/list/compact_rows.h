#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <memory>
#include <vector>

// Rows of ten text cells kept compactly for lists of millions: each row's cells as one run
// of UTF-8 bytes behind their lengths, in large blocks that never move. A cell is decoded
// only when it is read. The last row can be rewritten in place, as a harvest fills it cell
// by cell; rewriting an earlier one moves it to the end. A share of the rows as they stand
// reads the same blocks, which this one never writes over again: another thread may read
// the share while these rows go on changing.
class CompactRows
{
public:
    static constexpr int kCells = 10;
    using Cells = std::array<QString, kCells>;

    CompactRows();
    ~CompactRows();
    CompactRows(CompactRows &&) noexcept;
    CompactRows &operator=(CompactRows &&) noexcept;

    int size() const;
    void append(const Cells &cells);
    void setCell(int row, int column, QStringView text);
    QString cell(int row, int column) const;
    QByteArrayView cellUtf8(int row, int column) const;
    // Moves the rows of other behind these.
    void take(CompactRows &&other);
    // The rows as they stand now, for reading elsewhere.
    CompactRows share();
    void clear();

private:
    struct Place
    {
        quint32 block;
        quint32 offset;
    };
    void store(int row, const std::array<QByteArray, kCells> &cells);
    const char *rowData(int row) const;

    struct Block
    {
        std::shared_ptr<char[]> bytes;
        quint32 size;
    };
    std::vector<Block> m_blocks;
    quint32 m_used = 0;  // bytes used in the last block
    int m_tailRow = -1;  // the row whose bytes end there
    std::vector<Place> m_rows;
};
