#include "journal_reader.h"
#include "csv_rows.h"

#include <QIODevice>

#include "pageutil.h"

namespace JournalReader {

namespace {
constexpr qint64 kPieceBytes = 1 << 20;
}

QString headerLine()
{
    QString line;
    Module1::appendCsvHeader(line, ResultModel());
    return line;
}

Reading read(QIODevice &in, const std::function<void(const ResultModel::Row &)> &eachRow)
{
    Reading out;
    const QString header = headerLine();
    QByteArray rest; // bytes read but not yet taken as whole rows
    qint64 read = 0;
    for (QByteArray piece; out.ok && !(piece = in.read(kPieceBytes)).isEmpty();) {
        read += piece.size();
        rest += piece;
        // Every piece ends at a line end: CR LF never occurs inside a GB18030 character.
        const qsizetype cut = rest.lastIndexOf("\r\n");
        if (cut < 0)
            continue;
        bool decoded = true;
        const QString text = Module1::decodeText(rest.left(cut + 2), &decoded);
        qsizetype from = 0;
        if (!out.headerSeen) {
            out.headerSeen = text.startsWith(header);
            from = header.size();
        }
        CsvRows::Parsed parsed;
        if (decoded && out.headerSeen)
            parsed = CsvRows::parse(QStringView(text).mid(from));
        else
            parsed.ok = false;
        out.ok = parsed.ok;
        for (const ResultModel::Row &row : parsed.rows)
            eachRow(row);
        out.rows += qint64(parsed.rows.size());
        // A row cut at the piece's end (a value may hold a line break) is read with the next.
        rest = Module1::encodeText(QStringView(text).mid(from + parsed.consumed)) + rest.mid(cut + 2);
    }
    if (!out.headerSeen && out.ok)
        out.ok = header.startsWith(Module1::decodeText(rest));
    out.wholeBytes = read - rest.size();
    out.torn = !rest.isEmpty();
    return out;
}

} // namespace JournalReader
