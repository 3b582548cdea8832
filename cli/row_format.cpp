#include "row_format.h"
#include "result_model.h"

#include "pageutil.h"

namespace {
const char *const kKeys[ResultModel::kColumns] = {"index", "name",  "homepage_id", "user_id", "grade",
                                                   "plays", "works", "shares",      "follows", "fans"};

void appendJsonString(QString &out, const QString &value)
{
    out += u'"';
    for (QChar c : value) {
        switch (c.unicode()) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
}
} // namespace

RowFormat::RowFormat(const CliOptions &options) : m_format(options.format), m_utf8(options.utf8) {}

QByteArray RowFormat::encode(const QString &text) const
{
    return m_utf8 || m_format == CliOptions::JsonLines ? text.toUtf8() : Module1::encodeText(text);
}

QByteArray RowFormat::begin() const
{
    if (m_format == CliOptions::JsonLines)
        return {};
    QString header;
    Module1::appendCsvHeader(header, ResultModel());
    return (m_utf8 ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + encode(header);
}

QByteArray RowFormat::row(const ResultModel &list, int row) const
{
    QString line;
    if (m_format == CliOptions::Csv) {
        Module1::appendCsvRow(line, list, row);
        return encode(line);
    }
    line += u'{';
    for (int c = 0; c < ResultModel::kColumns; ++c) {
        if (c > 0)
            line += u',';
        line += u'"';
        line += QLatin1String(kKeys[c]);
        line += QStringLiteral("\":");
        appendJsonString(line, list.cell(row, c));
    }
    line += QStringLiteral("}\n");
    return encode(line);
}

QByteArray RowFormat::end() const
{
    return m_format == CliOptions::Csv ? QByteArray("\r\n") : QByteArray();
}

QByteArray RowFormat::whole(const ResultModel &list) const
{
    QByteArray out = begin();
    for (int r = 0; r < list.rowCount(); ++r)
        out += row(list, r);
    return out + end();
}
