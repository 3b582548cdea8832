#include "faults.h"
#include "fetch_verdict.h"
#include "harness.h"
#include "harvest_run.h"
#include "pageutil.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

namespace {
// Serves each ID's scripted faults on its first attempts, then its profile page.
struct FlakySite
{
    Harness &h;
    QHash<int, QStringList> script;
    QHash<int, QList<qint64>> times; // when each request for an ID came, in ms
    QElapsedTimer clock;

    explicit FlakySite(Harness &harness) : h(harness)
    {
        clock.start();
        h.server.setHandler([this](const LoopbackServer::Request &r, QTcpSocket *s) { serve(r, s); });
    }
    void serve(const LoopbackServer::Request &r, QTcpSocket *s)
    {
        h.requested.append(r.path);
        const int id = r.path.mid(3).toInt();
        times[id].append(clock.elapsed());
        QStringList &faults = script[id];
        if (faults.isEmpty()) {
            LoopbackServer::respond(s, 200, "text/html; charset=utf-8", profilePage(QStringLiteral("p%1").arg(id)));
            return;
        }
        const QString fault = faults.first() == u"always" ? faults.first() : faults.takeFirst();
        bool isStatus = false;
        const int status = fault.toInt(&isStatus);
        if (fault == u"always")
            LoopbackServer::respond(s, 503, "text/html", "<html>busy</html>");
        else if (fault == u"retry-after")
            LoopbackServer::respond(s, 429, "text/html", "slow down", {{"Retry-After", "1"}});
        else if (fault == u"retry-date")
            LoopbackServer::respond(s, 503, "text/html", "slow down",
                                    {{"Retry-After", QDateTime::currentDateTimeUtc().addSecs(2).toString(
                                                         u"ddd, dd MMM yyyy hh:mm:ss 'GMT'").toLatin1()}});
        else if (fault == u"retry-long")
            LoopbackServer::respond(s, 503, "text/html", "slow down", {{"Retry-After", "100"}});
        else if (isStatus)
            LoopbackServer::respond(s, status, "text/html", "<html>no profile here</html>");
        else
            QVERIFY(serveTransportFault(fault, r, s));
    }
};

const QString kCleanSummary = QStringLiteral("本次采集: 访问 1 个ID, 保留 1 行, 等级不符 0 个, 无资料 0 个, 下载失败 0 个");
} // namespace

