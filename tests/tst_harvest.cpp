#include "answer_judge.h"
#include "pace.h"
#include "run_harness.h"

namespace {
// A Retry-After (served as fault) with a number in flight: how long it holds every request, and
// the cap set on the wait.
struct Hold { QString fault; int parallel, heldMs, capMs; };
} // namespace

// The harvest at its own level, no window: the run's loop, its waits and its sinks, assembled
// as any front end has it assembled, against a loopback site.
class TestHarvest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        quickFetches(2000, {20, 40});
        changeRetries([](RetryPolicy &p) { p.maxRetryAfterMs = 300; });
    }

    void retryAfterHoldsEveryRequest_data()
    {
        QTest::addColumn<Hold>("hold");
        QTest::newRow("429, eight in flight") << Hold{"retry-429", 8, 1000, 120000};
        QTest::newRow("an HTTP date") << Hold{"retry-date", 1, 900, 120000};
        QTest::newRow("cut to the cap") << Hold{"retry-long", 4, 250, 300};
        QTest::newRow("with a page, one at a time") << Hold{"retry-page", 1, 1000, 120000};
    }
    // A Retry-After (or the cap set on it) passes before any request starts, and a refused ID
    // is asked for again then; one at a time, no later ID goes out until it has passed, even after a page.
    void retryAfterHoldsEveryRequest()
    {
        QFETCH(Hold, hold);
        const auto [fault, parallel, heldMs, capMs] = hold;
        changeRetries([cap = capMs](RetryPolicy &p) { p.maxRetryAfterMs = cap; });
        RunHarness h("p%1");
        h.script[3] = QStringList{fault, "p3"};
        h.delay([](qint64) { return 60; });
        h.harvest(1, 20, parallel);
        QCOMPARE(h.rowTexts(), everyRow(1, 20));
        const QList<qint64> at = h.times.value(3);
        QVERIFY(at.size() == (fault == u"retry-page" ? 1 : 2) && at.last() - at[0] < heldMs + 20000);
        int after = 0;
        for (const ScriptedSite::Arrival &a : h.arrivals) {
            QVERIFY2((a.ms <= at[0] + 20 && (parallel > 1 || a.id <= 3)) || a.ms >= at[0] + heldMs, qPrintable(QString::number(a.ms - at[0])));
            after += a.ms >= at[0] + heldMs;
        }
        QVERIFY(after >= 5);
        QCOMPARE(h.server.peakInFlight(), parallel);
    }

    // A site that answers an ID without a profile with a page of status 200: the run learns it
    // at the cost of two requests, on the same road as any (the pause kept, one at a time after
    // each answer and beyond one between starts), throws no answer away, and the next harvest
    // knows it, from the journal or, with a journal of its own, from the history.
    void absencePageLearntOnce_data()
    {
        QTest::addColumn<int>("parallel");
        QTest::addColumn<int>("pause");
        QTest::newRow("one at a time, a pause") << 1 << 40;
        QTest::newRow("eight in flight") << 8 << 0;
        QTest::newRow("eight in flight, a pause") << 8 << 25;
    }
    void absencePageLearntOnce()
    {
        QFETCH(int, parallel);
        QFETCH(int, pause);
        constexpr int ids = 30, delayMs = 20;
        RunHarness h;
        for (int id = 1; id <= ids; ++id)
            h.setPage(id, id % 5 == 1 ? QStringLiteral("p%1").arg(id) : QStringLiteral("raw <html><title>用户 %1 不存在</title></html>").arg(id));
        h.delay([](qint64) { return delayMs; });
        h.pause = pause;
        h.harvest(1, ids, parallel);
        QStringList kept;
        for (const QString &row : h.rowTexts())
            kept << row.section(u'|', 2, 2);
        QCOMPARE(kept, QStringList({"1", "6", "11", "16", "21", "26"}));
        QVERIFY2(h.requested.size() <= ids + 2, qPrintable(h.ids()));
        const qint64 least = parallel == 1 ? delayMs + pause : pause; // after the answer, or between starts
        const auto &a = h.arrivals;
        QVERIFY(a.last().ms - a.first().ms >= (a.size() - 1) * least);
        for (int i = 1; i < a.size(); ++i)
            QVERIFY2(a[i].ms - a[i - 1].ms >= least - kArrivalJitterMs,
                     qPrintable(QStringLiteral("%1 after %2: %3 ms").arg(a[i].id).arg(a[i - 1].id).arg(a[i].ms - a[i - 1].ms)));
        h.pause = 0;
        Journal elsewhere(QDir(h.dir.path()).filePath(QStringLiteral("Elsewhere")));
        for (Journal *journal : {&h.journal, &elsewhere}) {
            h.journalUsed = journal;
            h.requested.clear();
            h.harvest(1, ids, parallel);
            QCOMPARE(h.requested.size(), ids);
        }
    }

    // An ID the site refuses every time while it serves the IDs around it is the ID's own
    // trouble: three tries, five requests at most, and it is named as failed, once, where the
    // harvest keeps its failed IDs; without such a place only the run's counts name it.
    void idRefusedForItselfGetsItsTries_data()
    {
        QTest::addColumn<int>("parallel");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<bool>("paced"); // the IDs before it refused once each: the pace holds the run
        QTest::newRow("one at a time") << 1 << true << false;
        QTest::newRow("eight in flight") << 8 << true << false;
        QTest::newRow("eight in flight, no failed IDs kept") << 8 << false << false;
        QTest::newRow("eight in flight, while the pace holds the run") << 8 << true << true;
    }
    void idRefusedForItselfGetsItsTries()
    {
        QFETCH(int, parallel);
        QFETCH(bool, kept);
        QFETCH(bool, paced);
        RunHarness h("p%1");
        for (qint64 id = 1; paced && id < 15; ++id)
            h.script[id] = QStringList{"429", QStringLiteral("p%1").arg(id)};
        h.setPage(15, QStringLiteral("503"));
        const RunSummary counts = h.harvest(1, 30, parallel, kept);
        QCOMPARE(h.list.rowCount(), 29);
        const qsizetype asked = h.requested.count("/u/15");
        QVERIFY2(asked >= 3 && asked <= 5, qPrintable(QString::number(asked)));
        QCOMPARE(h.told.filter(QStringLiteral("given up")), QStringList{"given up 15"});
        QCOMPARE(counts.failedIds, QList<qint64>{15});
        QCOMPARE(readFile(h.failed.path()), kept ? QByteArray("15\n") : QByteArray("<missing>"));
    }

    // 404 and 410 are surely no profile: one request each, whether profiles came before or not.
    void surelyNoProfile_data()
    {
        QTest::addColumn<QStringList>("site"); // IDs 1..
        QTest::addColumn<QString>("summary");
        QTest::newRow("410 after a profile costs no request more") << QStringList{"p1", "410", "p3", "410"} << "summary 4 2 0 2 0";
        QTest::newRow("404 after a profile likewise") << QStringList{"p1", "", "p3", ""} << "summary 4 2 0 2 0";
        QTest::newRow("410s before any profile are no block") << QStringList{"410", "410", "410"} << "summary 3 0 0 3 0";
    }
    void surelyNoProfile()
    {
        QFETCH(QStringList, site);
        QFETCH(QString, summary);
        RunHarness h;
        for (int i = 0; i < site.size(); ++i)
            h.setPage(i + 1, site[i]);
        h.harvest(1, site.size(), 1, false);
        QCOMPARE(h.requested.size(), site.size());
        QCOMPARE(h.told.filter(QStringLiteral("summary")), QStringList{summary});
    }

    // What a harvest found of a site's pace is kept with the site in its history and with the
    // run in its journal, read back by the next harvest, which starts at it and says so once:
    // from the journal it goes on with, else from the history.
    void paceKeptForTheNextHarvest()
    {
        RunHarness h("p%1");
        h.server.setRateLimit(100, 5, 429);
        h.harvest(1, 150, 8);
        const QString found = h.journal.pace().line();
        QVERIFY2(h.journal.pace().limited() && h.journal.pace().inFlight == 8, qPrintable(found));
        Journal reopened(QFileInfo(h.journal.statePath()).absolutePath());
        QCOMPARE(reopened.recover(false).pace.line(), found);
        QCOMPARE(SiteFacts::read(h.historyPath(), h.profileBase()).pace.line(), found);
        Journal elsewhere(QDir(h.dir.path()).filePath(QStringLiteral("Elsewhere")));
        for (Journal *journal : {&h.journal, &elsewhere}) {
            const QString kept = journal == &h.journal ? h.journal.pace().line() : SiteFacts::read(h.historyPath(), h.profileBase()).pace.line();
            h.journalUsed = journal;
            h.told.clear();
            h.harvest(151, 160, 8);
            QCOMPARE(h.told.filter(QStringLiteral("starts at ")), QStringList{"starts at " + kept});
        }
    }

    // What an answer means for its ID with retries after 20 and 40 ms, a Retry-After cut to
    // 300 ms: "how attempt [refused FREE] [limited]" -> "settle KIND" | "retry DELAY ATTEMPT" | "cancelled".
    void answerJudged_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("judged");
        QTest::newRow("a page") << "200 0" << "settle 0";
        QTest::newRow("no profile") << "404 0" << "settle 1";
        QTest::newRow("blocked") << "403 0" << "settle 2";
        QTest::newRow("busy, first try") << "503 0" << "retry 20 1";
        QTest::newRow("busy, second try") << "503 1" << "retry 40 2";
        QTest::newRow("busy, out of tries") << "503 2" << "settle 2";
        QTest::newRow("Retry-After, cut to the cap") << "429+9 0" << "retry 300 1";
        QTest::newRow("reset") << "reset 1" << "retry 40 2";
        QTest::newRow("the pace's refusal, at the pace") << "429 2 refused 19 limited" << "retry 0 2";
        QTest::newRow("the pace's refusal, no pace yet") << "429 1 refused 0" << "retry 20 1";
        QTest::newRow("free refusals spent") << "429 1 refused 20 limited" << "retry 40 2";
        QTest::newRow("closing") << "cancelled 0" << "cancelled";
    }
    void answerJudged()
    {
        QFETCH(QString, answer);
        QFETCH(QString, judged);
        const QStringList how = answer.split(u' ');
        Module1::FetchOutcome outcome;
        outcome.transport = how[0] == u"reset" ? Module1::Transport::Reset
            : how[0] == u"cancelled"           ? Module1::Transport::Cancelled
                                               : Module1::Transport::Ok;
        outcome.httpStatus = how[0].section(u'+', 0, 0).toInt();
        if (how[0].contains(u'+'))
            outcome.retryAfterMs = how[0].section(u'+', 1).toLongLong() * 1000;
        Module1::Page page;
        page.isUtf8 = true;
        page.utf8 = outcome.httpStatus == 200 ? profilePage(QStringLiteral("名")) : QByteArray("<html>busy</html>");
        RetryPolicy policy;
        policy.delaysMs = {20, 40};
        policy.maxRetryAfterMs = 300;
        const Judgement j = judgeAnswer(outcome, page, policy, how[1].toInt(), how.contains(QStringLiteral("refused")),
                                        how.value(3).toInt(), how.contains(QStringLiteral("limited")));
        const QString got = j.kind == Judgement::Cancelled ? QStringLiteral("cancelled")
            : j.kind == Judgement::Settle                  ? QStringLiteral("settle %1").arg(int(j.fetched))
                                                           : QStringLiteral("retry %1 %2").arg(j.delayMs).arg(j.attempt);
        QCOMPARE(got, judged);
    }

    void timeLeftReads()
    {
        for (const auto &[seconds, text] : QList<QPair<qint64, QString>>{{59, "59秒"}, {60, "1分钟"}, {754, "12分钟"}, {3600, "1小时0分钟"}, {7530, "2小时5分钟"}})
            QCOMPARE(Pace::chineseDuration(seconds), text);
    }
};

QTEST_GUILESS_MAIN(TestHarvest)
#include "tst_harvest.moc"
