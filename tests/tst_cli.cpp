#include "harness.h"
#include "pageutil.h"
#include "profile_pages.h"
#include "profile_site.h"
#include "test_files.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringDecoder>
#include <QTest>

#include <csignal>

namespace {
const QString kFirst = QStringLiteral("50147164"), kLast = QStringLiteral("50147203");

struct Ran
{
    int exitCode = -1;
    QByteArray out, err;
};
} // namespace

class TestCli : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    LoopbackServer *m_site = nullptr;
    QList<QByteArray> m_requested;
    // Answers every request with the demo site's page, or the status set for its path.
    QHash<QByteArray, int> m_status;
    QHash<QByteArray, QByteArray> m_pages; // pages of the test's own, by path
    std::function<void(qint64)> m_onRequest;

    QString base() const { return QString::fromLatin1(m_site->baseUrl() + "/u/"); }
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // Runs the program to its end while this test's site keeps answering.
    Ran run(QStringList args, QProcess *process = nullptr)
    {
        QProcess own;
        QProcess &p = process ? *process : own;
        if (!args.contains(QStringLiteral("--base-url")))
            args << QStringLiteral("--base-url") << base();
        p.start(QStringLiteral(CLI), args);
        Ran ran;
        if (!p.waitForStarted())
            return ran;
        QDeadlineTimer bound(60000);
        while (p.state() != QProcess::NotRunning && !bound.hasExpired())
            QTest::qWait(10);
        if (p.state() != QProcess::NotRunning)
            p.kill();
        p.waitForFinished();
        ran.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        ran.out = p.readAllStandardOutput();
        ran.err = p.readAllStandardError();
        return ran;
    }

