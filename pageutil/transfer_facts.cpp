#include "transfer_p.h"
#include "trust_p.h"

#include <QFile>

namespace Module1::detail {

namespace {
// Only the first status line is kept: a permanent redirect is told by it.
size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
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
    const QByteArray &bundle = authoritiesToTrust(caFile);
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

void setSecureOptions(Transfer &t, const QString &url, const QString &caFile)
{
    CURL *e = t.easy;
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.error);
    // Over HTTP/2 the requests of a run share one connection: a request waits for the
    // first connection to say whether it multiplexes, rather than opening its own. Plain
    // HTTP never multiplexes, and there the wait would only hold requests back.
    if (url.startsWith(u"https:", Qt::CaseInsensitive))
        curl_easy_setopt(e, CURLOPT_PIPEWAIT, 1L);
    trust(e, caFile);
}

bool readOutcome(const Transfer &t, const QString &url, FetchOutcome &outcome)
{
    CURL *e = t.easy;
    outcome.curlCode = int(t.result);
    outcome.transport = transportOf(t.result);
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (t.result == CURLE_UNSUPPORTED_PROTOCOL) {
        // Our own scheme, refused without a redirect: the reply was no HTTP at all.
        const bool ownScheme = url.startsWith(u"http://", Qt::CaseInsensitive)
            || url.startsWith(u"https://", Qt::CaseInsensitive);
        if (ownScheme && (status < 300 || status >= 400))
            outcome.transport = Transport::Malformed;
    }
    if (t.result != CURLE_OK) {
        outcome.detail = QString::fromUtf8(t.error).trimmed();
        return false;
    }
    outcome.httpStatus = int(status);
    curl_off_t retryAfter = 0;
    // libcurl reads both forms of the header, delta-seconds and an HTTP date; it gives 0
    // for none, and a delay of 0 (or a date gone by) asks for nothing beyond the usual wait.
    if (curl_easy_getinfo(e, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0)
        outcome.retryAfterMs = qint64(retryAfter) * 1000;
    long redirects = 0;
    curl_easy_getinfo(e, CURLINFO_REDIRECT_COUNT, &redirects);
    char *finalUrl = nullptr;
    if (redirects > 0 && (t.firstStatus == 301 || t.firstStatus == 308)
        && curl_easy_getinfo(e, CURLINFO_EFFECTIVE_URL, &finalUrl) == CURLE_OK && finalUrl)
        outcome.movedTo = QString::fromUtf8(finalUrl);
    return true;
}

} // namespace Module1::detail
