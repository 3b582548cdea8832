#include "columns.h"

namespace Column {

namespace {
struct Names
{
    const char16_t *header;
    const char *key, *english;
};
constexpr Names kNames[kCount] = {
    {u"Index", "index", "index"},
    {u"Lirra用户名", "name", "name"},
    {u"主页ID", "homepage_id", "homepage ID"},
    {u"用户ID", "user_id", "user ID"},
    {u"歌手等级", "grade", "grade"},
    {u"试听量", "plays", "plays"},
    {u"作品数", "works", "works"},
    {u"转发数", "shares", "shares"},
    {u"关注数", "follows", "follows"},
    {u"粉丝数", "fans", "fans"},
};
bool known(int column) { return column >= 0 && column < kCount; }
} // namespace

QString header(int column) { return known(column) ? QString::fromUtf16(kNames[column].header) : QString(); }

QLatin1String key(int column) { return QLatin1String(known(column) ? kNames[column].key : ""); }

QLatin1String english(int column) { return QLatin1String(known(column) ? kNames[column].english : "?"); }

} // namespace Column
