#include "fixture.h"
#include "spreadsheet.h"

#include <csignal>

namespace {
const QString kFirst = QStringLiteral("50147164"), kLast = QStringLiteral("50147203");

// Ctrl-C or SIGTERM, as a user or a service manager sends it; Windows has no way to send
// one to a process on another console, so the tests that need one are not run there.
void sendSignal([[maybe_unused]] const QProcess &p, [[maybe_unused]] int signal)
{
#ifndef Q_OS_WIN
    ::kill(pid_t(p.processId()), signal);
#endif
}

struct Ran { int exitCode = -1; QByteArray out, err; };
} // namespace

// vqlirra-cli as a process, against the demo site with scripted IDs (see Harness).
class TestCli : public QObject
{
    Q_OBJECT
    std::unique_ptr<Harness> m_site;
    QString path(const char *name) const { return m_site->dir.filePath(QString::fromLatin1(name)); }
    QStringList range(const char *pause = "0") const { return {"--start", kFirst, "--end", kLast, "--pause", pause}; }

    // Runs the program to its end while this test's site keeps answering.
    Ran run(QStringList args, QProcess *process = nullptr)
    {
        QProcess own;
        QProcess &p = process ? *process : own;
        if (!args.contains(QStringLiteral("--base-url")))
            args << "--base-url" << QString::fromLatin1(m_site->server.baseUrl() + "/u/");
        p.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(CLI)), args);
        QDeadlineTimer bound(60000);
        while (p.waitForStarted() && p.state() != QProcess::NotRunning && !bound.hasExpired())
            QTest::qWait(10);
        p.kill(); // only if it is still running
        p.waitForFinished();
        QByteArray err = p.readAllStandardError();
#ifdef Q_OS_WIN
        err.replace("\r\n", "\n"); // messages in a text stream's line ends, as Windows writes them
#endif
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), err};
    }

