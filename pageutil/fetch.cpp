#include "curlpump.h"
#include "pageutil.h"
#include "waits_p.h"

#include <QScopeGuard>

#include <curl/curl.h>

namespace Module1 {

namespace {
FetchLimits s_limits;

// Receive buffers kept for the next fetches (more than one: fetches may nest).
std::vector<QByteArray> s_spareBodies;
constexpr size_t kSpareBodies = 4;
constexpr qsizetype kLargestSpare = 1024 * 1024;

QByteArray takeBody()
{
    if (s_spareBodies.empty())
        return {};
    QByteArray body = std::move(s_spareBodies.back());
    s_spareBodies.pop_back();
    return body;
}

void giveBack(QByteArray &&body)
{
    if (s_spareBodies.size() < kSpareBodies && body.capacity() <= kLargestSpare) {
        body.resize(0); // keeps the capacity
        s_spareBodies.push_back(std::move(body));
    }
}

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<detail::Transfer *>(user);
    const qint64 len = qint64(size * count);
    // The cap counts the decoded body; returning short aborts the transfer.
    if (t->body.size() + len > t->maxBody)
        return 0;
    if (t->body.isEmpty()) {
        curl_off_t expected = -1;
        curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
        if (expected > 0 && expected <= t->maxBody)
            t->body.reserve(qsizetype(expected));
    }
    t->body.append(data, len);
    return size_t(len);
}

Transport transportOf(CURLcode code)
{
    switch (code) {
    case CURLE_OK:
        return Transport::Ok;
    case CURLE_COULDNT_CONNECT:
        return Transport::Refused;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        return Transport::Reset;
    case CURLE_GOT_NOTHING:
        return Transport::EmptyReply;
    case CURLE_PARTIAL_FILE:
        return Transport::Partial;
    case CURLE_OPERATION_TIMEDOUT:
        return Transport::Timeout;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Transport::NoHost;
    case CURLE_TOO_MANY_REDIRECTS:
        return Transport::RedirectLoop;
    case CURLE_WRITE_ERROR: // the body callback refused more than the cap
    case CURLE_FILESIZE_EXCEEDED:
        return Transport::TooLarge;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return Transport::Malformed;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return Transport::Scheme;
    default:
        return Transport::Other;
    }
}
} // namespace

void setFetchLimits(const FetchLimits &limits) { s_limits = limits; }


QString fetchPage(const QString &url)
{
    QString page;
    fetchPage(url, page);
    return page;
}

void fetchPage(const QString &url, QString &page)
{
    fetchPageOutcome(url, page);
}

FetchOutcome fetchPageOutcome(const QString &url, QString &page, QByteArrayView onlyWith)
{
    FetchOutcome outcome;
    try {
        auto &pump = detail::CurlPump::instance();
        detail::Transfer t;
        t.easy = curl_easy_init();
        if (!t.easy) {
            page.resize(0);
            return outcome;
        }
        t.body = takeBody();
        curl_slist *pins = nullptr;
        const auto release = qScopeGuard([&] {
            pump.remove(&t);
            curl_easy_cleanup(t.easy);
            curl_slist_free_all(pins);
            giveBack(std::move(t.body));
        });
        const QByteArray target = url.toUtf8();
        const QByteArray proxy = systemProxyFor(url);
        t.maxBody = s_limits.maxBodyBytes;
        CURL *e = t.easy;
        curl_easy_setopt(e, CURLOPT_URL, target.constData());
        curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(e, CURLOPT_MAXREDIRS, long(s_limits.maxRedirects));
        curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, ""); // every encoding libcurl decodes
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, long(s_limits.totalMs));
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(s_limits.connectMs));
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, long(s_limits.lowSpeedBytesPerSecond));
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long(s_limits.lowSpeedSeconds));
        // The system's proxy, never the environment read behind our back ("" means none).
        curl_easy_setopt(e, CURLOPT_PROXY, proxy.constData());
        for (const QByteArray &pin : s_limits.pinnedHosts)
            pins = curl_slist_append(pins, pin.constData());
        if (pins)
            curl_easy_setopt(e, CURLOPT_RESOLVE, pins);

        pump.add(&t);
        const quint64 generation = detail::waitGeneration();
        while (!t.done && generation == detail::waitGeneration())
            detail::waitForEvents();
        if (!t.done) {
            outcome.transport = Transport::Cancelled;
            page.resize(0);
            return outcome;
        }
        outcome.curlCode = int(t.result);
        outcome.transport = transportOf(t.result);
        if (t.result == CURLE_UNSUPPORTED_PROTOCOL) {
            // Our own scheme, refused without a redirect: the reply was no HTTP at all.
            long status = 0;
            curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
            const bool ownScheme = url.startsWith(u"http://", Qt::CaseInsensitive)
                || url.startsWith(u"https://", Qt::CaseInsensitive);
            if (ownScheme && (status < 300 || status >= 400))
                outcome.transport = Transport::Malformed;
        }
        if (t.result != CURLE_OK) {
            page.resize(0);
            return outcome;
        }
        long status = 0;
        curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
        outcome.httpStatus = int(status);
        curl_off_t retryAfter = 0;
        // libcurl reads both forms of the header, delta-seconds and an HTTP date; it gives 0
        // for none, and a delay of 0 (or a date gone by) asks for nothing beyond the usual wait.
        if (curl_easy_getinfo(e, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0)
            outcome.retryAfterMs = qint64(retryAfter) * 1000;
        char *contentType = nullptr;
        curl_easy_getinfo(e, CURLINFO_CONTENT_TYPE, &contentType);
        const QByteArray type = contentType ? QByteArray(contentType) : QByteArray();
        if (!onlyWith.isEmpty() && !pageMayContain(t.body, type, onlyWith))
            page.resize(0);
        else
            decodePage(t.body, type, page);
    } catch (...) {
        page = QString();
        outcome.transport = Transport::Other;
    }
    return outcome;
}

} // namespace Module1
