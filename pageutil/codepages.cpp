#include "codepages_p.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QList>

namespace Module1::detail {

bool icuCodePages()
{
    static const bool icu = QStringEncoder("windows-936").isValid() && QStringEncoder("GB18030").isValid();
    return icu;
}

// Opening an encoder costs more than encoding a row with it, so each thread keeps one.
QByteArray cp936Encode(QStringView text)
{
    if (!icuCodePages())
        return systemEncode(936, text);
    thread_local QStringEncoder encoder("windows-936");
    return encoder.encode(text);
}

QString cp936Decode(QByteArrayView bytes, bool *error)
{
    if (!icuCodePages())
        return systemDecode(936, bytes, error);
    QStringDecoder decoder("windows-936"); // a fresh one: a decoder's error flag outlives its state
    QString text = decoder.decode(bytes);
    if (error)
        *error = decoder.hasError();
    return text;
}

QByteArray gb18030Encode(QStringView oneChar)
{
    if (!icuCodePages())
        return gb18030TableEncode(oneChar.toUcs4().value(0));
    thread_local QStringEncoder encoder("GB18030");
    return encoder.encode(oneChar);
}

QString gb18030Decode(QByteArrayView code, bool *error)
{
    if (!icuCodePages()) {
        QString text = gb18030TableDecode(code);
        if (code.size() == 2 && text.isEmpty())
            text = cp936Decode(code, error); // the two-byte codes the code pages share
        else if (error)
            *error = text.isEmpty();
        return text;
    }
    QStringDecoder decoder("GB18030");
    QString text = decoder.decode(code);
    if (error)
        *error = decoder.hasError();
    return text;
}

} // namespace Module1::detail
