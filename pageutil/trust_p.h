#pragma once

#include <QByteArray>
#include <QString>

namespace Module1::detail {

// The authorities a fetch trusts, as one PEM bundle for the transfer library, where its TLS
// layer cannot be relied on to check a chain against the system's own (Windows' Schannel does
// not under Wine): the system's root authorities and those of caFile. Empty where the TLS
// layer checks the system's authorities itself; caFile is then named to it as it stands.
// The bundle lives as long as the program.
const QByteArray &authoritiesToTrust(const QString &caFile);

} // namespace Module1::detail
