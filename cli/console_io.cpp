#include "console_io.h"

int complain(int code, const QString &message)
{
    writeText(stderr, QStringLiteral("vqlirra-cli: ") + message + u'\n');
    return code;
}
