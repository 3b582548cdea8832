#include "main_window.h"
#include "changes_window.h"
#include "history_chart.h"
#include "paths.h"
#include "placement.h"
#include "result_model.h"

#include <QDate>
#include <QDir>
#include <QLineEdit>

#include "pageutil.h"

#include <algorithm>

// The list's profiles against their previous harvest, in a window beside this one. Gone
// profiles are looked for among the IDs from the list's first (or the start field's) to its
// last (or the end field's).
void frmMain::showChanges()
{
    std::vector<qint64> ids;
    ids.reserve(size_t(m_list->rowCount()));
    for (int row = 0; row < m_list->rowCount(); ++row)
        ids.push_back(m_list->cell(row, Column::HomepageId).toLongLong());
    const auto [low, high] = std::minmax_element(ids.begin(), ids.end());
    bool startOk = false, endOk = false;
    const qint64 start = Txt[0]->text().toLongLong(&startOk), end = Txt[1]->text().toLongLong(&endOk);
    const qint64 first = startOk ? std::min(start, *low) : *low, last = endOk ? std::max(end, *high) : *high;
    if (!m_changes) {
        const auto saveTo = [this](const QString &ending) {
            QDir().mkpath(m_saveDir);
            return joinPath(m_saveDir, QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + u'-' + Txt[0]->text()
                                           + u'-' + Txt[1]->text() + QStringLiteral("-比较") + ending);
        };
        m_changes = new ChangesWindow(saveTo, [this](qint64 id) { showHistoryChart(id); }, this);
        connect(m_changes, &ChangesWindow::saved, this, [this](const QString &path, bool ok) {
            Ag(ok ? QStringLiteral("文件保存成功: ") + path : QStringLiteral("文件保存失败..."));
        });
        connect(m_changes, &ChangesWindow::refused, this, [this] { Ag(QStringLiteral("正在保存文件, 请等待保存完成后再试...")); });
    }
    showBeside(m_changes, this);
    m_changes->load(historyPath(), std::move(ids), first, last);
}

// A profile's fans and plays at every harvest that read it.
void frmMain::showHistoryChart(qint64 id)
{
    HistoryReader history(historyPath());
    if (!history.ok()) {
        Ag(QStringLiteral("无法读取历史记录: ") + history.error());
        return;
    }
    const std::vector<VisitValues> visits = history.visitsOf(id);
    if (!m_chart) {
        m_chart = new HistoryChart(this);
        m_chart->setWindowFlag(Qt::Window);
        m_chart->setObjectName(QStringLiteral("historyChart"));
    }

    QString name;
    for (const VisitValues &v : visits)
        name = v.found ? v.name : name;
    m_chart->setWindowTitle(QStringLiteral("查看历史 - %1 (%2)").arg(name).arg(id));
    m_chart->setSeries(name, id, chartSeries(visits));
    showBeside(m_chart, this);
}

ChangesWindow *frmMain::changesWindow() const { return m_changes; }
HistoryChart *frmMain::historyChart() const { return m_chart; }
