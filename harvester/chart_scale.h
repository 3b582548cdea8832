#pragma once

#include <QString>

#include <vector>

// The scale of a chart's axis: four or five round values (steps of 1, 2, 2.5 or 5 times a
// power of ten) that take in low to high, and their labels in the site's short forms.
namespace ChartScale {

std::vector<qint64> ticks(qint64 low, qint64 high);
// "9500", "1.2万", "1.25万", "3亿": as the site writes large counters.
QString label(qint64 value);
// "+1,234 (+12.3%)": the change from before to after.
QString change(qint64 before, qint64 after);

} // namespace ChartScale
