#include "profile_urls.h"

#include <QUrl>

bool ProfileUrls::follow(const QString &movedTo, qint64 id)
{
    const QString idText = QString::number(id);
    const QUrl before(of(id)), after(movedTo);
    if (m_moved || !movedTo.endsWith(idText) || before.path() != after.path() || !after.query().isEmpty())
        return false;
    if (before.scheme() == after.scheme() && before.host() == after.host() && before.port() == after.port())
        return false;
    m_moved = true;
    m_base = movedTo.left(movedTo.size() - idText.size());
    return true;
}
