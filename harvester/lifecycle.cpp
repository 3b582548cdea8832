#include "main_window.h"
#include "background_save.h"
#include "failed_ids.h"
#include "journal.h"
#include "result_model.h"

#include <QDir>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>

#include "grade.h"
#include "pageutil.h"

// Start-up, with what an earlier program left in the journal, and the window going away.
void frmMain::Form_Load()
{
    Combo1->setCurrentText(Grade::scale().first());
    Combo2->setCurrentText(Grade::scale().last());
    Ag(QStringLiteral("启动程序..."));
    openJournal();
}

void frmMain::openJournal()
{
    auto journal = std::make_unique<Journal>(m_logDir);
    if (!journal->lock()) {
        Ag(QStringLiteral("另一个程序正在使用此目录的恢复记录, 本窗口不保存恢复记录"));
        return;
    }
    Journal::Recovery found = journal->recover();
    if (!found.setAside.isEmpty())
        Ag(QStringLiteral("恢复记录无法读取, 已移至: ") + QDir::toNativeSeparators(found.setAside));
    if (found.rowCount > 0) {
        m_list->appendRows(std::move(found.rows));
        Ag(QStringLiteral("已恢复上次未保存的 %1 行").arg(found.rowCount));
    }
    // A journal without rows is no list to restore: the window starts as it always does.
    if (found.unfinished && found.rowCount > 0) {
        Txt[0]->setText(QString::number(found.resumeFrom));
        Txt[1]->setText(QString::number(found.end));
        Ag(QStringLiteral("上次采集到ID %1, 按开始继续采集").arg(found.resumeFrom - 1));
    }
    journal->setReporter([this](const QString &path) { Ag(QStringLiteral("恢复记录写入失败, 采集继续: ") + path); });
    m_journal = std::move(journal);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // A run waiting inside a handler must let go at once: abort its request, end its
    // pause, and stop it before it touches anything again.
    if (m_activeRuns > 0) {
        m_closing = true;
        m_running = false;
        Module1::cancelWaits();
    }
    // A save under way is finished first, its progress shown: the file it replaces is never
    // left half written.
    m_save->wait();
    // Rows saved since their last change, or none at all: nothing is left to recover.
    if (m_journal && (!m_listChanged || m_list->rowCount() == 0)) {
        m_journal->remove();
        FailedIds(failedIdsPath()).remove();
    }
    QWidget::closeEvent(event);
}
