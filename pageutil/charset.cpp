#include "pageutil.h"
#include "codepages_p.h"
#include "utf8check_p.h"

#include <QStringDecoder>

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
    // Read for every page, so the tags are found in place rather than in a lowered copy.
    const QByteArrayView head = QByteArrayView(body).first(qMin<qsizetype>(body.size(), 1024));
    for (qsizetype at = head.indexOf('<'); at >= 0; at = head.indexOf('<', at + 1)) {
        if (head.size() - at < 5 || qstrnicmp(head.data() + at + 1, 4, "meta", 4) != 0)
            continue;
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
void decodeInto(QStringDecoder &decoder, QByteArrayView body, QString &out)
{
    out.resize(decoder.requiredSpace(body.size()));
    QChar *const begin = out.data();
    QChar *const end = decoder.appendToBuffer(begin, body);
    out.resize(end - begin);
}

// A label as pages are read in it: the GB family as GB18030, and a charset neither Qt nor the
// system can read as UTF-8.
QByteArray readableLabel(QByteArray label)
{
    if (label == "gbk" || label == "gb2312" || label == "x-gbk" || label == "gb_2312-80" || label == "cp936"
        || label == "windows-936" || label == "gb18030")
        return "GB18030";
    if (label.isEmpty() || label == "utf-8" || label == "utf8")
        return "UTF-8";
    if (QStringDecoder(label.constData()).isValid() || detail::systemCodePage(label) != 0)
        return label;
    return "UTF-8"; // an unknown label falls back to UTF-8
}

// The charset decodePage reads a body in.
QByteArray pageCharset(const QByteArray &body, const QByteArray &contentType)
{
    // A byte-order mark is skipped by the decoders; without a declared charset it decides.
    const QByteArray declared = labelAfterCharset(contentType);
    if (!declared.isEmpty())
        return readableLabel(declared);
    if (const auto bom = QStringConverter::encodingForData(body))
        return QStringConverter::nameForEncoding(*bom);
    return readableLabel(metaCharset(body));
}

void decodeAs(const QByteArray &label, const QByteArray &body, QString &out)
{
    if (label == "GB18030" && !detail::icuCodePages()) {
        out = decodeText(body);
        return;
    }
    if (label == "GB18030" && detail::decodeGb18030Quickly(body, out))
        return;
    QStringDecoder decoder(label.constData());
    if (decoder.isValid())
        decodeInto(decoder, body, out);
    else
        out = detail::systemDecode(detail::systemCodePage(label), body);
}
} // namespace

void decodePage(const QByteArray &body, const QByteArray &contentType, QString &out)
{
    decodeAs(pageCharset(body, contentType), body, out);
}

void readPage(QByteArray &body, const QByteArray &contentType, Page &out)
{
    const QByteArray label = pageCharset(body, contentType);
    // Valid UTF-8 is searched as it is: a marker's bytes can only stand where the marker
    // stands in the decoded text, so nothing needs decoding but the values cut out.
    out.isUtf8 = label == "UTF-8" && detail::isValidUtf8(body);
    if (out.isUtf8) {
        std::swap(out.utf8, body);
        out.text.resize(0);
    } else {
        decodeAs(label, body, out.text);
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
bool isPrivateUse(QChar c) { return c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF; }

// Two-byte codes read as code page 936 does, except where it gives a private-use character and
// GB18030 a real one: such bytes were written for a character that code page 936 lacks (ǹ is
// A8 BF in GB18030, a private-use character in code page 936).
QString decodeCp936Run(QByteArrayView bytes, bool &error)
{
    bool runError = false;
    QString text = detail::cp936Decode(bytes, &runError);
    error = error || runError;
    if (std::none_of(text.cbegin(), text.cend(), isPrivateUse))
        return text;
    text.clear();
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype width = uchar(bytes[i]) >= 0x81 && uchar(bytes[i]) <= 0xFE && i + 1 < bytes.size() ? 2 : 1;
        const QByteArrayView code = bytes.sliced(i, width);
        QString one = detail::cp936Decode(code);
        if (one.size() == 1 && isPrivateUse(one[0]) && width == 2) {
            const QString other = detail::gb18030Decode(code);
            if (other.size() == 1 && !isPrivateUse(other[0]))
                one = other;
        }
        text += one;
        i += width;
    }
    return text;
}

// Whether the bytes of code page 936 read back as the text they were made from. ICU's error
// flag is not kept reliably from one call to the next, so reading back is the test.
bool encodeCp936(QStringView text, QByteArray &bytes)
{
    bytes = detail::cp936Encode(text);
    bool error = false;
    return decodeCp936Run(bytes, error) == text;
}

// A run that code page 936 cannot take whole is halved until the characters it lacks stand
// alone, so a long text with one such character costs a few more calls, not one a character.
void encodeRun(QStringView run, QByteArray &out)
{
    if (run.isEmpty())
        return;
    QByteArray bytes;
    if (encodeCp936(run, bytes)) {
        out += bytes;
        return;
    }
    if (run.size() == 1) {
        out += detail::gb18030Encode(run);
        return;
    }
    encodeRun(run.first(run.size() / 2), out);
    encodeRun(run.sliced(run.size() / 2), out);
}

bool isFourByte(const char *p, qsizetype left)
{
    const auto b = [p](int i) { return uchar(p[i]); };
    return left >= 4 && b(0) >= 0x81 && b(0) <= 0xFE && b(1) >= 0x30 && b(1) <= 0x39 && b(2) >= 0x81
        && b(2) <= 0xFE && b(3) >= 0x30 && b(3) <= 0x39;
}

bool haveCodePages()
{
    static const bool have = detail::icuCodePages() || detail::systemCodePage("windows-936") != 0;
    return have;
}
} // namespace

QByteArray encodeText(QStringView text)
{
    if (!haveCodePages())
        return text.toUtf8(); // no code page converters at all: keep every character rather than lose it
    QByteArray out;
    out.reserve(text.size() * 2);
    // Code page 936 has nothing beyond the BMP, so runs between such characters go whole.
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text[i].isSurrogate())
            continue;
        encodeRun(text.mid(runStart, i - runStart), out);
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += detail::gb18030Encode(text.mid(i, 2));
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
    if (!haveCodePages()) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(bytes);
        if (ok)
            *ok = !utf8.hasError();
        return text;
    }
    bool error = false;
    QString out;
    const char *p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype runStart = 0, i = 0;
    while (i < n) {
        if (!isFourByte(p + i, n - i)) {
            i += uchar(p[i]) >= 0x81 && uchar(p[i]) <= 0xFE && i + 1 < n ? 2 : 1;
            continue;
        }
        out += decodeCp936Run(QByteArrayView(p + runStart, i - runStart), error);
        bool codeError = false;
        out += detail::gb18030Decode(QByteArrayView(p + i, 4), &codeError);
        error = error || codeError;
        i += 4;
        runStart = i;
    }
    out += decodeCp936Run(QByteArrayView(p + runStart, qMin(i, n) - runStart), error);
    if (ok)
        *ok = !error;
    return out;
}

} // namespace Module1
