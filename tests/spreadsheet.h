#pragma once

// A workbook as a spreadsheet program reads it: LibreOffice Calc, headless, turns each sheet
// into CSV (the cells as shown), and the sheet's XML says which cells are numbers.

#include <QtCore>

struct Sheet
{
    QList<QStringList> rows; // the cells as the spreadsheet shows them
    QList<QStringList> types; // "n" for a number, "s" for a text, "" for an empty cell
};

inline QString spreadsheetProgram() { return QStandardPaths::findExecutable(QStringLiteral("soffice")); }

// Runs program with arguments, at most a minute: its standard output, empty on failure.
inline QByteArray runFor(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

inline QList<QStringList> csvLines(const QByteArray &bytes)
{
    QList<QStringList> lines;
    QStringList cells;
    QString cell;
    bool quoted = false;
    const QString text = QString::fromUtf8(bytes);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
            cell += c, ++i;
        else if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u',')
            cells << cell, cell.clear();
        else if (!quoted && c == u'\n')
            cells << cell, cell.clear(), lines << cells, cells.clear();
        else if (quoted || c != u'\r')
            cell += c;
    }
    return lines;
}

// Every sheet of the workbook at path, in order, read in a scratch folder of dir.
inline QList<Sheet> readWorkbook(const QString &path, const QString &dir)
{
    const QString out = dir + QStringLiteral("/read-") + QFileInfo(path).completeBaseName();
    runFor(spreadsheetProgram(), {QStringLiteral("--headless"),
                                  QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(dir + QStringLiteral("/office")).toString(),
                                  QStringLiteral("--convert-to"),
                                  QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1"),
                                  QStringLiteral("--outdir"), out, path});
    const QByteArray book = runFor(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/workbook.xml")});
    static const QRegularExpression sheetName(QStringLiteral("<sheet name=\"([^\"]+)\""));
    static const QRegularExpression cell(QStringLiteral("<c r=\"([A-Z]+)(\\d+)\"([^>]*)>"));
    QList<Sheet> sheets;
    int n = 0;
    for (const auto &name : sheetName.globalMatch(QString::fromUtf8(book))) {
        Sheet sheet;
        QFile csv(out + u'/' + QFileInfo(path).completeBaseName() + u'-' + name.captured(1) + QStringLiteral(".csv"));
        if (csv.open(QIODevice::ReadOnly))
            sheet.rows = csvLines(csv.readAll());
        const QByteArray xml = runFor(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet%1.xml").arg(++n)});
        for (const auto &c : cell.globalMatch(QString::fromUtf8(xml))) {
            const int row = c.captured(2).toInt() - 1, column = c.captured(1).front().unicode() - u'A';
            while (sheet.types.size() <= row)
                sheet.types << QStringList();
            while (sheet.types[row].size() <= column)
                sheet.types[row] << QString();
            sheet.types[row][column] = c.captured(3).contains(QStringLiteral(" t=")) ? QStringLiteral("s") : QStringLiteral("n");
        }
        sheets << sheet;
    }
    return sheets;
}
