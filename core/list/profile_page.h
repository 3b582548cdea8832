#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QUtf8StringView>

// Where each value stands in a profile page. Each function reads a decoded page or a page's
// valid UTF-8 bytes alike.
namespace ProfilePage {

// The display name's marker as the bytes of any charset that writes ASCII as ASCII.
QByteArrayView nameMarkBytes();

// Whether the page carries the display name's marker at all.
bool hasDisplayName(QStringView page);
bool hasDisplayName(QUtf8StringView page);

// The display name; the missing-value text when the page has none.
QString displayName(QStringView page);
QString displayName(QUtf8StringView page);

// The cells of Column::kRead of a result row, extracted from the page at the time of the call.
QString extractCell(QStringView page, int cell);
QString extractCell(QUtf8StringView page, int cell);

} // namespace ProfilePage
