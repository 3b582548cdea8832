#include "pageutil.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

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

// The decoder decodePage reads a body with.
QStringDecoder decoderForPage(const QByteArray &body, const QByteArray &contentType)
{
    // A byte-order mark is skipped by the decoders; without a declared charset it decides.
    const QByteArray declared = labelAfterCharset(contentType);
    if (!declared.isEmpty())
        return decoderFor(declared);
    if (const auto bom = QStringConverter::encodingForData(body))
        return QStringDecoder(*bom);
    return decoderFor(metaCharset(body));
}
} // namespace

void decodePage(const QByteArray &body, const QByteArray &contentType, QString &out)
{
    QStringDecoder decoder = decoderForPage(body, contentType);
    decodeInto(decoder, body, out);
}

void readPage(QByteArray &body, const QByteArray &contentType, Page &out)
{
    QStringDecoder decoder = decoderForPage(body, contentType);
    // Valid UTF-8 is searched as it is: a marker's bytes can only stand where the marker
    // stands in the decoded text, so nothing needs decoding but the values cut out.
    out.isUtf8 = qstrcmp(decoder.name(), "UTF-8") == 0 && QByteArrayView(body).isValidUtf8();
    if (out.isUtf8) {
        std::swap(out.utf8, body);
        out.text.resize(0);
    } else {
        decodeInto(decoder, body, out.text);
        out.utf8.resize(0);
    }
}

bool pageMayContain(const QByteArray &body, const QByteArray &contentType, QByteArrayView asciiMarker)
{
    // In every charset whose ASCII bytes stand for themselves alone, an ASCII text can only
    // come from those very bytes; for the others only decoding tells.
    const auto spreadsAscii = [](const QByteArray &label) {
        return label.contains("16") || label.contains("32") || label.contains("ucs") || label.contains("utf-7")
            || label.contains("2022") || label.startsWith("hz");
    };
    QByteArray label = labelAfterCharset(contentType);
    if (label.isEmpty()) {
        if (const auto bom = QStringConverter::encodingForData(body))
            return *bom != QStringConverter::Utf8 || body.contains(asciiMarker);
        label = metaCharset(body);
    }
    return spreadsAscii(label) || body.contains(asciiMarker);
}

QString decodePage(const QByteArray &body, const QByteArray &contentType)
{
    QString out;
    decodePage(body, contentType, out);
    return out;
}

namespace {
// Windows code page 936 where it has the character, so a spreadsheet on a Chinese system
// reads the file as meant; GB18030's four-byte form for what it lacks (an emoji).
// Opening a converter costs more than encoding a row with it, so one of each is kept. Whether
// code page 936 has a text is told by reading the bytes back: ICU's error flag is not kept
// reliably from one call to the next.
QStringEncoder &gb18030()
{
    thread_local QStringEncoder encoder("GB18030");
    return encoder;
}

bool isPrivateUse(QChar c) { return c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF; }

// Two-byte codes read as code page 936 does, except where it gives a private-use character and
// GB18030 a real one: such bytes were written for a character that code page 936 lacks (ǹ is
// A8 BF in GB18030, a private-use character in code page 936).
QString decodeCp936Run(QByteArrayView bytes, QStringDecoder &cp936, QStringDecoder &gb18030)
{
    QString text = cp936.decode(bytes);
    if (std::none_of(text.cbegin(), text.cend(), isPrivateUse))
        return text;
    text.clear();
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype width = uchar(bytes[i]) >= 0x81 && uchar(bytes[i]) <= 0xFE && i + 1 < bytes.size() ? 2 : 1;
        const QByteArrayView code = bytes.sliced(i, width);
        QString one = cp936.decode(code);
        if (one.size() == 1 && isPrivateUse(one[0])) {
            const QString other = gb18030.decode(code);
            if (other.size() == 1 && !isPrivateUse(other[0]))
                one = other;
        }
        text += one;
        i += width;
    }
    return text;
}

// Whether the bytes of code page 936 read back as the text they were made from.
bool encodeCp936(QStringView text, QByteArray &bytes)
{
    thread_local QStringEncoder encoder("windows-936");
    thread_local QStringDecoder cp936("windows-936");
    thread_local QStringDecoder gb18030("GB18030");
    bytes = encoder.encode(text);
    return decodeCp936Run(bytes, cp936, gb18030) == text;
}

void encodeRun(QStringView run, QByteArray &out)
{
    if (run.isEmpty())
        return;
    QByteArray bytes;
    if (encodeCp936(run, bytes)) {
        out += bytes;
        return;
    }
    for (qsizetype i = 0; i < run.size(); ++i) {
        const QStringView one = run.mid(i, 1);
        out += encodeCp936(one, bytes) ? bytes : QByteArray(gb18030().encode(one));
    }
}

bool isFourByte(const char *p, qsizetype left)
{
    const auto b = [p](int i) { return uchar(p[i]); };
    return left >= 4 && b(0) >= 0x81 && b(0) <= 0xFE && b(1) >= 0x30 && b(1) <= 0x39 && b(2) >= 0x81
        && b(2) <= 0xFE && b(3) >= 0x30 && b(3) <= 0x39;
}
} // namespace

QByteArray encodeText(QStringView text)
{
    static const bool haveCodePages = QStringEncoder("windows-936").isValid() && gb18030().isValid();
    if (!haveCodePages)
        return text.toUtf8(); // a Qt without ICU: keep every character rather than lose it
    QByteArray out;
    out.reserve(text.size() * 2);
    // Code page 936 has nothing beyond the BMP, so runs between such characters go whole.
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text[i].isSurrogate())
            continue;
        encodeRun(text.mid(runStart, i - runStart), out);
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += QByteArray(gb18030().encode(text.mid(i, 2)));
            ++i;
        } else {
            out += '?'; // half a character: no encoding has it
        }
        runStart = i + 1;
    }
    encodeRun(text.mid(runStart), out);
    return out;
}

QString decodeText(const QByteArray &bytes, bool *ok)
{
    QStringDecoder cp936("windows-936");
    QStringDecoder gb18030("GB18030");
    if (!cp936.isValid() || !gb18030.isValid()) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(bytes);
        if (ok)
            *ok = !utf8.hasError();
        return text;
    }
    QString out;
    const char *p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype runStart = 0, i = 0;
    while (i < n) {
        if (!isFourByte(p + i, n - i)) {
            i += uchar(p[i]) >= 0x81 && uchar(p[i]) <= 0xFE && i + 1 < n ? 2 : 1;
            continue;
        }
        out += decodeCp936Run(QByteArrayView(p + runStart, i - runStart), cp936, gb18030);
        out += gb18030.decode(QByteArrayView(p + i, 4));
        i += 4;
        runStart = i;
    }
    out += decodeCp936Run(QByteArrayView(p + runStart, qMin(i, n) - runStart), cp936, gb18030);
    if (ok)
        *ok = !cp936.hasError() && !gb18030.hasError();
    return out;
}

} // namespace Module1
