#include "pageutil.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Module1 {

namespace {
bool isLabelChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
        || c == '_' || c == '.' || c == ':';
}

// The label after "charset" [blanks] "=" [blanks or quotes] in text, or empty.
QByteArray labelAfterCharset(QByteArrayView text)
{
    const QByteArray lower = text.toByteArray().toLower();
    for (qsizetype at = lower.indexOf("charset"); at >= 0;
         at = lower.indexOf("charset", at + 1)) {
        qsizetype i = at + 7;
        while (i < lower.size() && (lower[i] == ' ' || lower[i] == '\t'))
            ++i;
        if (i >= lower.size() || lower[i] != '=')
            continue;
        ++i;
        while (i < lower.size() && (lower[i] == ' ' || lower[i] == '\t' || lower[i] == '"'
                                     || lower[i] == '\''))
            ++i;
        const qsizetype start = i;
        while (i < lower.size() && isLabelChar(lower[i]))
            ++i;
        if (i > start)
            return lower.mid(start, i - start);
    }
    return {};
}

// A charset declared by a <meta> tag in the first 1,024 bytes, or empty.
QByteArray metaCharset(const QByteArray &body)
{
    const QByteArray head = body.left(1024).toLower();
    for (qsizetype at = head.indexOf("<meta"); at >= 0; at = head.indexOf("<meta", at + 5)) {
        qsizetype end = head.indexOf('>', at);
        if (end < 0)
            end = head.size();
        const QByteArray label = labelAfterCharset(QByteArrayView(head).sliced(at, end - at));
        if (!label.isEmpty())
            return label;
    }
    return {};
}

QString decodeWith(const QByteArray &body, QByteArray label)
{
    if (label == "gbk" || label == "gb2312" || label == "x-gbk" || label == "gb_2312-80"
        || label == "cp936" || label == "windows-936")
        label = "GB18030";
    if (label.isEmpty() || label == "utf-8" || label == "utf8")
        return QString::fromUtf8(body);
    QStringDecoder decoder(label.constData());
    if (!decoder.isValid())
        return QString::fromUtf8(body); // an unknown label falls back to UTF-8
    return decoder.decode(body);
}
} // namespace

QString decodePage(const QByteArray &body, const QByteArray &contentType)
{
    const QByteArray declared = labelAfterCharset(contentType);
    if (!declared.isEmpty()) {
        // A byte-order mark that agrees with the label is not part of the text.
        QString text = decodeWith(body, declared);
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    if (const auto bom = QStringConverter::encodingForData(body)) {
        QStringDecoder decoder(*bom);
        return decoder.decode(body);
    }
    return decodeWith(body, metaCharset(body));
}

QByteArray encodeText(QStringView text)
{
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid())
        return text.toUtf8(); // a Qt without ICU: keep every character rather than lose it
    return encoder.encode(text);
}

} // namespace Module1
