#include "main_window.h"
#include "failed_ids.h"
#include "fetch_verdict.h"
#include "grade.h"
#include "harvest.h"
#include "harvest_run.h"
#include "journal.h"
#include "paths.h"
#include "result_model.h"
#include "run_summary.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>

#include "pageutil.h"

// The window's side of a run: its flags, its fields, its status panels and its log.
class frmMain::RunHostImpl : public RunHost, public HarvestEvents
{
public:
    explicit RunHostImpl(frmMain &window) : w(window), m_parallel(window.m_parallel) {}

    bool running() const override { return w.m_running; }
    bool closing() const override { return w.m_closing; }
    int parallel() const override { return m_parallel; }
    qint32 pauseMs() override { return Module1::fieldNumber(w.Txt[2]->text()); }
    bool gradeInRange(const QString &grade) override { return w.gradeInRange(grade); }
    void progress(qint64 id, qint64 position, qint64 count) override
    {
        w.showProgress(position, count);
        w.setStatusPanel(2, QStringLiteral("正在采集用户: ") + QString::number(id) + QStringLiteral("  完成进度[")
                                + QString::number(count - 1) + u'/' + QString::number(position)
                                + QStringLiteral("]..."));
    }
    void counted(qint64 rows) override { w.setStatusPanel(1, QStringLiteral("总数: ") + QString::number(rows)); }
    void reversedRange() override { w.Ag(QStringLiteral("结束ID小于开始ID,采集未进行...")); }
    void givenUp(qint64 id, const Module1::FetchOutcome &why) override
    {
        w.Ag(QStringLiteral("下载失败: ") + QString::number(id) + QStringLiteral(" (") + FetchVerdict::reason(why)
             + u')');
    }
    void gaveUpOnSite(int streak, const Module1::FetchOutcome &why, qint64 resumeAt) override
    {
        const QString next = QStringLiteral(", 下次可从ID ") + QString::number(resumeAt) + QStringLiteral(" 开始");
        // A certificate ends the run at its first refusal, and is named as the problem it is.
        if (why.transport == Module1::Transport::Certificate)
            return w.Ag(FetchVerdict::reason(why) + QStringLiteral(", 采集已停止: ") + why.detail + next);
        w.Ag(QStringLiteral("连续%1个ID下载失败, 采集已停止: ").arg(streak) + FetchVerdict::reason(why) + next);
    }
    void pagesStrange(qint64 resumeAt, qint64 msToTry, bool waitBegins, const QString &gist) override
    {
        if (waitBegins)
            w.Ag(QStringLiteral("网站返回非资料页面: ") + gist + QStringLiteral(", 等待后自动继续"));
        showWait(QStringLiteral("网站返回非资料页面"), resumeAt, msToTry);
    }
    void gaveUpOnPages(qint64 resumeAt, const QString &gist) override
    {
        const QString next = QStringLiteral("下次可从ID ") + QString::number(resumeAt) + QStringLiteral(" 开始");
        w.Ag(QStringLiteral("网站持续返回非资料页面: ") + gist + QStringLiteral(", 采集已停止, ") + next);
        w.setStatusPanel(2, QStringLiteral("网站持续返回非资料页面, ") + next);
    }
    void columnLost(int column, int profiles) override
    {
        w.Ag(QStringLiteral("页面格式可能已变化: %1 连续 %2 个资料未找到").arg(Column::header(column)).arg(profiles));
    }
    void siteMoved(const QString &newBase) override { w.Ag(QStringLiteral("网站已迁移到 ") + newBase); }
    void summary(const RunSummary &summary) override
    {
        const bool more = summary.failed > RunSummary::kIdsNamed;
        for (const QString &line : summary.lines(more ? QDir::toNativeSeparators(w.failedIdsPath()) : QString()))
            w.Ag(line);
    }
    // The log line has no place for the ID; it is handed over all the same.
    void failed(qint64 id, const QString &message, int code) override
    {
        w.Ag(QStringLiteral("I: ") + QString::number(id), message, code);
    }
    void completed() override
    {
        w.Command2_Click();
        w.setStatusPanel(2, QStringLiteral("采集完成..."));
    }
    void stopAction() override { w.Command2_Click(); }
    void historyTrouble(HistoryWriter::Trouble trouble, const QString &file, const QString &detail) override
    {
        w.Ag(historyTroubleText(int(trouble), file, detail));
    }
    // The log says once that the run waits; the status panel and the title count down to the next try.
    void siteSilent(qint64 resumeAt, qint64 msToTry, bool waitBegins) override
    {
        if (waitBegins)
            w.Ag(QStringLiteral("网站无响应, 等待后自动继续"));
        showWait(QStringLiteral("网站无响应"), resumeAt, msToTry);
    }
    void showWait(const QString &why, qint64 resumeAt, qint64 msToTry)
    {
        const QString wait = why + QStringLiteral(", %1 秒后重试ID %2").arg((msToTry + 999) / 1000).arg(resumeAt);
        w.setStatusPanel(2, wait + QStringLiteral("..."));
        w.setWindowTitle(kTitle + QStringLiteral(" - ") + wait);
    }
    void siteBack(qint64) override
    {
        w.Ag(QStringLiteral("网站已恢复, 继续采集"));
        w.setWindowTitle(kTitle);
        w.m_nextTitleMs = 0;
    }
    void startsAtKeptPace(const KeptPace &pace) override
    {
        w.Ag(pace.limited() ? QStringLiteral("网站限速: 按上次记录的速度开始, 每秒约 %1 个请求").arg(qMax(1, qRound(pace.rate)))
                            : QStringLiteral("网站未曾限速: 按上次记录直接以 %1 个并发请求开始").arg(pace.inFlight));
    }
    // Once when the site first holds the run back, then at most once a minute while it changes.
    void sitePace(double requestsPerSecond) override
    {
        if (m_paceSaid.isValid() && m_paceSaid.elapsed() < 60000)
            return;
        m_paceSaid.start();
        w.Ag(QStringLiteral("网站限速: 每秒约 %1 个请求").arg(qMax(1, qRound(requestsPerSecond))));
    }

private:
    QElapsedTimer m_paceSaid;
    frmMain &w;
    const int m_parallel; // a run keeps the number it started with
};

