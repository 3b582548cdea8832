#include "pageutil.h"

#include <cstring>

namespace Module1 {

namespace {
QString toText(QStringView text) { return text.toString(); }

QString toText(QUtf8StringView text)
{
    // fromUtf8 drops a byte-order mark at the start; inside a page it is a character like
    // any other, and the decoded page keeps it.
    static constexpr char bom[] = "\xEF\xBB\xBF";
    if (text.size() >= 3 && std::memcmp(text.data(), bom, 3) == 0)
        return QChar(0xFEFF) + toText(text.sliced(3));
    return text.toString();
}

// The text between the first startMark at or after `from` and the next endMark after it.
// Returns false when the start mark is absent; fails when no end mark follows it.
template <typename View>
bool cutAfter(View text, qsizetype from, View startMark, View endMark, QString &out)
{
    const qsizetype a = findMarker(text, startMark, from);
    if (a < 0)
        return false;
    const qsizetype b = a + startMark.size();
    const qsizetype c = findMarker(text, endMark, b);
    if (c < 0)
        throw Failure(InvalidArgument);
    out = toText(text.sliced(b, c - b));
    return true;
}

template <typename View>
QString between(View text, View startMark, View endMark)
{
    QString out;
    return cutAfter(text, 0, startMark, endMark, out) ? out : missingValue();
}

template <typename View>
QString afterAnchor(View text, View anchor, View startMark, View endMark)
{
    const qsizetype a = findMarker(text, anchor);
    if (a < 0)
        return missingValue();
    QString out;
    return cutAfter(text, a + anchor.size(), startMark, endMark, out) ? out : missingValue();
}
} // namespace

QString textBetween(QStringView text, QStringView startMark, QStringView endMark)
{
    return between(text, startMark, endMark);
}

QString textBetween(QUtf8StringView text, QUtf8StringView startMark, QUtf8StringView endMark)
{
    return between(text, startMark, endMark);
}

QString textAfterAnchor(QStringView text, QStringView anchor, QStringView startMark,
                        QStringView endMark)
{
    return afterAnchor(text, anchor, startMark, endMark);
}

QString textAfterAnchor(QUtf8StringView text, QUtf8StringView anchor, QUtf8StringView startMark,
                        QUtf8StringView endMark)
{
    return afterAnchor(text, anchor, startMark, endMark);
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
