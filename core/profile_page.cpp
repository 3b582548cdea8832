#include "profile_page.h"

#include "pageutil.h"

namespace ProfilePage {

namespace {
constexpr QStringView kNameMark = u"user-name twemoji\">";
}

QByteArrayView nameMarkBytes() { return "user-name twemoji\">"; }

bool hasDisplayName(QStringView page)
{
    return Module1::findMarker(page, kNameMark) >= 0;
}

QString displayName(QStringView page)
{
    return Module1::textBetween(page, kNameMark, u"<");
}

QString extractCell(QStringView page, int cell)
{
    constexpr QStringView iconDes = u"userPage-icon-des\">";
    switch (cell) {
    case 3:
        return Module1::textBetween(page, u"userid = '", u"'");
    case 5:
        return Module1::textBetween(page, u"allnum = ", u";");
    case 6:
        return Module1::textBetween(page, u"worknum = ", u";");
    case 7:
        return Module1::textAfterAnchor(page, u"#share_list", iconDes, u"个转发<");
    case 8:
        return Module1::textAfterAnchor(page, u"userPage-vertical-top4", iconDes, u"个关注<");
    case 9:
        return Module1::textAfterAnchor(page, u"userPage-vertical-top5", iconDes, u"个粉丝<");
    default:
        return {};
    }
}

} // namespace ProfilePage
