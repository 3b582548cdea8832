#include "main_window.h"
#include "grade.h"
#include "profile_page.h"
#include "result_model.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>

#include "pageutil.h"

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

void frmMain::setLastCell(int column, const QString &text)
{
    // The count is read afresh for every cell, so a list cleared meanwhile does no harm.
    m_list->setCell(m_list->rowCount() - 1, column, text);
}

void frmMain::vqstartGet(qint32 startID, qint32 endID)
{
    ++m_activeRuns;
    const auto leave = qScopeGuard([this] {
        if (--m_activeRuns == 0)
            m_closing = false;
    });
    // IDs are walked in 64 bits: a range may end at the largest 32-bit ID, and a span
    // wider than 2^31 still shows its true numbers.
    qint64 id = startID;
    try {
        if (endID < startID) {
            Ag(QStringLiteral("结束ID小于开始ID,采集未进行..."));
            return;
        }
        const qint64 first = startID;
        const qint64 last = endID;
        QString page; // its storage serves every page of the run
        for (; id <= last; ++id) {
            const QString idText = QString::number(id);
            Module1::fetchPage(m_fetchBaseUrl + idText, page);
            if (m_closing)
                return;
            setStatusPanel(2, QStringLiteral("正在采集用户: ") + idText + QStringLiteral("  完成进度[")
                                  + QString::number(last - first) + u'/'
                                  + QString::number(id - first) + QStringLiteral("]..."));
            const QString name = ProfilePage::displayName(page);
            if (name != Module1::missingValue()) {
                const QString grade = Grade::derive(page);
                if (gradeInRange(grade)) {
                    m_list->appendRow(QString::number(m_list->rowCount() + 1));
                    setLastCell(1, name);
                    setLastCell(2, idText);
                    setLastCell(3, ProfilePage::extractCell(page, 3));
                    setLastCell(4, grade);
                    for (int cell = 5; cell <= 9; ++cell)
                        setLastCell(cell, ProfilePage::extractCell(page, cell));
                }
                setStatusPanel(1, QStringLiteral("总数: ") + QString::number(m_list->rowCount()));
            }
            Module1::pauseMs(Module1::fieldNumber(Txt[2]->text()));
            if (!m_running || m_closing)
                return;
        }
        Command2_Click();
        setStatusPanel(2, QStringLiteral("采集完成..."));
    } catch (const Module1::Failure &failure) {
        Ag(QStringLiteral("I: ") + QString::number(id), failure.message(), failure.code());
    }
}
