#include "fixture.h"

namespace {
// A site's rate limit and refusal status: requests a second, each for a second, the last to
// the end; the run's number in flight and pause.
struct Limit { int parallel, pause, status; QList<int> limits; };
} // namespace

// Several requests in flight against a loopback site whose answers come late and out of
// order: what the user gets is what one request at a time gives, and the site is spared.
class TestParallel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        quickFetches(2000, {20, 40});
        changeRetries([](RetryPolicy &p) { p.maxRetryAfterMs = 300; });
    }

    void sameAsOneAtATime_data()
    {
        QTest::addColumn<QStringList>("site"); // the scripts of IDs 1.. (see Harness)
        QTest::addColumn<int>("slow");         // the ID whose answers come last
        const QString broken = QStringLiteral("raw <span class=\"user-name twemoji\">broken</span> userid = 'no end");
        QTest::newRow("mixed answers, a transient fault while later IDs succeed")
            << QStringList{"a", "", "b 2x2", "500;500;c 1x3", "403", "500 d 3x1", "e 5x6", "raw <html>no name</html>", "f 4x2",
                           "rst;g", "", "h", "i 5x1", "retry-long;j", "k", "l", "", "m", "n", "o"}
            << 4;
        QTest::newRow("a failure while later pages are held") << QStringList{"a", "b", broken, "d", "e", "f", "g", "h", "i", "j"} << 3;
        QTest::newRow("ten given up in a row, counted in ID order")
            << QStringList{"a", "b"} + QStringList(10, "403") + QStringList{"c", "d", "e", "f", "g", "h", "i"} << 7;
        QTest::newRow("the site's own absence page, new to the run, many in a row")
            << QStringList{"a", "b"} + QStringList(12, "raw <html><title>用户不存在</title></html>") + QStringList{"c", "d"} << 5;
    }
    // Rows, log, status texts, journal and resume point of eight in flight are those of one.
    void sameAsOneAtATime()
    {
        QFETCH(QStringList, site);
        QFETCH(int, slow);
        Harness one, eight;
        for (Harness *h : {&one, &eight}) {
            for (int i = 0; i < site.size(); ++i)
                h->script[i + 1] = site[i].split(u';');
            h->delay([slow](qint64 id) { return id == slow ? 400 : int(id * 37 % 5) * 15; });
            h->harvest(1, site.size(), 0, h == &one ? 1 : 8);
        }
        QCOMPARE(eight.rowTexts(), one.rowTexts());
        // The pace each run found is its own; the rest of the log is the same.
        const QRegularExpression noPace(QStringLiteral("^(?!网站限速: )"));
        QStringList said = eight.messages().filter(noPace);
        QCOMPARE(said.takeLast(), one.messages().last()); // started
        QCOMPARE(said.takeLast(), QStringLiteral("并发请求数: 8"));
        QCOMPARE(said, one.messages().filter(noPace).mid(0, said.size()));
        for (int panel : {1, 2})
            QCOMPARE(eight.panel(panel), one.panel(panel));
        QCOMPARE(eight.window->running(), one.window->running());
        // The journal is the same but for the pace that eight in flight found, kept with it.
        QCOMPARE(readFile(eight.dir.filePath(QStringLiteral("Log/journal.csv"))), readFile(one.dir.filePath(QStringLiteral("Log/journal.csv"))));
        const QByteArray state = readFile(eight.dir.filePath(QStringLiteral("Log/journal.run")));
        const qsizetype pace = state.indexOf("pace ");
        QVERIFY(pace > 0);
        QCOMPARE(state.left(pace), readFile(one.dir.filePath(QStringLiteral("Log/journal.run"))));
        QCOMPARE(one.server.peakInFlight(), 1);
        QVERIFY2(eight.server.peakInFlight() > 2 && eight.server.peakInFlight() <= 8, qPrintable(QString::number(eight.server.peakInFlight())));
        one.restart();
        eight.restart();
        for (int field : {0, 1})
            QCOMPARE(eight.field(field)->text(), one.field(field)->text());
    }

    // A site that limits its rate as real ones do (a leaky bucket with a burst, refusing without
    // a Retry-After): the run settles under the limit and gets every row, in order.
    void paceHoldsTheSitesLimit_data()
    {
        QTest::addColumn<Limit>("limit");
        QTest::newRow("eight in flight, 429") << Limit{8, 0, 429, QList<int>{150}};
        QTest::newRow("sixteen in flight, 503") << Limit{16, 0, 503, QList<int>{150}};
        QTest::newRow("one at a time") << Limit{1, 0, 429, QList<int>{30}};
        QTest::newRow("a limit that drops and rises") << Limit{8, 0, 429, QList<int>{100, 25, 100}};
        QTest::newRow("a pause under the limit") << Limit{4, 10, 429, QList<int>{150}};
    }
    void paceHoldsTheSitesLimit()
    {
        QFETCH(Limit, limit);
        const auto [parallel, pause, status, limits] = limit;
        Harness h("p%1");
        h.delay([](qint64) { return 20; });
        h.server.setRateLimit(limits.first(), 5, status);
        for (int i = 1; i < limits.size(); ++i)
            QTimer::singleShot(1000 * i, h.window.get(), [&h, perSecond = limits[i], refusal = status] { h.server.setRateLimit(perSecond, 5, refusal); });
        const qint64 ids = 200;
        h.harvest(1, ids, pause, parallel);
        QCOMPARE(h.rowTexts(), everyRow(1, ids));
        const int refused = h.server.refusedCount();
        QCOMPARE(h.server.acceptedCount(), int(ids));
        QVERIFY2(refused <= ids / 4, qPrintable(QString::number(refused)));
        // Settled: in the last stretch the site refuses next to nothing.
        const auto late = std::count_if(h.arrivals.begin() + h.arrivals.size() * 2 / 3, h.arrivals.end(),
                                        [](const Harness::Arrival &a) { return a.refused; });
        QVERIFY2(late <= 6, qPrintable(QString::number(late)));
        const qint64 took = h.arrivals.last().ms - h.arrivals.first().ms;
        const double rate = double(ids - 5) * 1000.0 / double(qMax<qint64>(took, 1));
        // Under the limit, with a little for the burst.
        QVERIFY2(rate <= limits.last() * 1.15 || limits.size() > 1, qPrintable(QString::number(rate)));
        // Every two requests the pause apart, as the site saw them come: on average, and each
        // pair within a few ms (the site runs in the test's own event loop, which a busy machine
        // may keep from noting an arrival at once).
        QVERIFY(h.arrivals.last().ms - h.arrivals.first().ms >= (h.arrivals.size() - 1) * pause);
        for (int i = 1; i < h.arrivals.size(); ++i)
            QVERIFY2(h.arrivals[i].ms - h.arrivals[i - 1].ms >= pause - kArrivalJitterMs, qPrintable(QString::number(h.arrivals[i].ms - h.arrivals[i - 1].ms)));
        const QStringList said = h.messages().filter(QStringLiteral("网站限速: 每秒约 "));
        if (pause == 0)
            QVERIFY2(said.size() == 1 && said[0].endsWith(QStringLiteral(" 个请求")), qPrintable(h.messages().join(u'\n')));
        else
            QCOMPARE(refused, 0); // a site that never refuses is never held back beyond the pause
    }

    void stopOrCloseKeepsWhatIsFinishedInOrder_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("stop") << "stop";
        QTest::newRow("close") << "close";
    }
    // Pages held behind a slow ID are dropped; the next run fetches them again and the list
    // ends as an uninterrupted one.
    void stopOrCloseKeepsWhatIsFinishedInOrder()
    {
        QFETCH(QString, action);
        Harness h("p%1");
        h.delay([](qint64 id) { return id == 3 ? 700 : 20; });
        h.window->show();
        QTimer::singleShot(300, h.window.get(), [&h, action] {
            if (action == u"close")
                h.window->close();
            else
                h.child<QPushButton>("Command2")->click();
        });
        h.harvest(1, 60, 0, 8);
        QCOMPARE(h.rowTexts(), everyRow(1, 2));
        const auto byId = [](const Harness::Arrival &a, const Harness::Arrival &b) { return a.id < b.id; };
        QCOMPARE(std::max_element(h.arrivals.begin(), h.arrivals.end(), byId)->id, 3 + 4 * 8 - 1); // answered and held, not kept
        if (action == u"stop")
            QCOMPARE(h.messages().value(0), summary(2, 2, 0, 0, 0));
        h.restart();
        QCOMPARE(h.field(0)->text() + u' ' + h.field(1)->text(), QStringLiteral("3 60"));
        h.harvest(3, 60, 0, 8);
        QCOMPARE(h.rowTexts(), everyRow(1, 60));
    }

    // Stop and a new Start while a run waits: the new run has its own requests and order, and
    // the two together never have more in flight at the site than the number chosen.
    void nestedRunKeepsItsOwnOrder()
    {
        Harness h("p%1");
        h.delay([](qint64 id) { return id == 2 ? 600 : 40; });
        h.afterFirstRow([&h] {
            h.child<QPushButton>("Command2")->click();
            h.setFields(QStringLiteral("20"), QStringLiteral("27"));
            h.child<QPushButton>("Command1")->click();
        });
        h.harvest(1, 10, 0, 4);
        QCOMPARE(h.rowTexts(), everyRow(1, 1) + everyRow(20, 27, 2));
        QCOMPARE(h.server.peakInFlight(), 4);
        QVERIFY(!h.window->running());
    }

    // The frame's menu, not the fields', chooses the number; a run keeps the one it started with.
    void frameMenuChoosesTheRequestsInFlight()
    {
        Harness h("p%1");
        QMenu *menu = h.window->parallelMenu();
        QCOMPARE(menuItems(menu), (QStringList{"并发请求: 1", "并发请求: 2", "并发请求: 4", "并发请求: 8", "并发请求: 16"}));
        QCOMPARE(menuItems(menu, true), QStringList{"并发请求: 1"});
        QCOMPARE(h.child<QGroupBox>("Frame1")->toolTip(), QStringLiteral("右键选择并发请求数"));
        QCOMPARE(h.field(2)->toolTip(), QStringLiteral("右键选择并发请求数"));
        h.window->show();
        for (const char *target : {"Lab(2)", "Txt(0)"}) {
            auto *widget = h.window->findChild<QWidget *>(QLatin1String(target));
            const bool opened = Harness::opens(menu, [widget] {
                QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), widget->mapToGlobal(QPoint(2, 2)));
                QApplication::sendEvent(widget, &event);
            });
            for (QMenu *other : h.window->findChildren<QMenu *>())
                if (other != menu && other->isVisible())
                    other->close();
            QCOMPARE(opened, QByteArray(target) == "Lab(2)");
        }
        h.delay([](qint64) { return 50; });
        QTimer::singleShot(30, h.window.get(), [&h] { h.setParallel(8); });
        h.harvest(1, 6);
        QCOMPARE(h.server.peakInFlight(), 1);
        QCOMPARE(menuItems(menu, true), QStringList{"并发请求: 8"});
    }
};

QTEST_MAIN(TestParallel)
#include "tst_parallel.moc"
