#include "in_order.h"

InOrderCommit::InOrderCommit(qint64 first) : m_oldest(first) {}

void InOrderCommit::put(qint64 id, Answer &&answer)
{
    if (id >= m_oldest)
        m_held[id] = std::move(answer);
}

bool InOrderCommit::nextReady() const { return !m_held.empty() && m_held.begin()->first == m_oldest; }

InOrderCommit::Answer &InOrderCommit::next() { return m_held.begin()->second; }

InOrderCommit::Answer InOrderCommit::takeNext()
{
    auto it = m_held.begin();
    Answer answer = std::move(it->second);
    m_held.erase(it);
    ++m_oldest;
    return answer;
}

qint64 InOrderCommit::oldestUnfinished() const { return m_oldest; }
