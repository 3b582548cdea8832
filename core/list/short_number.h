#pragma once

#include <QStringView>

#include <optional>

// The site writes large counters in short forms ("1.2万" for 12,000, "3亿" for 300,000,000).
namespace ShortNumber {

// The number a counter's text stands for: plain digits, or a decimal followed by 万, 亿, w or W
// (a trailing + ignored). Nothing for any other text, such as a counter the page lacked.
std::optional<qint64> read(QStringView text);

// The number text is in plain digits (no sign, no leading zero), so that the number alone
// gives the text back; nothing for any other text.
std::optional<qint64> plainDigits(QStringView text);

} // namespace ShortNumber
