#include "paths.h"

#include <QDir>

QString joinPath(const QString &dir, const QString &name)
{
    QString joined = QDir::fromNativeSeparators(dir);
    if (!joined.endsWith(u'/'))
        joined += u'/';
    return QDir::toNativeSeparators(joined + name);
}
