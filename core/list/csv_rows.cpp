#include "csv_rows.h"

namespace CsvRows {

namespace {
enum class Field { Ok, Bad, Torn };

// One sub-item at text[at], through its comma; at moves past it.
Field subItem(QStringView text, qsizetype &at, QString &value)
{
    const qsizetype n = text.size();
    value.clear();
    if (text.mid(at).startsWith(u"=\"")) {
        const qsizetype end = text.indexOf(u'"', at + 2);
        const qsizetype lineBreak = text.indexOf(u'\n', at);
        // A bare value holds no quote and no line break.
        if (lineBreak >= 0 && (end < 0 || lineBreak < end))
            return Field::Bad;
        if (end < 0 || end + 1 >= n)
            return Field::Torn;
        if (text[end + 1] != u',')
            return Field::Bad;
        value = text.mid(at + 2, end - at - 2).toString();
        at = end + 2;
        return Field::Ok;
    }
    if (!text.mid(at).startsWith(u"\"=\"\"")) {
        return text.size() - at < 4 && QStringView(u"\"=\"\"").startsWith(text.mid(at)) ? Field::Torn
                                                                                           : Field::Bad;
    }
    // A quoted CSV field holding ="value", its quotes doubled once for the field and once
    // for the formula's string.
    QString field;
    qsizetype i = at + 1;
    for (;;) {
        if (i >= n)
            return Field::Torn;
        if (text[i] == u'"') {
            if (i + 1 >= n)
                return Field::Torn;
            if (text[i + 1] == u'"') {
                field += u'"';
                i += 2;
                continue;
            }
            if (text[i + 1] != u',')
                return Field::Bad;
            break;
        }
        field += text[i++];
    }
    if (!field.startsWith(u"=\"") || !field.endsWith(u'"') || field.size() < 3)
        return Field::Bad;
    value = field.mid(2, field.size() - 3);
    value.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    at = i + 2;
    return Field::Ok;
}
} // namespace

Parsed parse(QStringView text)
{
    Parsed out;
    qsizetype at = 0;
    const qsizetype n = text.size();
    while (at < n) {
        ResultModel::Row row;
        const qsizetype comma = text.indexOf(u',', at);
        const qsizetype lineEnd = text.indexOf(u"\r\n", at);
        if (comma < 0 || (lineEnd >= 0 && lineEnd < comma)) {
            if (lineEnd < 0)
                out.torn = true;
            else
                out.ok = false;
            return out;
        }
        row[Column::Index] = text.mid(at, comma - at).toString();
        at = comma + 1;
        for (int c = Column::Name; c < Column::kCount; ++c) {
            const Field f = subItem(text, at, row[size_t(c)]);
            if (f == Field::Torn) {
                out.torn = true;
                return out;
            }
            if (f == Field::Bad) {
                out.ok = false;
                return out;
            }
        }
        if (at + 1 >= n) {
            out.torn = true;
            return out;
        }
        if (text[at] != u'\r' || text[at + 1] != u'\n') {
            out.ok = false;
            return out;
        }
        at += 2;
        out.rows.push_back(std::move(row));
        out.consumed = at;
    }
    return out;
}

} // namespace CsvRows
