#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Deterministic made-up profiles and the pages that show them, with the markers of the
// real site's profile pages, for the demo and for tests and benchmarks.
namespace DemoPages {

struct Profile
{
    bool exists = false;
    QString name;
    QString userId;
    int tier = 0;  // 0 unranked, 1 to 5
    int level = 0; // 1 to 5 when ranked
    qint64 plays = 0, works = 0, shares = 0, follows = 0, fans = 0;
    bool gbk = false; // served as GBK, declared only in a <meta> tag
    bool shortFans = false; // fans from 10,000 on shown as "1.2万"

    QString fansText() const;
    QString gradeLabel() const;
    // The ten cells a harvest keeps for this profile of id as row number index.
    QStringList rowCells(qint64 id, int index) const;
};

Profile profile(qint64 id);
// The same profile weeks later (0: as above).
Profile profile(qint64 id, int week);

// Text as a GBK site serves it: GB18030 by ICU; a Qt without ICU has the files' code page 936
// with GB18030 beyond it, the same bytes but for the euro sign.
QByteArray gb18030(const QString &text);

// The page body in its own encoding (UTF-8, or GBK when profile.gbk), near targetBytes long.
QByteArray page(const Profile &profile, qint64 id, int targetBytes = 40000);

// The body of the site's not-found page.
QByteArray notFoundPage();

} // namespace DemoPages
