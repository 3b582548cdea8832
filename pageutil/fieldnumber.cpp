#include "pageutil.h"

#include <limits>

namespace Module1 {

namespace {
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }
} // namespace

qint32 fieldNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    // The integer part is accumulated with a ceiling far above the 32-bit range, so any
    // number of digits is read without wrapping.
    constexpr qint64 ceiling = qint64(1) << 40;
    qint64 whole = 0;
    bool sawDigit = false;
    for (; i < n && isDigit(text[i]); ++i) {
        sawDigit = true;
        whole = qMin(ceiling, whole * 10 + (text[i].unicode() - u'0'));
    }

    // Rounding needs only the first fraction digit and whether any later digit is non-zero.
    int firstFraction = -1;
    bool laterNonZero = false;
    if (i < n && text[i] == u'.') {
        for (++i; i < n && isDigit(text[i]); ++i) {
            sawDigit = true;
            const int d = text[i].unicode() - u'0';
            if (firstFraction < 0)
                firstFraction = d;
            else if (d != 0)
                laterNonZero = true;
        }
    }
    if (!sawDigit)
        return 0;

    bool up = false;
    if (firstFraction > 5 || (firstFraction == 5 && laterNonZero))
        up = true;
    else if (firstFraction == 5)
        up = (whole % 2) != 0; // an exact half goes to the even neighbour
    const qint64 magnitude = whole + (up ? 1 : 0);
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        throw Failure(Overflow);
    return static_cast<qint32>(value);
}

} // namespace Module1
