#include "fetch_verdict.h"
#include "fixture.h"

using namespace Module1;

namespace {
const QByteArray kHtml = "text/html; charset=utf-8";

// What a fetch makes of an answer: the page text, what happened, and what a run makes of it
// (the reason of a failure; "HTTP status" for any answer).
struct Answer { QString page; Transport transport; int status; FetchVerdict::Kind verdict; const char *reason = ""; qint64 retryAfterMs = -1; };
} // namespace

class TestFetch : public QObject
{
    Q_OBJECT
    std::unique_ptr<LoopbackServer> m_server;
    QString url(const char *path) const { return QString::fromLatin1(m_server->baseUrl() + path); }
    void serve(LoopbackServer::Handler handler) { m_server->setHandler(std::move(handler)); }

private Q_SLOTS:
    void init()
    {
        quickFetches(1500, {}, 64 * 1024);
        m_server = std::make_unique<LoopbackServer>(LoopbackServer::Handler{});
        QVERIFY(m_server->listen());
    }

    // What a fetch makes of each kind of answer: the decoded body of any status, or the
    // empty text, what happened, and what a run makes of that.
    void answer_data()
    {
        QTest::addColumn<Answer>("expected"); // the row's name is the answer served
        using V = FetchVerdict::Kind;
        const auto row = [](const char *answer, const Answer &expected) { QTest::newRow(answer) << expected; };
        const QString body = QStringLiteral("<p>/u/1 歌手</p>"), profile = QString::fromUtf8(profilePage(QStringLiteral("x")));
        row("200", {body, Transport::Ok, 200, V::Absent});
        row("404", {body, Transport::Ok, 404, V::Absent});
        row("500", {body, Transport::Ok, 500, V::Transient});
        row("503 come back in 7 s", {body, Transport::Ok, 503, V::Transient, "", 7000});
        row("429 zero asks for nothing more", {body, Transport::Ok, 429, V::Transient});
        row("403 blocks", {body, Transport::Ok, 403, V::GiveUp});
        row("400", {body, Transport::Ok, 400, V::GiveUp});
        row("501", {body, Transport::Ok, 501, V::GiveUp});
        row("403 with a profile", {profile, Transport::Ok, 403, V::Page});
        row("at the cap", {QString(64 * 1024, u'a'), Transport::Ok, 200, V::Absent});
        row("deflated", {QStringLiteral("<b>") + QString(20000, u'z') + QStringLiteral("</b>"), Transport::Ok, 200, V::Absent});
        row("redirect", {QStringLiteral("landed /u/2"), Transport::Ok, 200, V::Absent});
        row("halfway", {{}, Transport::Timeout, 0, V::Transient, "超时"}); // libcurl's deadline moved on, then nothing came
        row("over the cap", {{}, Transport::TooLarge, 0, V::GiveUp, "页面过大"});
        row("bomb", {{}, Transport::TooLarge, 0, V::GiveUp, "页面过大"});
        row("endless", {{}, Transport::TooLarge, 0, V::GiveUp, "页面过大"});
        row("short", {{}, Transport::Partial, 0, V::Transient, "数据不完整"});
        row("reset", {{}, Transport::EmptyReply, 0, V::Transient, "服务器无响应"});
        row("redirect to a local file", {{}, Transport::Scheme, 0, V::GiveUp, "不支持的协议"}); // never reads the file
        row("refused", {{}, Transport::Refused, 0, V::Transient, "无法连接服务器"}); // no server there any more
    }
    void answer()
    {
        QFETCH(Answer, expected);
        const QString answer = QString::fromLatin1(QTest::currentDataTag());
#ifdef Q_OS_WIN
        if (answer == u"deflated" || answer == u"bomb")
            QSKIP("the libcurl for Windows is built without zlib, so it asks for no compressed answer");
#endif
        serve([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            const QByteArray body = "<p>" + r.path + " 歌手</p>";
            const int code = answer.section(u' ', 0, 0).toInt();
            if (serveFault(answer, r, s))
                return;
            if (code == 503 || code == 429)
                LoopbackServer::respond(s, code, kHtml, body, {{"Retry-After", code == 503 ? "7" : "0"}});
            else if (code > 0)
                LoopbackServer::respond(s, code, kHtml, answer.endsWith(u"profile") ? expected.page.toUtf8() : body);
            else if (answer == u"at the cap" || answer == u"over the cap")
                LoopbackServer::respond(s, 200, kHtml, QByteArray(64 * 1024 + (answer == u"over the cap"), 'a'));
            else if (answer == u"deflated")
                LoopbackServer::respond(s, 200, kHtml, qCompress(expected.page.toUtf8()).mid(4), {{"Content-Encoding", "deflate"}});
            else if (answer == u"redirect" && r.path == "/u/1")
                LoopbackServer::respond(s, 301, kHtml, "", {{"Location", "/u/2"}});
            else if (answer == u"redirect")
                LoopbackServer::respond(s, 200, kHtml, "landed " + r.path);
            else
                LoopbackServer::respond(s, 302, kHtml, "", {{"Location", QUrl::fromLocalFile(QCoreApplication::applicationFilePath()).toEncoded()}});
        });
        QTimer watchdog; // a fetch that never ends is ended here, and fails the row
        connect(&watchdog, &QTimer::timeout, this, [] { cancelWaits(); });
        watchdog.start(10000);
        QElapsedTimer clock;
        clock.start();
        const QString target = url("/u/1");
        if (answer == u"refused")
            m_server.reset();
        QString text = QStringLiteral("stale");
        const FetchOutcome outcome = fetchPageOutcome(target, text);
        QVERIFY2(clock.elapsed() < 10000, "a fetch did not end by itself");
        QCOMPARE(text, expected.page);
        QCOMPARE(int(outcome.transport), int(expected.transport));
        QCOMPARE(outcome.httpStatus, expected.status);
        QCOMPARE(outcome.retryAfterMs, expected.retryAfterMs);
        QCOMPARE(int(FetchVerdict::classify(outcome, text)), int(expected.verdict));
        QCOMPARE(FetchVerdict::reason(outcome), expected.transport == Transport::Ok ? QStringLiteral("HTTP %1").arg(expected.status)
                                                                                   : QString::fromUtf8(expected.reason));
        if (answer == u"refused") { // as a name that cannot be looked up, which no test may make
            FetchOutcome noHost = outcome;
            noHost.transport = Transport::NoHost;
            QVERIFY(FetchVerdict::classify(noHost, text) == FetchVerdict::Transient && FetchVerdict::reason(noHost) == u"无法解析主机名");
        }
    }

