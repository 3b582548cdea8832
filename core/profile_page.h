#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Where each value stands in a profile page.
namespace ProfilePage {

// The display name's marker as the bytes of any charset that writes ASCII as ASCII.
QByteArrayView nameMarkBytes();

// Whether the page carries the display name's marker at all.
bool hasDisplayName(QStringView page);

// The display name; the missing-value text when the page has none.
QString displayName(QStringView page);

// Cell 3 and cells 5 to 9 of a result row, extracted from the page at the time of the call.
QString extractCell(QStringView page, int cell);

} // namespace ProfilePage
