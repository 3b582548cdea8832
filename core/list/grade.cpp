#include "grade.h"

#include <vector>

#include "pageutil.h"

namespace Grade {

namespace {
const QString &tierName(int tier)
{
    static const QString names[] = {
        QString(),
        QStringLiteral("歌唱新人"),
        QStringLiteral("闪亮新秀"),
        QStringLiteral("人气偶像"),
        QStringLiteral("超级明星"),
        QStringLiteral("超级巨星"),
    };
    return names[tier];
}
} // namespace

const QStringList &scale()
{
    static const QStringList labels = [] {
        QStringList list{QStringLiteral("尚未出道")};
        for (int tier = 1; tier <= 5; ++tier) {
            for (int level = 1; level <= 5; ++level)
                list << tierName(tier) + u' ' + QString::number(level);
        }
        return list;
    }();
    return labels;
}

int indexOf(QStringView label)
{
    const QStringList &labels = scale();
    for (int i = 0; i < kScaleSize; ++i) {
        if (labels[i] == label)
            return i;
    }
    return kScaleSize;
}

int indexOf(QUtf8StringView label)
{
    static const std::vector<QByteArray> labels = [] {
        std::vector<QByteArray> out;
        for (const QString &text : scale())
            out.push_back(text.toUtf8());
        return out;
    }();
    for (int i = 0; i < kScaleSize; ++i) {
        if (QByteArrayView(labels[size_t(i)]) == QByteArrayView(label.data(), label.size()))
            return i;
    }
    return kScaleSize;
}

namespace {
char16_t unit(QChar c) { return c.unicode(); }
char16_t unit(char c) { return uchar(c); }

template <typename View>
QString deriveIn(View page, View stem)
{
    // "singergrade" cannot overlap itself, so one scan counts every "singergradeK" exactly
    // as a separate non-overlapping count of each marker would.
    int counts[6] = {};
    for (qsizetype at = Module1::findMarker(page, stem); at >= 0;
         at = Module1::findMarker(page, stem, at + stem.size())) {
        const qsizetype next = at + stem.size();
        if (next < page.size() && unit(page[next]) >= u'1' && unit(page[next]) <= u'5')
            ++counts[unit(page[next]) - u'0'];
    }
    for (int tier = 5; tier >= 1; --tier) {
        if (counts[tier] > 0)
            return tierName(tier) + u' ' + QString::number(counts[tier]);
    }
    return scale().first();
}
} // namespace

QString derive(QStringView page) { return deriveIn(page, QStringView(u"singergrade")); }
QString derive(QUtf8StringView page) { return deriveIn(page, QUtf8StringView("singergrade")); }

} // namespace Grade
