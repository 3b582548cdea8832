#include "main_window.h"
#include "paths.h"

#include <QDateTime>
#include <QDir>
#include <QPlainTextEdit>
#include <QSaveFile>

#include "pageutil.h"

namespace {
constexpr qsizetype kRollOverAt = 50000;
const QString kCrLf = QStringLiteral("\r\n");
} // namespace

QString frmMain::logText() const
{
    // The box keeps its lines with LF; the log's own form, and its length, use CR LF.
    QString text = Alog->toPlainText();
    text.replace(u'\n', kCrLf);
    return text;
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
    fresh.replace(kCrLf, QStringLiteral("\n"));
    Alog->setPlainText(fresh);
}
