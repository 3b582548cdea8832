#include "harness.h"
#include "journal.h"
#include "test_files.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>

namespace {
// A small tmpfs of the test's own, full or read-only, where the tool must write and fail.
class Device
{
public:
    explicit Device(const QString &path) : m_path(path) {}
    ~Device()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_path});
    }
    bool mount()
    {
        QDir().mkpath(m_path);
        m_mounted = QProcess::execute(QStringLiteral("mount"),
                                      {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                       QStringLiteral("size=256k"), QStringLiteral("tmpfs"), m_path})
            == 0;
        return m_mounted;
    }
    bool makeReadOnly()
    {
        return QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), m_path}) == 0;
    }
    void fill()
    {
        QFile filler(m_path + QStringLiteral("/filler"));
        filler.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

private:
    QString m_path;
    bool m_mounted = false;
};
} // namespace

class TestDiskFaults : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_base;
    std::unique_ptr<Device> m_device;
    QString m_programDir;

    // Turns the device into the one the test row asks for, once its earlier files are there.
    void spoilDevice()
    {
        QFETCH(bool, readOnly);
        if (readOnly)
            QVERIFY(m_device->makeReadOnly());
        else
            m_device->fill();
    }

private Q_SLOTS:
    void init()
    {
        m_base = std::make_unique<QTemporaryDir>();
        m_programDir = m_base->filePath(QStringLiteral("program"));
        m_device = std::make_unique<Device>(m_programDir);
        if (!m_device->mount())
            QSKIP("mounting a tmpfs needs root");
    }
    void cleanup()
    {
        m_device.reset(); // unmounts before the folder goes
        m_base.reset();
    }

    void saveOntoABadDevice_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("full device") << false;
        QTest::newRow("read-only device") << true;
    }
    // Saving the list onto a device that refuses it: the log says so, the earlier file of
    // that name keeps every byte, and the list is still there.
    void saveOntoABadDevice();

    void rollOverOntoABadDevice_data() { saveOntoABadDevice_data(); }
    void rollOverOntoABadDevice();

    // A program folder that cannot be written at start-up, as an installed program's: the
    // lists go to the user's documents, the logs and the journal to the data location.
    void readOnlyProgramFolderUsesTheUsersFolders();

    // A journal that cannot be written is said once; the run keeps every row all the same.
    void harvestOntoABadDevice_data() { saveOntoABadDevice_data(); }
    void harvestOntoABadDevice();
};

void TestDiskFaults::readOnlyProgramFolderUsesTheUsersFolders()
{
    QVERIFY(m_device->makeReadOnly());
    LoopbackServer site([](const LoopbackServer::Request &, QTcpSocket *s) {
        LoopbackServer::respond(s, 200, "text/html; charset=utf-8", profilePage(QStringLiteral("名")));
    });
    QVERIFY(site.listen());
    frmMain window(QString::fromLatin1(site.baseUrl() + "/u/"), m_programDir);
    window.findChild<QLineEdit *>(QStringLiteral("Txt(0)"))->setText(QStringLiteral("1"));
    window.findChild<QLineEdit *>(QStringLiteral("Txt(1)"))->setText(QStringLiteral("2"));
    window.findChild<QLineEdit *>(QStringLiteral("Txt(2)"))->setText(QStringLiteral("0"));
    window.Command1_Click();
    window.pmenu_Click(4);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString saved = QDir::toNativeSeparators(documents + QStringLiteral("/VqLirra/")
                                                   + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                                                   + QStringLiteral("-1-2.csv"));
    QVERIFY2(window.logText().section(QStringLiteral("\r\n"), 0, 0).endsWith(QStringLiteral("  文件保存成功: ") + saved),
             qPrintable(window.logText()));
    QVERIFY(readFile(saved).startsWith("Index,"));
    const QString logDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Log");
    QVERIFY(QFile::exists(logDir + QStringLiteral("/journal.csv")));
    window.findChild<QPlainTextEdit *>(QStringLiteral("Alog"))->setPlainText(QString(50000, u'日'));
    window.Ag(QStringLiteral("after"));
    QCOMPARE(QDir(logDir).entryList({QStringLiteral("*-Log.txt")}).size(), 1);
    QVERIFY(QDir(documents).removeRecursively());
    QVERIFY(QDir(logDir).removeRecursively());
}

