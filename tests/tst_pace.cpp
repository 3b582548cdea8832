#include "bucket_site.h"
#include "test_home.h"

#include <QTest>

#include <cmath>

namespace {
struct Steps { QString answers; double rate; qint64 openAt; bool lastFree; };
} // namespace

// The site's pace as its answers make it, on a clock of the test's own.
class TestPace : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The pace from the site's answers, on the run's clock: "a" an accepted answer, "r" a refusal,
    // "d" a dropped connection, "R" a Retry-After of 5 s; each followed by the ms it came at and,
    // after "/", the ms its request started. Then the rate held to, the hold, and whether the
    // last refusal is one the pace caused.
    void sitePaceSteps_data()
    {
        QTest::addColumn<Steps>("steps");
        const auto accepted = [](int fromMs, int toMs, int stepMs) {
            QString out;
            for (int ms = fromMs; ms <= toMs; ms += stepMs)
                out += QStringLiteral(" a%1").arg(ms);
            return out;
        };
        const QString twenty = accepted(50, 2000, 50);
        // 40 taken since the first answer at 49 ms; a first guess under it, the burst being in it.
        const double guess = 40 * 1000.0 / 1961 * SitePace::kFirstGuess;
        QTest::newRow("never refused") << Steps{twenty, 0.0, qint64(0), false};
        QTest::newRow("a first refusal sets a rate under what the site took") << Steps{twenty + " r2010", guess, qint64(0), true};
        QTest::newRow("refusals sent at the old rate change nothing") << Steps{twenty + " r2010 r2020/2000", guess, qint64(0), true};
        QTest::newRow("a refusal at the new rate, too soon to read one") << Steps{twenty + " r2010 r2100/2050", guess * SitePace::kStillOver, qint64(0), true};
        // After the first refusal the site takes ten a second. While its limit is sought, a long
        // step up at most every 400 ms of five accepted answers, each longer than the last; a
        // step that went over settles just under the rate proven: nine taken between the refused
        // request (sent at 2009) and the last one taken (3009), so at least nine in 1002 ms (the
        // jitter allowed for). Further answers prove more; a refusal under the rate proven means
        // the site takes fewer now: what it proved is dropped and the pace comes down.
        const QString probe = twenty + " r2010" + accepted(2110, 3010, 100);
        const double found = 9 * 1000.0 / (1000 + SitePace::kJitterMs) * SitePace::kUnder;
        const double grown = 39 * 1000.0 / (7099 - 3050 + SitePace::kJitterMs) * SitePace::kUnder;
        QTest::newRow("long steps while the limit is sought, each longer")
            << Steps{probe, guess * (1 + SitePace::kSearchStep) * (1 + SitePace::kSearchStep * SitePace::kSearchGrowth), qint64(0), false};
        QTest::newRow("a step over the limit settles under the rate proven") << Steps{probe + " r3100/3050", found, qint64(0), true};
        const QString gentle = probe + " r3100/3050" + accepted(3200, 7100, 100);
        QTest::newRow("the rate proven grows as the site goes on taking") << Steps{gentle, grown, qint64(0), false};
        QTest::newRow("a refusal under the rate proven: the site takes fewer now")
            << Steps{gentle + " r7200/7150", grown * SitePace::kStillOver, qint64(0), true};
        // "s": a request started. Eight at once, two refused before any answer: six taken in 100 ms.
        QTest::newRow("a hold ends under what the site took at once")
            << Steps{QStringLiteral("s0 s0 s0 s0 s0 s0 s0 s0 r5/0 r6/0 a100/0"), 6 * 1000.0 / 100 * SitePace::kAfterHold, qint64(0), false};
        QTest::newRow("a refusal within the first two answer times")
            << Steps{QStringLiteral("s0 a100/0 a101/0 a102/0 a103/0 a104/0 r150/120"), 5 * 1000.0 / 150 * SitePace::kAfterHold, qint64(0), true};
        QTest::newRow("a dropped connection says nothing") << Steps{twenty + " d2010", 0.0, qint64(0), false};
        QTest::newRow("Retry-After holds and sets no rate") << Steps{twenty + " R2010", 0.0, qint64(7010), false};
        QTest::newRow("refused before a rate can be read") << Steps{QStringLiteral("a5 a10 a20 a30 r40"), 0.0, qint64(0), false};
        QTest::newRow("refused when nothing was taken lately") << Steps{QStringLiteral("r5000"), 0.0, qint64(0), false};
    }
    void sitePaceSteps()
    {
        QFETCH(Steps, steps);
        const auto [answers, rate, openAt, lastFree] = steps;
        SitePace pace;
        bool free = false;
        for (const QString &a : answers.split(u' ', Qt::SkipEmptyParts)) {
            if (a[0] == u's') {
                pace.started(a.mid(1).toLongLong());
                continue;
            }
            Module1::FetchOutcome o;
            o.transport = a[0] == u'd' ? Module1::Transport::Reset : Module1::Transport::Ok;
            o.httpStatus = a[0] == u'r' ? 429 : 200;
            o.retryAfterMs = a[0] == u'R' ? 5000 : -1;
            const qint64 at = a.mid(1).section(u'/', 0, 0).toLongLong();
            const qint64 started = a.contains(u'/') ? a.section(u'/', 1).toLongLong() : at - 1;
            free = pace.answered(o, started, at, 10000);
        }
        QVERIFY2(qAbs(pace.requestsPerSecond() - rate) < 0.01, qPrintable(QString::number(pace.requestsPerSecond())));
        QCOMPARE(pace.spacingMs(), rate > 0 ? qint64(std::ceil(1000.0 / rate)) : 0);
        QCOMPARE(pace.openAtMs(), openAt);
        QCOMPARE(free, lastFree);
    }

    // A site whose bucket drains at its rate and holds its burst. A first harvest opens gently
    // and finds the limit soon; a second, from the pace the first kept, holds the limit from
    // its first request. Neither takes the site for faster than it is. (The first's share:
    // what the limit allows, burst and all, over the time; the second's, which starts at the
    // kept rate and so cannot spend the burst: the limit's own time over the time.) Every
    // answer of a round comes back in the same ms, harsher than a real site.
    void paceAtABucketsLimit_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("burst");
        QTest::addColumn<int>("most");
        QTest::newRow("20 a second, a burst of 10, 8 in flight") << 20.0 << 10 << 8;
        QTest::newRow("35 a second, a burst of 5, 16 in flight") << 35.0 << 5 << 16;
        QTest::newRow("12 a second, a burst of 3, 4 in flight") << 12.0 << 3 << 4;
        QTest::newRow("50 a second, a burst of 20, 8 in flight") << 50.0 << 20 << 8;
        QTest::newRow("80 a second, a burst of 40, 16 in flight") << 80.0 << 40 << 16;
    }
    void paceAtABucketsLimit()
    {
        QFETCH(double, rate);
        QFETCH(int, burst);
        QFETCH(int, most);
        const BucketRun first(rate, burst, most, 400);
        QVERIFY2(first.refused <= 6, qPrintable(QString::number(first.refused)));
        QVERIFY2((400 - burst) / rate / first.seconds >= 0.9, qPrintable(QString::number((400 - burst) / rate / first.seconds)));
        QVERIFY(first.found.limited() && first.found.inFlight == most);
        const BucketRun second(rate, burst, most, 400, first.found);
        QVERIFY2(second.refused <= 4, qPrintable(QString::number(second.refused)));
        QVERIFY2(400 / rate / second.seconds >= 0.95, qPrintable(QString::number(400 / rate / second.seconds)));
        for (const BucketRun *run : {&first, &second})
            QVERIFY2(run->provenOver <= 1.0, qPrintable(QString::number(run->provenOver)));
    }

    // How many go out in each round trip: a site unknown is opened gently (one request, then
    // twice as many each round trip) until the site refuses; a site that never refused is
    // harvested at full width from the first request; a kept pace the site no longer takes
    // is left for a lower one.
    void opening_data()
    {
        QTest::addColumn<QString>("kept");   // the kept pace, as the history keeps it
        QTest::addColumn<double>("rate");    // the site's, its burst 20
        QTest::addColumn<QString>("rounds"); // requests started in each of the first round trips
        QTest::addColumn<int>("refused");    // at most
        QTest::newRow("unknown, never refusing") << "" << 1000.0 << "1 2 4 8 8" << 0;
        QTest::newRow("unknown, refusing once its burst is spent") << "" << 30.0 << "1 2 4 8 8" << 5;
        QTest::newRow("never refused at eight") << "0 0 -1 8" << 1000.0 << "8 8 8 8 8" << 0;
        QTest::newRow("never refused at four: opens from there") << "0 0 -1 4" << 1000.0 << "4 8 8 8 8" << 0;
        QTest::newRow("kept at its limit") << "30 30 25 8" << 30.0 << "3 3 3 3 3" << 0;
        QTest::newRow("kept above what the site takes now") << "60 60 25 8" << 30.0 << "6 6 6 6 6" << 3;
    }
    void opening()
    {
        QFETCH(QString, kept);
        QFETCH(double, rate);
        QFETCH(QString, rounds);
        QFETCH(int, refused);
        const BucketRun run(rate, 20, 8, 200, KeptPace::fromLine(kept));
        QStringList counted;
        for (qint64 from = 0; from < 500; from += 100)
            counted << QString::number(std::count_if(run.starts.begin(), run.starts.end(), [from](qint64 at) { return at >= from && at < from + 100; }));
        QCOMPARE(counted.join(u' '), rounds);
        QVERIFY2(run.refused <= refused, qPrintable(QString::number(run.refused)));
        // What the run keeps: the site's rate, found again when it was refused; else the width it never was.
        if (refused > 0)
            QVERIFY2(run.found.limited() && run.found.rate < rate, qPrintable(run.found.line()));
        else if (rate >= 1000)
            QCOMPARE(run.found.line(), QStringLiteral("0.000 0.000 -1 8"));
    }
};

QTEST_GUILESS_MAIN(TestPace)
#include "tst_pace.moc"
