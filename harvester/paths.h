#pragma once

#include <QString>

// dir + the platform's separator + name, in native form; a dir that already ends in a
// separator (a drive root) gets no second one.
QString joinPath(const QString &dir, const QString &name);

// Where saved lists go and where the Log folder (logs and the journal) is kept.
struct FilePlaces
{
    QString saveDir;
    QString logDir;
};

// Beside the program when its folder can be written (a portable copy, a build tree);
// otherwise, as for an installed program, lists go to the user's documents under VqLirra
// and the Log folder to the application's data location.
FilePlaces filePlaces(const QString &programDir);
