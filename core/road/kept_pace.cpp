#include "kept_pace.h"

#include <QList>

QString KeptPace::line() const
{
    return QStringLiteral("%1 %2 %3 %4").arg(rate, 0, 'f', 3).arg(proven, 0, 'f', 3).arg(burst).arg(inFlight);
}

KeptPace KeptPace::fromLine(QStringView line)
{
    const QList<QStringView> words = line.trimmed().split(u' ', Qt::SkipEmptyParts);
    if (words.size() != 4)
        return {};
    bool ok[4] = {};
    KeptPace kept{words[0].toDouble(&ok[0]), words[1].toDouble(&ok[1]), words[2].toLongLong(&ok[2]), words[3].toInt(&ok[3])};
    const bool sane = kept.rate >= 0 && kept.proven >= 0 && kept.inFlight >= 0 && kept.inFlight <= 64;
    return ok[0] && ok[1] && ok[2] && ok[3] && sane ? kept : KeptPace();
}
