#include "main_window.h"
#include "profile_pages.h"
#include "result_model.h"

#include "pageutil.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <QTextStream>
#include <QTimer>

namespace {
qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

double secondsOf(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e9;
}

// The journal a harvest of ROWS kept profiles leaves: the demo site's profiles, as the
// window writes them.
int writeJournal(const QString &dir, int rows)
{
    QDir().mkpath(dir + QStringLiteral("/Log"));
    QFile file(dir + QStringLiteral("/Log/journal.csv"));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    QString text;
    Module1::appendCsvHeader(text, ResultModel());
    ResultModel row;
    row.appendRow(QString());
    qint64 id = 50147164;
    for (int r = 0; r < rows; ++r, ++id) {
        DemoPages::Profile p = DemoPages::profile(id);
        while (!p.exists)
            p = DemoPages::profile(++id);
        const QStringList cells = p.rowCells(id, r + 1);
        for (int c = 0; c < ResultModel::kColumns; ++c)
            row.setCell(0, c, cells[c]);
        Module1::appendCsvRow(text, row, 0);
        if (text.size() > (1 << 20) || r + 1 == rows) {
            file.write(Module1::encodeText(text));
            text.clear();
        }
    }
    return 0;
}
// The seconds a save takes and the longest the window's event loop went without turning
// meanwhile (the save runs beside the window; only taking the list as it stands is the window's).
QString timedSave(frmMain &window, int item)
{
    QElapsedTimer gap;
    qint64 longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] { longest = qMax(longest, gap.restart()); });
    tick.start(5);
    gap.start();
    const double seconds = secondsOf([&] {
        window.pmenu_Click(item);
        window.finishSave();
    });
    longest = qMax(longest, gap.elapsed());
    return QStringLiteral("%1 (longest unanswered %2 ms)").arg(seconds, 0, 'f', 2).arg(longest);
}

// The list restored from DIR, sorted by fans, saved as CSV five times and as a workbook three.
int saves(const QString &dir)
{
    frmMain window(QStringLiteral("http://127.0.0.1:9/u/"), dir);
    window.show();
    QApplication::processEvents();
    window.findChild<QTableView *>(QStringLiteral("Lv"))->horizontalHeader()->setSortIndicator(9, Qt::DescendingOrder);
    QApplication::processEvents();
    QTextStream out(stdout);
    out << "rows " << window.resultList()->rowCount() << "\n";
    for (int i = 0; i < 5; ++i)
        out << "csv_s " << timedSave(window, 4) << "\n";
    for (int i = 0; i < 3; ++i)
        out << "xlsx_s " << timedSave(window, 5) << "\n";
    return 0;
}
} // namespace

// bench_million save DIR: the saves alone, repeated.
// bench_million write DIR ROWS: a journal of ROWS rows in DIR/Log.
// bench_million window DIR: the window restoring it at start, then a sort by each kind of
// column (a number, the grade, the name; ascending, then descending), a jump to the middle
// row, and saves of the list sorted by fans (as CSV, then as a workbook); the times and the
// window's memory.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == u"write")
        return writeJournal(args.value(2), args.value(3).toInt());
    if (args.value(1) != u"window" && args.value(1) != u"save") {
        QTextStream(stderr) << "usage: bench_million write DIR ROWS | window DIR | save DIR\n";
        return 2;
    }
    if (args.value(1) == u"save")
        return saves(args.value(2));
    QTextStream out(stdout);
    std::unique_ptr<frmMain> window;
    out << "restore_s " << secondsOf([&] {
        window = std::make_unique<frmMain>(QStringLiteral("http://127.0.0.1:9/u/"), args.value(2));
        window->show();
        QApplication::processEvents();
    });
    out << " rows " << window->resultList()->rowCount() << " rss_after_restore_mb " << statusKiB("VmRSS:") / 1024;
    auto *view = window->findChild<QTableView *>(QStringLiteral("Lv"));
    for (int column : {9, 4, 1}) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            out << " sort_" << column << (order == Qt::AscendingOrder ? "_asc_s " : "_desc_s ") << secondsOf([&] {
                view->horizontalHeader()->setSortIndicator(column, order);
                QApplication::processEvents();
            });
        }
    }
    out << " jump_and_select_s " << secondsOf([&] {
        const QModelIndex middle = view->model()->index(view->model()->rowCount() / 2, 0);
        view->selectRow(middle.row());
        view->scrollTo(middle);
        view->viewport()->repaint();
        QApplication::processEvents();
    });
    // Saved as most lists are looked at: the most fans first.
    view->horizontalHeader()->setSortIndicator(9, Qt::DescendingOrder);
    QApplication::processEvents();
    out << " save_s " << secondsOf([&] { window->pmenu_Click(4); window->finishSave(); });
    out << " save_xlsx_s " << secondsOf([&] { window->pmenu_Click(5); window->finishSave(); });
    out << " rss_mb " << statusKiB("VmRSS:") / 1024 << " peak_rss_mb " << statusKiB("VmHWM:") / 1024 << "\n";
    return 0;
}
