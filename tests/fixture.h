#pragma once

// What the window's tests share: a window on a loopback profile site scripted answer by answer.

#include "scripted_site.h"

#include "harvest_run.h"
#include "main_window.h"
#include "result_model.h"

#include <QtWidgets>

// A list as its saved file holds it.
inline QByteArray csvBytes(const QAbstractItemModel &list, bool header = true)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return Module1::exportListToCsv(list, buffer, header) ? buffer.data() : QByteArray("<failed>");
}

// A menu's items as shown ("-" for a separator), or only the checked ones.
inline QStringList menuItems(const QMenu *menu, bool onlyChecked = false)
{
    QStringList out;
    for (const QAction *item : menu->actions())
        if (!onlyChecked || item->isChecked())
            out << (item->isSeparator() ? QStringLiteral("-") : item->text());
    return out;
}

// A window on a site of scripted answers, writing its files into the site's temporary folder.
struct Harness : ScriptedSite
{
    std::unique_ptr<frmMain> window;

    explicit Harness(const QString &otherwiseAnswer = QString()) : ScriptedSite(otherwiseAnswer) { restart(); }
    // A new window on the same folder (or on folder), as the program starts after the last one is gone.
    void restart(const QString &folder = QString())
    {
        window.reset();
        window = std::make_unique<frmMain>(profileBase(), folder.isEmpty() ? dir.path() : folder);
        window->setRunSettings(testSettings());
    }

    // Runs action once, in the pause that follows the first kept row.
    void afterFirstRow(const std::function<void()> &action)
    {
        QObject::connect(window->resultList(), &QAbstractItemModel::rowsInserted, window.get(),
                         [action] { QTimer::singleShot(0, action); }, Qt::SingleShotConnection);
    }
    // Chooses the number of requests in flight as the user does, in the input frame's menu.
    void setParallel(int n)
    {
        for (QAction *item : window->parallelMenu()->actions()) {
            if (item->text() == QStringLiteral("并发请求: %1").arg(n))
                item->trigger();
        }
    }

    template<typename T> T *child(const char *name) const { return window->findChild<T *>(QString::fromLatin1(name)); }
    QLineEdit *field(int i) const { return window->findChild<QLineEdit *>(QStringLiteral("Txt(%1)").arg(i)); }
    void setFields(const QString &start, const QString &end, const QString &pause = QStringLiteral("0"))
    {
        field(0)->setText(start);
        field(1)->setText(end);
        field(2)->setText(pause);
    }
    void harvest(qint64 first, qint64 last, int pauseMs = 0, int parallel = 0) // 0: the number in flight as it stands
    {
        setFields(QString::number(first), QString::number(last), QString::number(pauseMs));
        if (parallel > 0)
            setParallel(parallel);
        window->Command1_Click();
    }
    void fill(int rows) // rows numbered 1.., named 名0.., of profile 50147164..
    {
        for (int r = 0; r < rows; ++r) {
            window->resultList()->appendRow(QString::number(r + 1));
            window->resultList()->setCell(r, 1, QStringLiteral("名%1").arg(r));
            window->resultList()->setCell(r, 2, QString::number(50147164 + r));
        }
    }
    void select(int row) const
    {
        auto *lv = child<QTableView>("Lv");
        lv->selectionModel()->select(lv->model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    // Whether menu opens when trigger is done; it is closed again at once.
    static bool opens(QMenu *menu, const std::function<void()> &trigger)
    {
        bool opened = false;
        const auto seen = QObject::connect(menu, &QMenu::aboutToShow, menu, [&opened, menu] {
            opened = true;
            QTimer::singleShot(0, menu, &QMenu::close);
        });
        trigger();
        QTest::qWait(50);
        QObject::disconnect(seen);
        return opened;
    }
    bool startEnabled() const { return child<QPushButton>("Command1")->isEnabled(); }
    bool stopEnabled() const { return child<QPushButton>("Command2")->isEnabled(); }

    // Log messages newest first, without their time of day.
    QStringList messages() const
    {
        QStringList lines = window->logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        for (QString &line : lines)
            line = line.mid(10);
        return lines;
    }
    QStringList rowTexts() const // cells joined by '|'
    {
        QStringList out;
        for (int r = 0; r < rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < ResultModel::kColumns; ++c)
                cells << window->resultList()->cell(r, c);
            out << cells.join(u'|');
        }
        return out;
    }
    int rows() const { return window->resultList()->rowCount(); }
    QString panel(int i) const { return window->statusPanelText(i); }
};
