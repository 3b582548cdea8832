#pragma once

#include <QByteArray>
#include <QString>

// The two code pages the files are written in, code page 936 and GB18030, as primitives that
// charset.cpp builds on. Where Qt has ICU they are ICU's converters; a Qt without ICU (as Qt
// for Windows is built) has neither, so there code page 936 is the system's own and GB18030's
// codes beyond it come from the table in gb18030_table.cpp.
namespace Module1::detail {

bool icuCodePages();

QByteArray cp936Encode(QStringView text);
QString cp936Decode(QByteArrayView bytes, bool *error = nullptr);
// One character (a surrogate pair is one) in GB18030.
QByteArray gb18030Encode(QStringView oneChar);
// One GB18030 code of two or four bytes.
QString gb18030Decode(QByteArrayView code, bool *error = nullptr);

// GB18030 from the table: the code of a character that code page 936 lacks (or writes for a
// character GB18030 reads otherwise), and the character of a four-byte code or of a two-byte
// code that code page 936 reads as private use. Empty when there is none.
QByteArray gb18030TableEncode(char32_t u);
QString gb18030TableDecode(QByteArrayView code);

// A page in GB18030 as ICU's converter reads it, by table; false (out undefined) for bytes
// the table does not cover, which ICU must then read.
bool decodeGb18030Quickly(QByteArrayView bytes, QString &out);

// The system's converters (Windows' code pages; none elsewhere): the code page of a charset
// label, 0 when there is none, and the conversions, which mark what they cannot convert.
int systemCodePage(QByteArrayView label);
QString systemDecode(int codePage, QByteArrayView bytes, bool *error = nullptr);
QByteArray systemEncode(int codePage, QStringView text);

} // namespace Module1::detail