    // Plain GETs without our headers, over one kept-alive connection, straight to this
    // machine; the system's proxy carries every other request.
    void plainRequestsAndTheSystemProxy()
    {
        QList<QByteArray> viaProxy;
        QList<LoopbackServer::Request> direct;
        QSet<QTcpSocket *> sockets;
        LoopbackServer proxy([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            viaProxy.append(r.path);
            LoopbackServer::respond(s, 200, kHtml, "via proxy");
        });
        QVERIFY(proxy.listen());
        serve([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            direct.append(r);
            sockets.insert(s);
            LoopbackServer::respond(s, 200, kHtml, "direct");
        });
        // The site's name is pinned to this machine: no DNS is asked even if the proxy were passed by.
        const QByteArray site = "lirra.test:" + QByteArray::number(m_server->port());
        FetchLimits limits = quickFetches(1500, {});
        limits.pinnedHosts = {site + ":127.0.0.1"};
        setFetchLimits(limits);
        qputenv("http_proxy", proxy.baseUrl());
        qunsetenv("no_proxy");
        const auto restore = qScopeGuard([] { qunsetenv("http_proxy"); });
#ifndef Q_OS_WIN // Windows' proxy is the Internet settings', which a test cannot set for itself
        QCOMPARE(fetchPage(QString::fromLatin1("http://" + site + "/u/5")), QStringLiteral("via proxy"));
        QCOMPARE(viaProxy, (QList<QByteArray>{"http://" + site + "/u/5"}));
#endif
        for (int i = 0; i < 5; ++i)
            QCOMPARE(fetchPage(url("/u/-6")), QStringLiteral("direct"));
        QCOMPARE(sockets.size(), 1);
        QCOMPARE(direct.size(), 5);
        QCOMPARE(direct.first().method + ' ' + direct.first().path, QByteArray("GET /u/-6"));
        for (const auto &h : direct.first().headers)
            QVERIFY2(h.first != "cookie" && h.first != "referer", h.first.constData());
        QVERIFY(direct.first().headers.contains({"user-agent", "VqLirra/" VQ_VERSION}));
    }

    void pausesRunEventsForTheirTime()
    {
        for (int ms : {0, -5, int(std::numeric_limits<qint32>::min())}) {
            bool ran = false;
            QTimer::singleShot(0, this, [&ran] { ran = true; });
            pauseMs(ms); // no time, no events
            QVERIFY(!ran);
            QTRY_VERIFY(ran);
        }
        QElapsedTimer clock;
        clock.start();
        qint64 innerEnded = -1;
        QTimer::singleShot(10, this, [&] {
            pauseMs(80);
            innerEnded = clock.elapsed();
        });
        pauseMs(30);
        // Events ran, and the outer pause resumed only after the inner one, started inside it.
        QVERIFY(innerEnded >= 90 && clock.elapsed() >= innerEnded);
    }
};

QTEST_MAIN(TestFetch)
#include "tst_fetch.moc"
