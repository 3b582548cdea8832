#include "curlpump.h"
#include "pageutil.h"
#include "transfer_p.h"
#include "waits_p.h"

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
        detail::setSecureOptions(t, url, limits.caFile);
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
        if (!detail::readOutcome(t, d->url, outcome)) {
            clear();
            return outcome;
        }
        char *contentType = nullptr;
        curl_easy_getinfo(e, CURLINFO_CONTENT_TYPE, &contentType);
        const QByteArray type = contentType ? QByteArray(contentType) : QByteArray();
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
