#include "curlpump.h"
#include "pageutil.h"
#include "trust_p.h"
#include "waits_p.h"

#include <QFile>

#include <curl/curl.h>

namespace Module1 {

namespace {
// Receive buffers kept for the next fetches (more than one: fetches may nest).
std::vector<QByteArray> s_spareBodies;
constexpr size_t kSpareBodies = 4;
constexpr qsizetype kLargestSpare = 1024 * 1024;
// A whole page in one read for most pages, rather than the default 16 KB at a time.
constexpr long kReceiveBuffer = 64 * 1024;

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

// Only the first status line is kept: a permanent redirect is told by it.
size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<detail::Transfer *>(user);
    const size_t len = size * count;
    if (t->firstStatus == 0 && len > 9 && qstrncmp(data, "HTTP/", 5) == 0) {
        const QByteArray line(data, qsizetype(len));
        const qsizetype space = line.indexOf(' ');
        t->firstStatus = space < 0 ? -1 : line.mid(space + 1, 3).toInt();
        if (t->firstStatus == 0)
            t->firstStatus = -1;
    }
    return len;
}

// The authorities that vouch for a site: the system's, and those of caFile.
void trust(CURL *e, const QString &caFile)
{
    const QByteArray &bundle = detail::authoritiesToTrust(caFile);
    if (!bundle.isEmpty()) {
        curl_blob blob{const_cast<char *>(bundle.constData()), size_t(bundle.size()), CURL_BLOB_NOCOPY};
        curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &blob);
    } else if (!caFile.isEmpty()) {
        // The system's authorities stay trusted: OpenSSL still reads its certificate folder.
        curl_easy_setopt(e, CURLOPT_CAINFO, QFile::encodeName(caFile).constData());
    }
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
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return Transport::Certificate;
    default:
        return Transport::Other;
    }
}
} // namespace

QString fetchPage(const QString &url, const FetchLimits &limits)
{
    QString page;
    fetchPage(url, page, limits);
    return page;
}

void fetchPage(const QString &url, QString &page, const FetchLimits &limits)
{
    fetchPageOutcome(url, page, {}, limits);
}

struct PendingFetch::State
{
    detail::Transfer t;
    curl_slist *pins = nullptr;
    QString url;
    quint64 generation = 0;
    bool started = false;
    bool finished = false;

    ~State()
    {
        if (!t.easy)
            return;
        auto &pump = detail::CurlPump::instance();
        pump.remove(&t);
        pump.giveBackEasy(t.easy);
        curl_slist_free_all(pins);
        giveBack(std::move(t.body));
    }
};

PendingFetch::PendingFetch(const QString &url, const FetchLimits &limits) : d(std::make_unique<State>())
{
    d->url = url;
    try {
        auto &pump = detail::CurlPump::instance();
        detail::Transfer &t = d->t;
        t.easy = pump.takeEasy();
        if (!t.easy)
            return;
        t.body = takeBody();
        const QByteArray target = url.toUtf8();
        const QByteArray proxy = systemProxyFor(url);
        t.maxBody = limits.maxBodyBytes;
        CURL *e = t.easy;
        curl_easy_setopt(e, CURLOPT_URL, target.constData());
        curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.error);
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(e, CURLOPT_MAXREDIRS, long(limits.maxRedirects));
        static const QByteArray ownAgent = "VqLirra/" VQ_VERSION;
        const QByteArray &agent = limits.userAgent.isEmpty() ? ownAgent : limits.userAgent;
        curl_easy_setopt(e, CURLOPT_USERAGENT, agent.constData()); // copied by libcurl
        curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, ""); // every encoding libcurl decodes
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, long(limits.totalMs));
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(limits.connectMs));
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, long(limits.lowSpeedBytesPerSecond));
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long(limits.lowSpeedSeconds));
        // The system's proxy, never the environment read behind our back ("" means none).
        curl_easy_setopt(e, CURLOPT_PROXY, proxy.constData());
        for (const QByteArray &pin : limits.pinnedHosts)
            d->pins = curl_slist_append(d->pins, pin.constData());
        if (d->pins)
            curl_easy_setopt(e, CURLOPT_RESOLVE, d->pins);
        curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBuffer);
        // Over HTTP/2 the requests of a run share one connection: a request waits for the
        // first connection to say whether it multiplexes, rather than opening its own. Plain
        // HTTP never multiplexes, and there the wait would only hold requests back.
        if (url.startsWith(u"https:", Qt::CaseInsensitive))
            curl_easy_setopt(e, CURLOPT_PIPEWAIT, 1L);
        trust(e, limits.caFile);
        d->generation = detail::waitGeneration();
        pump.add(&t);
        d->started = true;
    } catch (...) {
        d->started = false;
    }
}

