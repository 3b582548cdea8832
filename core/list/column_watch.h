#pragma once

#include "columns.h"

#include <array>

// Notices a column whose marker the latest profiles lack when earlier ones had it: the
// site's pages have likely changed, and the rows would fill with "Nothing" unremarked.
class ColumnWatch
{
public:
    static constexpr int kLatest = 50;
    // A cell of column was read from a profile, found or not; true once, when the column is
    // lost (found before, missing from the latest kLatest).
    bool read(int column, bool found);

private:
    std::array<int, Column::kCount> m_missing{};
    std::array<bool, Column::kCount> m_found{}, m_said{};
};
