#include "curlpump.h"
#include "pageutil.h"
#include "waits_p.h"

#include <QScopeGuard>

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
    try {
        auto &pump = detail::CurlPump::instance();
        detail::Transfer t;
        t.easy = curl_easy_init();
        if (!t.easy) {
            page.resize(0);
            return;
        }
        t.body = takeBody();
        const auto release = qScopeGuard([&] {
            pump.remove(&t);
            curl_easy_cleanup(t.easy);
            giveBack(std::move(t.body));
        });
        const QByteArray target = url.toUtf8();
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
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, long(s_limits.lowSpeedBytesPerSecond));
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long(s_limits.lowSpeedSeconds));
        curl_easy_setopt(e, CURLOPT_PROXY, ""); // no proxy taken from the environment

        pump.add(&t);
        const quint64 generation = detail::waitGeneration();
        while (!t.done && generation == detail::waitGeneration())
            detail::waitForEvents();
        if (!t.done || t.result != CURLE_OK) {
            page.resize(0);
            return;
        }
        char *contentType = nullptr;
        curl_easy_getinfo(e, CURLINFO_CONTENT_TYPE, &contentType);
        decodePage(t.body, contentType ? QByteArray(contentType) : QByteArray(), page);
    } catch (...) {
        page = QString();
    }
}

} // namespace Module1
