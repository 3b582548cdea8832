#pragma once

#include "result_model.h"
#include "workbook.h"

#include <atomic>

class QAbstractItemModel;

// The result list as a workbook, sheet "采集结果": Index and the five counters as numbers
// where their text is one, the names, IDs and grades as text, as the list shows them.
namespace ListWorkbook {

std::unique_ptr<Workbook> open(const QString &path);
void addRow(Workbook &book, const ResultModel::Row &cells);

// The rows of shown (the result list, a sorted view of it, or a snapshot of either) in the order
// shown: false when the list is empty or the file could not be written. rowsDone, when given,
// counts the rows written; it is the whole count while the file is finished.
bool save(const QAbstractItemModel &shown, const QString &path, std::atomic<int> *rowsDone = nullptr);

} // namespace ListWorkbook
