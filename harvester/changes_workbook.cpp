#include "changes_model.h"
#include "workbook.h"

// The change view as a workbook, sheet "变化": each counter's value as a number, its
// difference and percentage as numbers that show their sign, the previous harvest's time as
// a date; the rows in the order shown.
bool saveChangesWorkbook(const ChangesModel &model, const QString &path)
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
        const ChangeRow &row = model.row(r);
        for (int c = 0; c < ChangesModel::kColumns; ++c) {
            const QVariant sortValue = model.data(model.index(r, c), Qt::UserRole);
            const bool none = sortValue.userType() == QMetaType::Double
                              && sortValue.toDouble() == std::numeric_limits<double>::lowest();
            if (kinds[size_t(c)] == Workbook::Text)
                book.text(c, model.data(model.index(r, c)).toString());
            else if (kinds[size_t(c)] == Workbook::Time && row.previousAt != 0)
                book.time(c, row.previousAt);
            else if (!none && kinds[size_t(c)] != Workbook::Time)
                book.number(c, kinds[size_t(c)] == Workbook::SignedPercent ? sortValue.toDouble() / 100 : sortValue.toDouble());
        }
    }
    return book.close();
}
