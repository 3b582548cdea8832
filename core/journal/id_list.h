#pragma once

#include <QString>

#include <vector>

class QIODevice;

// A list of profile IDs as a user writes one: an ID a line, blank lines and lines starting with
// '#' ignored, any order, repeats allowed. Read into ascending order, each ID once.
namespace IdList {
// False, with a message naming the line, when a line is no ID from -2147483648 to 2147483647
// or the list cannot be read.
bool read(QIODevice &in, std::vector<qint32> &ids, QString &error);
}
