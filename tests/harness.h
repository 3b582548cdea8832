#pragma once

#include "harvest_run.h"
#include "loopback_server.h"
#include "main_window.h"
#include "pageutil.h"
#include "result_model.h"

#include <QComboBox>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>

// Short fetch limits and retry waits, so that a stalled request or a retry costs a test
// a second at most.
inline void quickFetches(int totalMs, QList<int> retryDelaysMs)
{
    Module1::FetchLimits limits;
    limits.totalMs = totalMs;
    limits.lowSpeedSeconds = 1;
    Module1::setFetchLimits(limits);
    RetryPolicy quick;
    quick.delaysMs = retryDelaysMs;
    HarvestRun::setRetryPolicy(quick);
}

// A profile page with the site's markers; grades is inserted as it stands.
inline QByteArray profilePage(const QString &name, const QString &grades = QString(),
                              const QString &userId = QStringLiteral("87654321"))
{
    return (QStringLiteral("<html><span class=\"user-name twemoji\">") + name
            + QStringLiteral("</span><script>var userid = '") + userId
            + QStringLiteral("'; var allnum = 1024; var worknum = 12;</script>") + grades
            + QStringLiteral("<a href=\"#share_list\"><span class=\"userPage-icon-des\">3个转发</span></a>"
                             "<li class=\"userPage-vertical-top4\"><span class=\"userPage-icon-des\">45个关注</span></li>"
                             "<li class=\"userPage-vertical-top5\"><span class=\"userPage-icon-des\">678个粉丝</span></li></html>"))
        .toUtf8();
}

inline QString tierIcons(int tier, int level)
{
    QString out;
    for (int i = 0; i < level; ++i)
        out += QStringLiteral("<i class=\"singergrade%1\"></i>").arg(tier);
    return out;
}

// A window on a test site of pages by ID, writing its files into a temporary folder.
struct Harness
{
    struct Page
    {
        int status = 200;
        QByteArray body;
    };
    QHash<QByteArray, Page> pages; // by path
    QList<QByteArray> requested;
    LoopbackServer server;
    QTemporaryDir dir;
    std::unique_ptr<frmMain> window;

    Harness()
        : server([this](const LoopbackServer::Request &r, QTcpSocket *s) {
              requested.append(r.path);
              const Page page = pages.value(r.path, Page{404, "<html>no such user</html>"});
              LoopbackServer::respond(s, page.status, "text/html; charset=utf-8", page.body);
          })
    {
        server.listen();
        window = std::make_unique<frmMain>(QString::fromLatin1(server.baseUrl() + "/u/"), dir.path());
    }

    void setPage(qint64 id, const QByteArray &body, int status = 200)
    {
        pages.insert("/u/" + QByteArray::number(id), Page{status, body});
    }

    template<typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QLineEdit *field(int i) const
    {
        return window->findChild<QLineEdit *>(QStringLiteral("Txt(%1)").arg(i));
    }
    void setFields(const QString &start, const QString &end, const QString &pause = QStringLiteral("0"))
    {
        field(0)->setText(start);
        field(1)->setText(end);
        field(2)->setText(pause);
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
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < ResultModel::kColumns; ++c)
            cells << window->resultList()->cell(r, c);
        return cells;
    }
    int rows() const { return window->resultList()->rowCount(); }
};
