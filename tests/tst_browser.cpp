#include "fixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTest>

// The visit command against the desktop's own URL opener: a stand-in browser registered as
// the default handler for http URLs, in a configuration of the test's own, writes down the
// URL it is handed. Runs under Xvfb (the offscreen platform opens no URLs).
class TestBrowser : public QObject
{
    Q_OBJECT
    QTemporaryDir m_desktop;
    QString got() const { return m_desktop.filePath(QStringLiteral("got")); }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs an X display (run under xvfb-run)");
        const QString standin = m_desktop.filePath(QStringLiteral("standin"));
        QVERIFY(writeFile(standin, "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.got.tmp\" && mv \"$0.got.tmp\" \"" + got().toUtf8() + "\"\n"));
        QFile::setPermissions(standin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(m_desktop.filePath(QStringLiteral("data/applications")));
        QDir().mkpath(m_desktop.filePath(QStringLiteral("config")));
        QVERIFY(writeFile(m_desktop.filePath(QStringLiteral("data/applications/standin.desktop")),
                          "[Desktop Entry]\nType=Application\nName=Stand-in browser\nExec=" + standin.toUtf8()
                              + " %u\nMimeType=x-scheme-handler/http;\n"));
        QVERIFY(writeFile(m_desktop.filePath(QStringLiteral("config/mimeapps.list")),
                          "[Default Applications]\nx-scheme-handler/http=standin.desktop\n"));
        qputenv("XDG_CONFIG_HOME", m_desktop.filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_DATA_HOME", m_desktop.filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_DATA_DIRS", m_desktop.filePath(QStringLiteral("data")).toUtf8());
        for (const char *name : {"BROWSER", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                 "GNOME_DESKTOP_SESSION_ID"})
            qunsetenv(name);
    }

    void visitHandsTheProfileUrlOver_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QByteArray>("url");
        const QByteArray base = frmMain::kBrowseBaseUrl.toLatin1();
        QTest::newRow("digits, byte for byte") << "50147164" << base + "50147164";
        QTest::newRow("empty cell: the base URL") << "" << base;
        QTest::newRow("a blank, encoded once") << "50 1" << base + "50%201";
        QTest::newRow("Chinese, encoded once") << "歌手" << base + "%E6%AD%8C%E6%89%8B";
        QTest::newRow("escapes in the cell are not encoded again") << "%E6%AD%8C%20x" << base + "%E6%AD%8C%20x";
        QTest::newRow("quotes and angle brackets") << "\"<x>\"" << base + "%22%3Cx%3E%22";
    }
    void visitHandsTheProfileUrlOver()
    {
        QFETCH(QString, cell);
        QFETCH(QByteArray, url);
        QFile::remove(got());
        Harness h;
        h.window->resultList()->appendRow(QStringLiteral("1"));
        h.window->resultList()->setCell(0, 2, cell);
        auto *lv = h.child<QTableView>("Lv");
        lv->selectionModel()->select(lv->model()->index(0, 0),
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        h.window->pmenu_Click(0);
        QDeadlineTimer bound(20000);
        while (!QFile::exists(got()) && !bound.hasExpired())
            QTest::qWait(50);
        QCOMPARE(readFile(got()), url);
    }
};

QTEST_MAIN(TestBrowser)
#include "tst_browser.moc"
