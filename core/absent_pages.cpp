#include "absent_pages.h"

namespace {
// Sites have one or two "no such profile" pages; a handful of looks covers them.
constexpr int kLooksKept = 16;

QString masked(const QString &gist)
{
    QString key;
    key.reserve(gist.size());
    for (const QChar c : gist) {
        if (!c.isDigit())
            key += c;
        else if (!key.endsWith(u'#'))
            key += u'#';
    }
    return key;
}
} // namespace

AbsentPages::Look AbsentPages::lookOf(const Module1::FetchOutcome &why) { return {why.httpStatus, masked(why.gist)}; }

bool AbsentPages::isAbsence(const Look &look) const
{
    return look.status == 404 || look.status == 410 || m_lastProfile < 0 || m_known.contains(look);
}

void AbsentPages::learn(const Look &look)
{
    if (!m_known.contains(look) && m_known.size() < kLooksKept)
        m_known << look;
}

void AbsentPages::counted(const Module1::FetchOutcome &why)
{
    const QString key = masked(why.gist);
    for (Seen &seen : m_seen) {
        if (seen.key == key) {
            ++seen.count;
            return;
        }
    }
    if (m_seen.size() < kLooksKept)
        m_seen.append({key, why.gist, 1});
}

QPair<QString, qint64> AbsentPages::commonest() const
{
    QPair<QString, qint64> best;
    for (const Seen &seen : m_seen) {
        if (seen.count > best.second)
            best = {seen.gist, seen.count};
    }
    return best;
}
