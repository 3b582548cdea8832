#include "list_snapshot.h"
#include "list_workbook.h"
#include "profile_pages.h"
#include "result_model.h"
#include "sorted_list.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <xlsxwriter.h>

#include <string>
#include <vector>

// The workbook of ROWS demo rows, twice side by side: libxlsxwriter alone in a plain loop (the
// cells made ready beforehand, numbers for Index and the counters, text for the rest, a bold
// frozen header and a filter on every column, constant memory), and the window's save of the
// same list (taken as it stands, then written beside it), unsorted and sorted by fans. Prints
// seconds and their ratios.
namespace {
struct Cells
{
    std::vector<std::string> texts; // name, homepage ID, user ID, grade
    std::vector<double> numbers;    // Index and the five counters
};

double plainLoop(const Cells &cells, int rows, const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, "采集结果");
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    for (int c = 0; c < Column::kCount; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), Column::header(c).toUtf8().constData(), bold);
    worksheet_freeze_panes(sheet, 1, 0);
    for (int r = 0; r < rows; ++r) {
        int text = 0, number = 0;
        for (int c = 0; c < Column::kCount; ++c) {
            if (Column::isCounted(c))
                worksheet_write_number(sheet, lxw_row_t(r + 1), lxw_col_t(c), cells.numbers[size_t(r * 6 + number++)], nullptr);
            else
                worksheet_write_string(sheet, lxw_row_t(r + 1), lxw_col_t(c), cells.texts[size_t(r * 4 + text++)].c_str(), nullptr);
        }
    }
    worksheet_autofilter(sheet, 0, 0, lxw_row_t(rows), Column::kCount - 1);
    workbook_close(book);
    return double(clock.nsecsElapsed()) / 1e9;
}

double windowsSave(ResultModel &list, const QAbstractItemModel &shown, const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    const ListSnapshot rows(list, shown);
    ListWorkbook::save(rows, path);
    return double(clock.nsecsElapsed()) / 1e9;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = app.arguments().value(1, QStringLiteral("1000000")).toInt();
    const int rounds = app.arguments().value(2, QStringLiteral("3")).toInt();
    ResultModel list;
    Cells cells;
    qint64 id = 50147164;
    for (int r = 0; r < rows; ++r, ++id) {
        DemoPages::Profile p = DemoPages::profile(id);
        while (!p.exists)
            p = DemoPages::profile(++id);
        const QStringList row = p.rowCells(id, r + 1);
        list.appendRow(row[0]);
        for (int c = 0; c < Column::kCount; ++c) {
            list.setCell(r, c, row[c]);
            if (Column::isCounted(c))
                cells.numbers.push_back(row[c].toDouble());
            else
                cells.texts.push_back(row[c].toStdString());
        }
    }
    SortedList byFans(&list);
    byFans.sort(Column::Fans, Qt::DescendingOrder);
    QTemporaryDir dir;
    QTextStream out(stdout);
    for (int round = 0; round < rounds; ++round) {
        const double plain = plainLoop(cells, rows, dir.filePath(QStringLiteral("plain.xlsx")));
        const double window = windowsSave(list, list, dir.filePath(QStringLiteral("window.xlsx")));
        const double sorted = windowsSave(list, byFans, dir.filePath(QStringLiteral("sorted.xlsx")));
        out << "rows " << rows << " plain_loop_s " << QString::number(plain, 'f', 2) << " window_save_s "
            << QString::number(window, 'f', 2) << " ratio " << QString::number(window / plain, 'f', 3)
            << " sorted_by_fans_s " << QString::number(sorted, 'f', 2) << " ratio " << QString::number(sorted / plain, 'f', 3) << Qt::endl;
    }
    return 0;
}
