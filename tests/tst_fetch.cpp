#include "faults.h"
#include "test_files.h"
#include "loopback_server.h"
#include "pageutil.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUrl>
#include <QStringEncoder>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

using namespace Module1;

namespace {
const QByteArray kHtml = "text/html; charset=utf-8";

// Short limits so that the ending of stalled transfers is seen in a second or two.
FetchLimits quickLimits()
{
    FetchLimits limits;
    limits.totalMs = 1500;
    limits.lowSpeedBytesPerSecond = 1000;
    limits.lowSpeedSeconds = 1;
    limits.maxBodyBytes = 64 * 1024;
    return limits;
}
} // namespace

class TestFetch : public QObject
{
    Q_OBJECT
    LoopbackServer *m_server = nullptr;
    QString url(const char *path) const
    {
        return QString::fromLatin1(m_server->baseUrl() + path);
    }

private Q_SLOTS:
    void init()
    {
        setFetchLimits(quickLimits());
        m_server = new LoopbackServer({}, this);
        QVERIFY(m_server->listen());
    }
    void cleanup()
    {
        delete m_server;
        setFetchLimits(FetchLimits());
    }

    void returnsDecodedBodyOfAnyStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("ok") << 200;
        QTest::newRow("not found") << 404;
        QTest::newRow("server error") << 500;
    }
    void returnsDecodedBodyOfAnyStatus()
    {
        QFETCH(int, status);
        m_server->setHandler([status](const LoopbackServer::Request &r, QTcpSocket *s) {
            LoopbackServer::respond(s, status, kHtml, "<p>" + r.path + " 歌手</p>");
        });
        QCOMPARE(fetchPage(url("/u/42")), QStringLiteral("<p>/u/42 歌手</p>"));
    }

    void sendsPlainGetWithoutOurHeaders()
    {
        LoopbackServer::Request seen;
        m_server->setHandler([&seen](const LoopbackServer::Request &r, QTcpSocket *s) {
            seen = r;
            LoopbackServer::respond(s, 200, kHtml, "x");
        });
        QCOMPARE(fetchPage(url("/u/-5")), QStringLiteral("x"));
        QCOMPARE(seen.method, QByteArray("GET"));
        QCOMPARE(seen.path, QByteArray("/u/-5"));
        for (const auto &h : seen.headers)
            QVERIFY2(h.first != "cookie" && h.first != "referer", h.first.constData());
    }

    void keepsTheConnectionAlive()
    {
        int connections = 0;
        QSet<QTcpSocket *> sockets;
        m_server->setHandler([&](const LoopbackServer::Request &, QTcpSocket *s) {
            if (!sockets.contains(s)) {
                sockets.insert(s);
                ++connections;
            }
            LoopbackServer::respond(s, 200, kHtml, "ok");
        });
        for (int i = 0; i < 5; ++i)
            QCOMPARE(fetchPage(url("/u/1")), QStringLiteral("ok"));
        QCOMPARE(connections, 1);
    }

    void gbkPageDeclaredOnlyInMeta()
    {
        const QString text = QStringLiteral("<meta charset=\"gbk\"><span>闪亮新秀 3</span>");
        QStringEncoder gbk("GB18030");
        const QByteArray body = gbk.encode(text);
        m_server->setHandler([body](const LoopbackServer::Request &, QTcpSocket *s) {
            LoopbackServer::respond(s, 200, "text/html", body);
        });
        QCOMPARE(fetchPage(url("/u/1")), text);
    }

    void failuresGiveEmptyText_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("no answer") << "stall";
        QTest::newRow("headers then silence") << "headers";
        QTest::newRow("trickle forever") << "trickle";
        QTest::newRow("body over the cap") << "big";
        QTest::newRow("deflate beyond the cap") << "bomb";
        QTest::newRow("content-length longer than body") << "short";
        QTest::newRow("reset") << "reset";
        QTest::newRow("redirect loop") << "loop";
        QTest::newRow("malformed status line") << "garbage";
    }
    void failuresGiveEmptyText()
    {
        QFETCH(QString, fault);
        m_server->setHandler([fault](const LoopbackServer::Request &r, QTcpSocket *s) {
            if (serveTransportFault(fault, r, s))
                return;
            if (fault == u"big") {
                LoopbackServer::respond(s, 200, kHtml, QByteArray(64 * 1024 + 1, 'a'));
            } else if (fault == u"bomb") {
                // 10 MB of zeros pack into a few kilobytes; the cap counts what they become.
                const QByteArray packed = qCompress(QByteArray(10 * 1024 * 1024, '0')).mid(4);
                LoopbackServer::respond(s, 200, kHtml, packed, {{"Content-Encoding", "deflate"}});
            }
        });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(fetchPage(url("/u/1")), QString());
        QVERIFY2(clock.elapsed() < 10000, "a fetch did not end by itself");
    }

    void bodyAtTheCapIsKept()
    {
        m_server->setHandler([](const LoopbackServer::Request &, QTcpSocket *s) {
            LoopbackServer::respond(s, 200, kHtml, QByteArray(64 * 1024, 'a'));
        });
        QCOMPARE(fetchPage(url("/u/1")).size(), 64 * 1024);
    }

    void deflatedPageIsDecoded()
    {
        const QByteArray page = QByteArray("<b>") + QByteArray(20000, 'z') + "</b>";
        m_server->setHandler([page](const LoopbackServer::Request &, QTcpSocket *s) {
            LoopbackServer::respond(s, 200, kHtml, qCompress(page).mid(4), {{"Content-Encoding", "deflate"}});
        });
        QCOMPARE(fetchPage(url("/u/1")), QString::fromLatin1(page));
    }

    void followsRedirects()
    {
        m_server->setHandler([](const LoopbackServer::Request &r, QTcpSocket *s) {
            if (r.path == "/u/1")
                LoopbackServer::respond(s, 301, kHtml, "", {{"Location", "/u/2"}});
            else
                LoopbackServer::respond(s, 200, kHtml, "landed " + r.path);
        });
        QCOMPARE(fetchPage(url("/u/1")), QStringLiteral("landed /u/2"));
    }

    void outcomeSaysWhatHappened_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<qint64>("retryAfterMs");
        QTest::newRow("ok") << 200 << QByteArray() << qint64(-1);
        QTest::newRow("busy, come back in 7 s") << 503 << QByteArray("7") << qint64(7000);
        QTest::newRow("zero asks for nothing more") << 429 << QByteArray("0") << qint64(-1);
    }
    void outcomeSaysWhatHappened()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, retryAfter);
        QFETCH(qint64, retryAfterMs);
        m_server->setHandler([&](const LoopbackServer::Request &, QTcpSocket *s) {
            QList<QPair<QByteArray, QByteArray>> extra;
            if (!retryAfter.isEmpty())
                extra.append({"Retry-After", retryAfter});
            LoopbackServer::respond(s, status, kHtml, "body", extra);
        });
        QString page;
        const FetchOutcome outcome = fetchPageOutcome(url("/u/1"), page);
        QCOMPARE(page, QStringLiteral("body"));
        QCOMPARE(int(outcome.transport), int(Transport::Ok));
        QCOMPARE(outcome.httpStatus, status);
        QCOMPARE(outcome.retryAfterMs, retryAfterMs);
    }

    void onlyPagesThatMayHoldTheMarkerAreDecoded_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<bool>("decoded");
        const QString marked = QStringLiteral("<p>歌手 <b class=\"mark\">x</b></p>");
        const QString plain = QStringLiteral("<p>歌手 no such user</p>");
        QStringEncoder utf16(QStringConverter::Utf16LE);
        QStringEncoder gb("GB18030");
        QTest::newRow("UTF-8 without it") << plain.toUtf8() << kHtml << false;
        QTest::newRow("UTF-8 with it") << marked.toUtf8() << kHtml << true;
        QTest::newRow("GBK declared in meta, without it")
            << QByteArray("<meta charset=\"gbk\">" + gb.encode(plain)) << QByteArray("text/html") << false;
        QTest::newRow("GBK with it") << QByteArray(gb.encode(marked)) << QByteArray("text/html; charset=gbk") << true;
        QTest::newRow("UTF-16 with a byte-order mark")
            << QByteArray("\xFF\xFE" + utf16.encode(marked)) << QByteArray("text/html") << true;
        QTest::newRow("UTF-16 declared") << QByteArray(utf16.encode(marked)) << QByteArray("text/html; charset=utf-16le") << true;
    }
    // Bytes that cannot hold the marker are not decoded; any that may, are, whatever their charset.
    void onlyPagesThatMayHoldTheMarkerAreDecoded()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(bool, decoded);
        m_server->setHandler([&](const LoopbackServer::Request &, QTcpSocket *s) {
            LoopbackServer::respond(s, 200, contentType, body);
        });
        QString page = QStringLiteral("stale");
        const FetchOutcome outcome = fetchPageOutcome(url("/u/1"), page, "class=\"mark\"");
        QCOMPARE(outcome.httpStatus, 200);
        QCOMPARE(page, decoded ? decodePage(body, contentType) : QString());
        QVERIFY(!decoded || page.contains(QStringLiteral("class=\"mark\"")));
        QCOMPARE(fetchPage(url("/u/1")), decodePage(body, contentType)); // the plain fetch decodes all
    }

    // A site must not make the tool read a local file: no page, whatever the file holds.
    void redirectToAnotherSchemeYieldsNoPage()
    {
        QTemporaryDir dir;
        const QString local = dir.filePath(QStringLiteral("secret.html"));
        QVERIFY(writeFile(local, "<span class=\"user-name twemoji\">secret</span>"));
        const QByteArray target = QUrl::fromLocalFile(local).toEncoded();
        m_server->setHandler([target](const LoopbackServer::Request &, QTcpSocket *s) {
            LoopbackServer::respond(s, 302, kHtml, "", {{"Location", target}});
        });
        QString page = QStringLiteral("stale");
        const FetchOutcome outcome = fetchPageOutcome(url("/u/1"), page);
        QCOMPARE(page, QString());
        QCOMPARE(int(outcome.transport), int(Transport::Scheme));
        QCOMPARE(fetchPage(url("/u/1")), QString());
    }

    // The system's proxy carries every request but those to this machine.
    void systemProxyIsUsed()
    {
        QList<QByteArray> viaProxy, direct;
        LoopbackServer proxy([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            viaProxy.append(r.path);
            LoopbackServer::respond(s, 200, kHtml, "via proxy");
        });
        QVERIFY(proxy.listen());
        m_server->setHandler([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            direct.append(r.path);
            LoopbackServer::respond(s, 200, kHtml, "direct");
        });
        // The site's name is pinned to this machine, so that no DNS is asked even if the
        // proxy were passed by.
        const QByteArray site = "lirra.test:" + QByteArray::number(m_server->port());
        FetchLimits limits = quickLimits();
        limits.pinnedHosts = {site + ":127.0.0.1"};
        setFetchLimits(limits);
        qputenv("http_proxy", proxy.baseUrl());
        qunsetenv("no_proxy");
        const auto restore = qScopeGuard([] { qunsetenv("http_proxy"); });

        QCOMPARE(fetchPage(QString::fromLatin1("http://" + site + "/u/5")), QStringLiteral("via proxy"));
        QCOMPARE(viaProxy, (QList<QByteArray>{"http://" + site + "/u/5"}));
        QVERIFY(direct.isEmpty());
        QCOMPARE(fetchPage(url("/u/6")), QStringLiteral("direct"));
        QCOMPARE(direct, (QList<QByteArray>{"/u/6"}));
        QCOMPARE(viaProxy.size(), 1);
    }

    void deadServerGivesEmptyText()
    {
        const QString dead = url("/u/1");
        delete m_server;
        m_server = nullptr;
        QCOMPARE(fetchPage(dead), QString());
        QString page;
        QCOMPARE(int(fetchPageOutcome(dead, page).transport), int(Transport::Refused));
        m_server = new LoopbackServer({}, this);
    }

    void nestedFetchesEachGetTheirOwnPage()
    {
        // The first request is answered late; a second fetch runs inside the first wait.
        QList<QTcpSocket *> waiting;
        m_server->setHandler([&waiting](const LoopbackServer::Request &r, QTcpSocket *s) {
            if (r.path == "/u/slow")
                waiting.append(s);
            else
                LoopbackServer::respond(s, 200, kHtml, "inner");
        });
        QString inner;
        QTimer::singleShot(50, this, [&] {
            inner = fetchPage(url("/u/fast"));
            for (QTcpSocket *s : waiting)
                LoopbackServer::respond(s, 200, kHtml, "outer");
        });
        QCOMPARE(fetchPage(url("/u/slow")), QStringLiteral("outer"));
        QCOMPARE(inner, QStringLiteral("inner"));
    }

    void cancelWaitsAbortsTheRequestInFlight()
    {
        FetchLimits slow = quickLimits();
        slow.totalMs = 60000;
        slow.lowSpeedSeconds = 60;
        setFetchLimits(slow);
        m_server->setHandler([](const LoopbackServer::Request &, QTcpSocket *) {});
        QTimer::singleShot(100, [] { cancelWaits(); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(fetchPage(url("/u/1")), QString());
        QVERIFY(clock.elapsed() < 30000);
        // Waits started afterwards work normally.
        m_server->setHandler([](const LoopbackServer::Request &, QTcpSocket *s) {
            LoopbackServer::respond(s, 200, kHtml, "again");
        });
        QCOMPARE(fetchPage(url("/u/2")), QStringLiteral("again"));
    }

    void pauseWithoutPositiveTimeRunsNoEvents_data()
    {
        QTest::addColumn<int>("ms");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -5;
        QTest::newRow("min") << int(std::numeric_limits<qint32>::min());
    }
    void pauseWithoutPositiveTimeRunsNoEvents()
    {
        QFETCH(int, ms);
        bool ran = false;
        QTimer::singleShot(0, this, [&ran] { ran = true; });
        pauseMs(ms);
        QVERIFY(!ran);
        QTRY_VERIFY(ran);
    }

    void pauseRunsEventsUntilItsTime()
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&ran] { ran = true; });
        QElapsedTimer clock;
        clock.start();
        pauseMs(60);
        QVERIFY(clock.elapsed() >= 60);
        QVERIFY(ran);
    }

    void nestedPausesEndInOrder()
    {
        QElapsedTimer clock;
        clock.start();
        qint64 innerEnded = -1;
        QTimer::singleShot(10, this, [&] {
            pauseMs(80);
            innerEnded = clock.elapsed();
        });
        pauseMs(30);
        // The outer pause resumes only after the inner one, which started inside it.
        QVERIFY(innerEnded >= 90);
        QVERIFY(clock.elapsed() >= innerEnded);
    }

    void cancelWaitsEndsAPause()
    {
        QTimer::singleShot(50, [] { cancelWaits(); });
        QElapsedTimer clock;
        clock.start();
        pauseMs(60000);
        QVERIFY(clock.elapsed() < 30000);
    }
};

QTEST_GUILESS_MAIN(TestFetch)
#include "tst_fetch.moc"