private Q_SLOTS:
    void init() { m_site = std::make_unique<Harness>(QStringLiteral("demo")); }

    // The file is byte for byte the window's save, and so are the rows streamed to a pipe
    // (with only the summary on stderr: no terminal, done within 10 s). An ID given up is
    // named last, and the exit code says that one was. JSON Lines carry the fields as
    // extracted; whatever a name holds comes back exactly.
    void csvIsTheWindowsSave()
    {
        m_site->setPage(kFirst.toLongLong(), QStringLiteral("a\"b\\c\td\x01" "e/歌🎤 3x1"));
        m_site->setPage(kFirst.toLongLong() + 2, "403");
        m_site->harvest(kFirst.toLongLong(), kLast.toLongLong());
        m_site->window->pmenu_Click(4);
        m_site->window->finishSave();
        const QByteArray saved = readFile(m_site->dir.filePath(savedName(kFirst, kLast)));
        QVERIFY(saved.size() > 1000);
        const Ran ran = run(range() << "--output" << path("cli.csv"));
        QCOMPARE(ran.exitCode, 1);
        QCOMPARE(QString::fromUtf8(ran.err), QStringLiteral("Visited 40 IDs: kept %1 rows, 0 outside the grade range, %2 without a profile, "
                                                            "1 failed.\nFailed IDs: 50147166\n").arg(m_site->rows()).arg(39 - m_site->rows()));
        QCOMPARE(readFile(path("cli.csv")), saved);
        QVERIFY(!QFile::exists(path("cli.csv.journal.csv"))); // a finished run leaves no journal
        QCOMPARE(readFile(path("cli.csv.failed")), QByteArray("50147166\n")); // the IDs to try again
        // Standard output follows the locale (UTF-8 here) unless an encoding is named.
        const Ran piped = run(range() << "--encoding" << "gb18030");
        QCOMPARE(piped.out, saved);
        QCOMPARE(piped.err, ran.err);
#ifdef Q_OS_WIN
        QCOMPARE(run(range() << "--quiet").out, saved); // a Chinese system's locale is code page 936
#else
        QCOMPARE(run(range() << "--quiet").out, Module1::decodeText(saved).toUtf8());
#endif
        // Every format's FILE, made from the journal, is what goes to a pipe.
        for (const QStringList &format : {QStringList{"--encoding", "utf-8"}, QStringList{"--format", "jsonl"}}) {
            const Ran streamed = run(range() << format << "--quiet");
            QCOMPARE(streamed.exitCode, 1);
            QCOMPARE(streamed.out.left(3) == "\xEF\xBB\xBF", format.contains("utf-8"));
            QCOMPARE(run(range() << format << "--output" << path("other")).exitCode, 1);
            QCOMPARE(readFile(path("other")), streamed.out);
            QStringList rows;
            for (const QByteArray &line : streamed.out.trimmed().split('\n')) {
                const QJsonObject o = QJsonDocument::fromJson(line).object();
                QStringList cells;
                for (const char *key : {"index", "name", "homepage_id", "user_id", "grade", "plays", "works", "shares", "follows", "fans"})
                    cells << o.value(QLatin1String(key)).toString();
                rows << (o.size() == 10 ? cells.join(u'|') : QString::fromUtf8(line));
            }
            QCOMPARE(rows == m_site->rowTexts(), format.contains("jsonl"));
            QCOMPARE(streamed.out.contains("\\td\\u0001e/"), format.contains("jsonl")); // escaped, not raw
        }
        // The workbook holds the same rows, as a spreadsheet program reads them.
        const Ran book = run(range() << "--format" << "xlsx" << "--output" << path("cli.xlsx"));
        QCOMPARE(book.exitCode, 1);
        const qsizetype writing = book.err.indexOf("writing " + path("cli.xlsx").toUtf8() + '\n');
        QVERIFY2(writing >= 0 && writing < book.err.indexOf("Visited"), book.err.constData()); // said while finishing, before the summary
        if (spreadsheetProgram().isEmpty())
            return;
        QStringList rows;
        for (const QStringList &cells : readWorkbook(path("cli.xlsx"), m_site->dir.path()).value(0).rows.mid(1))
            rows << cells.join(u'|');
        QCOMPARE(rows, m_site->rowTexts());
    }

    void badArgumentsFetchAndWriteNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters") << QStringList{"--start", "abc"} << 2 << "--start: 'abc' is not a whole number";
        QTest::newRow("a fraction") << QStringList{"--pause", "1.5"} << 2 << "--pause: '1.5' is not a whole number";
        QTest::newRow("beyond 32 bits") << QStringList{"--end", "2147483648"} << 2 << "--end: '2147483648'";
        QTest::newRow("end below start") << QStringList{"--start", "10", "--end", "9"} << 2 << "--end: 9 lies below --start 10";
        QTest::newRow("unknown grade") << QStringList{"--min-grade", "大明星"} << 2 << "one of: 尚未出道, 歌唱新人 1,";
        QTest::newRow("grade beyond the scale") << QStringList{"--max-grade", "26"} << 2 << "--max-grade: '26' is no grade";
        QTest::newRow("crossed grades") << QStringList{"--min-grade", "6", "--max-grade", "歌唱新人 5"} << 2 << "--max-grade: 歌唱新人 5 lies below --min-grade 闪亮新秀 1";
        QTest::newRow("no request at all") << QStringList{"--parallel", "0"} << 2 << "--parallel: '0' is not a number of requests from 1 to 16";
        QTest::newRow("more than sixteen") << QStringList{"--parallel", "17"} << 2 << "--parallel: '17'";
        QTest::newRow("unknown format") << QStringList{"--format", "xml"} << 2 << "--format: 'xml' is unknown";
        QTest::newRow("a workbook to a pipe") << QStringList{"--format", "xlsx"} << 2 << "--format xlsx: a workbook cannot go to standard output";
        QTest::newRow("unknown encoding") << QStringList{"--encoding", "latin1"} << 2 << "--encoding: 'latin1' is unknown";
        QTest::newRow("not http") << QStringList{"--base-url", "ftp://127.0.0.1/u/"} << 2 << "--base-url: 'ftp://127.0.0.1/u/' is not an http";
        QTest::newRow("unknown option") << QStringList{"--colour"} << 2 << "Unknown option 'colour'";
        QTest::newRow("a list and a range") << QStringList{"--ids", "-", "--end", "5"} << 2 << "--ids: give either a list of IDs or --start and --end";
        QTest::newRow("patience below nothing") << QStringList{"--patience", "-1"} << 2 << "--patience: '-1' is not a number of minutes";
        QTest::newRow("resume without output") << QStringList{"--resume"} << 2 << "--resume: needs the --output";
        QTest::newRow("no such authority file") << QStringList{"--ca-file", "/no/such/ca.pem"} << 2 << "--ca-file: cannot read '/no/such/ca.pem'";
        QTest::newRow("changes without a history") << QStringList{"--changes"} << 2 << "--changes: needs the --history FILE";
        QTest::newRow("since without changes") << QStringList{"--since", "2026-01-01"} << 2 << "--since: only with --changes";
        QTest::newRow("a day that is none") << QStringList{"--changes", "--history", "h", "--since", "2026-02-30"} << 2 << "--since: '2026-02-30' is not a date";
        QTest::newRow("no such history") << QStringList{"--changes", "--history", "/no/such/h.sqlite"} << 2 << "--history: cannot read /no/such/h.sqlite: no such file";
        QTest::newRow("a file that is no history") << QStringList{"--changes", "--history", QCoreApplication::applicationFilePath()} << 2 << "not a history database";
        QTest::newRow("output cannot be written") << QStringList{"--output", "/proc/no/such/dir/out.csv"} << 3 << "cannot write /proc/no/such/dir/out.csv";
    }
    void badArgumentsFetchAndWriteNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        const Ran ran = run(args);
        QCOMPARE(ran.exitCode, code);
        QVERIFY2(QString::fromLocal8Bit(ran.err).contains(message), ran.err.constData());
        QCOMPARE(ran.err.count('\n'), 1);
        QVERIFY(ran.out.isEmpty() && m_site->requested.isEmpty());
    }

    // The demo program's options need no display: its help, and a mistake said in one line.
    void demoOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--week <N>";
        QTest::newRow("unknown option") << QStringList{"--colour"} << 2 << "vqlirra-demo: Unknown option 'colour'.";
        QTest::newRow("a week that is none") << QStringList{"--week", "x"} << 2 << "vqlirra-demo: --week takes a number from 0 to 520";
        QTest::newRow("a stray argument") << QStringList{"week"} << 2 << "vqlirra-demo: unexpected argument 'week'";
    }
    void demoOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, said);
        QProcess p;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        p.setProcessEnvironment(environment);
        p.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(DEMO)), args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, code);
        const QByteArray out = code == 0 ? p.readAllStandardOutput() : p.readAllStandardError();
        QVERIFY2(QString::fromLocal8Bit(out).contains(said), out.constData());
        QCOMPARE(out.count('\n') == 1, code != 0);
    }

    // The demo site some weeks on serves the same IDs with other counters.
    void demoSiteWeeksOn()
    {
        QProcess demo;
        demo.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(DEMO)), {"--serve", "--week", "1"});
        QVERIFY(demo.waitForReadyRead(30000));
        const QString weekOn = QString::fromLatin1(demo.readLine().trimmed());
        const Ran later = run(range() << "--format" << "jsonl" << "--quiet" << "--base-url" << weekOn);
        demo.kill();
        demo.waitForFinished();
        const Ran now = run(range() << "--format" << "jsonl" << "--quiet");
        QVERIFY(later.out.count('\n') > 30 && now.out.count('\n') > 30);
        QVERIFY(later.out != now.out);
    }

    void interruptedRunResumesToTheSameFile_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("parallel");
        QTest::addColumn<QStringList>("format");
        QTest::newRow("Ctrl-C") << int(SIGINT) << "1" << QStringList();
        QTest::newRow("SIGTERM, JSON Lines") << int(SIGTERM) << "1" << QStringList{"--format", "jsonl"};
        QTest::newRow("Ctrl-C, four in flight, UTF-8") << int(SIGINT) << "4" << QStringList{"--encoding", "utf-8"};
    }
    // The resumed run ends with the file and the summary of an uninterrupted one.
    void interruptedRunResumesToTheSameFile()
    {
#ifdef Q_OS_WIN
        QSKIP("no signal can be sent to another console's process");
#endif
        QFETCH(int, signal);
        QFETCH(QString, parallel);
        QFETCH(QStringList, format);
        // One ID given up before the interruption, none after it.
        m_site->setPage(kFirst.toLongLong() + 5, "403");
        const Ran whole = run(range() << format << "--output" << path("whole.csv"));
        QCOMPARE(whole.exitCode, 1);
        const QByteArray failedIds = QByteArray::number(kFirst.toLongLong() + 5) + '\n';
        QCOMPARE(readFile(path("whole.csv.failed")), failedIds);
        m_site->requested.clear();
        QProcess p;
        const QByteArray stopAt = "/u/" + QByteArray::number(kFirst.toLongLong() + 12);
        m_site->server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            m_site->serve(r, s);
            if (r.path == stopAt)
                sendSignal(p, signal);
        });
        const Ran first = run(range("100") << format << "--output" << path("cut.csv") << "--parallel" << parallel, &p);
        QCOMPARE(first.exitCode, 130);
        QCOMPARE(readFile(path("cut.csv.failed")), failedIds);
        QVERIFY(first.err.endsWith("Interrupted.\n") && first.err.contains("Visited 13 IDs"));
        // The file holds the rows kept so far, complete.
        const QByteArray partial = readFile(path("cut.csv"));
        QVERIFY(partial.endsWith(format.contains("jsonl") ? "}\n" : ",\r\n\r\n"));
        QVERIFY(readFile(path("whole.csv")).startsWith(partial.chopped(format.contains("jsonl") ? 0 : 2)));
        const QList<QByteArray> before = m_site->requested;
        QCOMPARE(before.last(), stopAt);

        m_site->requested.clear();
        const Ran resumed = run(QStringList{"--resume", "--pause", "0", "--output", path("cut.csv"), "--parallel", parallel} << format);
        QCOMPARE(resumed.exitCode, 1); // an ID of the whole harvest failed, if not of its last part
        // Beyond one in flight, the resumed run starts as wide as the interrupted one went.
        QByteArray expected = whole.err;
        if (parallel != u"1")
            expected.insert(expected.indexOf("Failed IDs"), "The run started with " + parallel.toLatin1()
                                + " requests in flight at once: the site never refused them before.\n");
        QCOMPARE(resumed.err, expected);
        QCOMPARE(readFile(path("cut.csv.failed")), failedIds);
        QCOMPARE(readFile(path("cut.csv")), readFile(path("whole.csv")));
        QCOMPARE(m_site->requested.first(), "/u/" + QByteArray::number(kFirst.toLongLong() + 13));
        for (const QByteArray &r : m_site->requested)
            QVERIFY(!before.contains(r));
    }

    // The first Ctrl-C waits for the request in flight; a second one does not.
    void secondCtrlCExitsAtOnce()
    {
#ifdef Q_OS_WIN
        QSKIP("no signal can be sent to another console's process");
#endif
        QProcess p;
        m_site->server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *) {
            m_site->requested << r.path; // never answered: the request stays in flight
            sendSignal(p, SIGINT);
            QTimer::singleShot(200, [&p] { sendSignal(p, SIGINT); });
        });
        const qint64 startedAt = m_site->clock.elapsed();
        QCOMPARE(run({"--start", "1", "--end", "5", "--output", path("never.csv")}, &p).exitCode, 130);
        QVERIFY(m_site->clock.elapsed() - startedAt < 10000); // not the 30 s time-out
        QCOMPARE(m_site->requested.size(), 1);
    }

    // A list is harvested as a range of exactly its IDs; a bad line stops it before any request.
    void idsListHarvestsExactlyThose()
    {
        const qint64 first = kFirst.toLongLong();
        const QList<qint64> ids{first + 30, first + 2, first + 7};
        writeFile(path("list"), QByteArray::number(ids[0]) + "\n# watched\n\n " + QByteArray::number(ids[1]) + "\r\n"
                                    + QByteArray::number(ids[2]) + "\n" + QByteArray::number(ids[1]) + "\n");
        const QRegularExpression ofListed(QStringLiteral("\"homepage_id\":\"(%1|%2|%3)\"").arg(ids[0]).arg(ids[1]).arg(ids[2]));
        const auto rowsOf = [&ofListed](const QByteArray &jsonLines) { // the listed IDs' rows, without their index
            return QString::fromUtf8(jsonLines).split(u'\n').filter(ofListed).replaceInStrings(
                QRegularExpression(QStringLiteral("^\\{\"index\":\"\\d+\"")), QString());
        };
        const QStringList expected = rowsOf(run(range() << "--format" << "jsonl").out);
        QCOMPARE(expected.size(), 3);
        m_site->requested.clear();
        const Ran listed = run({"--ids", path("list"), "--format", "jsonl", "--pause", "0"});
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(rowsOf(listed.out), expected);
        QCOMPARE(listed.out.count('\n'), 3);
        QCOMPARE(m_site->requested, (QList<QByteArray>{"/u/" + QByteArray::number(ids[1]), "/u/" + QByteArray::number(ids[2]),
                                                       "/u/" + QByteArray::number(ids[0])}));
        m_site->requested.clear();
        QProcess p;
        writeFile(path("bad"), "5\n\n# x\n12a\n");
        p.setStandardInputFile(path("bad"));
        const Ran bad = run({"--ids", "-"}, &p);
        QCOMPARE(bad.exitCode, 2);
        QCOMPARE(bad.err, QByteArray("vqlirra-cli: --ids: standard input, line 4: '12a' is not a profile ID from -2147483648 to 2147483647\n"));
        QVERIFY(m_site->requested.isEmpty());
    }

    // --patience 0: a site that goes quiet ends the run at once, as a script that retries by
    // itself wants. --user-agent names who asks.
    void noPatienceEndsAtOnce()
    {
        QByteArray said;
        m_site->server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            for (const auto &h : r.headers)
                said += h.first == "user-agent" && r.path == "/u/1" ? h.second : QByteArray();
            if (r.path == "/u/1")
                return m_site->serve(r, s);
            serveFault(QStringLiteral("rst"), r, s);
        });
        const Ran ran = run({"--start", "1", "--end", "40", "--pause", "0", "--parallel", "16", "--patience", "0", "--quiet",
                             "--user-agent", "Harvest/2 (ops@example.org)"});
        QCOMPARE(ran.exitCode, 1);
        QVERIFY2(ran.err.startsWith("10 IDs in a row failed (") && ran.err.contains("): stopped. Continue from ID 2 later.\n"), ran.err.constData());
        QCOMPARE(said, QByteArray("Harvest/2 (ops@example.org)"));
    }

    // A site that answers with a verification page for ever: exit 4, naming the page and the ID
    // to go on from; --resume once it serves profiles again writes the undisturbed run's file.
    void blockedSiteEndsWithFourAndResumes()
    {
        const QStringList args{"--start", "1", "--end", "20", "--pause", "0", "--quiet", "--patience", "0", "--output"};
        for (qint64 id = 1; id <= 20; ++id)
            m_site->setPage(id, QStringLiteral("p%1").arg(id));
        QCOMPARE(run(args + QStringList{path("whole.csv")}).exitCode, 0);
        for (qint64 id = 3; id <= 20; ++id)
            m_site->setPage(id, QStringLiteral("raw <html><title>安全验证</title></html>"));
        m_site->script[2] = QStringList{"p2", "raw <html><title>安全验证</title></html>"};
        const Ran blocked = run(args + QStringList{path("out.csv")});
        QCOMPARE(blocked.exitCode, 4);
        QVERIFY2(QString::fromLocal8Bit(blocked.err).startsWith(QStringLiteral("The site kept serving pages that are not profiles "
                                                                         "('安全验证'): stopped. Continue from ID 3 later.\n")),
                 blocked.err.constData());
        for (qint64 id = 2; id <= 20; ++id)
            m_site->setPage(id, QStringLiteral("p%1").arg(id));
        QCOMPARE(run(args + QStringList{path("out.csv"), "--resume"}).exitCode, 0);
        QCOMPARE(readFile(path("out.csv")), readFile(path("whole.csv")));
    }

    // A run that reads no profile and meets pages that nothing tells from a block fails closed:
    // without a history, it ends at its range's end naming the pages; with one that knows a
    // profile of the site, it asks for that profile, served (the site's absence page, learnt
    // once and known to the next harvest) or not (a block, waited for).
    void siteWithoutProfilesIsNotAnEmptyRange_data()
    {
        QTest::addColumn<bool>("history");
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        const QString verify = QStringLiteral("raw <html><title>安全验证</title></html>");
        QTest::newRow("a block, no history") << false << verify << 4 << "No profile found: all 20 pages titled '安全验证'.";
        QTest::newRow("a block, a history") << true << verify << 4
                                            << "The site kept serving pages that are not profiles ('安全验证'): stopped. Continue from ID 21 later.";
        QTest::newRow("the site's absence page, a history") << true << "raw <html><title>用户 %1 不存在</title></html>" << 0 << "";
    }
    void siteWithoutProfilesIsNotAnEmptyRange()
    {
        QFETCH(bool, history);
        QFETCH(QString, page);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QStringList args{"--start", "21", "--end", "40", "--pause", "0", "--quiet", "--patience", "0", "--parallel", "4"};
        for (qint64 id = 1; id <= 20; ++id)
            m_site->setPage(id, QStringLiteral("p%1").arg(id));
        if (history) {
            args << "--history" << path("h.sqlite");
            QCOMPARE(run({"--start", "1", "--end", "20", "--pause", "0", "--quiet", "--history", path("h.sqlite")}).exitCode, 0);
        }
        // A block shows its page for every ID, the profiles read before too.
        for (qint64 id = exitCode ? 1 : 21; id <= 40; ++id)
            m_site->setPage(id, QString(page).replace(QStringLiteral("%1"), QString::number(id)));
        m_site->requested.clear();
        const Ran ran = run(args);
        QCOMPARE(ran.exitCode, exitCode);
        QVERIFY2(QString::fromLocal8Bit(ran.err).contains(said), ran.err.constData());
        if (exitCode == 0) { // learnt for two requests, then known to the history
            QCOMPARE(m_site->requested.size(), 22);
            m_site->requested.clear();
            QCOMPARE(run(args).exitCode, 0);
            QCOMPARE(m_site->requested.size(), 20);
        }
    }

    // A run killed while eight are in flight and resumed learns the site's absence page once:
    // the journal keeps it, and few IDs are fetched twice.
    void resumedRunKnowsTheAbsencePage()
    {
        for (qint64 id = 1; id <= 60; ++id)
            m_site->setPage(id, id % 10 == 1 ? QStringLiteral("p%1").arg(id) : QStringLiteral("raw <html><title>用户不存在</title></html>"));
        m_site->delay([](qint64) { return 30; });
        QProcess p;
        m_site->server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            m_site->serve(r, s);
            if (m_site->requested.size() == 40)
                p.kill();
        });
        const QStringList args{"--start", "1", "--end", "60", "--pause", "0", "--quiet", "--parallel", "8", "--output", path("cut.csv")};
        QCOMPARE(run(args, &p).exitCode, -1);
        QTest::qWait(500); // requests the killed program had sent still reach the site
        const QList<QByteArray> before = m_site->requested;
        m_site->requested.clear();
        QCOMPARE(run(args + QStringList{"--resume"}).exitCode, 0);
        const QList<QByteArray> after = m_site->requested;
        QVERIFY2(QSet<QByteArray>(after.begin(), after.end()).size() == after.size(), after.join(' ').constData()); // no look
        const qint64 again = std::count_if(after.begin(), after.end(), [&](const QByteArray &r) { return before.contains(r); });
        QVERIFY2(again <= 16, qPrintable(QString::number(again)));
        QCOMPARE(readFile(path("cut.csv")).count("\r\n"), 6 + 2); // the header, six rows, the closing line
    }

    // A profile moved for good is fetched from its new place from then on; a temporary move
    // goes through the redirect every time.
    void permanentRedirectIsTakenOnce_data()
    {
        QTest::addColumn<int>("status");
        for (int status : {301, 308, 302, 307})
            QTest::newRow(qPrintable(QString::number(status))) << status;
    }
    void permanentRedirectIsTakenOnce()
    {
        QFETCH(int, status);
        const bool permanent = status == 301 || status == 308;
        LoopbackServer old([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            LoopbackServer::respond(s, status, "text/html", "moved", {{"Location", m_site->server.baseUrl() + r.path}});
        });
        QVERIFY(old.listen());
        const QStringList args{"--start", "1", "--end", "5", "--pause", "0", "--quiet", "--base-url"};
        const Ran moved = run(args + QStringList{QString::fromLatin1(old.baseUrl() + "/u/")});
        QCOMPARE(old.requestCount(), permanent ? 1 : 5);
        QCOMPARE(m_site->requested.size(), 5);
        QCOMPARE(moved.err.contains("the site moved to " + m_site->server.baseUrl() + "/u/; following it\n"), permanent);
        QCOMPARE(moved.out, run(args + QStringList{QString::fromLatin1(m_site->server.baseUrl() + "/u/")}).out);
    }

    // HTTPS with an authority made for the test runs, trusted by --ca-file only: the rows of
    // plain HTTP, one at a time and four in flight. A certificate no authority signed, an
    // expired one, one for another host, or the site's without --ca-file ends the run at once,
    // naming the problem.
    void httpsHarvestsExactly_data()
    {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<int>("parallel");
        QTest::newRow("one at a time") << "site" << true << 1;
        QTest::newRow("four in flight") << "site" << true << 4;
        QTest::newRow("an authority the system does not know") << "site" << false << 1;
        QTest::newRow("signed by no authority") << "rogue" << true << 4;
        QTest::newRow("expired") << "expired" << true << 1;
        QTest::newRow("another host's") << "elsewhere" << true << 1;
    }
    void httpsHarvestsExactly()
    {
        QFETCH(QString, certificate);
        QFETCH(bool, trusted);
        QFETCH(int, parallel);
        const QDir tls(QCoreApplication::applicationDirPath() + QStringLiteral("/tls"));
#ifdef Q_OS_WIN
        // Wine's Schannel cannot serve TLS: there the Debian build's demo site serves each
        // certificate, named in VQ_TLS_SITES as "certificate=URL;..." by windows-build.sh.
        std::unique_ptr<LoopbackServer> site;
        const QString named = qEnvironmentVariable("VQ_TLS_SITES").section(certificate + u'=', 1).section(u';', 0, 0);
        if (named.isEmpty())
            QSKIP("VQ_TLS_SITES names no HTTPS site");
        const QString base = named;
#else
        auto site = std::make_unique<LoopbackServer>([this](const LoopbackServer::Request &r, QTcpSocket *s) { m_site->serve(r, s); });
        if (!site->useTls(readFile(tls.filePath(certificate + ".pem")), readFile(tls.filePath(certificate + ".key"))))
            QSKIP("no TLS for the test's own server here");
        QVERIFY(site->listen());
        const QString base = QString::fromLatin1(site->baseUrl() + "/u/");
#endif
        QStringList args = range() << "--quiet" << "--parallel" << QString::number(parallel);
        const Ran plain = run(args);
        if (trusted)
            args << "--ca-file" << tls.filePath(QStringLiteral("ca.pem"));
        const Ran secure = run(args << "--base-url" << base);
        if (certificate == u"site" && trusted) {
            QCOMPARE(secure.exitCode, plain.exitCode);
            QCOMPARE(secure.out, plain.out);
            return;
        }
        QCOMPARE(secure.exitCode, 1);
        QVERIFY2(secure.err.startsWith("the site's certificate is not trusted: ")
                     && secure.err.contains(": stopped. Continue from ID " + kFirst.toLatin1() + " later.\n"),
                 secure.err.constData());
        if (site)
            QVERIFY2(site->requestCount() == 0 && site->handshakeCount() <= parallel, qPrintable(QString::number(site->handshakeCount())));
    }

    // Over HTTP/2 the requests in flight share one connection, as nginx counts them; over
    // HTTP/1.1 no connection is closed between answers to be opened (and shaken hands) again.
    void connectionsAsNginxCountsThem_data()
    {
        QTest::addColumn<bool>("http2");
        QTest::newRow("HTTP/2: one") << true;
        QTest::newRow("HTTP/1.1: one for each request in flight") << false;
    }
    void connectionsAsNginxCountsThem()
    {
        QFETCH(bool, http2);
#ifdef Q_OS_WIN
        QSKIP("the Windows build's libcurl speaks no HTTP/2");
#endif
        const QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"), {"/usr/sbin", "/usr/bin"});
        if (nginx.isEmpty())
            QSKIP("no nginx here (scripts/test.sh installs it)");
        QTcpServer probe; // nginx takes no port 0: a port that was free a moment ago
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        const QString tls = QCoreApplication::applicationDirPath() + QStringLiteral("/tls/"), dir = m_site->dir.path();
        QFile conf(path("nginx.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("daemon off; worker_processes 1; pid %1/nginx.pid; error_log %1/error.log;\n"
                                  "events { worker_connections 64; }\nhttp { log_format c $connection; access_log %1/access.log c;\n"
                                  "server { listen 127.0.0.1:%2 ssl%5; ssl_certificate %3site.pem; ssl_certificate_key %3site.key;\n"
                                  "location / { proxy_pass %4; proxy_http_version 1.1; proxy_set_header Connection \"\"; } } }\n")
                       .arg(dir).arg(port).arg(tls, QString::fromLatin1(m_site->server.baseUrl()), http2 ? " http2" : "").toUtf8());
        conf.close();
        QProcess server;
        server.start(nginx, {"-c", conf.fileName(), "-p", dir});
        QTcpSocket ready;
        for (QDeadlineTimer bound(5000); ready.state() != QAbstractSocket::ConnectedState && !bound.hasExpired(); QTest::qWait(50))
            ready.connectToHost(QHostAddress::LocalHost, port);
        ready.abort();
        const QStringList args{"--start", kFirst, "--end", "50147563", "--pause", "0", "--quiet", "--parallel", "8"};
        const Ran secure = run(args + QStringList{"--ca-file", tls + "ca.pem", "--base-url", QStringLiteral("https://127.0.0.1:%1/u/").arg(port)});
        server.terminate();
        server.waitForFinished();
        QCOMPARE(secure.out, run(args).out);
        const QList<QByteArray> connections = readFile(path("access.log")).split('\n');
        QCOMPARE(connections.size(), 400 + 1); // each ID, then the end of the last line
        const qsizetype used = QSet<QByteArray>(connections.begin(), connections.end() - 1).size();
        QVERIFY2(http2 ? used == 1 : used <= 8, qPrintable(QString::number(used)));
    }

    void version()
    {
        const Ran version = run({"--version"});
        QVERIFY(version.exitCode == 0 && version.out.startsWith("vqlirra-cli "));
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
