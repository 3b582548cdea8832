#include "main_window.h"
#include "result_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTextStream>

namespace {
qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}
} // namespace

// Appends 100,000 rows to the window's list as the run does (a row, its cells one by one,
// the count in the status bar, then the event pump), with the view attached and shown.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    frmMain window;
    window.show();
    QApplication::processEvents();
    ResultModel *list = window.resultList();
    QLabel *count = window.findChild<QLabel *>(QStringLiteral("SB.Panel(1)"));
    // Names with an emoji cost the most to draw; "plain" leaves it out for comparison.
    const bool plain = argc > 2 && QByteArray(argv[2]) == "plain";
    const QString name = plain ? QStringLiteral("夜光星月") : QStringLiteral("夜光星月🎤");
    const QString grade = QStringLiteral("人气偶像 3");

    const qint64 rss0 = residentKiB();
    QElapsedTimer clock;
    clock.start();
    for (int r = 0; r < rows; ++r) {
        list->appendRow(QString::number(list->rowCount() + 1));
        const int last = list->rowCount() - 1;
        list->setCell(last, 1, name);
        list->setCell(last, 2, QString::number(50147164 + r));
        list->setCell(last, 3, QString::number(85637230 + r));
        list->setCell(last, 4, grade);
        list->setCell(last, 5, QString::number(r % 200000));
        list->setCell(last, 6, QString::number(r % 500));
        list->setCell(last, 7, QString::number(r % 100));
        list->setCell(last, 8, QString::number(r % 1000));
        list->setCell(last, 9, QString::number(r % 50000));
        count->setText(QStringLiteral("总数: ") + QString::number(list->rowCount()));
        QApplication::processEvents();
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    QTextStream(stdout) << "rows " << rows << " seconds " << seconds << " rss_growth_mb "
                        << double(residentKiB() - rss0) / 1024.0 << "\n";
    return 0;
}
