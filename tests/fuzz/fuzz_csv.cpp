#include "csv_reader.h"
#include "csv_rows.h"
#include "fuzz_input.h"
#include "pageutil.h"
#include "result_model.h"

#include <QBuffer>

// The CSV writer: every value written comes back unchanged in its own cell, read as a
// spreadsheet reads it and as the journal reads it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Values as text a page could yield: valid UTF-8 decoded, so no lone surrogates.
    const QString all = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList values = all.split(QChar(1));
    ResultModel list;
    for (qsizetype i = 0; i < values.size(); i += 9) {
        list.appendRow(QString::number(list.rowCount() + 1));
        for (int c = 1; c <= 9 && i + c - 1 < values.size(); ++c)
            list.setCell(list.rowCount() - 1, c, values[i + c - 1]);
    }
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    FUZZ_CHECK(Module1::exportListToCsv(list, out, true));
    bool decoded = false;
    const QString text = Module1::decodeText(out.data(), &decoded);
    FUZZ_CHECK(decoded);
    const QList<QStringList> rows = readCsvBack(text);
    FUZZ_CHECK(rows.size() == list.rowCount() + 2);
    for (int r = 0; r < list.rowCount(); ++r) {
        FUZZ_CHECK(rows[r + 1].size() == 11);
        for (int c = 0; c < 10; ++c)
            FUZZ_CHECK(rows[r + 1][c] == list.cell(r, c));
    }
    // The journal reads the same lines back into the same cells.
    const qsizetype headerEnd = text.indexOf(QStringLiteral("\r\n")) + 2;
    const CsvRows::Parsed journal = CsvRows::parse(QStringView(text).mid(headerEnd).chopped(2));
    FUZZ_CHECK(journal.ok && !journal.torn && journal.rows.size() == size_t(list.rowCount()));
    for (int r = 0; r < list.rowCount(); ++r) {
        for (int c = 0; c < 10; ++c)
            FUZZ_CHECK(journal.rows[size_t(r)][size_t(c)] == list.cell(r, c));
    }
    return 0;
}
