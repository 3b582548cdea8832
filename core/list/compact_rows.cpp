#include "compact_rows.h"

#include <cstring>

namespace {
// Blocks grow from a few kilobytes (a list of one row is common) to a megabyte.
constexpr quint32 kFirstBlockBytes = 4 << 10;
constexpr quint32 kBlockBytes = 1 << 20;

// A length as 7 bits a byte, the high bit saying that more follow.
char *putLength(char *at, quint32 n)
{
    while (n >= 0x80) {
        *at++ = char(n | 0x80);
        n >>= 7;
    }
    *at++ = char(n);
    return at;
}

const char *getLength(const char *at, quint32 &n)
{
    n = 0;
    for (int shift = 0;; shift += 7) {
        const quint8 b = quint8(*at++);
        n |= quint32(b & 0x7f) << shift;
        if (!(b & 0x80))
            return at;
    }
}
} // namespace

CompactRows::CompactRows() = default;
CompactRows::~CompactRows() = default;
CompactRows::CompactRows(CompactRows &&) noexcept = default;
CompactRows &CompactRows::operator=(CompactRows &&) noexcept = default;

int CompactRows::size() const { return int(m_rows.size()); }

const char *CompactRows::rowData(int row) const
{
    const Place p = m_rows[size_t(row)];
    return m_blocks[p.block].bytes.get() + p.offset;
}

void CompactRows::store(int row, const std::array<QByteArray, kCells> &cells)
{
    quint32 need = 0;
    for (const QByteArray &c : cells)
        need += quint32(c.size()) + 5;
    // The row stored last, at the end of the last block, is written over where it stands.
    const bool inPlace = row == m_tailRow && m_rows[size_t(row)].offset + need <= m_blocks.back().size;
    if (inPlace)
        m_used = m_rows[size_t(row)].offset;
    if (!inPlace && (m_blocks.empty() || m_used + need > m_blocks.back().size)) {
        const quint32 grown = m_blocks.empty() ? kFirstBlockBytes : qMin(kBlockBytes, m_blocks.back().size * 2);
        const quint32 size = qMax(grown, need);
        m_blocks.push_back({std::shared_ptr<char[]>(new char[size]), size});
        m_used = 0;
    }
    char *start = m_blocks.back().bytes.get() + m_used;
    char *at = start;
    for (const QByteArray &c : cells)
        at = putLength(at, quint32(c.size()));
    for (const QByteArray &c : cells) {
        std::memcpy(at, c.constData(), size_t(c.size()));
        at += c.size();
    }
    const Place place{quint32(m_blocks.size() - 1), m_used};
    m_used += quint32(at - start);
    m_tailRow = row;
    if (row == size())
        m_rows.push_back(place);
    else
        m_rows[size_t(row)] = place;
}

void CompactRows::append(const Cells &cells)
{
    std::array<QByteArray, kCells> bytes;
    for (int c = 0; c < kCells; ++c)
        bytes[size_t(c)] = cells[size_t(c)].toUtf8();
    store(size(), bytes);
}

QByteArrayView CompactRows::cellUtf8(int row, int column) const
{
    if (row < 0 || row >= size() || column < 0 || column >= kCells)
        return {};
    const char *at = rowData(row);
    quint32 skip = 0, length = 0;
    for (int c = 0; c < kCells; ++c) {
        quint32 n;
        at = getLength(at, n);
        if (c < column)
            skip += n;
        else if (c == column)
            length = n;
    }
    return QByteArrayView(at + skip, qsizetype(length));
}

QString CompactRows::cell(int row, int column) const
{
    const QByteArrayView bytes = cellUtf8(row, column);
    return QString::fromUtf8(bytes.data(), bytes.size());
}

void CompactRows::setCell(int row, int column, QStringView text)
{
    if (row < 0 || row >= size() || column < 0 || column >= kCells)
        return;
    std::array<QByteArray, kCells> bytes;
    for (int c = 0; c < kCells; ++c)
        bytes[size_t(c)] = c == column ? text.toUtf8() : cellUtf8(row, c).toByteArray();
    store(row, bytes);
}

void CompactRows::take(CompactRows &&other)
{
    if (m_rows.empty()) {
        *this = std::move(other);
        return;
    }
    // Blocks are appended whole, their rows shifted to the new block numbers; the current
    // last block is left as it is, so later rows go into a fresh one.
    const quint32 base = quint32(m_blocks.size());
    for (Block &block : other.m_blocks)
        m_blocks.push_back(std::move(block));
    m_rows.reserve(m_rows.size() + other.m_rows.size());
    for (const Place &p : other.m_rows)
        m_rows.push_back({p.block + base, p.offset});
    m_used = other.m_blocks.empty() ? m_used : other.m_used;
    m_tailRow = -1;
    other.m_blocks.clear(); // moved from: none of them may be kept for reuse
    other.clear();
}

CompactRows CompactRows::share()
{
    CompactRows shared;
    shared.m_blocks = m_blocks;
    shared.m_rows = m_rows;
    shared.m_used = shared.m_blocks.empty() ? 0 : shared.m_blocks.back().size; // full: never written into
    // The last row is no longer rewritten where the share reads it.
    m_tailRow = -1;
    return shared;
}

void CompactRows::clear()
{
    // One ordinary block stays for the next rows: a list emptied after every row (a stream)
    // would otherwise allocate a block for each one.
    const bool keepFirst = !m_blocks.empty() && m_blocks.front().size == kFirstBlockBytes && m_blocks.front().bytes.use_count() == 1;
    m_blocks.resize(keepFirst ? 1 : 0);
    m_rows.clear();
    if (m_rows.capacity() > 1024)
        m_rows.shrink_to_fit();
    m_used = 0;
    m_tailRow = -1;
}
