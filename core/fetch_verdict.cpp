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
} // namespace

Kind classify(const Module1::FetchOutcome &outcome, QStringView page)
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
    if (ProfilePage::hasDisplayName(page))
        return Page;
    if (busyStatus(outcome.httpStatus))
        return Transient;
    // A site that answers 403 to everything is blocking us, not out of profiles.
    if (outcome.httpStatus >= 400 && outcome.httpStatus != 404)
        return GiveUp;
    return Absent;
}

QString reason(const Module1::FetchOutcome &outcome)
{
    using Module1::Transport;
    switch (outcome.transport) {
    case Transport::Ok:
        return QStringLiteral("HTTP ") + QString::number(outcome.httpStatus);
    case Transport::Refused:
        return QStringLiteral("无法连接服务器");
    case Transport::Reset:
        return QStringLiteral("连接被重置");
    case Transport::EmptyReply:
        return QStringLiteral("服务器无响应");
    case Transport::Partial:
        return QStringLiteral("数据不完整");
    case Transport::Timeout:
        return QStringLiteral("超时");
    case Transport::NoHost:
        return QStringLiteral("无法解析主机名");
    case Transport::RedirectLoop:
        return QStringLiteral("重定向过多");
    case Transport::TooLarge:
        return QStringLiteral("页面过大");
    case Transport::Malformed:
        return QStringLiteral("无效的响应");
    case Transport::Scheme:
        return QStringLiteral("不支持的协议");
    case Transport::Cancelled:
        return QStringLiteral("已取消");
    case Transport::Other:
        break;
    }
    return QStringLiteral("网络错误 ") + QString::number(outcome.curlCode);
}

} // namespace FetchVerdict
