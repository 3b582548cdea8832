#pragma once

#include <QtGlobal>

#include <map>

namespace Module1 {
struct FetchOutcome;
}
class SitePace;

// The refusals of the pace's making an ID may have free, not counted as attempts. The head of
// the line, asked first whenever the pace allows, meets a full site more often than the IDs
// after it: it may have as many free refusals as any other ID was refused around its
// refusals, and two in any case, never more. An ID the site refuses for itself, while it takes
// the others or refuses them now and then, gets its three tries and two more at most.
class FreeRefusals
{
public:
    // How many such refusals key has had free before this answer; kFreeRefusals when this one
    // is not to be free. paceRefused: the pace took the answer for a refusal of its making.
    int of(qint64 key, const Module1::FetchOutcome &outcome, bool paceRefused, const SitePace &pace);
    void clear() { m_refusals.clear(); }

private:
    // An ID's refusals: those not counted as attempts, and all of them.
    struct Refusals
    {
        int free = 0, all = 0;
        qint64 since = 0, last = 0; // the site's count of refusals just before its first, at its last
    };
    static constexpr int kLeastFree = 2;
    std::map<qint64, Refusals> m_refusals;
};
