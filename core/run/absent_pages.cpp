#include "absent_pages.h"

namespace {
// Sites have one or two "no such profile" pages; a handful of looks covers them.
constexpr int kLooksKept = 16;
} // namespace

QString AbsentPages::masked(const QString &gist)
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

AbsentPages::Look AbsentPages::lookOf(const Module1::FetchOutcome &why) { return {why.httpStatus, masked(why.gist)}; }

bool AbsentPages::confirmed(const Look &look) const
{
    return look.status == 404 || look.status == 410 || m_known.contains(look);
}

bool AbsentPages::learn(const Look &look)
{
    if (m_known.contains(look) || m_known.size() >= kLooksKept || look.status == 404 || look.status == 410)
        return false;
    m_known << look;
    return true;
}
