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

// Decodes into out's own storage, so a buffer kept from the previous page is reused.
void decodeInto(QStringDecoder &decoder, const QByteArray &body, QString &out)
{
    out.resize(decoder.requiredSpace(body.size()));
    QChar *const begin = out.data();
    QChar *const end = decoder.appendToBuffer(begin, body);
    out.resize(end - begin);
}

QStringDecoder decoderFor(QByteArray label)
{
    if (label == "gbk" || label == "gb2312" || label == "x-gbk" || label == "gb_2312-80"
        || label == "cp936" || label == "windows-936")
        label = "GB18030";
    if (!label.isEmpty() && label != "utf-8" && label != "utf8") {
        QStringDecoder decoder(label.constData());
        if (decoder.isValid())
            return decoder;
    }
    return QStringDecoder(QStringConverter::Utf8); // an unknown label falls back to UTF-8
}
} // namespace

void decodePage(const QByteArray &body, const QByteArray &contentType, QString &out)
{
    // A byte-order mark is skipped by the decoders; without a declared charset it decides.
    const QByteArray declared = labelAfterCharset(contentType);
    if (!declared.isEmpty()) {
        QStringDecoder decoder = decoderFor(declared);
        decodeInto(decoder, body, out);
        return;
    }
    if (const auto bom = QStringConverter::encodingForData(body)) {
        QStringDecoder decoder(*bom);
        decodeInto(decoder, body, out);
        return;
    }
    QStringDecoder decoder = decoderFor(metaCharset(body));
    decodeInto(decoder, body, out);
}

QString decodePage(const QByteArray &body, const QByteArray &contentType)
{
    QString out;
    decodePage(body, contentType, out);
    return out;
}

QByteArray encodeText(QStringView text)
{
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid())
        return text.toUtf8(); // a Qt without ICU: keep every character rather than lose it
    return encoder.encode(text);
}

} // namespace Module1