void TestDiskFaults::harvestOntoABadDevice()
{
    LoopbackServer site([](const LoopbackServer::Request &r, QTcpSocket *s) {
        LoopbackServer::respond(s, 200, "text/html; charset=utf-8",
                                profilePage(QString(300, u'名') + QString::fromLatin1(r.path)));
    });
    QVERIFY(site.listen());
    frmMain window(QString::fromLatin1(site.baseUrl() + "/u/"), m_programDir);
    spoilDevice();
    window.findChild<QLineEdit *>(QStringLiteral("Txt(0)"))->setText(QStringLiteral("1"));
    window.findChild<QLineEdit *>(QStringLiteral("Txt(1)"))->setText(QStringLiteral("300"));
    window.findChild<QLineEdit *>(QStringLiteral("Txt(2)"))->setText(QStringLiteral("0"));
    window.Command1_Click();
    QCOMPARE(window.resultList()->rowCount(), 300);
    QCOMPARE(window.logText().count(QStringLiteral("恢复记录写入失败, 采集继续: ")), 1);
    // What did reach the device is whole rows, readable at the next start.
    QVERIFY(Journal(m_programDir + QStringLiteral("/Log")).recover().setAside.isEmpty());
    QVERIFY(window.logText().section(QStringLiteral("\r\n"), 0, 0).endsWith(QStringLiteral("  采集已经停止...")));
}

void TestDiskFaults::saveOntoABadDevice()
{
    frmMain window(frmMain::kFetchBaseUrl, m_programDir);
    for (int r = 0; r < 200; ++r) {
        window.resultList()->appendRow(QString::number(r + 1));
        window.resultList()->setCell(r, 1, QString(400, u'名')); // far more than the device holds
    }
    const QString path = m_programDir + u'/' + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
        + QStringLiteral("-50147164-50147260.csv");
    const QByteArray earlier = "an earlier save\r\n";
    QVERIFY(writeFile(path, earlier));
    spoilDevice();

    window.pmenu_Click(4);
    QVERIFY(window.logText().section(QStringLiteral("\r\n"), 0, 0).endsWith(QStringLiteral("  文件保存失败...")));
    QCOMPARE(readFile(path), earlier);
    QCOMPARE(window.resultList()->rowCount(), 200);
    const QStringList files = QDir(m_programDir).entryList(QDir::Files);
    QVERIFY2(files.size() <= 2, qPrintable(files.join(u' '))); // no partial file left behind
}

void TestDiskFaults::rollOverOntoABadDevice()
{
    QDir().mkpath(m_programDir + QStringLiteral("/Log"));
    while (QTime::currentTime().second() >= 57) // one file name for the whole test
        QTest::qWait(250);
    const QString name = QDateTime::currentDateTime().toString(QStringLiteral("MMdd-HHmm")) + QStringLiteral("-Log.txt");
    const QString earlierPath = m_programDir + QStringLiteral("/Log/") + name;
    QVERIFY(writeFile(earlierPath, "earlier log\r\n"));
    frmMain window(frmMain::kFetchBaseUrl, m_programDir);
    spoilDevice();
    auto *box = window.findChild<QPlainTextEdit *>(QStringLiteral("Alog"));
    for (int round = 0; round < 3; ++round) {
        box->setPlainText(QString(300000, u'日')); // more than the device could take
        window.Ag(QStringLiteral("after"));
        const QStringList lines = window.logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].contains(QStringLiteral("日志文件写入失败: ")) && lines[0].contains(name));
        QVERIFY(lines[1].endsWith(QStringLiteral("  after")));
    }
    QCOMPARE(readFile(earlierPath), QByteArray("earlier log\r\n"));
}

QTEST_MAIN(TestDiskFaults)
#include "tst_diskfaults.moc"
