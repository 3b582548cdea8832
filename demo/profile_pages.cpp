#include "profile_pages.h"

#include "pageutil.h"

#include <QStringEncoder>

namespace DemoPages {

namespace {
// A small deterministic generator, so a page is the same on every run and machine.
struct Rng
{
    quint64 state;
    explicit Rng(qint64 seed) : state(quint64(seed) * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
    quint32 next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return quint32((state * 0x2545F4914F6CDD1Dull) >> 32);
    }
    int below(int n) { return int(next() % quint32(n)); }
};

const char16_t *const kNameParts[] = {u"小", u"阿", u"月", u"星", u"风", u"雨", u"晴", u"歌",
                                      u"梦", u"云", u"夏", u"夜", u"糖", u"鱼", u"橙", u"光"};
const char16_t *const kSongs[] = {u"晴天", u"稻香", u"后来", u"小幸运", u"平凡之路", u"光年之外",
                                  u"起风了", u"告白气球", u"说散就散", u"年少有为"};
// Among them characters code page 936 lacks (ǹ) or holds in one byte (€).
const char16_t *const kLatin[] = {u"Luna", u"Echo", u"Mika", u"Kai", u"Nova", u"Zed€", u"Ivy", u"Lǹo"};

QString tierName(int tier)
{
    static const char16_t *const names[] = {u"", u"歌唱新人", u"闪亮新秀", u"人气偶像", u"超级明星",
                                            u"超级巨星"};
    return QString::fromUtf16(names[tier]);
}
} // namespace

QString Profile::gradeLabel() const
{
    if (tier == 0)
        return QStringLiteral("尚未出道");
    return tierName(tier) + u' ' + QString::number(level);
}

QStringList Profile::rowCells(qint64 id, int index) const
{
    return {QString::number(index), name, QString::number(id), userId, gradeLabel(), QString::number(plays),
            QString::number(works), QString::number(shares), QString::number(follows), fansText()};
}

QString Profile::fansText() const
{
    if (!shortFans || fans < 10000)
        return QString::number(fans);
    return QString::number(fans / 10000.0, 'f', 1) + u'万';
}

Profile profile(qint64 id)
{
    Rng rng(id);
    Profile p;
    p.exists = rng.below(10) >= 2; // about one ID in five has no profile
    if (!p.exists)
        return p;
    const int style = rng.below(6);
    if (style == 0) {
        p.name = QString::fromUtf16(kLatin[rng.below(8)]) + QString::number(rng.below(1000));
    } else {
        const int parts = 2 + rng.below(3);
        for (int i = 0; i < parts; ++i)
            p.name += QString::fromUtf16(kNameParts[rng.below(16)]);
        if (style == 1)
            p.name += QString::fromUtf16(u"\U0001F3A4"); // a microphone emoji, outside GBK
    }
    p.userId = QString::number(10000000 + qint64(rng.next() % 89999999u));
    p.tier = rng.below(6);
    p.level = p.tier == 0 ? 0 : 1 + rng.below(5);
    p.plays = rng.below(200000);
    p.works = rng.below(500);
    p.shares = rng.below(100);
    p.follows = rng.below(1000);
    p.fans = rng.below(50000);
    p.gbk = rng.below(8) == 0;
    return p;
}

Profile profile(qint64 id, int week)
{
    Profile p = profile(id);
    if (week == 0)
        return p;
    Rng rng(id * 1000003 + week);
    if (!p.exists) { // about one empty ID in ten is taken by a new profile
        if (rng.below(10) == 0)
            p = profile(id + 7777777), p.exists = true;
        return p;
    }
    if (rng.below(25) == 0) // about one profile in 25 is gone
        return Profile();
    p.shortFans = true;
    if (rng.below(2) == 0) { // about half of them grew
        p.fans += qint64(rng.below(3000)) * week;
        p.plays += qint64(rng.below(10000)) * week;
        p.works += rng.below(3);
    }
    if (rng.below(8) == 0 && p.tier > 0 && p.level < 5) // and some rose a grade
        ++p.level;
    return p;
}

QByteArray page(const Profile &p, qint64 id, int targetBytes)
{
    Rng rng(id ^ 0x5bd1e995);
    QString html;
    html.reserve(targetBytes);
    html += p.gbk ? QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"gbk\">")
                  : QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">");
    html += QStringLiteral("<title>%1的主页</title>\n<link rel=\"stylesheet\" href=\"/static/user.css\">\n")
                .arg(p.name);
    html += QStringLiteral("<script>var pageid = %1; var userid = '%2'; var allnum = %3; "
                           "var worknum = %4;</script></head>\n<body>\n")
                .arg(id)
                .arg(p.userId)
                .arg(p.plays)
                .arg(p.works);
    html += QStringLiteral("<div class=\"header\"><nav><a href=\"/\">首页</a><a href=\"/rank\">排行榜</a>"
                           "<a href=\"/live\">直播</a></nav></div>\n");
    html += QStringLiteral("<div class=\"userPage-top\"><span class=\"user-name twemoji\">%1</span>")
                .arg(p.name);
    for (int i = 0; i < p.level; ++i)
        html += QStringLiteral("<i class=\"icon singergrade%1\"></i>").arg(p.tier);
    html += QStringLiteral("</div>\n<ul class=\"userPage-vertical\">"
                           "<li class=\"userPage-vertical-top3\"><a href=\"#share_list\">"
                           "<span class=\"userPage-icon-des\">%1个转发</span></a></li>"
                           "<li class=\"userPage-vertical-top4\"><a href=\"/follow/%4\">"
                           "<span class=\"userPage-icon-des\">%2个关注</span></a></li>"
                           "<li class=\"userPage-vertical-top5\"><a href=\"/fans/%4\">"
                           "<span class=\"userPage-icon-des\">%3个粉丝</span></a></li></ul>\n")
                .arg(p.shares)
                .arg(p.follows)
                .arg(p.fansText())
                .arg(id);
    // The song list fills the page to a realistic size.
    html += QStringLiteral("<div id=\"work_list\">\n");
    int n = 0;
    qint64 bytes = html.toUtf8().size();
    while (bytes < targetBytes - 200) {
        const QString item =
            QStringLiteral("<div class=\"work-item\"><a href=\"/play/%1%2\" title=\"%3\">"
                           "<img src=\"/cover/%2.jpg\" alt=\"\"><span class=\"work-title\">%3</span>"
                           "<span class=\"work-meta\">试听 %4 · 评论 %5</span></a></div>\n")
                .arg(id)
                .arg(n++)
                .arg(QString::fromUtf16(kSongs[rng.below(10)]))
                .arg(rng.below(10000))
                .arg(rng.below(300));
        bytes += item.toUtf8().size();
        html += item;
    }
    html += QStringLiteral("</div>\n<div id=\"share_list\"></div>\n<footer>© Lirra</footer></body></html>\n");
    if (!p.gbk)
        return html.toUtf8();
    return gb18030(html);
}

QByteArray gb18030(const QString &text)
{
    QStringEncoder icu("GB18030");
    return icu.isValid() ? QByteArray(icu.encode(text)) : Module1::encodeText(text);
}

QByteArray notFoundPage()
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>404</title></head>"
                          "<body><h1>用户不存在</h1></body></html>\n")
        .toUtf8();
}

} // namespace DemoPages
