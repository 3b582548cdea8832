#include "profile_pages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

// Writes the demo site's pages to DIR/u/ID for a range of IDs, so that any web server can
// serve the same profiles (the benchmarks serve them with nginx).
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        QTextStream(stderr) << "usage: vqlirra-pages DIR FIRST_ID COUNT\n";
        return 2;
    }
    const QDir dir(args[1]);
    const qint64 first = args[2].toLongLong();
    const qint64 count = args[3].toLongLong();
    if (!dir.mkpath(QStringLiteral("u")))
        return 1;
    qint64 bytes = 0, pages = 0;
    for (qint64 id = first; id < first + count; ++id) {
        const DemoPages::Profile profile = DemoPages::profile(id);
        if (!profile.exists)
            continue;
        QFile file(dir.filePath(QStringLiteral("u/") + QString::number(id)));
        const QByteArray body = DemoPages::page(profile, id);
        if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size())
            return 1;
        bytes += body.size();
        ++pages;
    }
    QTextStream(stdout) << pages << " pages, " << bytes / qMax<qint64>(pages, 1) << " bytes each on average\n";
    return 0;
}
