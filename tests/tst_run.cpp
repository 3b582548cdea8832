#include "harness.h"
#include "harvest_run.h"
#include "pace.h"
#include "pageutil.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace {
// Runs action in the pause that follows the first kept row, however long its fetch took.
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
    void init() { quickFetches(2000, {20, 20}); }

    void wholeRunKeepsProfilesInRange()
    {
        Harness h;
        h.setPage(100, profilePage(QStringLiteral("无等级")));
        // 101 has no profile (not found)
        h.setPage(102, profilePage(QStringLiteral("新人"), tierIcons(1, 2)));
        h.setPage(103, profilePage(QStringLiteral("出错也有名"), tierIcons(2, 3)), 500);
        h.setPage(104, profilePage(QStringLiteral("偶像"), tierIcons(3, 5)));
        h.setPage(105, profilePage(QStringLiteral("明星🎤"), tierIcons(4, 1) + tierIcons(1, 4)));
        h.setPage(106, profilePage(QStringLiteral("巨星"), tierIcons(5, 5)));
        h.setPage(107, profilePage(QStringLiteral("超出等级"), tierIcons(3, 6)));
        h.setPage(108, "<html>a page without a display name</html>");
        h.setFields(QStringLiteral("100"), QStringLiteral("108"));
        h.window->Command1_Click();

        QCOMPARE(h.requested.size(), 9);
        QCOMPARE(h.requested.first(), QByteArray("/u/100"));
        QCOMPARE(h.requested.last(), QByteArray("/u/108"));
        QCOMPARE(h.rows(), 6); // 101 absent, 107 outside the scale, 108 nameless
        QCOMPARE(h.row(0), (QStringList{"1", "无等级", "100", "87654321", "尚未出道", "1024", "12", "3", "45", "678"}));
        const QStringList grades = {"尚未出道", "歌唱新人 2", "闪亮新秀 3", "人气偶像 5", "超级明星 1", "超级巨星 5"};
        for (int r = 0; r < 6; ++r) {
            QCOMPARE(h.row(r).at(0), QString::number(r + 1));
            QCOMPARE(h.row(r).at(4), grades.at(r));
        }
        QCOMPARE(h.row(4).at(1), QStringLiteral("明星🎤"));
        QCOMPARE(h.row(2).at(2), QStringLiteral("103"));
        QCOMPARE(h.window->statusPanelText(1), QStringLiteral("总数: 6"));
        QCOMPARE(h.window->statusPanelText(2), QStringLiteral("采集完成..."));
        QVERIFY(!h.window->running());
        QVERIFY(h.startEnabled());
        QVERIFY(!h.stopEnabled());
        QCOMPARE(h.messages(), (QStringList{"采集已经停止...",
                                            "本次采集: 访问 9 个ID, 保留 6 行, 等级不符 1 个, 无资料 2 个, 下载失败 0 个",
                                            "开始采集...", "启动程序..."}));
    }

    void gradeFilterUsesTheBounds_data()
    {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("whole scale") << 0 << 25 << QStringList{"a", "b", "c", "d"};
        QTest::newRow("one tier") << 6 << 10 << QStringList{"b"};
        QTest::newRow("only unranked") << 0 << 0 << QStringList{"a"};
        QTest::newRow("crossed bounds keep nothing") << 20 << 5 << QStringList{};
        QTest::newRow("top of scale") << 25 << 25 << QStringList{"d"};
    }
    void gradeFilterUsesTheBounds()
    {
        QFETCH(int, lower);
        QFETCH(int, upper);
        QFETCH(QStringList, kept);
        Harness h;
        h.setPage(1, profilePage(QStringLiteral("a")));
        h.setPage(2, profilePage(QStringLiteral("b"), tierIcons(2, 2)));
        h.setPage(3, profilePage(QStringLiteral("c"), tierIcons(4, 4)));
        h.setPage(4, profilePage(QStringLiteral("d"), tierIcons(5, 5)));
        h.setPage(5, profilePage(QStringLiteral("e"), tierIcons(5, 6))); // never kept
        h.child<QComboBox>("Combo1")->setCurrentIndex(lower);
        h.child<QComboBox>("Combo2")->setCurrentIndex(upper);
        QCOMPARE(int(h.window->lowerBound()), lower);
        QCOMPARE(int(h.window->upperBound()), upper);
        h.setFields(QStringLiteral("1"), QStringLiteral("5"));
        h.window->Command1_Click();
        QStringList names;
        for (int r = 0; r < h.rows(); ++r)
            names << h.row(r).at(1);
        QCOMPARE(names, kept);
        // Every named page updates the count, kept or not.
        QCOMPARE(h.window->statusPanelText(1), QStringLiteral("总数: %1").arg(kept.size()));
    }

    void unnumberedGradeMarkerNeverInheritsTheLastGrade()
    {
        Harness h;
        h.setPage(1, profilePage(QStringLiteral("a"), tierIcons(3, 3)));
        h.setPage(2, profilePage(QStringLiteral("b"), QStringLiteral("<i class=\"singergrade\"></i>")));
        h.setFields(QStringLiteral("1"), QStringLiteral("2"));
        h.window->Command1_Click();
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.row(1).at(4), QStringLiteral("尚未出道"));
    }

    void missingEndMarkerLeavesHalfRowAndOneFailureLine()
    {
        Harness h;
        h.setPage(7, profilePage(QStringLiteral("ok")));
        h.setPage(8, "<span class=\"user-name twemoji\">broken</span> userid = 'no end");
        h.setPage(9, profilePage(QStringLiteral("never reached")));
        h.setFields(QStringLiteral("7"), QStringLiteral("9"));
        h.window->Command1_Click();
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.row(1), (QStringList{"2", "broken", "8", "", "", "", "", "", "", ""}));
        QCOMPARE(h.requested.size(), 2);
        const QStringList log = h.messages();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log.first(), QStringLiteral("错误: 无效的过程调用或参数 代码: 5"));
        QCOMPARE(log.at(1), QStringLiteral("开始采集..."));
        // A failed run leaves the window running until Stop.
        QVERIFY(h.window->running());
        QVERIFY(!h.startEnabled());
        QVERIFY(h.stopEnabled());
    }

    void absentCounterStoresNothing()
    {
        Harness h;
        h.setPage(1, "<span class=\"user-name twemoji\">bare</span>");
        h.setFields(QStringLiteral("1"), QStringLiteral("1"));
        h.window->Command1_Click();
        QCOMPARE(h.row(0), (QStringList{"1", "bare", "1", "Nothing", "尚未出道", "Nothing", "Nothing", "Nothing", "Nothing", "Nothing"}));
    }

    void reversedRangeLogsOnceAndStaysRunning()
    {
        Harness h;
        h.setFields(QStringLiteral("10"), QStringLiteral("9"));
        h.window->Command1_Click();
        QVERIFY(h.requested.isEmpty());
        QCOMPARE(h.messages().size(), 3);
        QCOMPARE(h.messages().at(1), QStringLiteral("开始采集..."));
        QVERIFY(h.window->running());
        QVERIFY(!h.startEnabled());
        h.window->Command2_Click();
        QVERIFY(h.startEnabled());
        QCOMPARE(h.messages().first(), QStringLiteral("采集已经停止..."));
    }

    void stopBeforeAnyRun()
    {
        Harness h;
        h.window->Command2_Click();
        QVERIFY(h.startEnabled());
        QVERIFY(!h.stopEnabled());
        QCOMPARE(h.messages(), (QStringList{"采集已经停止...", "启动程序..."}));
    }

    void stopDuringPauseEndsAfterThatId()
    {
        Harness h;
        for (int id = 1; id <= 5; ++id)
            h.setPage(id, profilePage(QStringLiteral("p%1").arg(id)));
        h.setFields(QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("300"));
        QTimer::singleShot(100, h.window.get(), [&h] { h.child<QPushButton>("Command2")->click(); });
        h.window->Command1_Click();
        QCOMPARE(h.requested.size(), 1);
        QCOMPARE(h.rows(), 1);
        QVERIFY(!h.window->running());
        QCOMPARE(h.window->statusPanelText(2), QStringLiteral("正在采集用户: 1  完成进度[4/0]..."));
        // The run writes its summary when it notices the flag, after Stop's own line.
        QCOMPARE(h.messages().mid(0, 2), (QStringList{"本次采集: 访问 1 个ID, 保留 1 行, 等级不符 0 个, 无资料 0 个, 下载失败 0 个",
                                                      "采集已经停止..."}));
    }

    void secondRunInsideTheFirst()
    {
        Harness h;
        for (int id = 1; id <= 30; ++id)
            h.setPage(id, profilePage(QStringLiteral("p%1").arg(id)));
        h.setFields(QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("200"));
        afterFirstRow(h, [&h] {
            h.child<QPushButton>("Command2")->click();
            h.setFields(QStringLiteral("20"), QStringLiteral("21"), QStringLiteral("0"));
            h.child<QPushButton>("Command1")->click(); // runs the second range to its end
        });
        h.window->Command1_Click();
        // The first run ends at its next check: the completed second run cleared the flag.
        QCOMPARE(h.requested, (QList<QByteArray>{"/u/1", "/u/20", "/u/21"}));
        QCOMPARE(h.rows(), 3);
        QCOMPARE(h.row(2).at(2), QStringLiteral("21"));
        QCOMPARE(h.window->statusPanelText(2), QStringLiteral("采集完成..."));
        QVERIFY(!h.window->running());
    }

    void secondRunReversedLetsTheFirstFinish()
    {
        Harness h;
        for (int id = 1; id <= 3; ++id)
            h.setPage(id, profilePage(QStringLiteral("p%1").arg(id)));
        h.setFields(QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("100"));
        QTimer::singleShot(30, h.window.get(), [&h] {
            h.child<QPushButton>("Command2")->click();
            h.setFields(QStringLiteral("9"), QStringLiteral("8"), QStringLiteral("0"));
            h.child<QPushButton>("Command1")->click();
        });
        h.window->Command1_Click();
        QCOMPARE(h.requested.size(), 3);
        QCOMPARE(h.window->statusPanelText(2), QStringLiteral("采集完成..."));
    }

    void idFieldBeyond32BitsIsOneFailureLine_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::newRow("start") << "2147483648" << "1";
        QTest::newRow("end") << "1" << "-99999999999";
    }
    void idFieldBeyond32BitsIsOneFailureLine()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        Harness h;
        h.setFields(start, end);
        h.window->Command1_Click();
        QCOMPARE(h.messages(), (QStringList{"错误: 溢出 代码: 6", "开始采集...", "启动程序..."}));
        QVERIFY(h.requested.isEmpty());
        QVERIFY(h.window->running());
        QVERIFY(!h.startEnabled());
    }

    void badInputInEveryField_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("pause");
        QTest::addColumn<QStringList>("requested");
        QTest::addColumn<bool>("failed");
        QTest::newRow("all empty") << "" << "" << "" << QStringList{"0"} << false;
        QTest::newRow("blanks and signs") << "  3" << "+4" << " 0" << QStringList{"3", "4"} << false;
        QTest::newRow("exponent and letters") << "1e999" << "2" << "x" << QStringList{"1", "2"} << false;
        QTest::newRow("full-width digits") << "１" << "1" << "" << QStringList{"0", "1"} << false;
        QTest::newRow("fractions round half to even") << "2.5" << "3.5" << "0.4" << QStringList{"2", "3", "4"} << false;
        QTest::newRow("negative IDs and pause") << "-1" << "0" << "-50" << QStringList{"-1", "0"} << false;
        QTest::newRow("smallest IDs") << "-2147483648" << "-2147483647" << "0" << QStringList{"-2147483648", "-2147483647"} << false;
        QTest::newRow("largest ID") << "2147483647" << "2147483647" << "0" << QStringList{"2147483647"} << false;
        QTest::newRow("long digit string") << QString(40, u'9') << "1" << "0" << QStringList{} << true;
        QTest::newRow("pause just beyond") << "1" << "2" << "2147483647.5" << QStringList{"1"} << true;
    }
    void badInputInEveryField()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, pause);
        QFETCH(QStringList, requested);
        QFETCH(bool, failed);
        Harness h;
        h.setFields(start, end, pause);
        h.window->Command1_Click();
        QStringList ids;
        for (const QByteArray &path : h.requested)
            ids << QString::fromLatin1(path.mid(3));
        QCOMPARE(ids, requested);
        QCOMPARE(h.messages().first(), failed ? QStringLiteral("错误: 溢出 代码: 6") : QStringLiteral("采集已经停止..."));
    }

    void pauseFieldBeyond32BitsEndsTheRun()
    {
        Harness h;
        h.setFields(QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("99999999999"));
        h.window->Command1_Click();
        QCOMPARE(h.requested.size(), 1);
        QCOMPARE(h.messages().first(), QStringLiteral("错误: 溢出 代码: 6"));
    }

    void rangeEndingAtLargestIdCompletes()
    {
        Harness h;
        h.setPage(2147483647, profilePage(QStringLiteral("last")));
        h.setFields(QStringLiteral("2147483646"), QStringLiteral("2147483647"));
        h.window->Command1_Click();
        QCOMPARE(h.requested, (QList<QByteArray>{"/u/2147483646", "/u/2147483647"}));
        QCOMPARE(h.rows(), 1);
        QCOMPARE(h.window->statusPanelText(2), QStringLiteral("采集完成..."));
        QCOMPARE(h.messages().first(), QStringLiteral("采集已经停止..."));
    }

    void wideSpanShowsItsTrueNumbers()
    {
        Harness h;
        h.setFields(QStringLiteral("-2000000000"), QStringLiteral("2000000000"), QStringLiteral("100"));
        QTimer::singleShot(30, h.window.get(), [&h] { h.window->Command2_Click(); });
        h.window->Command1_Click();
        QCOMPARE(h.requested, (QList<QByteArray>{"/u/-2000000000"}));
        QCOMPARE(h.window->statusPanelText(2),
                 QStringLiteral("正在采集用户: -2000000000  完成进度[4000000000/0]..."));
    }

    void emptyPauseFieldDoesNotPause()
    {
        Harness h;
        h.setFields(QStringLiteral("abc"), QStringLiteral("2"), QString());
        h.window->Command1_Click();
        // A non-numeric start is ID 0.
        QCOMPARE(h.requested, (QList<QByteArray>{"/u/0", "/u/1", "/u/2"}));
    }

    void stalledServerIsEndedByTheTimeout()
    {
        Harness h;
        QList<QTcpSocket *> held;
        h.server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            h.requested.append(r.path);
            if (r.path == "/u/2") {
                held.append(s); // never answered
                return;
            }
            LoopbackServer::respond(s, 200, "text/html", profilePage(QString::fromLatin1(r.path)));
        });
        h.setFields(QStringLiteral("1"), QStringLiteral("3"));
        QElapsedTimer clock;
        clock.start();
        h.window->Command1_Click();
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.row(1).at(2), QStringLiteral("3"));
        QVERIFY(clock.elapsed() < 20000);
        QCOMPARE(h.window->statusPanelText(2), QStringLiteral("采集完成..."));
        QVERIFY(h.messages().contains(QStringLiteral("下载失败: 2 (超时)")));
    }

    void gradeChangedDuringRunAppliesFromTheNextProfile()
    {
        Harness h;
        for (int id = 1; id <= 3; ++id)
            h.setPage(id, profilePage(QStringLiteral("p%1").arg(id)));
        h.setFields(QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("100"));
        afterFirstRow(h, [&h] { h.child<QComboBox>("Combo1")->setCurrentIndex(1); });
        h.window->Command1_Click();
        QCOMPARE(h.rows(), 1);
        QCOMPARE(h.window->statusPanelText(1), QStringLiteral("总数: 1"));
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
        for (int id = 1; id <= 8; ++id)
            h.setPage(id, profilePage(QStringLiteral("p%1").arg(id)));
        if (ending == u"fail")
            h.setPage(8, "<span class=\"user-name twemoji\">broken</span> userid = 'no end");
        h.setFields(QStringLiteral("1"), QStringLiteral("8"), QStringLiteral("300"));
        QString title;
        double fill = -1;
        QString panel;
        QTimer::singleShot(1800, h.window.get(), [&] {
            title = h.window->windowTitle();
            fill = h.window->progressFill();
            panel = h.window->statusPanelText(2);
            if (ending == u"stop")
                h.window->Command2_Click();
        });
        h.window->Command1_Click();
        QVERIFY2(QRegularExpression(QStringLiteral("^VqLirra辅助 - [1-9]\\d% - 剩余约 \\d秒$")).match(title).hasMatch(),
                 qPrintable(title));
        QVERIFY2(fill > 0.1 && fill < 0.9, qPrintable(QString::number(fill)));
        QVERIFY(panel.startsWith(QStringLiteral("正在采集用户: "))); // the text stays as it was
        QCOMPARE(h.window->windowTitle(), QStringLiteral("VqLirra辅助"));
        QVERIFY(h.window->progressFill() < 0);
    }

    void timeLeftReads_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("under a minute") << qint64(59) << "59秒";
        QTest::newRow("a minute") << qint64(60) << "1分钟";
        QTest::newRow("minutes") << qint64(754) << "12分钟";
        QTest::newRow("an hour") << qint64(3600) << "1小时0分钟";
        QTest::newRow("hours and minutes") << qint64(7530) << "2小时5分钟";
    }
    void timeLeftReads()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(Pace::chineseDuration(seconds), text);
    }

    void closingTheWindowDuringARunEndsItPromptly()
    {
        Harness h;
        h.server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *) { h.requested.append(r.path); });
        Module1::FetchLimits slow;
        Module1::setFetchLimits(slow); // 30 s: only the close can end it quickly
        h.setFields(QStringLiteral("1"), QStringLiteral("1000"), QStringLiteral("60000"));
        h.window->show();
        QTimer::singleShot(100, h.window.get(), [&h] { h.window->close(); });
        QElapsedTimer clock;
        clock.start();
        h.window->Command1_Click();
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(h.requested.size(), 1);
        QCOMPARE(h.rows(), 0);
    }
};

QTEST_MAIN(TestRun)
#include "tst_run.moc"
