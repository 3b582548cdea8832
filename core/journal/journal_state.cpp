#include "journal_state.h"

#include <QFile>

namespace JournalState {

namespace {
// "absence STATUS KEY", the key percent-encoded: a line without "=", which older versions pass over.
QByteArray absenceLine(const AbsentPages::Look &look)
{
    return "absence " + QByteArray::number(look.status) + ' ' + look.key.toUtf8().toPercentEncoding() + "\r\n";
}

bool readAbsence(const QByteArray &line, QList<AbsentPages::Look> &into)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() < 2 || words.size() > 3 || words[0] != "absence")
        return false;
    bool ok = false;
    const int status = words[1].toInt(&ok);
    if (ok)
        into.append({status, QString::fromUtf8(QByteArray::fromPercentEncoding(words.value(2)))});
    return true;
}

// "pace RATE PROVEN BURST IN_FLIGHT": also a line without "=".
bool readPace(const QByteArray &line, KeptPace &into)
{
    if (!line.startsWith("pace "))
        return false;
    into = KeptPace::fromLine(QString::fromLatin1(line.mid(5)));
    return true;
}

} // namespace

bool read(const QString &path, State &state)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    int seen = 0;
    for (const QByteArray &line : lines) {
        if (readAbsence(line, state.absences) || readPace(line, state.pace))
            continue;
        const QList<QByteArray> kv = line.trimmed().split('=');
        if (kv.size() != 2)
            continue;
        bool ok = false;
        const qint64 value = kv[1].toLongLong(&ok);
        if (!ok)
            return false;
        const std::pair<const char *, qint64 *> fields[] = {
            {"first", &state.first}, {"last", &state.last}, {"finished", &state.finished}, {"rows", &state.rows}};
        for (int f = 0; f < 4; ++f) {
            if (kv[0] == fields[f].first) {
                *fields[f].second = value;
                seen |= 1 << f;
            }
        }
        const std::pair<const char *, qint64 *> counts[] = {{"visited", &state.counts.visited},
                                                            {"kept", &state.counts.kept},
                                                            {"outside", &state.counts.outOfRange},
                                                            {"absent", &state.counts.absent},
                                                            {"failed", &state.counts.failed}};
        for (const auto &count : counts) {
            if (kv[0] == count.first)
                *count.second = value;
        }
    }
    return seen == 15; // every field, or no state at all
}

QByteArray text(const State &state)
{
    QByteArray text = "first=" + QByteArray::number(state.first) + "\r\nlast=" + QByteArray::number(state.last)
        + "\r\nfinished=" + QByteArray::number(state.finished) + "\r\nrows=" + QByteArray::number(state.rows)
        + "\r\nvisited=" + QByteArray::number(state.counts.visited) + "\r\nkept=" + QByteArray::number(state.counts.kept)
        + "\r\noutside=" + QByteArray::number(state.counts.outOfRange) + "\r\nabsent=" + QByteArray::number(state.counts.absent)
        + "\r\nfailed=" + QByteArray::number(state.counts.failed) + "\r\n";
    for (const AbsentPages::Look &look : state.absences)
        text += absenceLine(look);
    if (state.pace.known())
        text += "pace " + state.pace.line().toLatin1() + "\r\n";
    return text;
}

} // namespace JournalState
