#include "paths.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

QString joinPath(const QString &dir, const QString &name)
{
    QString joined = QDir::fromNativeSeparators(dir);
    if (!joined.endsWith(u'/'))
        joined += u'/';
    return QDir::toNativeSeparators(joined + name);
}

FilePlaces filePlaces(const QString &programDir)
{
    // Trying is the only sure test: permissions, read-only mounts and ACLs all have a say.
    QTemporaryFile probe(joinPath(programDir, QStringLiteral("write-test-XXXXXX")));
    if (probe.open())
        return {programDir, joinPath(programDir, QStringLiteral("Log"))};
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return {joinPath(documents, QStringLiteral("VqLirra")), joinPath(data, QStringLiteral("Log"))};
}
