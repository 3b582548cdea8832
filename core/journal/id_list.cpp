#include "id_list.h"

#include <QIODevice>

#include <algorithm>
#include <limits>

namespace IdList {

bool read(QIODevice &in, std::vector<qint32> &ids, QString &error)
{
    ids.clear();
    qint64 number = 0;
    // Read whole, then cut at LF: standard input on Windows does not read back line by line.
    const QByteArray all = in.readAll();
    for (const QByteArray &raw : all.split('\n')) {
        ++number;
        // A list saved by a Windows editor ends its lines in CR LF and may start with a BOM.
        QByteArray line = raw.trimmed();
        if (number == 1 && line.startsWith("\xEF\xBB\xBF"))
            line = line.mid(3).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const bool digits = std::all_of(line.begin() + (line.startsWith('-') ? 1 : 0), line.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
        bool ok = false;
        const qlonglong id = line.toLongLong(&ok);
        if (!digits || !ok || id < std::numeric_limits<qint32>::min() || id > std::numeric_limits<qint32>::max()) {
            error = QStringLiteral("line %1: '%2' is not a profile ID from -2147483648 to 2147483647")
                        .arg(number)
                        .arg(QString::fromUtf8(line.left(40)));
            return false;
        }
        ids.push_back(qint32(id));
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return true;
}

} // namespace IdList
