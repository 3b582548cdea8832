#include "fixture.h"

namespace {
const QString kStarted = QStringLiteral("开始采集..."), kStopped = QStringLiteral("采集已经停止..."),
              kDone = QStringLiteral("采集完成..."), kLaunched = QStringLiteral("启动程序...");
#ifdef Q_OS_WIN
const QString kReset = QStringLiteral("服务器无响应"); // a reset before any answer reads as an empty reply there
#else
const QString kReset = QStringLiteral("连接被重置");
#endif
// One run on a scripted site (see Harness). The fields: start, end, pause, lowest and highest
// grade; last, "@WHEN ACTION": done while the run waits, WHEN ms after Start or "row" (after the
// first kept row), ACTION "stop" (and "stop FIRST LAST": start that range), "close" or "grade"
// (leave out the unranked). The site: the scripts of the first field's ID onwards, "*answer":
// every ID's. Then the IDs requested in turn, the rows kept ("ID name grade" for a profile page
// of the fixture, else the cells joined by |), the log's newest lines, and how the run ended
// ("running": failed, and the window still runs; else panel 2's last text).
struct Scenario { QStringList fields, site; QString requested; QStringList kept, log; QString ending; };
} // namespace

class TestRun : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        quickFetches(1000, {20, 40});
        // A quiet site is asked again after 100 and 250 ms.
        changeRetries([](RetryPolicy &p) { p.firstSilentWaitMs = 100; p.longestSilentWaitMs = 200; p.patienceMs = 250; });
    }

    void scenario_data()
    {
        QTest::addColumn<Scenario>("run");
        const auto row = [](const QString &name, const QStringList &fields, const QStringList &site, const QString &requested,
                            const QStringList &kept, const QStringList &log, const QString &ending) {
            QTest::newRow(qPrintable(name)) << Scenario{fields, site, requested, kept, log, ending};
        };
        const QStringList done{kStopped}, started{kStarted, kLaunched};
        const QString running = QStringLiteral("running");
        row("whole run", {"100", "108"},
            {"无等级", "", "新人 1x2", "500 出错也有名 2x3", "偶像 3x5", "明\"星,\r\n🎤 4x1 1x4", "巨星 5x5", "超出等级 3x6",
             "raw <html>a page without a display name</html>"},
            "100 101 102 103 104 105 106 107 108 108 107", // 108, new to the run, looked into: 107 still a profile
            {"100 无等级 尚未出道", "102 新人 歌唱新人 2", "103 出错也有名 闪亮新秀 3", "104 偶像 人气偶像 5", "105 明\"星,\r\n🎤 超级明星 1",
             "106 巨星 超级巨星 5"},
            QStringList{kStopped, summary(9, 6, 1, 2, 0)} + started, kDone);
        row("an unnumbered grade icon inherits nothing", {"1", "2"}, {"a 3x3", "b 0x1"}, "1 2", {"1 a 人气偶像 3", "2 b 尚未出道"}, done, kDone);
        row("a missing end marker leaves a half row and one failure line", {"7", "9"},
            {"ok", "raw <span class=\"user-name twemoji\">broken</span> userid = 'no end", "never"}, "7 8",
            {"7 ok 尚未出道", "2|broken|8|||||||"}, QStringList{"错误: 无效的过程调用或参数 代码: 5"} + started, running);
        row("absent counters store Nothing, the name as it stands", {"1", "1"}, {"raw <span class=\"user-name twemoji\"> bare </span>"},
            "1", {"1| bare |1|Nothing|尚未出道|Nothing|Nothing|Nothing|Nothing|Nothing"}, done, kDone);
        row("reversed range", {"10", "9"}, {}, "", {}, QStringList{"结束ID小于开始ID,采集未进行..."} + started, running);
        row("ID field beyond 32 bits", {"2147483648", "1"}, {}, "", {}, QStringList{"错误: 溢出 代码: 6"} + started, running);
        row("end field beyond 32 bits", {"1", "-99999999999"}, {}, "", {}, QStringList{"错误: 溢出 代码: 6"} + started, running);
        row("pause field beyond 32 bits", {"1", "3", "99999999999"}, {}, "1", {}, {"错误: 溢出 代码: 6"}, running);
        row("range ending at the largest ID", {"2147483646", "2147483647"}, {"", "last"}, "2147483646 2147483647",
            {"2147483647 last 尚未出道"}, done, kDone);
        row("fields read as numbers", {"abc", "2", ""}, {}, "0 1 2", {}, done, kDone);
        for (const char *gone : {"404", "410"})
            row(QStringLiteral("%1 is no failure").arg(gone), {"5", "5"}, {gone}, "5", {},
                {kStopped, "未找到任何资料: 全部 1 个页面的标题为 'no profile here'", summary(1, 0, 0, 1, 0)}, kDone);
        for (const char *fault : {"503", "429", "502", "504", "408", "500", "522", "524", "rst", "reset", "short", "stall"}) {
            for (int times : {1, 2})
                row(QStringLiteral("%1 %2 times, then the page").arg(fault).arg(times), {"7", "7"},
                    {(QStringList(times, fault) << "p7").join(u';')}, QStringLiteral("7 7 7").left(2 * times + 1), {"7 p7 尚未出道"},
                    QStringList{kStopped, summary(1, 1, 0, 0, 0)} + started, kDone);
        }
        const auto givenUp = [&row](const char *name, const char *fault, const char *fives, const char *reason) {
            row(name, {"4", "6"}, {"p4", fault, "p6"}, QStringLiteral("4 %1 6").arg(fives), {"4 p4 尚未出道", "6 p6 尚未出道"},
                {kStopped, "下载失败的ID: 5", summary(3, 2, 0, 0, 1), QStringLiteral("下载失败: 5 (%1)").arg(reason)}, kDone);
        };
        givenUp("busy every time", "503", "5 5 5", "HTTP 503");
        givenUp("blocked: 403 is not retried", "403", "5", "HTTP 403");
        givenUp("redirect loop, one attempt", "loop", "5 5 5 5 5 5", "重定向过多"); // 5 redirects followed
        givenUp("not http", "garbage", "5", "无效的响应");
        givenUp("stalled every time", "stall", "5 5 5", "超时");
        QStringList blocked = QStringList(9, "403") << "p10", all, manyBlocked, thrice, ten;
        for (int id = 1; id <= 60; ++id) {
            all << QString::number(id);
            manyBlocked << blocked[(id - 1) % 10];
        }
        const QStringList tens{"10 p10 尚未出道", "20 p10 尚未出道", "30 p10 尚未出道", "40 p10 尚未出道", "50 p10 尚未出道", "60 p10 尚未出道"};
        QStringList failedIds = all;
        failedIds.removeIf([](const QString &id) { return id.endsWith(u'0'); });
        row("a summary names the first fifty failed IDs", {"1", "60"}, manyBlocked, all.join(u' '), tens,
            {kStopped, "下载失败的ID: " + failedIds.mid(0, 50).join(QStringLiteral(", ")) + " 等 54 个, 全部见 %failed"}, kDone);
        row("exactly fifty failed IDs are all named", {"1", "55"}, manyBlocked.mid(0, 55), all.mid(0, 55).join(u' '), tens.mid(0, 5),
            {kStopped, "下载失败的ID: " + failedIds.mid(0, 50).join(QStringLiteral(", ")), summary(55, 5, 0, 0, 50)}, kDone);
        row("nine given up in a row go on", {"1", "20"}, blocked + blocked, all.mid(0, 20).join(u' '), tens.mid(0, 2),
            {kStopped, "下载失败的ID: " + failedIds.mid(0, 18).join(QStringLiteral(", ")), summary(20, 2, 0, 0, 18)}, kDone);
        for (int id = 100; id < 110; ++id) {
            thrice << QStringList(3, QString::number(id));
            ten << QString::number(id);
        }
        row("ten given up in a row end the run", {"100", "1000"}, QStringList(10, "rst"), thrice.join(u' '), {},
            {kStopped, "下载失败的ID: " + ten.join(QStringLiteral(", ")), summary(10, 0, 0, 0, 10),
             "连续10个ID下载失败, 采集已停止: " + kReset + ", 下次可从ID 100 开始", "下载失败: 109 (" + kReset + ")"},
            "正在采集用户: 109  完成进度[900/9]...");
        // A site that had answered goes quiet from ID 3: waited for, its IDs fetched again when it is back.
        // (ID 3 is asked for four times at first: libcurl tries once more when a kept-alive connection dies.)
        QStringList quiet{"p1", "p2", "rst;rst;rst;rst;rst;p3"}, asked{"1", "2", "3", "3", "3", "3"};
        for (int id = 4; id <= 12; ++id) {
            quiet << QStringLiteral("rst;rst;rst;p%1").arg(id);
            asked << QStringList(3, QString::number(id));
        }
        asked << "3" << "3";
        row("a quiet site is waited for", {"1", "14"}, quiet + QStringList{"p13", "p14"}, (asked + all.mid(2, 12)).join(u' '), everyRow(1, 14),
            QStringList{kStopped, summary(14, 14, 0, 0, 0), "网站已恢复, 继续采集", "网站无响应, 等待后自动继续"} + started, kDone);
        row("a site quiet beyond the patience ends the run", {"1", "14"}, QStringList{"*rst", "p1", "p2"}, asked.join(u' '),
            everyRow(1, 2), {kStopped, "下载失败的ID: " + all.mid(2, 10).join(QStringLiteral(", ")), summary(12, 2, 0, 0, 10),
                        "连续10个ID下载失败, 采集已停止: " + kReset + ", 下次可从ID 3 开始"}, "正在采集用户: 12  完成进度[13/11]...");
        // Pages that are no profiles, after profiles: looked into by asking the first of them and the
        // last profile again (13 went out before 12 was read). A verification page for a while, then
        // for ever; the site's own absence page.
        const QString verify = QStringLiteral("raw <html><title>安全验证</title>请完成安全验证</html>");
        QStringList blockedAWhile{"p1", "p2;" + verify + ";p2", verify + ';' + verify + ";p3"}, sparse{"p1", "p2"}, renamed{"p1", "p2"};
        for (int id = 4; id <= 12; ++id)
            blockedAWhile << verify + ";p" + QString::number(id);
        row("a verification page for a while", {"1", "14"}, blockedAWhile + QStringList{"p13", "p14"},
            (all.mid(0, 13) + QStringList{"3", "2", "3"} + all.mid(2, 12)).join(u' '), everyRow(1, 14),
            QStringList{kStopped, summary(14, 14, 0, 0, 0), "网站已恢复, 继续采集", "网站返回非资料页面: 安全验证, 等待后自动继续"} + started, kDone);
        row("a verification page for ever", {"1", "14"}, {"*" + verify, "p1", "p2;" + verify}, (all.mid(0, 13) + QStringList(3, "3 2")).join(u' '),
            everyRow(1, 2), {kStopped, summary(2, 2, 0, 0, 0), "网站持续返回非资料页面: 安全验证, 采集已停止, 下次可从ID 3 开始",
                             "网站返回非资料页面: 安全验证, 等待后自动继续"}, "网站持续返回非资料页面, 下次可从ID 3 开始");
        for (int id = 3; id <= 40; ++id)
            sparse << "raw <html><title>用户 " + QString::number(id) + " 不存在</title></html>";
        row("the site's own absence page, many in a row", {"1", "41"}, sparse << "p41",
            (all.mid(0, 13) + QStringList{"3", "2"} + all.mid(13, 28)).join(u' '), // 13, in before the look, is kept
            {"1 p1 尚未出道", "2 p2 尚未出道", "41 p41 尚未出道"}, {kStopped, summary(41, 3, 0, 38, 0)}, kDone);
        QStringList renamedRows = everyRow(1, 2);
        for (int id = 3; id <= 52; ++id) {
            renamed << "uid p" + QString::number(id);
            renamedRows << QStringLiteral("%1|p%1|%1|Nothing|尚未出道|1024|12|3|45|678").arg(id);
        }
        row("a column that stops being found", {"1", "52"}, renamed, QString(), renamedRows,
            {kStopped, summary(52, 52, 0, 0, 0), "页面格式可能已变化: 用户ID 连续 50 个资料未找到"}, kDone);
        const QStringList graded{"a", "b 2x2", "c 4x4", "d 5x5", "e 5x6"}; // e: never kept
        const auto bounds = [&](const char *name, const char *lower, const char *upper, const QStringList &kept) {
            row(name, {"1", "5", "0", lower, upper}, graded, "1 2 3 4 5", kept, done, kDone);
        };
        bounds("bounds: the whole scale", "0", "25", {"1 a 尚未出道", "2 b 闪亮新秀 2", "3 c 超级明星 4", "4 d 超级巨星 5"});
        bounds("bounds: one tier", "6", "10", {"2 b 闪亮新秀 2"});
        bounds("bounds: only the unranked", "0", "0", {"1 a 尚未出道"});
        bounds("bounds: crossed, nothing kept", "20", "5", {});
        bounds("bounds: the top of the scale", "25", "25", {"4 d 超级巨星 5"});
        // Read for the history alone, a profile outside the range whose marker has no end ends no run.
        row("an unreadable profile outside the grade range", {"1", "2", "0", "6", "10"},
            {"raw <span class=\"user-name twemoji\">broken</span> userid = 'no end", "b 2x2"}, "1 2", {"2 b 闪亮新秀 2"}, done, kDone);
        const QStringList p123 = everyRow(1, 3);
        row("stop during a pause ends after that ID", {"1", "5", "300", "@100 stop"}, {"*p%1"}, "1", p123.mid(0, 1),
            {summary(1, 1, 0, 0, 0), kStopped}, "正在采集用户: 1  完成进度[4/0]..."); // the run notices after Stop
        row("a wide span shows its true numbers", {"-2000000000", "2000000000", "100", "@30 stop"}, {"*"}, "-2000000000", {}, {},
            "正在采集用户: -2000000000  完成进度[4000000000/0]...");
        row("a second run inside the first goes to its end", {"1", "3", "200", "@row stop 20 21"}, {"*p%1"}, "1 20 21",
            {"1 p1 尚未出道", "20 p20 尚未出道", "21 p21 尚未出道"}, {summary(1, 1, 0, 0, 0), kStopped, summary(2, 2, 0, 0, 0)}, kDone);
        row("a second run reversed lets the first finish", {"1", "3", "100", "@30 stop 9 8"}, {"*p%1"}, "1 2 3", p123,
            {kStopped, summary(3, 3, 0, 0, 0)}, kDone);
        row("a grade bound changed applies from the next profile", {"1", "3", "100", "@row grade"}, {"*p%1"}, "1 2 3", p123.mid(0, 1),
            {kStopped, summary(3, 1, 2, 0, 0)}, kDone);
        row("stop ends the wait before a retry", {"1", "1000", "0", "@300 stop"}, {"*503"}, "1", {}, {summary(0, 0, 0, 0, 0)}, "");
        row("closing ends the wait before a retry", {"1", "1000", "0", "@300 close"}, {"*503"}, "1", {}, {}, "");
        row("closing ends a pause", {"1", "1000", "60000", "@300 close"}, {"*p%1"}, "1", p123.mid(0, 1), {}, "");
        row("closing ends a fetch in flight", {"1", "1000", "60000", "@300 close"}, {"*stall"}, "1", {}, {}, "");
    }

    void scenario()
    {
        QFETCH(Scenario, run);
        auto [fields, site, requested, kept, log, ending] = run;
        Harness h;
        const QString action = fields.last().startsWith(u'@') ? fields.takeLast().mid(1) : QString();
        if (site.value(0).startsWith(u'*'))
            h.otherwise = site.takeFirst().mid(1);
        for (int i = 0; i < site.size(); ++i)
            h.script[fields[0].toLongLong() + i] = site[i].split(u';');
        h.setFields(fields[0], fields[1], fields.value(2, QStringLiteral("0")));
        if (fields.size() > 3) {
            h.child<QComboBox>("Combo1")->setCurrentIndex(fields[3].toInt());
            h.child<QComboBox>("Combo2")->setCurrentIndex(fields[4].toInt());
            QCOMPARE(QStringLiteral("%1 %2").arg(h.window->lowerBound()).arg(h.window->upperBound()), fields[3] + u' ' + fields[4]);
        }
        if (!action.isEmpty()) {
            RunSettings slow; // fetches of 30 s: only the action can end a wait quickly
            slow.retries.delaysMs = {60000, 60000};
            h.window->setRunSettings(slow);
            h.window->show();
            const auto act = [&h, verb = action.section(u' ', 1)] {
                if (verb == u"close")
                    return void(h.window->close());
                if (verb == u"grade")
                    return h.child<QComboBox>("Combo1")->setCurrentIndex(1);
                h.child<QPushButton>("Command2")->click();
                if (verb != u"stop") {
                    h.setFields(verb.section(u' ', 1, 1), verb.section(u' ', 2, 2));
                    h.child<QPushButton>("Command1")->click();
                }
            };
            if (action.startsWith(u"row"))
                h.afterFirstRow(act);
            else
                QTimer::singleShot(action.section(u' ', 0, 0).toInt(), h.window.get(), act);
        }
        const qint64 startedAt = h.clock.elapsed();
        h.window->Command1_Click();
        QVERIFY2(h.clock.elapsed() - startedAt < 20000, qPrintable(QString::number(h.clock.elapsed() - startedAt)));
        if (!requested.isEmpty())
            QCOMPARE(h.ids(), requested);
        QStringList expected;
        for (const QString &k : kept)
            expected << (k.contains(u'|') ? k
                                          : QStringList{QString::number(expected.size() + 1), k.section(u' ', 1, 1),
                                                        k.section(u' ', 0, 0), "87654321", k.section(u' ', 2),
                                                        "1024", "12", "3", "45", "678"}.join(u'|'));
        QCOMPARE(h.rowTexts(), expected);
        const QString failedPath = h.dir.filePath(QStringLiteral("Log/journal.failed"));
        log.replaceInStrings(QStringLiteral("%failed"), QDir::toNativeSeparators(failedPath));
        QCOMPARE(h.messages().mid(0, log.size()), log);
        // Every ID given up is listed beside the journal, once, in the order given up.
        QByteArray givenUp;
        for (const QString &m : h.messages().filter(QRegularExpression(QStringLiteral("^下载失败: "))))
            givenUp.prepend(m.section(u' ', 1, 1).toLatin1() + '\n');
        QCOMPARE(QFile::exists(failedPath) ? readFile(failedPath) : QByteArray(), givenUp);
        const bool stillRunning = ending == u"running";
        QCOMPARE(h.window->running(), stillRunning);
        if (!action.endsWith(u"close")) {
            QCOMPARE(h.startEnabled(), !stillRunning);
            QCOMPARE(h.stopEnabled(), stillRunning);
        }
        if (!stillRunning && !ending.isEmpty())
            QCOMPARE(h.panel(2), ending);
        if (ending == kDone && (!kept.isEmpty() || fields.size() > 3)) // every kept page was counted
            QCOMPARE(h.panel(1), QStringLiteral("总数: %1").arg(kept.size()));
        // However the run ended, the title is the plain one again and the panel shows no share done.
        QVERIFY(h.window->windowTitle() == QStringLiteral("VqLirra辅助") && h.window->progressFill() < 0);
        // The journal is the saved list without its closing line, and the next start restores it.
        if (!kept.isEmpty())
            QCOMPARE(readFile(h.dir.filePath(QStringLiteral("Log/journal.csv"))), csvBytes(*h.window->resultList()).chopped(2));
        h.restart();
        QCOMPARE(h.rowTexts(), expected);
    }

    // Eight in flight through a quiet spell lose nothing; Stop ends the wait at once, and the
    // quiet IDs are the next run's first.
    void quietSiteWaitedFor_data()
    {
        QTest::addColumn<int>("parallel");
        QTest::newRow("back, eight in flight") << 8;
        QTest::newRow("stopped while waiting") << 1;
    }
    void quietSiteWaitedFor()
    {
        QFETCH(int, parallel);
        const bool stop = parallel == 1;
        changeRetries([stop](RetryPolicy &p) { p.firstSilentWaitMs = stop ? 60000 : 100; p.patienceMs = 120000; });
        const QString waiting = QStringLiteral("网站无响应, 等待后自动继续");
        Harness h("p%1");
        QString title; // once the wait shows; from then the site is back, or Stop is pressed
        h.server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            if (r.path.mid(3).toInt() < 5 || !title.isEmpty())
                return h.serve(r, s);
            h.requested.append(r.path);
            serveFault(QStringLiteral("rst"), r, s);
        });
        QObject::connect(h.window.get(), &QWidget::windowTitleChanged, h.window.get(), [&](const QString &shown) {
            if (!title.isEmpty() || !shown.contains(QStringLiteral("网站无响应")))
                return;
            title = shown;
            if (stop)
                QTimer::singleShot(0, h.window.get(), [&h] { h.window->Command2_Click(); });
        });
        const qint64 startedAt = h.clock.elapsed();
        h.harvest(1, 30, 0, parallel);
        QVERIFY(h.clock.elapsed() - startedAt < 30000); // not the minute's wait: Stop ends it at once
        QVERIFY2(QRegularExpression(QStringLiteral("^VqLirra辅助 - 网站无响应, \\d+ 秒后重试ID 5$")).match(title).hasMatch(), qPrintable(title));
        const QStringList said = h.messages();
        QCOMPARE(said.count(waiting), 1);
        QCOMPARE(said.filter(QStringLiteral("下载失败: ")), QStringList());
        if (stop) {
            QCOMPARE(said.first(), summary(4, 4, 0, 0, 0));
            h.restart();
            QCOMPARE(h.field(0)->text(), QStringLiteral("5"));
        } else {
            QCOMPARE(h.rows(), 30);
            QCOMPARE(said.mid(1, 2), (QStringList{summary(30, 30, 0, 0, 0), QStringLiteral("网站已恢复, 继续采集")}));
        }
    }

    // During a run the title and the panel's fill show the share done and the time left.
    void progressShowsInTheTitleAndBehindThePanel()
    {
        Harness h("p%1");
        QString title, panel;
        double fill = -1;
        QTimer::singleShot(1800, h.window.get(), [&] {
            title = h.window->windowTitle();
            fill = h.window->progressFill();
            panel = h.panel(2);
        });
        h.harvest(1, 8, 300);
        QVERIFY2(QRegularExpression(QStringLiteral("^VqLirra辅助 - [1-9]\\d% - 剩余约 \\d秒$")).match(title).hasMatch(),
                 qPrintable(title));
        QVERIFY2(fill > 0.1 && fill < 0.9, qPrintable(QString::number(fill)));
        QVERIFY(panel.startsWith(QStringLiteral("正在采集用户: "))); // the text stays as it was
    }
};

QTEST_MAIN(TestRun)
#include "tst_run.moc"
