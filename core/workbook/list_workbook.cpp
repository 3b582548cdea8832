#include "list_workbook.h"

#include "list_snapshot.h"

#include <QAbstractProxyModel>

namespace ListWorkbook {

std::unique_ptr<Workbook> open(const QString &path)
{
    QStringList headers;
    std::vector<Workbook::Kind> kinds;
    for (int c = 0; c < ResultModel::kColumns; ++c) {
        headers << Column::header(c);
        kinds.push_back(Column::isCounted(c) ? Workbook::Count : Workbook::Text);
    }
    return std::make_unique<Workbook>(path, QStringLiteral("采集结果"), headers, std::move(kinds));
}

void addRow(Workbook &book, const ResultModel::Row &cells)
{
    book.beginRow();
    for (int c = 0; c < ResultModel::kColumns; ++c) {
        const QByteArray bytes = cells[size_t(c)].toUtf8();
        const QByteArrayView utf8(bytes);
        Column::isCounted(c) ? book.count(c, utf8) : book.text(c, utf8);
    }
}

bool save(const QAbstractItemModel &shown, const QString &path, std::atomic<int> *rowsDone)
{
    // The list's own bytes where shown is the list, a view of it or a snapshot; any other
    // model's texts.
    const auto *snapshot = qobject_cast<const ListSnapshot *>(&shown);
    const auto *proxy = qobject_cast<const QAbstractProxyModel *>(&shown);
    const auto *list = qobject_cast<const ResultModel *>(proxy ? proxy->sourceModel() : &shown);
    const int rows = shown.rowCount();
    if (rows <= 0)
        return false;
    const std::unique_ptr<Workbook> book = open(path);
    for (int r = 0; r < rows && book->ok(); ++r) {
        book->beginRow();
        const int source = proxy ? proxy->mapToSource(shown.index(r, 0)).row() : r;
        for (int c = 0; c < ResultModel::kColumns; ++c) {
            const QByteArray own = list || snapshot ? QByteArray() : shown.index(r, c).data().toString().toUtf8();
            const QByteArrayView utf8 = snapshot ? snapshot->cellUtf8(r, c) : list ? list->cellUtf8(source, c) : QByteArrayView(own);
            Column::isCounted(c) ? book->count(c, utf8) : book->text(c, utf8);
        }
        if (rowsDone && (r & 1023) == 0)
            rowsDone->store(r, std::memory_order_relaxed);
    }
    if (rowsDone)
        rowsDone->store(rows, std::memory_order_relaxed);
    return book->close();
}

} // namespace ListWorkbook
