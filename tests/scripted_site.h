#pragma once

// What every test shares, windows or not: files, page builders, the faults a site can serve,
// and a loopback profile site scripted answer by answer.

// winsock2.h before anything that brings in windows.h.
#ifdef _WIN32
#include <winsock2.h>
using NativeSocket = SOCKET;
#else
#include <sys/socket.h>
using NativeSocket = int;
#endif

#include "loopback_server.h"
#include "pageutil.h"
#include "profile_pages.h"
#include "profile_site.h"
#include "run_settings.h"
#include "test_home.h"

#include <QtNetwork>
#include <QtTest>

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The log's account of a run.
inline QString summary(int visited, int kept, int outOfRange, int absent, int failed)
{
    return QStringLiteral("本次采集: 访问 %1 个ID, 保留 %2 行, 等级不符 %3 个, 无资料 %4 个, 下载失败 %5 个")
        .arg(visited).arg(kept).arg(outOfRange).arg(absent).arg(failed);
}

// The rows of IDs first..last each answered p<ID>, numbered from index.
inline QStringList everyRow(qint64 first, qint64 last, qint64 index = 1)
{
    QStringList rows;
    for (qint64 id = first; id <= last; ++id)
        rows << QStringLiteral("%1|p%2|%2|87654321|尚未出道|1024|12|3|45|678").arg(id - first + index).arg(id);
    return rows;
}

// A saved list's name: the day and the two ID fields as they stand.
inline QString savedName(const QString &first, const QString &last)
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + u'-' + first + u'-' + last + QStringLiteral(".csv");
}

inline QByteArray gbk(const QString &text) { return DemoPages::gb18030(text); }

// The retry policy and fetch limits the windows of a test are given.
inline RunSettings &testSettings()
{
    static RunSettings settings;
    return settings;
}

// Short fetch limits and retry waits, so that a stalled request or a retry costs a test
// a second at most.
inline Module1::FetchLimits quickFetches(int totalMs, QList<int> retryDelaysMs, qint64 maxBodyBytes = 16 << 20)
{
    Module1::FetchLimits limits;
    limits.totalMs = totalMs;
    limits.lowSpeedBytesPerSecond = 1000;
    limits.lowSpeedSeconds = 1;
    limits.maxBodyBytes = maxBodyBytes;
    RetryPolicy quick;
    quick.delaysMs = retryDelaysMs;
    quick.patienceMs = 0; // a silent site ends the run, unless a test waits for it
    testSettings() = {quick, limits, {}};
    return limits;
}

// Changes the retry policy of the windows to come.
inline void changeRetries(const std::function<void(RetryPolicy &)> &change) { change(testSettings().retries); }

// A profile page with the site's markers; grades is inserted as it stands.
inline QByteArray profilePage(const QString &name, const QString &grades = QString())
{
    return (QStringLiteral("<html><span class=\"user-name twemoji\">") + name
            + QStringLiteral("</span><script>var userid = '87654321'; var allnum = 1024; var worknum = 12;</script>")
            + grades
            + QStringLiteral("<a href=\"#share_list\"><span class=\"userPage-icon-des\">3个转发</span></a>"
                             "<li class=\"userPage-vertical-top4\"><span class=\"userPage-icon-des\">45个关注</span></li>"
                             "<li class=\"userPage-vertical-top5\"><span class=\"userPage-icon-des\">678个粉丝</span></li></html>"))
        .toUtf8();
}

// Answers a request with a fault of the connection or of HTTP itself; false when fault
// names none of these.
inline bool serveFault(const QString &fault, const LoopbackServer::Request &request, QTcpSocket *s)
{
    if (fault == u"stall") {
        // no answer at all; the socket stays open
    } else if (fault == u"halfway") { // ten bytes of a long body, one every 50 ms, then nothing
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n");
        auto *timer = new QTimer(s);
        QObject::connect(timer, &QTimer::timeout, s, [s, timer, left = 10]() mutable {
            s->write("x");
            if (--left == 0)
                timer->stop();
        });
        timer->start(50);
    } else if (fault == u"endless") { // a megabyte whenever the last one has gone out
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n");
        const QByteArray chunk = QByteArray::number(1 << 20, 16) + "\r\n" + QByteArray(1 << 20, 'x') + "\r\n";
        s->write(chunk);
        QObject::connect(s, &QTcpSocket::bytesWritten, s, [s, chunk] {
            if (s->bytesToWrite() == 0)
                s->write(chunk);
        });
    } else if (fault == u"bomb") { // 64 MB of zeros pack into a few kilobytes
        static const QByteArray packed = qCompress(QByteArray(64 << 20, '0')).mid(4);
        LoopbackServer::respond(s, 200, "text/html", packed, {{"Content-Encoding", "deflate"}});
    } else if (fault == u"short") {
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n<span class=\"user-name twemoji\">cut");
        s->disconnectFromHost();
    } else if (fault == u"reset") {
        s->abort(); // closed before any answer: an empty reply
    } else if (fault == u"rst") { // closed with a reset, as a busy site's dropped connection
        const linger hard{1, 0};
        setsockopt(NativeSocket(s->socketDescriptor()), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&hard), sizeof hard);
        s->abort();
    } else if (fault == u"loop") {
        LoopbackServer::respond(s, 302, "text/html", "", {{"Location", request.path}});
    } else if (fault == u"garbage") { // another protocol's bytes, a NUL among them
        static const char tlsHello[] = "\x16\x03\x01\x00 not http at all\r\n\r\n";
        s->write(tlsHello, sizeof tlsHello - 1);
        s->disconnectFromHost();
    } else if (fault == u"retry-page") { // the profile ("p" and the ID), and come back in a second
        LoopbackServer::respond(s, 200, "text/html", profilePage(u'p' + QString::fromLatin1(request.path.mid(3))), {{"Retry-After", "1"}});
    } else if (fault.startsWith(u"retry-")) { // retry-429: a second; retry-long: 100 s; retry-date: 2 s from now
        const QByteArray after = fault == u"retry-429" ? "1" : fault == u"retry-long" ? "100"
            : QDateTime::currentDateTimeUtc().addSecs(2).toString(u"ddd, dd MMM yyyy hh:mm:ss 'GMT'").toLatin1();
        LoopbackServer::respond(s, fault == u"retry-429" ? 429 : 503, "text/html", "slow down", {{"Retry-After", after}});
    } else {
        return false;
    }
    return true;
}

