#include "main_window.h"

#include <QActionGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>

// A right-click on the input frame (not on its fields, which have their own menu) chooses
// how many requests the next run keeps in flight. No control is added for it.
void frmMain::buildParallelMenu()
{
    const QString hint = QStringLiteral("右键选择并发请求数");
    Frame1->setToolTip(hint);
    Txt[2]->setToolTip(hint);
    m_parallelMenu = new QMenu(this);
    m_parallelMenu->setObjectName(QStringLiteral("parallelMenu"));
    auto *group = new QActionGroup(m_parallelMenu);
    group->setExclusive(true);
    for (int n : {1, 2, 4, 8, 16}) {
        QAction *item = m_parallelMenu->addAction(QStringLiteral("并发请求: %1").arg(n));
        item->setCheckable(true);
        item->setChecked(n == m_parallel);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, n] {
            m_parallel = n;
            guarded([this, n] { Ag(QStringLiteral("并发请求数: %1").arg(n)); });
        });
    }
    Frame1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Frame1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_parallelMenu->exec(Frame1->mapToGlobal(at)); });
}

QMenu *frmMain::parallelMenu() const { return m_parallelMenu; }
