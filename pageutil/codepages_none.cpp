#include "codepages_p.h"

// Qt's converters (ICU) serve every charset here; the system adds none.
namespace Module1::detail {

int systemCodePage(QByteArrayView) { return 0; }
QString systemDecode(int, QByteArrayView, bool *error)
{
    if (error)
        *error = true;
    return {};
}
QByteArray systemEncode(int, QStringView) { return {}; }

} // namespace Module1::detail
