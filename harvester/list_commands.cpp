#include "failed_ids.h"
#include "main_window.h"
#include "journal.h"
#include "list_workbook.h"
#include "paths.h"
#include "result_model.h"
#include "sorted_list.h"

#include <QDate>
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

void frmMain::saveList(bool workbook)
{
    QDir().mkpath(m_saveDir);
    const QString path = joinPath(m_saveDir, QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                                                    + u'-' + Txt[0]->text() + u'-' + Txt[1]->text()
                                                    + (workbook ? QStringLiteral(".xlsx") : QStringLiteral(".csv")));
    // The rows in the order shown, each with its own Index cell.
    if (workbook ? ListWorkbook::save(*m_shown, path) : Module1::exportListToCsv(*m_shown, path, true)) {
        m_listChanged = false;
        Ag(QStringLiteral("文件保存成功: ") + path);
    } else
        Ag(QStringLiteral("文件保存失败..."));
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
