#pragma once

#include "pageutil.h"

#include <optional>
#include <vector>

// The requests of a run that are out, and the storage of the pages read before: thousands of
// pages of much the same size, each one's storage serving the next.
class Flights
{
public:
    // One request out: which position of the IDs walked (or the request beside the IDs), its
    // attempt, and when it started.
    struct Flight
    {
        qint64 at;
        int attempt;
        qint64 startedMs;
        Module1::PendingFetch fetch;
        bool beside = false;
    };

    void add(Flight &&flight) { m_out.push_back(std::move(flight)); }
    int size() const { return int(m_out.size()); }
    bool empty() const { return m_out.empty(); }
    bool anyAnswerIn() const;
    // The oldest request out, answered or not (one at a time its answer is simply waited for).
    std::optional<Flight> takeOldest();
    // A request whose answer is in.
    std::optional<Flight> takeAnswered();
    void clear() { m_out.clear(); } // what is still out is abandoned
    void dropBeside();

    Module1::Page sparePage();
    void recycle(Module1::Page &&page, int most);

private:
    std::vector<Flight> m_out;
    std::vector<Module1::Page> m_spare;
};
