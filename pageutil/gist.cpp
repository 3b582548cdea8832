#include "pageutil.h"

namespace Module1 {

namespace {
// A title or the first words sit near the top; the rest of a page is never looked at.
constexpr qsizetype kHead = 8192;
constexpr qsizetype kGistChars = 60;

QString cut(QString text)
{
    text = text.simplified();
    if (text.size() > kGistChars)
        text.truncate(kGistChars);
    return text;
}

QString title(QStringView head)
{
    const qsizetype open = head.indexOf(u"<title", 0, Qt::CaseInsensitive);
    if (open < 0)
        return {};
    const qsizetype from = head.indexOf(u'>', open);
    const qsizetype to = from < 0 ? -1 : head.indexOf(u"</title", from, Qt::CaseInsensitive);
    return to < 0 ? QString() : cut(head.mid(from + 1, to - from - 1).toString());
}

// The text outside tags, scripts and styles, as far as the head goes.
QString firstWords(QStringView head)
{
    QString words;
    for (qsizetype i = 0; i < head.size() && words.size() < 4 * kGistChars;) {
        if (head[i] != u'<') {
            words += head[i++];
            continue;
        }
        for (const QStringView block : {QStringView(u"script"), QStringView(u"style")}) {
            if (head.mid(i + 1, block.size()).compare(block, Qt::CaseInsensitive) == 0) {
                const qsizetype end = head.indexOf(QStringLiteral("</") + block.toString(), i, Qt::CaseInsensitive);
                i = end < 0 ? head.size() : end;
            }
        }
        const qsizetype close = head.indexOf(u'>', i);
        i = close < 0 ? head.size() : close + 1;
        words += u' ';
    }
    return cut(words);
}
} // namespace

QString pageGist(QStringView text)
{
    const QStringView head = text.left(kHead);
    const QString named = title(head);
    return named.isEmpty() ? firstWords(head) : named;
}

QString pageGist(const QByteArray &body, const QByteArray &contentType)
{
    // Only as far as the title's end is decoded (ASCII markup reads the same in every charset
    // a page comes in): most pages without a profile are read for this alone.
    const QByteArrayView head(body.constData(), qMin(body.size(), kHead));
    qsizetype title = head.indexOf("</title");
    if (title < 0)
        title = head.indexOf("</TITLE");
    const qsizetype size = title < 0 ? head.size() : qMin(head.size(), title + 8);
    return pageGist(decodePage(QByteArray::fromRawData(body.constData(), size), contentType));
}

QString pageGist(const Page &page)
{
    return page.isUtf8 ? pageGist(QString::fromUtf8(QByteArrayView(page.utf8).first(qMin(page.utf8.size(), kHead))))
                       : pageGist(page.text);
}

} // namespace Module1
