#pragma once

#include <QString>

// dir + the platform's separator + name, in native form; a dir that already ends in a
// separator (a drive root) gets no second one.
QString joinPath(const QString &dir, const QString &name);
