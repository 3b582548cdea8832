#pragma once

#include <QtGlobal>

#include <vector>

// The IDs a run walks, in ascending order: a whole range, or exactly the IDs of a list. A run
// counts positions in it, so a list with gaps is walked as a range without them.
class IdSequence
{
public:
    IdSequence(qint64 first, qint64 last);
    // ids ascending, each once.
    explicit IdSequence(std::vector<qint32> ids);

    qint64 size() const;
    qint64 at(qint64 position) const;
    qint64 first() const { return at(0); }
    qint64 last() const { return at(size() - 1); }
    // The position of the first ID at or above id; size() when there is none.
    qint64 positionOf(qint64 id) const;

private:
    qint64 m_first = 0, m_last = -1;
    std::vector<qint32> m_ids;
    bool m_listed = false;
};
