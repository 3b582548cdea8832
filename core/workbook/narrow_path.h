#pragma once

#include <QByteArray>
#include <QString>

// A folder's path as the C library's narrow file functions take it (libxlsxwriter opens its
// files with fopen): the file system's own bytes; on Windows the ANSI code page, or the folder's
// short name where that code page cannot spell it.
QByteArray narrowPath(const QString &folder);