// How late the test's own site may note an arrival on a busy machine (and under Wine or the
// sanitizers, which slow its event loop down).
#if defined(Q_OS_WIN) || defined(__SANITIZE_ADDRESS__)
constexpr qint64 kArrivalJitterMs = 1000;
#else
constexpr qint64 kArrivalJitterMs = 3;
#endif

// A loopback profile site of scripted answers. An ID's script is its answers in turn, the last
// one kept: "" for not found, a name for its profile page ("name 3x2 1x4": with grade icons of
// tier 3 level 2, then tier 1 level 4), a status ("503"), a status with a profile ("500 name"), a
// fault of serveFault, "raw TEXT", or "uid name" (a profile whose user ID marker was renamed).
struct ScriptedSite
{
    QHash<qint64, QStringList> script;
    QList<QByteArray> requested;
    QHash<qint64, QList<qint64>> times; // when each request for an ID came, in ms
    QString otherwise; // the answer for IDs without a script ("%1" is the ID); "demo": the demo site's
    QElapsedTimer clock;
    LoopbackServer server;
    QTemporaryDir dir; // the files of whoever harvests it

    explicit ScriptedSite(const QString &otherwiseAnswer = QString())
        : otherwise(otherwiseAnswer), server([this](const LoopbackServer::Request &r, QTcpSocket *s) { serve(r, s); })
    {
        clock.start();
        server.listen();
    }
    QString profileBase() const { return QString::fromLatin1(server.baseUrl() + "/u/"); }

    void serve(const LoopbackServer::Request &r, QTcpSocket *s)
    {
        requested.append(r.path);
        const qint64 id = r.path.mid(3).toLongLong();
        times[id].append(clock.elapsed());
        if (otherwise == u"demo" && !script.contains(id))
            return ProfileSite::serve(r, s);
        if (!script.contains(id))
            script[id] = QStringList{QString(otherwise).replace(QStringLiteral("%1"), QString::number(id))};
        QStringList &answers = script[id];
        const QString answer = answers.size() > 1 ? answers.takeFirst() : answers.value(0);
        const QString first = answer.section(u' ', 0, 0), rest = answer.section(u' ', 1);
        bool isStatus = false;
        const int status = first.toInt(&isStatus);
        if (answer.isEmpty()) {
            LoopbackServer::respond(s, 404, "text/html", "<html>no such user</html>");
        } else if (first == u"raw") {
            LoopbackServer::respond(s, 200, "text/html; charset=utf-8", rest.toUtf8());
        } else if (first == u"uid") { // a profile whose user ID has a new marker
            LoopbackServer::respond(s, 200, "text/html; charset=utf-8", page(rest).replace("var userid", "var uid"));
        } else if (isStatus) {
            LoopbackServer::respond(s, status, "text/html; charset=utf-8",
                                    rest.isEmpty() ? QByteArray("<html>no profile here</html>") : page(rest));
        } else if (!serveFault(answer, r, s)) {
            LoopbackServer::respond(s, 200, "text/html; charset=utf-8", page(answer));
        }
    }
    static QByteArray page(const QString &spec)
    {
        QStringList parts = spec.split(u' ');
        const QString name = parts.takeFirst();
        QString icons; // "3x2": two icons of tier 3; tier 0 is the icon without a tier number
        for (const QString &grade : parts)
            icons += QStringLiteral("<i class=\"singergrade%1\"></i>").arg(grade.startsWith(u'0') ? QString() : grade.section(u'x', 0, 0))
                         .repeated(grade.section(u'x', 1).toInt());
        return profilePage(name, icons);
    }
    void setPage(qint64 id, const QString &answer) { script[id] = QStringList{answer}; }
    // Answers come delayMs(id) late; each request's arrival is noted, and whether the site's
    // rate limit refused it.
    struct Arrival { qint64 ms, id; bool refused; };
    QList<Arrival> arrivals;
    void delay(std::function<int(qint64)> delayMs)
    {
        server.setDelay([this, delayMs](const LoopbackServer::Request &r) {
            const qint64 id = r.path.mid(3).toLongLong();
            arrivals.append({clock.elapsed(), id, r.refused});
            return delayMs(id);
        });
    }
    QString ids() const { return QString::fromLatin1(requested.join(' ')).remove(QStringLiteral("/u/")); } // the IDs requested, in turn
};
