#pragma once

#include "changes_model.h"

#include <QWidget>

#include <functional>

class BackgroundSave;
class QLabel;
class QTableView;

// "与上次采集比较": the profiles of the list against their previous harvest, and those gone.
// Read on a thread of its own, so the main window goes on meanwhile.
class ChangesWindow : public QWidget
{
    Q_OBJECT
public:
    // saveTo names the file a save writes, given its ending; showChart opens a profile's chart.
    ChangesWindow(std::function<QString(const QString &)> saveTo, std::function<void(qint64)> showChart, QWidget *parent = nullptr);
    ~ChangesWindow() override;

    void load(const QString &historyPath, std::vector<qint64> listedIds, qint64 first, qint64 last);
    bool loading() const { return m_loading; }
    QSize sizeHint() const override { return {1000, 560}; }
    ChangesModel *model() const { return m_model; } // its rows in the order shown
    QTableView *view() const { return m_view; }
    // Writes the rows in the order shown, as CSV or as a workbook, beside the window (saved()
    // tells how it went); false when a save is under way already (refused() says so).
    bool save(const QString &path, bool workbook = false);
    void finishSave(); // returns once a save under way is done

Q_SIGNALS:
    void loaded(const QString &error);
    void saved(const QString &path, bool ok);
    void refused();

private:
    void takeRows(std::vector<ChangeRow> rows, const QString &error);

    std::function<QString(const QString &)> m_saveTo;
    ChangesModel *m_model;
    QTableView *m_view;
    QLabel *m_status;
    bool m_loading = false;
    BackgroundSave *m_save;
    std::shared_ptr<bool> m_alive; // the reading thread hands its rows on only while this lives
};
