#include "site.h"

namespace Site {

const QString &fetchBaseUrl()
{
    static const QString url = QStringLiteral("http://lirra.com/u/");
    return url;
}

const QString &browseBaseUrl()
{
    static const QString url = QStringLiteral("http://www.lirra.com/u/");
    return url;
}

} // namespace Site
