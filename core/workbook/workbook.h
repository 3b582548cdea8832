#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// An Excel workbook of one list, written by libxlsxwriter a row at a time in constant memory:
// the header bold in a frozen first row with an autofilter, each column as wide as its
// texts. A list longer than a sheet goes on in a second sheet, "NAME 2", and so on.
class Workbook
{
public:
    // How a column's cells are written: as text; as a number where the text is one in
    // plain digits or the site's short forms ("1.2万"), else as the text; a signed number;
    // a signed fraction shown as a percentage.
    enum Kind { Text, Count, Signed, SignedPercent, Time };

    static constexpr int kRowsPerSheet = 1048576; // the header's row among them

    Workbook(const QString &path, const QString &sheetName, const QStringList &headers, std::vector<Kind> kinds,
             int rowsPerSheet = kRowsPerSheet);
    ~Workbook();
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    bool ok() const;
    // The next row; its cells follow, each column at most once, in any order.
    void beginRow();
    void text(int column, QByteArrayView utf8);
    void text(int column, const QString &value) { text(column, QByteArrayView(value.toUtf8())); }
    // A Count column's text, written as the number it stands for where it is one.
    void count(int column, QByteArrayView utf8);
    void number(int column, double value);
    void time(int column, qint64 unixSeconds); // shown in local time
    // Writes the file: false when anything failed on the way.
    bool close();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
