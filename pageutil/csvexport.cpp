#include "pageutil.h"

#include <QAbstractProxyModel>
#include <QIODevice>
#include <QSaveFile>

#include <future>
#include <utility>

namespace Module1 {

namespace {
bool needsProtection(const QString &value)
{
    for (QChar c : value) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

// A sub-item as a text formula ="value". A value that would break the line or the
// formula's string becomes a quoted CSV field of the same formula, so it stays one cell
// and cannot end the string early to smuggle in a formula of its own.
void appendSubItem(QString &line, const QString &value)
{
    if (!needsProtection(value)) {
        line += u"=\"";
        line += value;
        line += u"\",";
        return;
    }
    QString inner = value;
    inner.replace(QStringLiteral("\""), QStringLiteral("\"\"\"\""));
    line += u"\"=\"\"";
    line += inner;
    line += u"\"\"\",";
}

QString cellText(const QAbstractItemModel &list, int row, int column)
{
    return list.data(list.index(row, column), Qt::DisplayRole).toString();
}

// The row's own text bare, every sub-item wrapped; cell(c) gives cell c of columns.
template <typename Cell>
void appendCells(QString &line, int columns, Cell cell)
{
    if (columns > 0) {
        line += cell(0);
        line += u',';
    }
    for (int c = 1; c < columns; ++c)
        appendSubItem(line, cell(c));
    line += u"\r\n";
}
} // namespace

void appendCsvRow(QString &line, const QAbstractItemModel &list, int row)
{
    // A view that only orders the rows of its list: the row is found there once, and its cells
    // read from the list itself.
    const auto *view = qobject_cast<const QAbstractProxyModel *>(&list);
    if (view && view->sourceModel() && view->sourceModel()->columnCount() == list.columnCount()) {
        const int sourceRow = view->mapToSource(list.index(row, 0)).row();
        appendCells(line, list.columnCount(), [&](int c) { return cellText(*view->sourceModel(), sourceRow, c); });
        return;
    }
    appendCells(line, list.columnCount(), [&](int c) { return cellText(list, row, c); });
}

void appendCsvRow(QString &line, const QString *cells, int count)
{
    appendCells(line, count, [cells](int c) { return cells[c]; });
}

void appendCsvHeader(QString &line, const QAbstractItemModel &list)
{
    for (int c = 0; c < list.columnCount(); ++c) {
        line += list.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        line += u',';
    }
    line += u"\r\n";
}

bool exportListToCsv(const QAbstractItemModel &list, QIODevice &out, bool withHeader, std::atomic<int> *rowsDone)
{
    try {
        const int rows = list.rowCount();
        if (rows <= 0)
            return false;
        // Lines are encoded some thousands at a time (the converter's cost is mostly per call),
        // and on a thread of their own while the next lines are made; one piece at a time
        // is written, in order.
        std::future<bool> written;
        const auto writeLines = [&out, &written](QString &lines) {
            if (written.valid() && !written.get())
                return false;
            written = std::async(std::launch::async, [&out, piece = std::exchange(lines, QString())] {
                const QByteArray bytes = encodeText(piece);
                return out.write(bytes) == bytes.size();
            });
            return true;
        };
        QString lines;
        if (withHeader)
            appendCsvHeader(lines, list);
        for (int r = 0; r < rows; ++r) {
            appendCsvRow(lines, list, r);
            if (lines.size() > (1 << 19) && !writeLines(lines))
                return false;
            if (rowsDone && (r & 1023) == 0)
                rowsDone->store(r, std::memory_order_relaxed);
        }
        lines += QStringLiteral("\r\n"); // the closing empty line
        return writeLines(lines) && written.get();
    } catch (...) {
        return false;
    }
}

bool exportListToCsv(const QAbstractItemModel &list, const QString &path, bool withHeader, std::atomic<int> *rowsDone)
{
    try {
        if (list.rowCount() <= 0)
            return false;
        // Written beside the target and renamed over it only when complete, so a failure
        // never destroys an earlier file and never leaves a partial one.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        if (!exportListToCsv(list, file, withHeader, rowsDone)) {
            file.cancelWriting();
            return false;
        }
        return file.commit();
    } catch (...) {
        return false;
    }
}

} // namespace Module1
