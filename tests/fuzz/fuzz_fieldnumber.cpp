#include "fuzz_input.h"
#include "pageutil.h"

#include <QRegularExpression>

// The field number against a plain reference: for short decimal numbers the exact value
// is worked out in whole numbers (tenths of millionths), halves going to the even neighbour.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    qint64 got = 0;
    bool overflow = false;
    try {
        got = Module1::fieldNumber(text);
    } catch (const Module1::Failure &f) {
        FUZZ_CHECK(f.code() == 6);
        overflow = true;
    }
    static const QRegularExpression simple(
        QStringLiteral("^[ \\t\\r\\n]*+([+-]?+)(\\d{0,12}+)(?:\\.(\\d{0,6}+))?(?:[^\\d.].*)?$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = simple.match(text);
    if (!m.hasMatch())
        return 0;
    const QString whole = m.captured(2), fraction = m.captured(3);
    if (whole.isEmpty() && fraction.isEmpty()) {
        // No digit at the start: a zero, unless a longer fraction follows the point.
        if (!text.contains(u'.'))
            FUZZ_CHECK(!overflow && got == 0);
        return 0;
    }
    const qint64 units = whole.toLongLong() * 1000000 + fraction.leftJustified(6, u'0').toLongLong();
    qint64 rounded = units / 1000000;
    const qint64 rest = units % 1000000;
    if (rest > 500000 || (rest == 500000 && rounded % 2 != 0))
        ++rounded;
    const qint64 expected = m.captured(1) == u"-" ? -rounded : rounded;
    const bool fits = expected >= -2147483648LL && expected <= 2147483647LL;
    FUZZ_CHECK(overflow == !fits);
    FUZZ_CHECK(overflow || got == expected);
    return 0;
}
