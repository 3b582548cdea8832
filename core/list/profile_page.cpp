#include "profile_page.h"

#include "columns.h"
#include "pageutil.h"

#include <array>

namespace ProfilePage {

namespace {
// Every marker once, as UTF-8; a page kept as UTF-8 bytes is searched with these directly,
// a decoded page with their UTF-16 forms.
enum Mark { Name, NameEnd, UserId, Quote, AllNum, WorkNum, Semicolon, Shares, Follows, Fans,
            IconDes, SharesEnd, FollowsEnd, FansEnd, MarkCount };
constexpr const char *kMarks[MarkCount] = {
    u8"user-name twemoji\">", u8"<", u8"userid = '", u8"'", u8"allnum = ", u8"worknum = ", u8";",
    u8"#share_list", u8"userPage-vertical-top4", u8"userPage-vertical-top5",
    u8"userPage-icon-des\">", u8"个转发<", u8"个关注<", u8"个粉丝<",
};

QUtf8StringView mark(QUtf8StringView, Mark m) { return kMarks[m]; }

QStringView mark(QStringView, Mark m)
{
    static const auto utf16 = [] {
        std::array<QString, MarkCount> forms;
        for (int i = 0; i < MarkCount; ++i)
            forms[i] = QString::fromUtf8(kMarks[i]);
        return forms;
    }();
    return utf16[m];
}

template <typename View>
QString cell(View page, int cell)
{
    const auto m = [page](Mark k) { return mark(page, k); };
    switch (cell) {
    case Column::Name:
        return Module1::textBetween(page, m(Name), m(NameEnd));
    case Column::UserId:
        return Module1::textBetween(page, m(UserId), m(Quote));
    case Column::Plays:
        return Module1::textBetween(page, m(AllNum), m(Semicolon));
    case Column::Works:
        return Module1::textBetween(page, m(WorkNum), m(Semicolon));
    case Column::Shares:
        return Module1::textAfterAnchor(page, m(Shares), m(IconDes), m(SharesEnd));
    case Column::Follows:
        return Module1::textAfterAnchor(page, m(Follows), m(IconDes), m(FollowsEnd));
    case Column::Fans:
        return Module1::textAfterAnchor(page, m(Fans), m(IconDes), m(FansEnd));
    default:
        return {};
    }
}
} // namespace

QByteArrayView nameMarkBytes() { return kMarks[Name]; }

bool hasDisplayName(QStringView page) { return Module1::findMarker(page, mark(page, Name)) >= 0; }
bool hasDisplayName(QUtf8StringView page) { return Module1::findMarker(page, mark(page, Name)) >= 0; }

QString displayName(QStringView page) { return cell(page, Column::Name); }
QString displayName(QUtf8StringView page) { return cell(page, Column::Name); }

QString extractCell(QStringView page, int column) { return column == Column::Name ? QString() : cell(page, column); }
QString extractCell(QUtf8StringView page, int column) { return column == Column::Name ? QString() : cell(page, column); }

} // namespace ProfilePage
