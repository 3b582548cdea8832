#include "chart_scale.h"
#include "changes_model.h"

#include <algorithm>
#include <cstdlib>

namespace ChartScale {

namespace {
qint64 floorTo(qint64 value, qint64 step) { return (value >= 0 ? value / step : -((-value + step - 1) / step)) * step; }
qint64 ceilTo(qint64 value, qint64 step) { return -floorTo(-value, step); }

std::vector<qint64> spread(qint64 first, qint64 last, qint64 step, bool mayGoBelowZero)
{
    // Three or four steps: where the range takes fewer, the scale grows downward while it
    // stays at or above zero (for counters that never go below it), else upward.
    while ((last - first) / step < 3) {
        if (first - step >= 0 || mayGoBelowZero)
            first -= step;
        else
            last += step;
    }
    std::vector<qint64> values;
    for (qint64 v = first; v <= last; v += step)
        values.push_back(v);
    return values;
}
} // namespace

std::vector<qint64> ticks(qint64 low, qint64 high)
{
    if (low > high)
        std::swap(low, high);
    if (low == high) { // a flat line, in the middle of a scale around it
        const qint64 pad = std::max<qint64>(1, std::abs(high) / 10);
        low = low >= 0 ? std::max<qint64>(0, low - pad) : low - pad;
        high += pad;
    }
    for (qint64 magnitude = 1;; magnitude *= 10) {
        for (const qint64 step : {magnitude, 2 * magnitude, magnitude >= 10 ? magnitude / 2 * 5 : 0, 5 * magnitude}) {
            if (step == 0)
                continue;
            const qint64 first = floorTo(low, step), last = ceilTo(high, step);
            if ((last - first) / step <= 4)
                return spread(first, last, step, low < 0);
        }
    }
}

QString label(qint64 value)
{
    const qint64 size = std::abs(value);
    if (size < 10000)
        return QString::number(value);
    const bool hundredMillions = size >= 100000000;
    QString digits = QString::number(double(value) / (hundredMillions ? 1e8 : 1e4), 'f', 2);
    while (digits.endsWith(u'0'))
        digits.chop(1);
    if (digits.endsWith(u'.'))
        digits.chop(1);
    return digits + (hundredMillions ? u'亿' : u'万');
}

QString change(qint64 before, qint64 after)
{
    QString text = ChangesModel::signedNumber(after - before);
    if (before != 0)
        text += QStringLiteral(" (%1)").arg(ChangesModel::signedPercent(100.0 * double(after - before) / double(before)));
    return text;
}

} // namespace ChartScale
