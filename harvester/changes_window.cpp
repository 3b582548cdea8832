#include "changes_window.h"
#include "background_save.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

#include "pageutil.h"

ChangesWindow::ChangesWindow(std::function<QString(const QString &)> saveTo, std::function<void(qint64)> showChart, QWidget *parent)
    : QWidget(parent, Qt::Window), m_saveTo(std::move(saveTo)), m_model(new ChangesModel(this)),
      m_view(new QTableView(this)), m_status(new QLabel(this)), m_save(new BackgroundSave(this)),
      m_alive(std::make_shared<bool>(true))
{
    setObjectName(QStringLiteral("changesWindow"));
    setWindowTitle(QStringLiteral("与上次采集比较"));
    m_view->setObjectName(QStringLiteral("changesView"));
    m_view->setModel(m_model);
    m_view->setSortingEnabled(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->hide();
    auto *saveButton = new QPushButton(QStringLiteral("保存为csv"), this);
    saveButton->setObjectName(QStringLiteral("saveChanges"));
    connect(saveButton, &QPushButton::clicked, this, [this] { save(m_saveTo(QStringLiteral(".csv"))); });
    auto *workbookButton = new QPushButton(QStringLiteral("保存为Excel"), this);
    workbookButton->setObjectName(QStringLiteral("saveChangesWorkbook"));
    connect(workbookButton, &QPushButton::clicked, this, [this] { save(m_saveTo(QStringLiteral(".xlsx")), true); });
    connect(m_view, &QTableView::doubleClicked, this, [this, showChart](const QModelIndex &index) {
        showChart(m_model->row(index.row()).id);
    });
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(saveButton);
    bottom->addWidget(workbookButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
    layout->addLayout(bottom);
}

ChangesWindow::~ChangesWindow() { *m_alive = false; }

void ChangesWindow::load(const QString &historyPath, std::vector<qint64> listedIds, qint64 first, qint64 last)
{
    m_loading = true;
    m_status->setText(QStringLiteral("正在读取历史记录..."));
    const std::shared_ptr<bool> alive = m_alive;
    QThread *reader = QThread::create([this, alive, historyPath, ids = std::move(listedIds), first, last]() mutable {
        QString error;
        std::vector<ChangeRow> rows = loadChanges(historyPath, std::move(ids), first, last, &error);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [this, alive, rows = std::move(rows), error]() mutable {
            if (*alive)
                takeRows(std::move(rows), error);
        }, Qt::QueuedConnection);
    });
    connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    reader->start();
}

void ChangesWindow::takeRows(std::vector<ChangeRow> rows, const QString &error)
{
    m_loading = false;
    const size_t count = rows.size();
    m_model->setRows(std::move(rows));
    // Read sorted by the fans gained: the header only shows it.
    const QSignalBlocker quiet(m_view->horizontalHeader());
    m_view->horizontalHeader()->setSortIndicator(ChangesModel::fansGainedColumn(), Qt::DescendingOrder);
    m_status->setText(error.isEmpty() ? QStringLiteral("共 %1 个资料").arg(count)
                                      : QStringLiteral("无法读取历史记录: %1").arg(error));
    Q_EMIT loaded(error);
}

// The rows as shown now, copied: the view may be sorted again or read anew meanwhile.
bool ChangesWindow::save(const QString &path, bool workbook)
{
    if (m_save->busy()) {
        Q_EMIT refused();
        return false;
    }
    const auto rows = std::make_shared<ChangesModel>();
    rows->setRows(m_model->rows());
    const QString status = m_status->text();
    m_save->disconnect(this);
    connect(m_save, &BackgroundSave::progressed, this, [this](double share) {
        m_status->setText(QStringLiteral("正在保存: %1%").arg(int(share * 100)));
    });
    connect(m_save, &BackgroundSave::done, this, [this, path, status](bool ok) {
        m_status->setText(status);
        Q_EMIT saved(path, ok);
    });
    m_save->start([rows, path, workbook](std::atomic<int> &done) {
        return workbook ? saveChangesWorkbook(*rows, path, &done) : Module1::exportListToCsv(*rows, path, true, &done);
    }, rows->rowCount(), workbook);
    return true;
}

void ChangesWindow::finishSave() { m_save->wait(); }
