#include "row_format.h"
#include "journal_reader.h"
#include "result_model.h"

#include <QIODevice>
#include <QStringEncoder>

#include "pageutil.h"

namespace {
// Whether the locale writes Chinese as code page 936 does (a Chinese Windows console): then
// its bytes are the window's, with GB18030's for what the code page lacks.
bool localeIsCp936()
{
    static const bool cp936 = QStringEncoder(QStringConverter::System).encode(u"中文") == QByteArray("\xD6\xD0\xCE\xC4");
    return cp936;
}
} // namespace

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

RowFormat::RowFormat(const CliOptions &options) : m_format(options.format), m_encoding(options.encoding) {}

QByteArray RowFormat::encode(const QString &text) const
{
    if (m_format == CliOptions::JsonLines || m_encoding == CliOptions::Utf8)
        return text.toUtf8();
    if (m_encoding == CliOptions::Locale && !localeIsCp936())
        return QStringEncoder(QStringConverter::System).encode(text);
    return Module1::encodeText(text);
}

QByteArray RowFormat::begin() const
{
    if (m_format == CliOptions::JsonLines)
        return {};
    QString header;
    Module1::appendCsvHeader(header, ResultModel());
    return (m_encoding == CliOptions::Utf8 ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + encode(header);
}

QByteArray RowFormat::row(const ResultModel &list, int row) const
{
    if (m_format == CliOptions::Csv) {
        QString line;
        Module1::appendCsvRow(line, list, row);
        return encode(line);
    }
    ResultModel::Row cells;
    for (int c = 0; c < ResultModel::kColumns; ++c)
        cells[size_t(c)] = list.cell(row, c);
    return this->row(cells);
}

QByteArray RowFormat::row(const ResultModel::Row &cells) const
{
    if (m_format == CliOptions::Csv) {
        QString line;
        Module1::appendCsvRow(line, cells.data(), int(cells.size()));
        return encode(line);
    }
    QString line = QStringLiteral("{");
    for (int c = 0; c < ResultModel::kColumns; ++c) {
        if (c > 0)
            line += u',';
        line += u'"';
        line += Column::key(c);
        line += QStringLiteral("\":");
        appendJsonString(line, cells[size_t(c)]);
    }
    line += QStringLiteral("}\n");
    return encode(line);
}

bool RowFormat::convertJournal(QIODevice &journal, QIODevice &out) const
{
    bool written = true;
    const auto put = [&out, &written](const QByteArray &bytes) {
        written = written && out.write(bytes) == bytes.size();
    };
    if (m_format == CliOptions::Csv && m_encoding == CliOptions::WindowBytes) {
        // The journal is the file already, but for its closing line.
        if (journal.size() == 0)
            put(begin());
        for (QByteArray piece; !(piece = journal.read(1 << 20)).isEmpty();)
            put(piece);
    } else {
        put(begin());
        const JournalReader::Reading read = JournalReader::read(journal, [&](const ResultModel::Row &cells) { put(row(cells)); });
        if (!read.ok || read.torn)
            return false;
    }
    put(end());
    return written;
}

QByteArray RowFormat::end() const
{
    return m_format == CliOptions::Csv ? QByteArray("\r\n") : QByteArray();
}
