#pragma once

#include <QString>

#include <array>

// The ten columns of a result row, in the list's order: every place that means a column
// names it here, and the list's headers and the command line's field names come from here.
namespace Column {

enum Id : int {
    Index,      // the row's number
    Name,       // the display name
    HomepageId, // the profile ID the page was asked for
    UserId,
    Grade,
    Plays,
    Works,
    Shares,
    Follows,
    Fans,
};
constexpr int kCount = 10;

// The cells read from a profile page by their markers, beside the name: what a changed page
// layout loses.
constexpr std::array<Id, 6> kRead = {UserId, Plays, Works, Shares, Follows, Fans};
// The five counters, in the list's order.
constexpr std::array<Id, 5> kCounters = {Plays, Works, Shares, Follows, Fans};
// A number in a workbook: the row's number and the counters.
constexpr bool isCounted(int column) { return column == Index || column >= Plays; }

QString header(int column);           // the list's header text ("Lirra用户名")
QLatin1String key(int column);    // the command line's field name ("homepage_id")
QLatin1String english(int column); // as the command line says it ("homepage ID")

} // namespace Column