private Q_SLOTS:
    void init()
    {
        m_requested.clear();
        m_status.clear();
        m_pages.clear();
        m_onRequest = nullptr;
        m_site = new LoopbackServer([this](const LoopbackServer::Request &r, QTcpSocket *s) {
            m_requested.append(r.path);
            if (m_status.contains(r.path))
                LoopbackServer::respond(s, m_status.value(r.path), "text/html", "<html>no</html>");
            else if (m_pages.contains(r.path))
                LoopbackServer::respond(s, 200, "text/html; charset=utf-8", m_pages.value(r.path));
            else
                ProfileSite::serve(r, s);
            if (m_onRequest)
                m_onRequest(r.path.mid(3).toLongLong());
        }, this);
        QVERIFY(m_site->listen());
    }
    void cleanup() { delete m_site; }

    void csvIsTheWindowsSave()
    {
        const Ran ran = run({"--start", kFirst, "--end", kLast, "--pause", "0", "--output", path("cli.csv")});
        QCOMPARE(ran.exitCode, 0);
        QVERIFY2(ran.err.contains("Visited 40 IDs: kept "), ran.err.constData());

        Harness h;
        h.server.setHandler(&ProfileSite::serve);
        h.setFields(kFirst, kLast);
        h.window->Command1_Click();
        h.window->pmenu_Click(4);
        const QByteArray saved = readFile(h.dir.filePath(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                                                         + u'-' + kFirst + u'-' + kLast + QStringLiteral(".csv")));
        QVERIFY(saved.size() > 1000);
        QCOMPARE(readFile(path("cli.csv")), saved);
        // The finished run leaves no journal behind.
        QVERIFY(!QFile::exists(path("cli.csv.journal.csv")));

        const Ran utf8 = run({"--start", kFirst, "--end", kLast, "--pause", "0", "--encoding", "utf-8"});
        QCOMPARE(utf8.exitCode, 0);
        QCOMPARE(utf8.out, "\xEF\xBB\xBF" + Module1::decodeText(saved).toUtf8());
    }

    void jsonLinesCarryTheFieldsAsExtracted()
    {
        const Ran ran = run({"--start", kFirst, "--end", kLast, "--pause", "0", "--format", "jsonl",
                             "--min-grade", "闪亮新秀 1", "--max-grade", "20"});
        QCOMPARE(ran.exitCode, 0);
        QList<QByteArray> lines = ran.out.split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        int row = 0;
        for (qint64 id = kFirst.toLongLong(); id <= kLast.toLongLong(); ++id) {
            const DemoPages::Profile p = DemoPages::profile(id);
            if (!p.exists || p.tier < 2 || p.tier > 4)
                continue;
            QJsonParseError error;
            const QJsonObject o = QJsonDocument::fromJson(lines.value(row), &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            const QStringList expected = p.rowCells(id, ++row);
            const QStringList keys = {"index", "name", "homepage_id", "user_id", "grade", "plays", "works",
                                      "shares", "follows", "fans"};
            QCOMPARE(o.keys().size(), 10);
            for (int k = 0; k < 10; ++k)
                QCOMPARE(o.value(keys[k]).toString(), expected[k]);
        }
        QVERIFY(row > 3);
        QCOMPARE(lines.size(), row);
    }

    // Whatever a name holds comes back from the JSON exactly: quotes, backslashes, controls.
    void jsonLinesEscapeWhatTheyMust()
    {
        const QString name = QStringLiteral("a\"b\\c\td\x01e/歌🎤");
        m_pages.insert("/u/7", profilePage(name));
        const Ran ran = run({"--start", "7", "--end", "7", "--pause", "0", "--format", "jsonl"});
        QCOMPARE(ran.exitCode, 0);
        QCOMPARE(ran.out.count('\n'), 1);
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(ran.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(o.value(QStringLiteral("name")).toString(), name);
        QCOMPARE(o.value(QStringLiteral("homepage_id")).toString(), QStringLiteral("7"));
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
        QTest::newRow("unknown format") << QStringList{"--format", "xml"} << 2 << "--format: 'xml' is unknown";
        QTest::newRow("unknown encoding") << QStringList{"--encoding", "latin1"} << 2 << "--encoding: 'latin1' is unknown";
        QTest::newRow("not http") << QStringList{"--base-url", "ftp://127.0.0.1/u/"} << 2 << "--base-url: 'ftp://127.0.0.1/u/' is not an http";
        QTest::newRow("unknown option") << QStringList{"--colour"} << 2 << "Unknown option 'colour'";
        QTest::newRow("resume without output") << QStringList{"--resume"} << 2 << "--resume: needs the --output";
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
        QVERIFY(ran.out.isEmpty());
        QVERIFY(m_requested.isEmpty());
    }

    void givenUpIdsAreListedAndExitOne()
    {
        m_status.insert("/u/" + QByteArray::number(kFirst.toLongLong() + 2), 403);
        const Ran ran = run({"--start", kFirst, "--end", QString::number(kFirst.toLongLong() + 4), "--pause", "0",
                             "--quiet", "--output", path("some.csv")});
        QCOMPARE(ran.exitCode, 1);
        QVERIFY2(ran.err.endsWith("Failed IDs: " + QByteArray::number(kFirst.toLongLong() + 2) + "\n"), ran.err.constData());
        QVERIFY(ran.err.contains("5 IDs: kept 4 rows, 0 outside the grade range, 0 without a profile, 1 failed"));
    }

    void interruptedRunResumesToTheSameFile_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl-C") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void interruptedRunResumesToTheSameFile()
    {
        QFETCH(int, signal);
        const Ran whole = run({"--start", kFirst, "--end", kLast, "--pause", "0", "--output", path("whole.csv")});
        QCOMPARE(whole.exitCode, 0);
        m_requested.clear();

        QProcess p;
        const qint64 stopAt = kFirst.toLongLong() + 12;
        m_onRequest = [&](qint64 id) {
            if (id == stopAt)
                ::kill(pid_t(p.processId()), signal);
        };
        const Ran first = run({"--start", kFirst, "--end", kLast, "--pause", "100", "--output", path("cut.csv")}, &p);
        QCOMPARE(first.exitCode, 130);
        QVERIFY(first.err.endsWith("Interrupted.\n"));
        QVERIFY(first.err.contains("Visited 13 IDs"));
        // The file holds the rows kept so far, complete.
        const QByteArray partial = readFile(path("cut.csv"));
        QVERIFY(partial.endsWith(",\r\n\r\n"));
        QVERIFY(readFile(path("whole.csv")).startsWith(partial.chopped(2)));
        const QList<QByteArray> before = m_requested;
        QCOMPARE(before.last(), "/u/" + QByteArray::number(stopAt));

        m_onRequest = nullptr;
        m_requested.clear();
        const Ran again = run({"--resume", "--pause", "0", "--output", path("cut.csv")});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(readFile(path("cut.csv")), readFile(path("whole.csv")));
        QCOMPARE(m_requested.first(), "/u/" + QByteArray::number(stopAt + 1));
        for (const QByteArray &r : m_requested)
            QVERIFY(!before.contains(r));
    }

    // The first Ctrl-C waits for the request in flight; a second one does not.
    void secondCtrlCExitsAtOnce()
    {
        QList<QTcpSocket *> held;
        QProcess p;
        m_site->setHandler([&](const LoopbackServer::Request &, QTcpSocket *s) {
            held.append(s); // never answered: the request stays in flight
            ::kill(pid_t(p.processId()), SIGINT);
            QTimer::singleShot(200, [&p] { ::kill(pid_t(p.processId()), SIGINT); });
        });
        QElapsedTimer clock;
        clock.start();
        const Ran ran = run({"--start", "1", "--end", "5", "--output", path("never.csv")}, &p);
        QCOMPARE(ran.exitCode, 130);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed()))); // not the 30 s time-out
        QCOMPARE(held.size(), 1);
    }

    void rowsStreamToAPipe()
    {
        const Ran file = run({"--start", kFirst, "--end", kLast, "--pause", "0", "--output", path("f.csv")});
        const Ran piped = run({"--start", kFirst, "--end", kLast, "--pause", "0"});
        QCOMPARE(piped.exitCode, 0);
        QCOMPARE(piped.out, readFile(path("f.csv")));
        // Not a terminal, and done within 10 s: no progress line, only the summary.
        QCOMPARE(piped.err.count('\n'), 1);
        QVERIFY(piped.err.startsWith("Visited 40 IDs"));
    }

    void helpAndVersion()
    {
        const Ran help = run({"--help"});
        QCOMPARE(help.exitCode, 0);
        for (const char *option : {"--start", "--end", "--pause", "--min-grade", "--max-grade", "--output", "--format",
                                   "--encoding", "--base-url", "--resume", "--quiet"})
            QVERIFY2(help.out.contains(option), option);
        const Ran version = run({"--version"});
        QCOMPARE(version.exitCode, 0);
        QVERIFY(version.out.startsWith("vqlirra-cli "));
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
