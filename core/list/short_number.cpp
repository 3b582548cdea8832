#include "short_number.h"

#include <QString>

#include <cmath>

namespace ShortNumber {

std::optional<qint64> read(QStringView text)
{
    text = text.trimmed();
    if (text.endsWith(u'+'))
        text.chop(1);
    double scale = 1;
    if (text.endsWith(u'万') || text.endsWith(u'w') || text.endsWith(u'W'))
        scale = 1e4;
    else if (text.endsWith(u'亿'))
        scale = 1e8;
    if (scale > 1)
        text = text.chopped(1).trimmed();
    // Digits with at most one point inside them (and a point only with a short form).
    int points = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'.' && i > 0 && i + 1 < text.size())
            ++points;
        else if (text[i] < u'0' || text[i] > u'9')
            return std::nullopt;
    }
    if (text.isEmpty() || points > (scale > 1 ? 1 : 0) || text.size() > 15)
        return std::nullopt;
    if (scale == 1)
        return text.toLongLong();
    return qint64(std::llround(text.toDouble() * scale));
}

std::optional<qint64> plainDigits(QStringView text)
{
    if (text.isEmpty() || text.size() > 18 || (text.size() > 1 && text[0] == u'0'))
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace ShortNumber
