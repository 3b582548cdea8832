#include "main_window.h"
#include "label_feed.h"
#include "pace.h"
#include "progress_panel.h"
#include "result_model.h"

#include <QLabel>

void frmMain::setAsker(Asker asker) { m_asker = std::move(asker); }
void frmMain::setRunSettings(const RunSettings &settings) { m_runSettings = settings; }

bool frmMain::running() const { return m_running; }
qint16 frmMain::lowerBound() const { return m_lowerBound; }
qint16 frmMain::upperBound() const { return m_upperBound; }
ResultModel *frmMain::resultList() const { return m_list; }
QMenu *frmMain::contextMenu() const { return vqMenu; }

QString frmMain::statusPanelText(int panel) const
{
    return panel == 1 ? m_countPanel->text() : panel == 2 ? m_progressPanel->text() : QString();
}

double frmMain::progressFill() const { return m_progressPanel->fill(); }

void frmMain::setStatusPanel(int panel, const QString &text)
{
    m_panelFeeds[panel == 1 ? 0 : 1]->set(text);
}

// The share of the range done behind panel 2, and the share and time left in the title, so
// that a minimised window shows them too; both at most once a second.
void frmMain::showProgress(qint64 done, qint64 total)
{
    if (!m_pace)
        m_pace = std::make_unique<Pace>();
    m_pace->record(done, total);
    const qint64 now = m_pace->elapsedMs();
    if (now < m_nextTitleMs)
        return;
    const qint64 left = m_pace->secondsLeft();
    if (left < 0)
        return;
    m_nextTitleMs = now + 1000;
    m_progressPanel->setFill(m_pace->share());
    setWindowTitle(kTitle + QStringLiteral(" - %1% - 剩余约 ").arg(int(m_pace->share() * 100))
                   + Pace::chineseDuration(left));
}

void frmMain::endProgress()
{
    m_pace.reset();
    m_nextTitleMs = 0;
    for (LabelFeed *feed : m_panelFeeds)
        feed->flush();
    m_progressPanel->setFill(-1);
    setWindowTitle(kTitle);
}
