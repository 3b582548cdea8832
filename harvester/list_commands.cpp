#include "failed_ids.h"
#include "main_window.h"
#include "journal.h"
#include "background_save.h"
#include "list_snapshot.h"
#include "list_workbook.h"
#include "paths.h"
#include "result_model.h"
#include "sorted_list.h"

#include <QDate>
#include <QLabel>
#include <QtMath>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>

#include "pageutil.h"

bool frmMain::askYesNo(const QString &prompt)
{
    if (m_asker)
        return m_asker(prompt);
    QMessageBox box(QMessageBox::Information, kTitle, prompt,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

// The rows as they stand now, in the order shown, each with its own Index cell, written beside
// the window: the list goes on growing, sorting and scrolling meanwhile.
void frmMain::saveList(bool workbook)
{
    if (m_save->busy())
        return Ag(QStringLiteral("正在保存文件, 请等待保存完成后再试..."));
    QDir().mkpath(m_saveDir);
    const QString path = joinPath(m_saveDir, QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                                                    + u'-' + Txt[0]->text() + u'-' + Txt[1]->text()
                                                    + (workbook ? QStringLiteral(".xlsx") : QStringLiteral(".csv")));
    const auto rows = std::make_shared<ListSnapshot>(*m_list, *m_shown);
    const quint64 edits = m_listEdits;
    m_save->disconnect(this);
    connect(m_save, &BackgroundSave::progressed, this, &frmMain::showSaveShare);
    connect(m_save, &BackgroundSave::done, this, [this, path, edits](bool ok) { saveDone(path, ok, edits); });
    m_save->start([rows, path, workbook](std::atomic<int> &done) {
        return workbook ? ListWorkbook::save(*rows, path, &done) : Module1::exportListToCsv(*rows, path, true, &done);
    }, rows->rowCount(), workbook);
}

void frmMain::saveDone(const QString &path, bool ok, quint64 editsAtStart)
{
    m_saveShare->hide();
    if (!ok)
        return Ag(QStringLiteral("文件保存失败..."));
    // Saved as the list stands only when it did not change meanwhile.
    if (m_listEdits == editsAtStart)
        m_listChanged = false;
    Ag(QStringLiteral("文件保存成功: ") + path);
}

void frmMain::finishSave() { m_save->wait(); }

void frmMain::showSaveShare(double share)
{
    m_saveShare->setText(QStringLiteral("正在保存: %1%").arg(qFloor(share * 100)));
    m_saveShare->show();
}

void frmMain::pmenu_Click(int Index)
{
    guarded([&] {
        if (m_list->rowCount() == 0) {
            Ag(QStringLiteral("数据为空,无法进行操作..."));
            return;
        }
        switch (Index) {
        case 0: {
            const QModelIndexList selected = Lv->selectionModel()->selectedRows();
            if (!selected.isEmpty())
                Module1::openInBrowser(kBrowseBaseUrl + m_list->cell(m_shown->mapToSource(selected.first()).row(), Column::HomepageId));
            break;
        }
        case 2:
            if (askYesNo(QStringLiteral("确定清空列表?"))) {
                m_list->clear();
                if (m_journal)
                    m_journal->clear();
                FailedIds(failedIdsPath()).remove();
            }
            break;
        case 4:
            saveList();
            break;
        case 5:
            saveList(true);
            break;
        case 7:
            showChanges();
            break;
        case 8: {
            const QModelIndexList selected = Lv->selectionModel()->selectedRows();
            if (!selected.isEmpty())
                showHistoryChart(m_list->cell(m_shown->mapToSource(selected.first()).row(), Column::HomepageId).toLongLong());
            break;
        }
        default:
            break;
        }
    });
}
