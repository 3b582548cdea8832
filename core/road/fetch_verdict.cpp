#include "fetch_verdict.h"

#include "profile_page.h"

namespace FetchVerdict {

namespace {
bool busyStatus(int status)
{
    switch (status) {
    case 408: case 429: case 500: case 502: case 503: case 504: case 522: case 524:
        return true;
    default:
        return false;
    }
}

Kind verdict(const Module1::FetchOutcome &outcome, bool carriesProfile)
{
    using Module1::Transport;
    switch (outcome.transport) {
    case Transport::Ok:
        break;
    case Transport::Cancelled:
        return Cancelled;
    case Transport::Refused:
    case Transport::Reset:
    case Transport::EmptyReply:
    case Transport::Partial:
    case Transport::Timeout:
    case Transport::NoHost:
        return Transient;
    default:
        return GiveUp;
    }
    // An error page that carries a profile is a profile all the same.
    if (carriesProfile)
        return Page;
    if (busyStatus(outcome.httpStatus))
        return Transient;
    // A site that answers 403 to everything is blocking us, not out of profiles; 404 and 410
    // ("gone") say there is no such profile.
    if (outcome.httpStatus >= 400 && outcome.httpStatus != 404 && outcome.httpStatus != 410)
        return GiveUp;
    return Absent;
}
} // namespace

Kind classify(const Module1::FetchOutcome &outcome, QStringView page)
{
    return verdict(outcome, ProfilePage::hasDisplayName(page));
}

Kind classify(const Module1::FetchOutcome &outcome, const Module1::Page &page)
{
    return verdict(outcome, page.isUtf8 ? ProfilePage::hasDisplayName(QUtf8StringView(page.utf8))
                                        : ProfilePage::hasDisplayName(page.text));
}

namespace {
struct Reason
{
    Module1::Transport transport;
    const char16_t *chinese;
    const char *english;
};

const Reason kReasons[] = {
    {Module1::Transport::Refused, u"无法连接服务器", "connection refused"},
    {Module1::Transport::Reset, u"连接被重置", "connection reset"},
    {Module1::Transport::EmptyReply, u"服务器无响应", "empty reply"},
    {Module1::Transport::Partial, u"数据不完整", "incomplete body"},
    {Module1::Transport::Timeout, u"超时", "timed out"},
    {Module1::Transport::NoHost, u"无法解析主机名", "host name not found"},
    {Module1::Transport::RedirectLoop, u"重定向过多", "too many redirects"},
    {Module1::Transport::TooLarge, u"页面过大", "page too large"},
    {Module1::Transport::Malformed, u"无效的响应", "not an HTTP reply"},
    {Module1::Transport::Scheme, u"不支持的协议", "scheme refused"},
    {Module1::Transport::Cancelled, u"已取消", "cancelled"},
    {Module1::Transport::Certificate, u"网站证书不受信任", "the site's certificate is not trusted"},
};

QString reasonIn(const Module1::FetchOutcome &outcome, bool english)
{
    if (outcome.transport == Module1::Transport::Ok)
        return QStringLiteral("HTTP ") + QString::number(outcome.httpStatus);
    for (const Reason &r : kReasons) {
        if (r.transport == outcome.transport)
            return english ? QString::fromLatin1(r.english) : QString::fromUtf16(r.chinese);
    }
    return (english ? QStringLiteral("network error ") : QStringLiteral("网络错误 ")) + QString::number(outcome.curlCode);
}
} // namespace

QString reason(const Module1::FetchOutcome &outcome) { return reasonIn(outcome, false); }
QString englishReason(const Module1::FetchOutcome &outcome) { return reasonIn(outcome, true); }

} // namespace FetchVerdict
