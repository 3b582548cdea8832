#include "pageutil.h"

#include <QDeadlineTimer>
#include <QHash>
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
    const QUrl parsed(url);
    if (isLoopback(parsed.host()))
        return {};
    // Asking the system costs far more than a page's text work; its answer for a host is
    // kept a few seconds, so a changed setting still takes effect during a run.
    struct Known
    {
        QByteArray proxy;
        QDeadlineTimer fresh;
    };
    static QHash<QString, Known> known;
    const QString key = parsed.scheme() + QStringLiteral("://") + parsed.host() + u':' + QString::number(parsed.port());
    auto it = known.find(key);
    if (it != known.end() && !it->fresh.hasExpired())
        return it->proxy;
    if (known.size() > 64)
        known.clear();
    const QList<QNetworkProxy> proxies =
        QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(parsed));
    const QByteArray proxy = proxies.isEmpty() ? QByteArray() : curlForm(proxies.first());
    known.insert(key, Known{proxy, QDeadlineTimer(5000)});
    return proxy;
}

} // namespace Module1
