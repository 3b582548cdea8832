#include "faults.h"
#include "harness.h"
#include "harvest_run.h"
#include "pageutil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

namespace {
qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0; // not measurable on this platform
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Writes a megabyte whenever the last one has gone out, for ever.
void endlessBody(QTcpSocket *s)
{
    s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n");
    const QByteArray chunk = QByteArray::number(1 << 20, 16) + "\r\n" + QByteArray(1 << 20, 'x') + "\r\n";
    s->write(chunk);
    QObject::connect(s, &QTcpSocket::bytesWritten, s, [s, chunk] {
        if (s->bytesToWrite() == 0)
            s->write(chunk);
    });
}
} // namespace

// One harvest walks a site whose every other ID is a fault; it must pass each of them
// silently and keep exactly the rows of the pages that can be read.
class TestHostile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void runPassesEveryFaultyId()
    {
        Module1::FetchLimits limits; // the real caps: 16 MiB, 5 redirects
        limits.totalMs = 1500;
        limits.lowSpeedBytesPerSecond = 1000;
        limits.lowSpeedSeconds = 1;
        Module1::setFetchLimits(limits);

        RetryPolicy quick;
        quick.delaysMs = {10, 10};
        HarvestRun::setRetryPolicy(quick);
        const QStringList faults = {"stall", "headers", "trickle", "short", "reset", "endless",
                                    "bomb", "loop", "garbage", "binary", "charset", "huge"};
        // What each fault is given up as; a page that merely is none is passed silently.
        const QStringList reasons = {"超时", "超时", "超时", "数据不完整", "服务器无响应", "页面过大",
                                     "页面过大", "重定向过多", "无效的响应", "", "", ""};
        QByteArray hugePage(16 * 1024 * 1024, ' ');
        const QByteArray tail = profilePage(QStringLiteral("huge"));
        hugePage.replace(hugePage.size() - tail.size(), tail.size(), tail);
        const QByteArray bomb = qCompress(QByteArray(64 * 1024 * 1024, '0')).mid(4);
        QByteArray binary(4096, '\0');
        for (qsizetype i = 0; i < binary.size(); i += 3)
            binary[i] = char(QRandomGenerator::global()->bounded(256));

        Harness h;
        h.server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            const int id = r.path.mid(3).toInt();
            if (id % 2 == 1) {
                LoopbackServer::respond(s, 200, "text/html; charset=utf-8", profilePage(QStringLiteral("good%1").arg(id)));
                return;
            }
            const QString fault = faults.value(id / 2 - 1);
            if (serveTransportFault(fault, r, s))
                return;
            if (fault == u"endless") {
                endlessBody(s);
            } else if (fault == u"bomb") {
                LoopbackServer::respond(s, 200, "text/html", bomb, {{"Content-Encoding", "deflate"}});
            } else if (fault == u"binary") {
                LoopbackServer::respond(s, 200, "application/octet-stream", binary);
            } else if (fault == u"charset") {
                LoopbackServer::respond(s, 200, "text/html; charset=x-no-such-charset", profilePage(QStringLiteral("charset")));
            } else if (fault == u"huge") {
                LoopbackServer::respond(s, 200, "text/html; charset=utf-8", hugePage);
            }
        });
        const int last = 2 * int(faults.size()) + 1;
        h.setFields(QStringLiteral("1"), QString::number(last));
        QElapsedTimer clock;
        clock.start();
        h.window->Command1_Click();
        const qint64 elapsed = clock.elapsed();

        QStringList kept;
        for (int r = 0; r < h.rows(); ++r)
            kept << h.row(r).at(1);
        QStringList expected;
        for (int id = 1; id <= last; ++id) {
            if (id % 2 == 1)
                expected << QStringLiteral("good%1").arg(id);
            else if (faults.value(id / 2 - 1) == u"charset")
                expected << QStringLiteral("charset"); // an unknown label reads as UTF-8
            else if (faults.value(id / 2 - 1) == u"huge")
                expected << QStringLiteral("huge"); // at the cap, so kept
        }
        QCOMPARE(kept, expected);
        QStringList log{"开始采集...", "启动程序..."}, failedIds;
        for (int i = 0; i < faults.size(); ++i) {
            if (reasons[i].isEmpty())
                continue;
            log.prepend(QStringLiteral("下载失败: %1 (%2)").arg(2 * i + 2).arg(reasons[i]));
            failedIds << QString::number(2 * i + 2);
        }
        log.prepend(QStringLiteral("本次采集: 访问 25 个ID, 保留 15 行, 等级不符 0 个, 无资料 1 个, 下载失败 9 个"));
        log.prepend(QStringLiteral("下载失败的ID: ") + failedIds.join(QStringLiteral(", ")));
        log.prepend(QStringLiteral("采集已经停止..."));
        QCOMPARE(h.messages(), log);
        // The three faults that time out are tried three times each; the rest end at once.
        QVERIFY2(elapsed < 3 * 3 * limits.totalMs + 3000, qPrintable(QString::number(elapsed)));
        const qint64 peak = peakResidentKiB();
        qInfo("faults survived: %d, peak resident %lld KiB, %lld ms", int(faults.size()), peak, elapsed);
#ifndef __SANITIZE_ADDRESS__ // the sanitizer's shadow memory is no part of the tool's
        QVERIFY2(peak < 300 * 1024, qPrintable(QStringLiteral("peak resident %1 KiB").arg(peak)));
#endif
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
