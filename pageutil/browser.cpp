#include "pageutil.h"

#include <QDesktopServices>
#include <QUrl>

namespace Module1 {

void openInBrowser(const QString &url)
{
    QDesktopServices::openUrl(QUrl(url));
}

} // namespace Module1
