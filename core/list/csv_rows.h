#pragma once

#include "result_model.h"

#include <QStringView>

#include <vector>

// Reads back the rows of the CSV layout the export writes: the row's own text bare, every
// sub-item as ="value" or, when protected, as the quoted field "=""value""".
namespace CsvRows {

struct Parsed
{
    std::vector<ResultModel::Row> rows;
    bool ok = true;   // false: a whole line that is not a row of that layout
    bool torn = false; // the text ends inside a line (that line is left out)
    qsizetype consumed = 0; // where the text after the last whole row begins
};

Parsed parse(QStringView text);

} // namespace CsvRows