class TestRetry : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { quickFetches(1000, {20, 40}); }

    void transientFaultIsTriedAgain_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("times");
        for (const char *fault : {"503", "429", "502", "504", "408", "500", "522", "524", "rst", "reset",
                                  "short", "stall"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1 once").arg(QLatin1String(fault)))) << QString::fromLatin1(fault) << 1;
            QTest::newRow(qPrintable(QStringLiteral("%1 twice").arg(QLatin1String(fault)))) << QString::fromLatin1(fault) << 2;
        }
    }
    // The third attempt still keeps the profile, and nothing is reported but the summary.
    void transientFaultIsTriedAgain()
    {
        QFETCH(QString, fault);
        QFETCH(int, times);
        Harness h;
        FlakySite site(h);
        site.script[7] = QStringList(times, fault);
        h.setFields(QStringLiteral("7"), QStringLiteral("7"));
        h.window->Command1_Click();
        QCOMPARE(h.requested.size(), times + 1);
        QCOMPARE(h.rows(), 1);
        QCOMPARE(h.row(0).at(1), QStringLiteral("p7"));
        QCOMPARE(h.messages(), (QStringList{"采集已经停止...", kCleanSummary, "开始采集...", "启动程序..."}));
        QCOMPARE(h.window->statusPanelText(2), QStringLiteral("采集完成..."));
    }

    void givenUpIdIsReportedAndTheRunGoesOn_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("reason");
        QTest::newRow("busy every time") << "always" << 3 << "HTTP 503";
        QTest::newRow("blocked: 403 is not retried") << "403" << 1 << "HTTP 403";
        QTest::newRow("redirect loop, one attempt") << "loop" << 6 << "重定向过多"; // 5 redirects followed
        QTest::newRow("not http") << "garbage" << 1 << "无效的响应";
    }
    void givenUpIdIsReportedAndTheRunGoesOn()
    {
        QFETCH(QString, fault);
        QFETCH(int, requests);
        QFETCH(QString, reason);
        Harness h;
        FlakySite site(h);
        site.script[5] = QStringList(20, fault);
        h.setFields(QStringLiteral("4"), QStringLiteral("6"));
        h.window->Command1_Click();
        QCOMPARE(site.times.value(5).size(), requests);
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.row(1).at(2), QStringLiteral("6"));
        QCOMPARE(h.messages().mid(0, 4),
                 (QStringList{"采集已经停止...", "下载失败的ID: 5",
                              "本次采集: 访问 3 个ID, 保留 2 行, 等级不符 0 个, 无资料 0 个, 下载失败 1 个",
                              "下载失败: 5 (" + reason + ")"}));
    }

    void notFoundIsNoFailure()
    {
        Harness h;
        FlakySite site(h);
        site.script[5] = QStringList{"404"};
        h.setFields(QStringLiteral("5"), QStringLiteral("5"));
        h.window->Command1_Click();
        QCOMPARE(h.requested.size(), 1);
        QCOMPARE(h.messages().at(1), QStringLiteral("本次采集: 访问 1 个ID, 保留 0 行, 等级不符 0 个, 无资料 1 个, 下载失败 0 个"));
    }

    void retryAfterIsHonoured_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("atLeastMs");
        QTest::addColumn<int>("capMs");
        QTest::newRow("seconds") << "retry-after" << 900 << 120000;
        QTest::newRow("http date") << "retry-date" << 900 << 120000;
        QTest::newRow("cut to the cap") << "retry-long" << 250 << 300;
    }
    void retryAfterIsHonoured()
    {
        QFETCH(QString, fault);
        QFETCH(int, atLeastMs);
        QFETCH(int, capMs);
        RetryPolicy policy = HarvestRun::retryPolicy();
        policy.maxRetryAfterMs = capMs;
        HarvestRun::setRetryPolicy(policy);
        Harness h;
        FlakySite site(h);
        site.script[3] = QStringList{fault};
        h.setFields(QStringLiteral("3"), QStringLiteral("3"));
        h.window->Command1_Click();
        QCOMPARE(h.rows(), 1);
        const QList<qint64> at = site.times.value(3);
        QCOMPARE(at.size(), 2);
        const qint64 gap = at[1] - at[0];
        QVERIFY2(gap >= atLeastMs, qPrintable(QString::number(gap)));
        QVERIFY2(gap < atLeastMs + 20000, qPrintable(QString::number(gap)));
    }

    void tenGivenUpInARowEndTheRun()
    {
        QByteArray dead;
        {
            LoopbackServer gone({});
            QVERIFY(gone.listen());
            dead = gone.baseUrl() + "/u/"; // nothing listens there once it is gone
        }
        Harness h;
        h.window.reset();
        h.window = std::make_unique<frmMain>(QString::fromLatin1(dead), h.dir.path());
        h.setFields(QStringLiteral("100"), QStringLiteral("1000"));
        h.window->Command1_Click();
        const QStringList log = h.messages();
        QCOMPARE(log.mid(0, 5), (QStringList{"采集已经停止...",
                                             "下载失败的ID: 100, 101, 102, 103, 104, 105, 106, 107, 108, 109",
                                             "本次采集: 访问 10 个ID, 保留 0 行, 等级不符 0 个, 无资料 0 个, 下载失败 10 个",
                                             "连续10个ID下载失败, 采集已停止: 无法连接服务器, 下次可从ID 100 开始",
                                             "下载失败: 109 (无法连接服务器)"}));
        QVERIFY(!h.window->running());
        QVERIFY(h.startEnabled());
        QVERIFY(!h.stopEnabled());
    }

    void nineGivenUpInARowDoNot()
    {
        Harness h;
        FlakySite site(h);
        for (int id : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19})
            site.script[id] = QStringList{"403"};
        h.setFields(QStringLiteral("1"), QStringLiteral("20"));
        h.window->Command1_Click();
        QCOMPARE(h.requested.size(), 20);
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.window->statusPanelText(2), QStringLiteral("采集完成..."));
        QCOMPARE(h.messages().at(2), QStringLiteral("本次采集: 访问 20 个ID, 保留 2 行, 等级不符 0 个, 无资料 0 个, 下载失败 18 个"));
    }

    void verdictOfEveryOutcome_data()
    {
        using Module1::Transport;
        QTest::addColumn<int>("transport");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("named");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, Transport t, int status, bool named, FetchVerdict::Kind kind,
                            const char *reason) {
            QTest::newRow(name) << int(t) << status << named << int(kind) << QString::fromUtf8(reason);
        };
        row("refused", Transport::Refused, 0, false, FetchVerdict::Transient, "无法连接服务器");
        row("reset", Transport::Reset, 0, false, FetchVerdict::Transient, "连接被重置");
        row("empty reply", Transport::EmptyReply, 0, false, FetchVerdict::Transient, "服务器无响应");
        row("short body", Transport::Partial, 0, false, FetchVerdict::Transient, "数据不完整");
        row("time-out", Transport::Timeout, 0, false, FetchVerdict::Transient, "超时");
        row("name lookup", Transport::NoHost, 0, false, FetchVerdict::Transient, "无法解析主机名");
        row("redirect loop", Transport::RedirectLoop, 0, false, FetchVerdict::GiveUp, "重定向过多");
        row("over the cap", Transport::TooLarge, 0, false, FetchVerdict::GiveUp, "页面过大");
        row("malformed", Transport::Malformed, 0, false, FetchVerdict::GiveUp, "无效的响应");
        row("scheme refused", Transport::Scheme, 0, false, FetchVerdict::GiveUp, "不支持的协议");
        row("closing", Transport::Cancelled, 0, false, FetchVerdict::Cancelled, "已取消");
        for (int busy : {408, 429, 500, 502, 503, 504, 522, 524}) {
            const QByteArray name = "busy " + QByteArray::number(busy);
            row(name.constData(), Transport::Ok, busy, false, FetchVerdict::Transient, "");
            row((name + " with a profile").constData(), Transport::Ok, busy, true, FetchVerdict::Page, "");
        }
        row("blocked 403", Transport::Ok, 403, false, FetchVerdict::GiveUp, "HTTP 403");
        row("403 with a profile", Transport::Ok, 403, true, FetchVerdict::Page, "HTTP 403");
        row("501", Transport::Ok, 501, false, FetchVerdict::GiveUp, "HTTP 501");
        row("not found", Transport::Ok, 404, false, FetchVerdict::Absent, "HTTP 404");
        row("a page without a name", Transport::Ok, 200, false, FetchVerdict::Absent, "HTTP 200");
        row("a profile", Transport::Ok, 200, true, FetchVerdict::Page, "HTTP 200");
    }
    void verdictOfEveryOutcome()
    {
        QFETCH(int, transport);
        QFETCH(int, status);
        QFETCH(bool, named);
        QFETCH(int, verdict);
        QFETCH(QString, reason);
        Module1::FetchOutcome outcome;
        outcome.transport = Module1::Transport(transport);
        outcome.httpStatus = status;
        const QString page = named ? QString::fromUtf8(profilePage(QStringLiteral("x"))) : QStringLiteral("<html></html>");
        QCOMPARE(int(FetchVerdict::classify(outcome, page)), verdict);
        if (!reason.isEmpty())
            QCOMPARE(FetchVerdict::reason(outcome), reason);
    }

    void summaryNamesAtMostFiftyIds()
    {
        RunSummary summary;
        summary.visited = summary.failed = 60;
        for (qint64 id = 1; id <= 50; ++id)
            summary.failedIds << id;
        const QStringList lines = summary.lines();
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[1].startsWith(QStringLiteral("下载失败的ID: 1, 2, 3, ")));
        QVERIFY(lines[1].endsWith(QStringLiteral(", 49, 50 等 60 个")));
        summary.failed = 50;
        QVERIFY(summary.lines()[1].endsWith(QStringLiteral(", 50")));
    }

    void stopOrCloseEndsTheWaitBeforeARetry_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("stop") << false;
        QTest::newRow("close") << true;
    }
    void stopOrCloseEndsTheWaitBeforeARetry()
    {
        QFETCH(bool, close);
        RetryPolicy slow;
        slow.delaysMs = {60000, 60000};
        HarvestRun::setRetryPolicy(slow);
        Harness h;
        FlakySite site(h);
        site.script[1] = QStringList{"503"};
        h.setFields(QStringLiteral("1"), QStringLiteral("3"));
        h.window->show();
        QTimer::singleShot(300, h.window.get(), [&h, close] {
            if (close)
                h.window->close();
            else
                h.child<QPushButton>("Command2")->click();
        });
        QElapsedTimer clock;
        clock.start();
        h.window->Command1_Click();
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(h.requested.size(), 1);
        QCOMPARE(h.rows(), 0);
        QVERIFY(!h.window->running());
        if (!close)
            QCOMPARE(h.messages().first(),
                     QStringLiteral("本次采集: 访问 0 个ID, 保留 0 行, 等级不符 0 个, 无资料 0 个, 下载失败 0 个"));
    }

    void nestedRunWritesItsOwnSummary()
    {
        Harness h;
        FlakySite site(h);
        h.setFields(QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("200"));
        bool started = false;
        QObject::connect(h.window->resultList(), &QAbstractItemModel::rowsInserted, h.window.get(), [&] {
            if (started)
                return;
            started = true;
            QTimer::singleShot(0, h.window.get(), [&h] {
                h.child<QPushButton>("Command2")->click();
                h.setFields(QStringLiteral("20"), QStringLiteral("21"), QStringLiteral("0"));
                h.child<QPushButton>("Command1")->click();
            });
        });
        h.window->Command1_Click();
        const QStringList summaries = h.messages().filter(QStringLiteral("本次采集"));
        QCOMPARE(summaries, (QStringList{"本次采集: 访问 1 个ID, 保留 1 行, 等级不符 0 个, 无资料 0 个, 下载失败 0 个",
                                         "本次采集: 访问 2 个ID, 保留 2 行, 等级不符 0 个, 无资料 0 个, 下载失败 0 个"}));
    }
};

QTEST_MAIN(TestRetry)
#include "tst_retry.moc"
