#include "id_sequence.h"

#include <algorithm>

IdSequence::IdSequence(qint64 first, qint64 last) : m_first(first), m_last(last) {}

IdSequence::IdSequence(std::vector<qint32> ids) : m_ids(std::move(ids)), m_listed(true) {}

qint64 IdSequence::size() const
{
    return m_listed ? qint64(m_ids.size()) : qMax<qint64>(0, m_last - m_first + 1);
}

qint64 IdSequence::at(qint64 position) const
{
    return m_listed ? m_ids[size_t(position)] : m_first + position;
}

qint64 IdSequence::positionOf(qint64 id) const
{
    if (!m_listed)
        return qBound<qint64>(0, id - m_first, size());
    return std::lower_bound(m_ids.begin(), m_ids.end(), id) - m_ids.begin();
}
