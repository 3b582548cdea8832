#include "changes_window.h"
#include "history_chart.h"
#include "history_changes.h"
#include "history_writer.h"
#include "main_window.h"
#include "profile_pages.h"
#include "result_model.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

// The history at scale, in three steps:
//   bench_history make DIR [PROFILES] [HARVESTS]  DIR/Log/history.sqlite: the demo site's IDs from
//                                                 50,000,000 on, harvested HARVESTS times a week apart
//   bench_history view DIR [ROWS]                  the window's change view for a list of ROWS profiles
//   bench_history chart DIR                        a profile's chart, for 200 profiles
namespace {
const qint64 kFirst = 50000000;
const qint64 kWeek = 7 * 24 * 3600;

QTextStream out(stdout);

QString historyOf(const QString &dir) { return QDir(dir).filePath(QStringLiteral("Log/history.sqlite")); }

// Each harvest records every ID as a run would: the profile's cells as its page shows them.
int make(const QString &dir, qint64 profiles, int harvests)
{
    QDir().mkpath(QDir(dir).filePath(QStringLiteral("Log")));
    QElapsedTimer clock;
    clock.start();
    qint64 visits = 0;
    for (int week = 0; week < harvests; ++week) {
        HistoryWriter writer(historyOf(dir), {QStringLiteral("http://127.0.0.1/u/"), kFirst, kFirst + profiles - 1, QStringLiteral("bench")}, {});
        for (qint64 id = kFirst; id < kFirst + profiles; ++id, ++visits) {
            const DemoPages::Profile p = DemoPages::profile(id, week);
            HistoryVisit visit;
            visit.id = id;
            visit.found = p.exists;
            if (p.exists) {
                const QStringList cells = p.rowCells(id, 1);
                visit.name = cells[1];
                visit.userId = cells[3];
                visit.grade = cells[4];
                for (int c = 0; c < 5; ++c)
                    visit.counters[size_t(c)] = cells[5 + c];
            }
            writer.record(std::move(visit));
        }
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 bytes = QFileInfo(historyOf(dir)).size() + QFileInfo(historyOf(dir) + QStringLiteral("-wal")).size();
    out << "visits " << visits << " seconds " << seconds << " visits_per_second " << qRound64(double(visits) / seconds)
        << " bytes " << bytes << " bytes_per_visit " << double(bytes) / double(visits) << Qt::endl;
    return 0;
}

// The list holds ROWS profiles; the view is asked for as the user does, and the event loop's
// longest gap while it reads tells whether the window stayed responsive.
int view(const QString &dir, int rows)
{
    frmMain window(frmMain::kFetchBaseUrl, dir);
    window.show();
    ResultModel *list = window.resultList();
    for (qint64 id = kFirst; list->rowCount() < rows; ++id) {
        if (!DemoPages::profile(id, 9).exists) // the profiles of the latest harvest
            continue;
        list->appendRow(QString::number(list->rowCount() + 1));
        list->setCell(list->rowCount() - 1, 2, QString::number(id));
    }
    QApplication::processEvents();
    QElapsedTimer clock, sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.start();
    });
    clock.start();
    sinceTick.start();
    tick.start(5);
    window.pmenu_Click(6);
    ChangesWindow *changes = window.changesWindow();
    while (changes->loading())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents(); // the view painted with its rows
    out << "rows " << changes->model()->rowCount() << " open_ms " << clock.elapsed() << " longest_event_gap_ms "
        << longestGap << Qt::endl;
    return 0;
}

int chart(const QString &dir)
{
    frmMain window(frmMain::kFetchBaseUrl, dir);
    std::vector<double> ms;
    for (qint64 n = 0; n < 200; ++n) {
        QElapsedTimer clock;
        clock.start();
        HistoryReader history(historyOf(dir));
        const ChartSeries series = chartSeries(history.visitsOf(kFirst + n * 4999));
        HistoryChart shown;
        shown.setSeries(QStringLiteral("profile"), kFirst + n * 4999, series);
        shown.grab(); // painted once
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    out << "charts 200 median_ms " << ms[100] << " worst_ms " << ms.back() << Qt::endl;
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        out << "usage: bench_history make|view|chart DIR [...]" << Qt::endl;
        return 2;
    }
    if (args[1] == u"make")
        return make(args[2], args.value(3, QStringLiteral("1000000")).toLongLong(), args.value(4, QStringLiteral("10")).toInt());
    if (args[1] == u"view")
        return view(args[2], args.value(3, QStringLiteral("100000")).toInt());
    return chart(args[2]);
}
