#include "pageutil.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkProxyFactory>
#include <QUrl>

namespace Module1 {

namespace {
QByteArray curlForm(const QNetworkProxy &proxy)
{
    QByteArray scheme;
    switch (proxy.type()) {
    case QNetworkProxy::HttpProxy:
    case QNetworkProxy::HttpCachingProxy:
        scheme = "http://";
        break;
    case QNetworkProxy::Socks5Proxy:
        scheme = "socks5h://"; // the proxy resolves the site's name
        break;
    default:
        return {};
    }
    QByteArray credentials;
    if (!proxy.user().isEmpty()) {
        credentials = QUrl::toPercentEncoding(proxy.user());
        if (!proxy.password().isEmpty())
            credentials += ':' + QUrl::toPercentEncoding(proxy.password());
        credentials += '@';
    }
    QByteArray host = proxy.hostName().toUtf8();
    if (host.contains(':'))
        host = '[' + host + ']';
    return scheme + credentials + host + ':' + QByteArray::number(proxy.port());
}

bool isLoopback(const QString &host)
{
    const QString h = host.toLower();
    return h == u"localhost" || h.endsWith(u".localhost") || QHostAddress(host).isLoopback();
}
} // namespace

QByteArray systemProxyFor(const QString &url)
{
    // Asking the system costs far more than a page's text work, and a run asks for thousands
    // of URLs of one site: the answer for the last site is kept a few seconds, so a changed
    // setting still takes effect during a run.
    thread_local QString lastSite;
    thread_local QByteArray lastProxy;
    thread_local QDeadlineTimer lastFresh;
    const qsizetype hostAt = url.indexOf(u"://");
    const qsizetype pathAt = hostAt < 0 ? -1 : url.indexOf(u'/', hostAt + 3);
    const QStringView site = pathAt < 0 ? QStringView(url) : QStringView(url).left(pathAt + 1);
    if (!lastSite.isEmpty() && site == lastSite && !lastFresh.hasExpired())
        return lastProxy;
    const QUrl parsed(url);
    QByteArray proxy;
    if (!isLoopback(parsed.host())) {
        const QList<QNetworkProxy> proxies =
            QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(parsed));
        proxy = proxies.isEmpty() ? QByteArray() : curlForm(proxies.first());
    }
    lastSite = site.toString();
    lastProxy = proxy;
    lastFresh = QDeadlineTimer(5000);
    return proxy;
}

} // namespace Module1
