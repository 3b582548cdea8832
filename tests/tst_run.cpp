#include "fetch_verdict.h"
#include "fixture.h"
#include "pace.h"

#include <QRegularExpression>
#include <QTest>

namespace {
const QString kStarted = QStringLiteral("开始采集..."), kStopped = QStringLiteral("采集已经停止..."),
              kDone = QStringLiteral("采集完成..."), kLaunched = QStringLiteral("启动程序...");
QString summary(int visited, int kept, int outOfRange, int absent, int failed)
{
    return QStringLiteral("本次采集: 访问 %1 个ID, 保留 %2 行, 等级不符 %3 个, 无资料 %4 个, 下载失败 %5 个")
        .arg(visited).arg(kept).arg(outOfRange).arg(absent).arg(failed);
}

// Runs action once, in the pause that follows the first kept row.
void afterFirstRow(Harness &h, std::function<void()> action)
{
    auto *connection = new QMetaObject::Connection;
    *connection = QObject::connect(h.window->resultList(), &QAbstractItemModel::rowsInserted, h.window.get(),
                                   [connection, action] {
                                       QObject::disconnect(*connection);
                                       delete connection;
                                       QTimer::singleShot(0, action);
                                   });
}
} // namespace

class TestRun : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { quickFetches(1000, {20, 40}); }

    // One run per row on a scripted site (see Harness): the IDs requested in turn, the rows
    // kept ("ID name grade" for a profile page of the fixture, else the cells joined by |),
    // the log's newest lines, and whether the window still runs (a failed run stays so).
    void scenario_data()
    {
        QTest::addColumn<QStringList>("fields"); // start, end, pause, lowest and highest grade
        QTest::addColumn<QStringList>("site"); // the scripts of the first field's ID onwards
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("running");
        const QStringList done{kStopped};
        QTest::newRow("whole run") << QStringList{"100", "108"}
            << QStringList{"无等级", "", "新人 1x2", "500 出错也有名 2x3", "偶像 3x5", "明星🎤 4x1 1x4", "巨星 5x5",
                           "超出等级 3x6", "raw <html>a page without a display name</html>"}
            << "100 101 102 103 104 105 106 107 108"
            << QStringList{"100 无等级 尚未出道", "102 新人 歌唱新人 2", "103 出错也有名 闪亮新秀 3", "104 偶像 人气偶像 5",
                           "105 明星🎤 超级明星 1", "106 巨星 超级巨星 5"}
            << QStringList{kStopped, summary(9, 6, 1, 2, 0), kStarted, kLaunched} << false;
        QTest::newRow("an unnumbered grade icon inherits nothing") << QStringList{"1", "2"}
            << QStringList{"a 3x3", "b 0x1"} << "1 2" << QStringList{"1 a 人气偶像 3", "2 b 尚未出道"} << done << false;
        QTest::newRow("a missing end marker leaves a half row and one failure line") << QStringList{"7", "9"}
            << QStringList{"ok", "raw <span class=\"user-name twemoji\">broken</span> userid = 'no end", "never"}
            << "7 8" << QStringList{"7 ok 尚未出道", "2|broken|8|||||||"}
            << QStringList{"错误: 无效的过程调用或参数 代码: 5", kStarted, kLaunched} << true;
        QTest::newRow("absent counters store Nothing, the name as it stands") << QStringList{"1", "1"}
            << QStringList{"raw <span class=\"user-name twemoji\"> bare </span>"} << "1"
            << QStringList{"1| bare |1|Nothing|尚未出道|Nothing|Nothing|Nothing|Nothing|Nothing"} << done << false;
        QTest::newRow("reversed range") << QStringList{"10", "9"} << QStringList{} << "" << QStringList{}
            << QStringList{"结束ID小于开始ID,采集未进行...", kStarted, kLaunched} << true;
        for (const char *start : {"2147483648", "1"})
            QTest::newRow(qPrintable(QStringLiteral("ID field beyond 32 bits: ") + start))
                << QStringList{start, qstrcmp(start, "1") == 0 ? "-99999999999" : "1"} << QStringList{} << "" << QStringList{}
                << QStringList{"错误: 溢出 代码: 6", kStarted, kLaunched} << true;
        QTest::newRow("pause field beyond 32 bits") << QStringList{"1", "3", "99999999999"} << QStringList{} << "1"
            << QStringList{} << QStringList{"错误: 溢出 代码: 6"} << true;
        QTest::newRow("range ending at the largest ID") << QStringList{"2147483646", "2147483647"}
            << QStringList{"", "last"} << "2147483646 2147483647" << QStringList{"2147483647 last 尚未出道"} << done << false;
        QTest::newRow("fields read as numbers") << QStringList{"abc", "2", ""} << QStringList{} << "0 1 2" << QStringList{}
            << done << false;
        QTest::newRow("not found is no failure") << QStringList{"5", "5"} << QStringList{"404"} << "5" << QStringList{}
            << QStringList{kStopped, summary(1, 0, 0, 1, 0)} << false;
        for (const char *fault : {"503", "429", "502", "504", "408", "500", "522", "524", "rst", "reset", "short", "stall"}) {
            for (int times : {1, 2})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2 times, then the page").arg(fault).arg(times)))
                    << QStringList{"7", "7"} << QStringList{(QStringList(times, fault) << "p7").join(u';')}
                    << QStringLiteral("7 7 7").left(2 * times + 1) << QStringList{"7 p7 尚未出道"}
                    << QStringList{kStopped, summary(1, 1, 0, 0, 0), kStarted, kLaunched} << false;
        }
        const auto givenUp = [](const char *name, const char *fault, const char *fives, const char *reason) {
            QTest::newRow(name) << QStringList{"4", "6"} << QStringList{"p4", fault, "p6"}
                << QStringLiteral("4 %1 6").arg(fives) << QStringList{"4 p4 尚未出道", "6 p6 尚未出道"}
                << QStringList{kStopped, "下载失败的ID: 5", summary(3, 2, 0, 0, 1), QStringLiteral("下载失败: 5 (%1)").arg(reason)}
                << false;
        };
        givenUp("busy every time", "503", "5 5 5", "HTTP 503");
        givenUp("blocked: 403 is not retried", "403", "5", "HTTP 403");
        givenUp("redirect loop, one attempt", "loop", "5 5 5 5 5 5", "重定向过多"); // 5 redirects followed
        givenUp("not http", "garbage", "5", "无效的响应");
        QStringList blocked = QStringList(9, "403") << "p10", all, manyBlocked;
        for (int id = 1; id <= 60; ++id) {
            all << QString::number(id);
            manyBlocked << blocked[(id - 1) % 10];
        }
        QStringList failedIds = all;
        failedIds.removeIf([](const QString &id) { return id.endsWith(u'0'); });
        QTest::newRow("a summary names the first fifty failed IDs") << QStringList{"1", "60"} << manyBlocked << all.join(u' ')
            << QStringList{"10 p10 尚未出道", "20 p10 尚未出道", "30 p10 尚未出道", "40 p10 尚未出道", "50 p10 尚未出道", "60 p10 尚未出道"}
            << QStringList{kStopped, "下载失败的ID: " + failedIds.mid(0, 50).join(QStringLiteral(", ")) + " 等 54 个"} << false;
        QTest::newRow("nine given up in a row go on") << QStringList{"1", "20"} << (blocked + blocked)
            << "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20" << QStringList{"10 p10 尚未出道", "20 p10 尚未出道"}
            << QStringList{kStopped, "下载失败的ID: 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19",
                           summary(20, 2, 0, 0, 18)} << false;
        const QStringList graded{"a", "b 2x2", "c 4x4", "d 5x5", "e 5x6"}; // e: never kept
        const auto bounds = [&](const char *name, const char *lower, const char *upper, QStringList kept) {
            QTest::newRow(name) << QStringList{"1", "5", "0", lower, upper} << graded << "1 2 3 4 5" << kept << done << false;
        };
        bounds("bounds: the whole scale", "0", "25", {"1 a 尚未出道", "2 b 闪亮新秀 2", "3 c 超级明星 4", "4 d 超级巨星 5"});
        bounds("bounds: one tier", "6", "10", {"2 b 闪亮新秀 2"});
        bounds("bounds: only the unranked", "0", "0", {"1 a 尚未出道"});
        bounds("bounds: crossed, nothing kept", "20", "5", {});
        bounds("bounds: the top of the scale", "25", "25", {"4 d 超级巨星 5"});
        // Entered text is read as numbers: blanks, signs, fractions half to even, 32 bits.
        const auto fields = [](const char *name, QStringList in, const char *ids, bool overflow) {
            QTest::newRow(name) << in << QStringList{} << QString::fromLatin1(ids) << QStringList{}
                << QStringList{overflow ? "错误: 溢出 代码: 6" : kStopped} << overflow;
        };
        fields("all empty", {"", "", ""}, "0", false);
        fields("blanks and signs", {"  3", "+4", " 0"}, "3 4", false);
        fields("exponent and letters", {"1e999", "2", "x"}, "1 2", false);
        fields("full-width digits", {"１", "1", ""}, "0 1", false);
        fields("fractions round half to even", {"2.5", "3.5", "0.4"}, "2 3 4", false);
        fields("negative IDs and pause", {"-1", "0", "-50"}, "-1 0", false);
        fields("smallest IDs", {"-2147483648", "-2147483647", "0"}, "-2147483648 -2147483647", false);
        fields("long digit string", {QString(40, u'9'), "1", "0"}, "", true);
        fields("pause just beyond", {"1", "2", "2147483647.5"}, "1", true);
    }
    void scenario()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, site);
        QFETCH(QString, requested);
        QFETCH(QStringList, kept);
        QFETCH(QStringList, log);
        QFETCH(bool, running);
        Harness h;
        for (int i = 0; i < site.size(); ++i)
            h.script[fields[0].toLongLong() + i] = site[i].split(u';');
        h.setFields(fields[0], fields[1], fields.value(2, QStringLiteral("0")));
        if (fields.size() > 3) {
            h.child<QComboBox>("Combo1")->setCurrentIndex(fields[3].toInt());
            h.child<QComboBox>("Combo2")->setCurrentIndex(fields[4].toInt());
            QCOMPARE(QStringLiteral("%1 %2").arg(h.window->lowerBound()).arg(h.window->upperBound()), fields[3] + u' ' + fields[4]);
        }
        h.window->Command1_Click();
        QStringList ids;
        for (const QByteArray &path : h.requested)
            ids << QString::fromLatin1(path.mid(3));
        QCOMPARE(ids.join(u' '), requested);
        QStringList expected;
        for (const QString &k : kept)
            expected << (k.contains(u'|') ? k
                                          : QStringList{QString::number(expected.size() + 1), k.section(u' ', 1, 1),
                                                        k.section(u' ', 0, 0), "87654321", k.section(u' ', 2),
                                                        "1024", "12", "3", "45", "678"}.join(u'|'));
        QCOMPARE(h.rowTexts(), expected);
        QCOMPARE(h.messages().mid(0, log.size()), log);
        QCOMPARE(h.window->running(), running);
        QCOMPARE(h.startEnabled(), !running);
        QCOMPARE(h.stopEnabled(), running);
        if (!running && log.first() == kStopped) { // completed: every named page was counted
            if (!kept.isEmpty() || fields.size() > 3)
                QCOMPARE(h.panel(1), QStringLiteral("总数: %1").arg(kept.size()));
            QCOMPARE(h.panel(2), kDone);
        }
    }

    void stopBeforeAnyRun()
    {
        Harness h;
        h.window->Command2_Click();
        QVERIFY(h.startEnabled() && !h.stopEnabled());
        QCOMPARE(h.messages(), (QStringList{kStopped, kLaunched}));
    }

    // Something done while a run waits, after a time or in the pause after its first row:
    // Stop, closing the window, Stop and a new range started, a grade bound changed.
    void interrupted_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("afterMs"); // -1: after the first row
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("answer"); // every ID's; "%1" is the ID
        QTest::addColumn<QString>("requested");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("stop during a pause ends after that ID") << QStringList{"1", "5", "300"} << 100 << "stop" << "p%1" << "1" << 1
            << "正在采集用户: 1  完成进度[4/0]..." << QStringList{summary(1, 1, 0, 0, 0), kStopped}; // the run notices the flag after Stop
        QTest::newRow("a wide span shows its true numbers") << QStringList{"-2000000000", "2000000000", "100"} << 30 << "stop"
            << "" << "-2000000000" << 0 << "正在采集用户: -2000000000  完成进度[4000000000/0]..." << QStringList{};
        QTest::newRow("a second run inside the first goes to its end") << QStringList{"1", "3", "200"} << -1 << "stop 20 21"
            << "p%1" << "1 20 21" << 3 << kDone << QStringList{summary(1, 1, 0, 0, 0), kStopped, summary(2, 2, 0, 0, 0)};
        QTest::newRow("a second run reversed lets the first finish") << QStringList{"1", "3", "100"} << 30 << "stop 9 8"
            << "p%1" << "1 2 3" << 3 << kDone << QStringList{kStopped, summary(3, 3, 0, 0, 0)};
        QTest::newRow("a grade bound changed applies from the next profile") << QStringList{"1", "3", "100"} << -1 << "grade"
            << "p%1" << "1 2 3" << 1 << kDone << QStringList{kStopped, summary(3, 1, 2, 0, 0)};
        QTest::newRow("stop ends the wait before a retry") << QStringList{"1", "1000"} << 300 << "stop" << "503" << "1" << 0
            << "" << QStringList{summary(0, 0, 0, 0, 0)};
        QTest::newRow("closing ends the wait before a retry") << QStringList{"1", "1000"} << 300 << "close" << "503" << "1" << 0
            << "" << QStringList{};
        QTest::newRow("closing ends a fetch in flight") << QStringList{"1", "1000", "60000"} << 300 << "close" << "stall" << "1"
            << 0 << "" << QStringList{};
    }
    void interrupted()
    {
        QFETCH(QStringList, fields);
        QFETCH(int, afterMs);
        QFETCH(QString, action);
        QFETCH(QString, answer);
        QFETCH(QString, requested);
        QFETCH(int, rows);
        QFETCH(QString, panel);
        QFETCH(QStringList, log);
        RetryPolicy slow;
        slow.delaysMs = {60000, 60000};
        HarvestRun::setRetryPolicy(slow);
        Module1::setFetchLimits({}); // 30 s: only the action can end a wait quickly
        Harness h;
        h.otherwise = answer;
        h.window->show();
        const auto act = [&h, action] {
            if (action == u"close")
                return void(h.window->close());
            if (action == u"grade")
                return h.child<QComboBox>("Combo1")->setCurrentIndex(1);
            h.child<QPushButton>("Command2")->click();
            if (action.startsWith(u"stop ")) {
                h.setFields(action.section(u' ', 1, 1), action.section(u' ', 2, 2));
                h.child<QPushButton>("Command1")->click();
            }
        };
        if (afterMs < 0)
            afterFirstRow(h, act);
        else
            QTimer::singleShot(afterMs, h.window.get(), act);
        QElapsedTimer clock;
        clock.start();
        h.setFields(fields[0], fields[1], fields.value(2, QStringLiteral("0")));
        h.window->Command1_Click();
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QStringList ids;
        for (const QByteArray &path : h.requested)
            ids << QString::fromLatin1(path.mid(3));
        QCOMPARE(ids.join(u' '), requested);
        QCOMPARE(h.rows(), rows);
        QVERIFY(!h.window->running());
        if (!panel.isEmpty())
            QCOMPARE(h.panel(2), panel);
        QCOMPARE(h.messages().mid(0, log.size()), log);
    }

    void stalledRequestIsGivenUpAndTheRunGoesOn()
    {
        Harness h;
        h.script = {{1, {"p1"}}, {2, {"stall"}}, {3, {"p3"}}};
        QElapsedTimer clock;
        clock.start();
        h.harvest(1, 3);
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.row(1).at(2), QStringLiteral("3"));
        QVERIFY(clock.elapsed() < 20000);
        QCOMPARE(h.panel(2), kDone);
        QVERIFY(h.messages().contains(QStringLiteral("下载失败: 2 (超时)")));
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
        h.script[3] = QStringList{fault, "p3"};
        h.harvest(3, 3);
        QCOMPARE(h.rows(), 1);
        const QList<qint64> at = h.times.value(3);
        QCOMPARE(at.size(), 2);
        QVERIFY2(at[1] - at[0] >= atLeastMs && at[1] - at[0] < atLeastMs + 20000, qPrintable(QString::number(at[1] - at[0])));
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
        h.window = std::make_unique<frmMain>(QString::fromLatin1(dead), h.dir.path());
        h.harvest(100, 1000);
        QCOMPARE(h.messages().mid(0, 5), (QStringList{kStopped, "下载失败的ID: 100, 101, 102, 103, 104, 105, 106, 107, 108, 109",
                                                      summary(10, 0, 0, 0, 10),
                                                      "连续10个ID下载失败, 采集已停止: 无法连接服务器, 下次可从ID 100 开始",
                                                      "下载失败: 109 (无法连接服务器)"}));
        QVERIFY(!h.window->running() && h.startEnabled() && !h.stopEnabled());
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
        row("400", Transport::Ok, 400, false, FetchVerdict::GiveUp, "HTTP 400");
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
        Module1::Page page; // kept as UTF-8, as most pages are, and decoded
        page.isUtf8 = true;
        page.utf8 = named ? profilePage(QStringLiteral("x")) : QByteArray("<html></html>");
        QCOMPARE(int(FetchVerdict::classify(outcome, page)), verdict);
        QCOMPARE(int(FetchVerdict::classify(outcome, QString::fromUtf8(page.utf8))), verdict);
        if (!reason.isEmpty())
            QCOMPARE(FetchVerdict::reason(outcome), reason);
    }

    void summaryNamesAtMostFiftyIds()
    {
        RunSummary s;
        s.visited = s.failed = 60;
        for (qint64 id = 1; id <= 50; ++id)
            s.failedIds << id;
        QCOMPARE(s.lines().size(), 2);
        QVERIFY(s.lines()[1].startsWith(QStringLiteral("下载失败的ID: 1, 2, 3, ")));
        QVERIFY(s.lines()[1].endsWith(QStringLiteral(", 49, 50 等 60 个")));
        s.failed = 50;
        QVERIFY(s.lines()[1].endsWith(QStringLiteral(", 50")));
    }

    void progressShowsInTheTitleAndBehindThePanel_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("completed") << "complete";
        QTest::newRow("stopped") << "stop";
        QTest::newRow("failed") << "fail";
    }
    // During a run the title and the panel's fill show the share done and the time left;
    // afterwards the title is the plain one again, however the run ended.
    void progressShowsInTheTitleAndBehindThePanel()
    {
        QFETCH(QString, ending);
        Harness h;
        for (qint64 id = 1; id <= 8; ++id)
            h.setPage(id, QStringLiteral("p%1").arg(id));
        if (ending == u"fail")
            h.setPage(8, "raw <span class=\"user-name twemoji\">broken</span> userid = 'no end");
        QString title, panel;
        double fill = -1;
        QTimer::singleShot(1800, h.window.get(), [&] {
            title = h.window->windowTitle();
            fill = h.window->progressFill();
            panel = h.panel(2);
            if (ending == u"stop")
                h.window->Command2_Click();
        });
        h.harvest(1, 8, 300);
        QVERIFY2(QRegularExpression(QStringLiteral("^VqLirra辅助 - [1-9]\\d% - 剩余约 \\d秒$")).match(title).hasMatch(),
                 qPrintable(title));
        QVERIFY2(fill > 0.1 && fill < 0.9, qPrintable(QString::number(fill)));
        QVERIFY(panel.startsWith(QStringLiteral("正在采集用户: "))); // the text stays as it was
        QCOMPARE(h.window->windowTitle(), QStringLiteral("VqLirra辅助"));
        QVERIFY(h.window->progressFill() < 0);
    }

    void timeLeftReads()
    {
        const QList<QPair<qint64, QString>> cases = {
            {59, "59秒"}, {60, "1分钟"}, {754, "12分钟"}, {3600, "1小时0分钟"}, {7530, "2小时5分钟"}};
        for (const auto &c : cases)
            QCOMPARE(Pace::chineseDuration(c.first), c.second);
    }
};

QTEST_MAIN(TestRun)
#include "tst_run.moc"
