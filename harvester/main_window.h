#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "run_settings.h"

#include <array>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTableView;
class BackgroundSave;
class ChangesWindow;
class HistoryChart;
class Journal;
class Pace;
class ProgressPanel;
class LabelFeed;
class ResultModel;
class SortedList;

// The harvester's one window: its state, its controls, the activity log, the harvest run
// with its run control, and the commands of the result list's menu.
class frmMain : public QWidget
{
    Q_OBJECT
public:
    static const QString kFetchBaseUrl;
    static const QString kBrowseBaseUrl;
    static const QString kTitle;

    // programDir is where logs and saved lists go when it can be written, else the user's
    // folders; empty means the executable's directory.
    explicit frmMain(const QString &fetchBaseUrl = kFetchBaseUrl,
                     const QString &programDir = QString(), QWidget *parent = nullptr);
    ~frmMain() override;

    // Activity log: one line on top, rolling the box over into Log/ at 50,000 code units.
    void Ag(const QString &Str, const QString &ErrStr = QString(), int ErrNum = 0);
    // The harvest of one ID range; returns when the run has ended.
    void vqstartGet(qint32 startID, qint32 endID);

    // Handlers, public so that tests can drive them as the toolkit does.
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Combo1_Click();
    void Combo2_Click();
    // button and shift use the values 1 left, 2 right, 4 middle and 1 shift, 2 ctrl, 4 alt.
    void Lv_MouseUp(int button, int shift, int x, int y);
    void pmenu_Click(int Index);
    // Returns once a save under way (保存为csv, 保存为Excel, which run beside the window) is
    // done and its outcome logged; at once when none is.
    void finishSave();

    // The modal Yes/No question; replaceable so tests and embedders can answer it.
    using Asker = std::function<bool(const QString &prompt)>;
    void setAsker(Asker asker);
    // The retry policy and the fetch limits of the runs to come (shorter ones in tests).
    void setRunSettings(const RunSettings &settings);

    bool running() const;
    qint16 lowerBound() const;
    qint16 upperBound() const;
    ResultModel *resultList() const;
    QString logText() const; // lines end in CR LF, newest first
    QString statusPanelText(int panel) const; // panel 1 or 2
    double progressFill() const; // the share of panel 2's fill, negative for none
    QMenu *contextMenu() const;
    // The input frame's menu of how many requests a run keeps in flight.
    QMenu *parallelMenu() const;
    // The windows of the history's commands, once opened.
    ChangesWindow *changesWindow() const;
    HistoryChart *historyChart() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class RunHostImpl;
    void buildControls();
    void buildParallelMenu();
    void openJournal();
    void setStatusPanel(int panel, const QString &text);
    bool gradeInRange(const QString &grade) const;
    bool askYesNo(const QString &prompt);
    QString composeLogLine(const QString &Str, const QString &ErrStr, int ErrNum) const;
    void setLogText(const QString &crLfText);
    void logEdited(int position, int removed, int added);
    void showProgress(qint64 done, qint64 total);
    void endProgress();
    QString rollOverLog(const QString &text);
    void saveList(bool workbook = false); // as CSV, or as an Excel workbook, beside the window
    void saveDone(const QString &path, bool ok, quint64 editsAtStart);
    void showSaveShare(double share);
    QString historyPath() const; // Log/history.sqlite
    static QString historyTroubleText(int trouble, const QString &file, const QString &detail);
    void showChanges();
    void showHistoryChart(qint64 id);
    // Runs a handler's body; a failure ends there as a log line, never in the event loop.
    void guarded(const std::function<void()> &body);

    QString m_fetchBaseUrl;
    QString m_saveDir; // saved lists
    QString m_logDir;  // roll-over logs and the journal
    // The IDs given up while the list was made, beside its journal and going with it.
    QString failedIdsPath() const;
    bool m_running = false;
    qint16 m_lowerBound = 0;
    qint16 m_upperBound = 0;
    int m_parallel = 1; // requests in flight for the next run
    int m_activeRuns = 0;
    bool m_closing = false;
    Asker m_asker;
    RunSettings m_runSettings;
    // Rows not saved since they changed; the journal outlives the window only then.
    bool m_listChanged = false;
    quint64 m_listEdits = 0; // changes to the list, counted: a save is of the list as it began
    BackgroundSave *m_save = nullptr;
    QLabel *m_saveShare = nullptr; // the save's share done, over the status bar's right end
    std::unique_ptr<Journal> m_journal;
    // The log exactly as set or typed, line breaks as LF: the box's own text turns a no-break
    // space and a line or paragraph separator into something else.
    QString m_log;
    bool m_settingLog = false;
    std::unique_ptr<Pace> m_pace;
    qint64 m_nextTitleMs = 0;

    QGroupBox *Frame1 = nullptr;
    std::array<QLineEdit *, 3> Txt{};
    std::array<QLabel *, 4> Lab{};
    QComboBox *Combo1 = nullptr;
    QComboBox *Combo2 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPlainTextEdit *Alog = nullptr;
    QTableView *Lv = nullptr;
    ResultModel *m_list = nullptr;
    SortedList *m_shown = nullptr; // the list in the view's order
    QStatusBar *SB = nullptr;
    QLabel *m_countPanel = nullptr;
    ProgressPanel *m_progressPanel = nullptr;
    std::array<LabelFeed *, 2> m_panelFeeds{};
    QMenu *vqMenu = nullptr;
    std::array<QAction *, 9> pmenu{};
    QPointer<ChangesWindow> m_changes;
    QPointer<HistoryChart> m_chart;
    QMenu *m_parallelMenu = nullptr;
};
