#include "main_window.h"
#include "paths.h"

#include <QDateTime>
#include <QDir>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTextDocument>

#include "pageutil.h"

namespace {
constexpr qsizetype kRollOverAt = 50000;
const QString kCrLf = QStringLiteral("\r\n");
} // namespace

QString frmMain::logText() const
{
    // Kept with LF like the box; the log's own form, and its length, use CR LF.
    QString text = m_log;
    text.replace(u'\n', kCrLf);
    return text;
}

void frmMain::setLogText(const QString &crLfText)
{
    m_log = crLfText;
    m_log.replace(kCrLf, QStringLiteral("\n"));
    m_settingLog = true;
    Alog->setPlainText(m_log);
    m_settingLog = false;
}

// Follows what is typed into the box. Each character of the box stands for one of m_log (a
// block break for a line break or a paragraph separator), so an edit is replayed at its place.
void frmMain::logEdited(int position, int removed, int added)
{
    if (m_settingLog)
        return;
    QString raw = Alog->document()->toRawText();
    const qsizetype at = qBound(qsizetype(0), qsizetype(position), m_log.size());
    const qsizetype gone = qBound(qsizetype(0), qsizetype(removed), m_log.size() - at);
    QString typed = raw.mid(at, added);
    typed.replace(QChar::ParagraphSeparator, u'\n'); // Enter typed: a line break
    m_log.replace(at, gone, typed);
    if (m_log.size() != raw.size()) { // an edit reported in a way not foreseen: take the box
        raw.replace(QChar::ParagraphSeparator, u'\n');
        m_log = raw;
    }
}

QString frmMain::composeLogLine(const QString &Str, const QString &ErrStr, int ErrNum) const
{
    const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    if (!ErrStr.isEmpty())
        return time + QStringLiteral("  错误: ") + ErrStr + QStringLiteral(" 代码: ")
            + QString::number(ErrNum);
    return time + QStringLiteral("  ") + Str;
}

// Writes the whole log to Log/MMdd-HHmm-Log.txt; returns the path when that failed.
QString frmMain::rollOverLog(const QString &text)
{
    const QString &logDir = m_logDir;
    const QString path = joinPath(
        logDir,
        QDateTime::currentDateTime().toString(QStringLiteral("MMdd-HHmm")) + QStringLiteral("-Log.txt"));
    QDir().mkpath(logDir);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray bytes = Module1::encodeText(QString(text + kCrLf));
        if (file.write(bytes) == bytes.size() && file.commit())
            return {};
    }
    return path;
}

void frmMain::Ag(const QString &Str, const QString &ErrStr, int ErrNum)
{
    QString text = logText();
    QString failedFile;
    if (text.size() >= kRollOverAt) {
        failedFile = rollOverLog(text);
        text.clear(); // emptied even when the file failed, so the log stays bounded
    }
    QString fresh = composeLogLine(Str, ErrStr, ErrNum) + kCrLf + text;
    if (!failedFile.isEmpty())
        fresh.prepend(composeLogLine(QStringLiteral("日志文件写入失败: ") + failedFile, {}, 0) + kCrLf);
    setLogText(fresh);
}
