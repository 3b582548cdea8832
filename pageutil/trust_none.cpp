#include "trust_p.h"

namespace Module1::detail {

const QByteArray &authoritiesToTrust(const QString &)
{
    static const QByteArray none;
    return none;
}

} // namespace Module1::detail
