#include "journal.h"
#include "main_window.h"
#include "profile_pages.h"
#include "result_model.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextStream>

#include <ctime>

namespace {
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Every kept row must be exactly what the generator put in the page.
int countMismatches(const ResultModel &list, qint64 first, qint64 last)
{
    int row = 0, bad = 0;
    for (qint64 id = first; id <= last; ++id) {
        const DemoPages::Profile p = DemoPages::profile(id);
        if (!p.exists)
            continue;
        const QStringList expected = p.rowCells(id, row + 1);
        for (int c = 0; c < 10; ++c)
            bad += list.cell(row, c) != expected[c] ? 1 : 0;
        ++row;
    }
    return bad + qAbs(list.rowCount() - row);
}
} // namespace

// Harvests FIRST..LAST from BASE_URL in the real window and prints the rate, the CPU share
// of the wall time, and whether every row matched the generated profile.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        QTextStream(stderr) << "usage: bench_harvest BASE_URL FIRST LAST [PAUSE_MS [nojournal]]\n";
        return 2;
    }
    QTemporaryDir dir;
    // "nojournal": this process holds the folder's journal first, as a second program would,
    // so the window works without one.
    Journal holder(dir.filePath(QStringLiteral("Log")));
    if (args.value(5) == u"nojournal" && !holder.lock())
        return 2;
    frmMain window(args[1], dir.path());
    window.show();
    window.findChild<QLineEdit *>(QStringLiteral("Txt(0)"))->setText(args[2]);
    window.findChild<QLineEdit *>(QStringLiteral("Txt(1)"))->setText(args[3]);
    window.findChild<QLineEdit *>(QStringLiteral("Txt(2)"))->setText(args.value(4, QStringLiteral("0")));
    QApplication::processEvents();

    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    window.Command1_Click();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpu0;

    const qint64 first = args[2].toLongLong(), last = args[3].toLongLong();
    const int mismatches = countMismatches(*window.resultList(), first, last);
    QTextStream(stdout) << "ids " << (last - first + 1) << " rows " << window.resultList()->rowCount()
                        << " seconds " << seconds << " ids_per_sec " << (last - first + 1) / seconds
                        << " cpu_over_wall " << cpu / seconds << " mismatches " << mismatches << "\n";
    return mismatches == 0 ? 0 : 1;
}
