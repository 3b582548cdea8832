#include "workbook.h"
#include "narrow_path.h"
#include "short_number.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <xlsxwriter.h>

#include <algorithm>
#include <string>

struct Workbook::Private
{
    lxw_workbook *book = nullptr;
    lxw_worksheet *sheet = nullptr;
    lxw_format *bold = nullptr, *signedFormat = nullptr, *percentFormat = nullptr, *timeFormat = nullptr;
    QString path, partPath, sheetName;
    QStringList headers;
    std::vector<Kind> kinds;
    std::vector<int> widths; // of the current sheet, in characters
    QByteArray tmpdir;
    std::string buffer; // a cell's text, ending in a NUL for the library
    int sheets = 0;
    lxw_row_t row = 0;
    lxw_row_t rowsInSheet = 0;
    lxw_row_t rowsPerSheet = 0;
    bool failed = false;

    void check(lxw_error error) { failed = failed || error != LXW_NO_ERROR; }
    void open();
    void newSheet();
    void finishSheet();
    void widen(int column, QByteArrayView utf8);
    const char *terminated(QByteArrayView utf8);
};

namespace {
// A cell's text may hold 32,767 characters; longer ones are cut where a character begins.
constexpr qsizetype kMaxText = 32767;
constexpr int kMaxWidth = 60;
} // namespace

void Workbook::Private::open()
{
    // Written beside the file and put in its place only whole, as the CSV is; made as any new
    // file is (not private, as a temporary file would be), under a name of its own in letters
    // and digits, which the library's narrow file functions take on any system.
    const QString folder = QFileInfo(path).absolutePath();
    QString name;
    QFile part;
    for (int attempt = 0; attempt < 100 && !part.isOpen(); ++attempt) {
        name = QStringLiteral(".vqlirra-%1.xlsx.part").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        part.setFileName(folder + u'/' + name);
        if (!part.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !part.exists())
            break; // the folder cannot be written
    }
    if (!part.isOpen()) {
        failed = true;
        return;
    }
    partPath = part.fileName();
    part.close();
    tmpdir = narrowPath(QDir::tempPath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpdir.data();
    book = workbook_new_opt((narrowPath(folder) + QFile::encodeName(QDir::toNativeSeparators(u'/' + name))).constData(), &options);
    if (!book) {
        failed = true;
        return;
    }
    bold = workbook_add_format(book);
    format_set_bold(bold);
    signedFormat = workbook_add_format(book);
    format_set_num_format(signedFormat, "+#,##0;-#,##0;0");
    percentFormat = workbook_add_format(book);
    format_set_num_format(percentFormat, "+0.0%;-0.0%;0.0%");
    timeFormat = workbook_add_format(book);
    format_set_num_format(timeFormat, "yyyy-mm-dd hh:mm");
    newSheet();
}

void Workbook::Private::newSheet()
{
    ++sheets;
    const QString name = sheets == 1 ? sheetName : sheetName + QStringLiteral(" %1").arg(sheets);
    sheet = workbook_add_worksheet(book, name.toUtf8().constData());
    if (!sheet) {
        failed = true;
        return;
    }
    widths.assign(size_t(headers.size()), 0);
    for (int c = 0; c < int(headers.size()); ++c) {
        const QByteArray utf8 = headers[c].toUtf8();
        check(worksheet_write_string(sheet, 0, lxw_col_t(c), utf8.constData(), bold));
        widen(c, utf8);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    rowsInSheet = 0;
}

void Workbook::Private::finishSheet()
{
    if (!sheet)
        return;
    const lxw_col_t last = lxw_col_t(std::max<qsizetype>(1, headers.size()) - 1);
    check(worksheet_autofilter(sheet, 0, 0, rowsInSheet, last));
    for (size_t c = 0; c < widths.size(); ++c)
        check(worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), std::min(widths[c], kMaxWidth) + 2, nullptr));
}

// Wide characters (CJK, emoji: three or four UTF-8 bytes) take two places, others one.
void Workbook::Private::widen(int column, QByteArrayView utf8)
{
    int width = 0;
    for (const char ch : utf8) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b & 0xC0) != 0x80)
            width += b >= 0xE0 ? 2 : 1;
    }
    int &widest = widths[size_t(column)];
    widest = std::max(widest, width);
}

const char *Workbook::Private::terminated(QByteArrayView utf8)
{
    if (utf8.size() > kMaxText) {
        qsizetype end = kMaxText;
        while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            --end;
        utf8 = utf8.first(end);
    }
    buffer.assign(utf8.data(), size_t(utf8.size()));
    return buffer.c_str();
}

Workbook::Workbook(const QString &path, const QString &sheetName, const QStringList &headers, std::vector<Kind> kinds,
                   int rowsPerSheet)
    : d(std::make_unique<Private>())
{
    d->rowsPerSheet = lxw_row_t(rowsPerSheet);
    d->path = path;
    d->sheetName = sheetName;
    d->headers = headers;
    d->kinds = std::move(kinds);
    d->open();
}

Workbook::~Workbook()
{
    if (d->book) {
        workbook_close(d->book);
        QFile::remove(d->partPath);
    }
}

bool Workbook::ok() const { return !d->failed; }

void Workbook::beginRow()
{
    if (d->failed)
        return;
    if (d->rowsInSheet + 1 >= d->rowsPerSheet) {
        d->finishSheet();
        d->newSheet();
    }
    d->row = ++d->rowsInSheet;
}

void Workbook::text(int column, QByteArrayView utf8)
{
    if (d->failed || utf8.isEmpty())
        return;
    d->widen(column, utf8);
    d->check(worksheet_write_string(d->sheet, d->row, lxw_col_t(column), d->terminated(utf8), nullptr));
}

void Workbook::count(int column, QByteArrayView utf8)
{
    // Plain digits need no decoding, the common case by far.
    const bool digits = !utf8.isEmpty() && utf8.size() <= 15
                        && std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= '0' && c <= '9'; });
    const std::optional<qint64> value = digits ? std::optional<qint64>(utf8.toByteArray().toLongLong())
                                               : ShortNumber::read(QString::fromUtf8(utf8));
    if (!value)
        return text(column, utf8);
    d->widen(column, utf8);
    number(column, double(*value));
}

void Workbook::number(int column, double value)
{
    if (d->failed)
        return;
    const Kind kind = d->kinds[size_t(column)];
    lxw_format *format = kind == Signed ? d->signedFormat : kind == SignedPercent ? d->percentFormat : nullptr;
    if (kind != Count)
        d->widen(column, QByteArray::number(value, 'f', kind == SignedPercent ? 1 : 0) + "+,,%");
    d->check(worksheet_write_number(d->sheet, d->row, lxw_col_t(column), value, format));
}

void Workbook::time(int column, qint64 unixSeconds)
{
    if (d->failed)
        return;
    const QDateTime at = QDateTime::fromSecsSinceEpoch(unixSeconds);
    d->widen(column, "yyyy-mm-dd hh:mm");
    d->check(worksheet_write_unixtime(d->sheet, d->row, lxw_col_t(column), unixSeconds + at.offsetFromUtc(), d->timeFormat));
}

bool Workbook::close()
{
    if (!d->book)
        return false;
    d->finishSheet();
    const lxw_error closed = workbook_close(d->book);
    d->book = nullptr;
    const QString part = d->partPath;
    bool ok = !d->failed && closed == LXW_NO_ERROR;
    if (ok && !QFile::rename(part, d->path)) {
        QFile::remove(d->path);
        ok = QFile::rename(part, d->path);
    }
    if (!ok)
        QFile::remove(part);
    return ok;
}
