#include "changes_model.h"
#include "workbook.h"

// The change view as a workbook, sheet "变化": each counter's value as a number, its
// difference and percentage as numbers that show their sign, the previous harvest's time as
// a date; the rows in the order shown.
bool saveChangesWorkbook(const ChangesModel &model, const QString &path, std::atomic<int> *rowsDone)
{
    const int rows = model.rowCount();
    if (rows <= 0)
        return false;
    QStringList headers;
    std::vector<Workbook::Kind> kinds;
    for (int c = 0; c < ChangesModel::kColumns; ++c) {
        headers << model.headerData(c, Qt::Horizontal).toString();
        const int part = (c - ChangesModel::kFirstCounter) % 3;
        kinds.push_back(c == ChangesModel::kColumns - 1      ? Workbook::Time
                        : c < ChangesModel::kFirstCounter    ? Workbook::Text
                        : part == 0                          ? Workbook::Count
                        : part == 1                          ? Workbook::Signed
                                                             : Workbook::SignedPercent);
    }
    Workbook book(path, QStringLiteral("变化"), headers, kinds);
    for (int r = 0; r < rows && book.ok(); ++r) {
        book.beginRow();
        for (int c = 0; c < ChangesModel::kColumns; ++c) {
            // A cell the view shows empty has no value; the others' values are the view's own
            // to sort by: the numbers, and the previous harvest's time in seconds.
            const QModelIndex index = model.index(r, c);
            const QString shown = model.data(index).toString();
            const Workbook::Kind kind = kinds[size_t(c)];
            if (kind == Workbook::Text)
                book.text(c, shown);
            else if (shown.isEmpty())
                continue;
            else if (kind == Workbook::Time)
                book.time(c, model.data(index, Qt::UserRole).toLongLong());
            else
                book.number(c, model.data(index, Qt::UserRole).toDouble() / (kind == Workbook::SignedPercent ? 100 : 1));
        }
        if (rowsDone)
            rowsDone->store(r + 1, std::memory_order_relaxed);
    }
    return book.close();
}