void frmMain::guarded(const std::function<void()> &body)
{
    try {
        body();
    } catch (const Module1::Failure &failure) {
        Ag(QString(), failure.message(), failure.code());
    } catch (const std::bad_alloc &) {
        Ag(QString(), QStringLiteral("内存不足"), 7);
    } catch (const std::exception &e) {
        Ag(QString(), QString::fromLocal8Bit(e.what()), 0);
    } catch (...) {
        Ag(QString(), QStringLiteral("未知错误"), 0);
    }
}

void frmMain::Combo1_Click() { m_lowerBound = qint16(Combo1->currentIndex()); }

void frmMain::Combo2_Click() { m_upperBound = qint16(Combo2->currentIndex()); }

void frmMain::Command1_Click()
{
    guarded([this] {
        m_running = true;
        Command2->setEnabled(true);
        Command1->setEnabled(false);
        Ag(QStringLiteral("开始采集..."));
        const qint32 startID = Module1::fieldNumber(Txt[0]->text());
        const qint32 endID = Module1::fieldNumber(Txt[1]->text());
        vqstartGet(startID, endID);
    });
}

void frmMain::Command2_Click()
{
    m_running = false;
    Command1->setEnabled(true);
    Command2->setEnabled(false);
    Ag(QStringLiteral("采集已经停止..."));
}

bool frmMain::gradeInRange(const QString &grade) const
{
    const int position = Grade::indexOf(grade);
    return m_lowerBound <= position && position <= m_upperBound;
}

void frmMain::vqstartGet(qint32 startID, qint32 endID)
{
    ++m_activeRuns;
    const auto leave = qScopeGuard([this] {
        if (--m_activeRuns == 0) {
            m_closing = false;
            endProgress();
        }
    });
    RunHostImpl host(*this);
    // A window's harvest keeps its rows in the list, its journal, every page in the history of
    // the Log folder, and the IDs it gave up beside the journal.
    if (startID <= endID)
        QDir().mkpath(m_logDir);
    FailedIds failedIds(failedIdsPath());
    HarvestPlan plan;
    plan.site = m_fetchBaseUrl;
    plan.ids = IdSequence(startID, endID);
    plan.settings = m_runSettings;
    plan.journal = m_journal.get();
    plan.history = historyPath();
    plan.program = QStringLiteral("vqlirra " VQ_VERSION);
    plan.failedIds = &failedIds;
    plan.list = m_list;
    Harvest(plan, host, host).run();
}

QString frmMain::historyPath() const { return joinPath(m_logDir, QStringLiteral("history.sqlite")); }

QString frmMain::historyTroubleText(int trouble, const QString &file, const QString &detail)
{
    switch (HistoryWriter::Trouble(trouble)) {
    case HistoryWriter::Trouble::SetAside:
        return QStringLiteral("历史记录已损坏, 已移至 %1, 已新建历史记录").arg(QDir::toNativeSeparators(detail));
    case HistoryWriter::Trouble::Busy:
        return QStringLiteral("历史记录被其他程序占用, 稍后重试: %1").arg(QDir::toNativeSeparators(file));
    default:
        return QStringLiteral("无法记录历史: %1 (%2), 采集继续").arg(QDir::toNativeSeparators(file), detail);
    }
}

QString frmMain::failedIdsPath() const { return QDir(m_logDir).filePath(QStringLiteral("journal.failed")); }