int setConnectionsPerHost(int n) { return detail::CurlPump::instance().setMaxHostConnections(n); }

bool PendingFetch::ready() const
{
    return !d->started || d->finished || d->t.done || d->generation != detail::waitGeneration();
}

PendingFetch::PendingFetch(PendingFetch &&) noexcept = default;
PendingFetch &PendingFetch::operator=(PendingFetch &&) noexcept = default;
PendingFetch::~PendingFetch() = default;

// Waits for the response. Its body and Content-Type go to take(body, type), unless onlyWith
// is given and the body cannot hold it; every other ending calls clear().
template <typename Take, typename Clear>
FetchOutcome PendingFetch::finishWith(QByteArrayView onlyWith, Take take, Clear clear, const Answered &answered)
{
    FetchOutcome outcome;
    if (!d->started || d->finished) {
        clear();
        return outcome;
    }
    d->finished = true;
    try {
        detail::Transfer &t = d->t;
        while (!t.done && d->generation == detail::waitGeneration())
            detail::waitForEvents();
        if (!t.done) {
            outcome.transport = Transport::Cancelled;
            clear();
            return outcome;
        }
        CURL *e = t.easy;
        outcome.curlCode = int(t.result);
        outcome.transport = transportOf(t.result);
        if (t.result == CURLE_UNSUPPORTED_PROTOCOL) {
            // Our own scheme, refused without a redirect: the reply was no HTTP at all.
            long status = 0;
            curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
            const bool ownScheme = d->url.startsWith(u"http://", Qt::CaseInsensitive)
                || d->url.startsWith(u"https://", Qt::CaseInsensitive);
            if (ownScheme && (status < 300 || status >= 400))
                outcome.transport = Transport::Malformed;
        }
        if (t.result != CURLE_OK) {
            outcome.detail = QString::fromUtf8(t.error).trimmed();
            clear();
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
        long redirects = 0;
        curl_easy_getinfo(e, CURLINFO_REDIRECT_COUNT, &redirects);
        char *finalUrl = nullptr;
        if (redirects > 0 && (t.firstStatus == 301 || t.firstStatus == 308)
            && curl_easy_getinfo(e, CURLINFO_EFFECTIVE_URL, &finalUrl) == CURLE_OK && finalUrl)
            outcome.movedTo = QString::fromUtf8(finalUrl);
        if (answered)
            answered(outcome);
        if (!onlyWith.isEmpty() && !pageMayContain(t.body, type, onlyWith)) {
            // Most such pages are the site's "no such profile"; the few words tell the others.
            outcome.gist = pageGist(t.body, type);
            clear();
        } else
            take(t.body, type);
    } catch (...) {
        clear();
        outcome.transport = Transport::Other;
    }
    return outcome;
}

FetchOutcome PendingFetch::finish(QString &page, QByteArrayView onlyWith)
{
    return finishWith(
        onlyWith, [&](QByteArray &body, const QByteArray &type) { decodePage(body, type, page); },
        [&] { page.resize(0); });
}

FetchOutcome PendingFetch::finish(Page &page, QByteArrayView onlyWith, const Answered &answered)
{
    return finishWith(
        onlyWith, [&](QByteArray &body, const QByteArray &type) { readPage(body, type, page); },
        [&] {
            page.isUtf8 = false;
            page.utf8.resize(0);
            page.text.resize(0);
        },
        answered);
}

FetchOutcome fetchPageOutcome(const QString &url, QString &page, QByteArrayView onlyWith, const FetchLimits &limits)
{
    return PendingFetch(url, limits).finish(page, onlyWith);
}

FetchOutcome fetchPageOutcome(const QString &url, Page &page, QByteArrayView onlyWith, const FetchLimits &limits)
{
    return PendingFetch(url, limits).finish(page, onlyWith);
}

} // namespace Module1
