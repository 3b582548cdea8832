#include "pageutil.h"

namespace Module1 {

namespace {
// The text between the first startMark at or after `from` and the next endMark after it.
// Returns false when the start mark is absent; fails when no end mark follows it.
bool cutAfter(QStringView text, qsizetype from, QStringView startMark, QStringView endMark,
              QString &out)
{
    const qsizetype a = findMarker(text, startMark, from);
    if (a < 0)
        return false;
    const qsizetype b = a + startMark.size();
    const qsizetype c = findMarker(text, endMark, b);
    if (c < 0)
        throw Failure(InvalidArgument);
    out = text.mid(b, c - b).toString();
    return true;
}
} // namespace

QString textBetween(QStringView text, QStringView startMark, QStringView endMark)
{
    QString out;
    return cutAfter(text, 0, startMark, endMark, out) ? out : missingValue();
}

QString textAfterAnchor(QStringView text, QStringView anchor, QStringView startMark,
                        QStringView endMark)
{
    const qsizetype a = findMarker(text, anchor);
    if (a < 0)
        return missingValue();
    QString out;
    return cutAfter(text, a + anchor.size(), startMark, endMark, out) ? out : missingValue();
}

int countOccurrences(QStringView text, QStringView marker)
{
    if (marker.isEmpty())
        throw Failure(Overflow);
    int count = 0;
    for (qsizetype at = findMarker(text, marker); at >= 0;
         at = findMarker(text, marker, at + marker.size()))
        ++count;
    return count;
}

} // namespace Module1
