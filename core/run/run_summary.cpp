#include "run_summary.h"

QStringList RunSummary::lines(const QString &wholeList) const
{
    QStringList out{QStringLiteral("本次采集: 访问 %1 个ID, 保留 %2 行, 等级不符 %3 个, 无资料 %4 个, 下载失败 %5 个")
                        .arg(visited).arg(kept).arg(outOfRange).arg(absent).arg(failed)};
    if (noProfile())
        out << (commonGistCount == absent
                    ? QStringLiteral("未找到任何资料: 全部 %1 个页面的标题为 '%2'").arg(absent).arg(commonGist)
                    : QStringLiteral("未找到任何资料: %1 个页面中 %2 个的标题为 '%3'")
                          .arg(absent).arg(commonGistCount).arg(commonGist));
    if (failed > 0) {
        QStringList ids;
        for (qint64 id : failedIds)
            ids << QString::number(id);
        QString line = QStringLiteral("下载失败的ID: ") + ids.join(QStringLiteral(", "));
        if (failed > kIdsNamed)
            line += QStringLiteral(" 等 %1 个").arg(failed)
                + (wholeList.isEmpty() ? QString() : QStringLiteral(", 全部见 ") + wholeList);
        out << line;
    }
    return out;
}
