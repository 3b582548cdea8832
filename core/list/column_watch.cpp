#include "column_watch.h"

#include <cstddef>

bool ColumnWatch::read(int column, bool found)
{
    if (column < 0 || column >= Column::kCount)
        return false;
    const auto c = std::size_t(column);
    if (found) {
        m_found[c] = true;
        m_missing[c] = 0;
        return false;
    }
    if (!m_found[c] || m_said[c] || ++m_missing[c] < kLatest)
        return false;
    m_said[c] = true;
    return true;
}
