#include "narrow_path.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>

#include <vector>
#endif

QByteArray narrowPath(const QString &folder)
{
    const QString native = QDir::toNativeSeparators(folder);
    const QByteArray bytes = QFile::encodeName(native);
#ifdef Q_OS_WIN
    if (QFile::decodeName(bytes) == native)
        return bytes;
    // Short names are ASCII where the volume keeps them.
    const std::wstring wide = native.toStdWString();
    const DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
    std::vector<wchar_t> shortName(size + 1);
    if (size > 0 && GetShortPathNameW(wide.c_str(), shortName.data(), size + 1) > 0)
        return QFile::encodeName(QString::fromWCharArray(shortName.data()));
#endif
    return bytes;
}
