#include "trust_p.h"

#include <QFile>
#include <QHash>
#include <QMutex>

#include <windows.h>
#include <wincrypt.h>

namespace Module1::detail {

namespace {
QByteArray pem(const BYTE *der, DWORD size)
{
    const QByteArray base64 = QByteArray::fromRawData(reinterpret_cast<const char *>(der), int(size)).toBase64();
    QByteArray out = "-----BEGIN CERTIFICATE-----\n";
    for (qsizetype at = 0; at < base64.size(); at += 64)
        out += base64.mid(at, 64) + '\n';
    return out + "-----END CERTIFICATE-----\n";
}

// The system's root authorities, as the machine and the user trust them.
QByteArray systemRoots()
{
    QByteArray bundle;
    HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
    if (!store)
        return bundle;
    for (PCCERT_CONTEXT cert = CertEnumCertificatesInStore(store, nullptr); cert;
         cert = CertEnumCertificatesInStore(store, cert))
        bundle += pem(cert->pbCertEncoded, cert->cbCertEncoded);
    CertCloseStore(store, 0);
    return bundle;
}
} // namespace

// Given to libcurl as a bundle, the authorities make it check the chain itself: its own
// check against exactly these, rather than Schannel's, which Wine leaves undone.
const QByteArray &authoritiesToTrust(const QString &caFile)
{
    static QMutex lock;
    static QHash<QString, QByteArray> bundles; // never shrinks: transfers point into them
    const QMutexLocker locked(&lock);
    auto it = bundles.find(caFile);
    if (it != bundles.end())
        return it.value();
    static const QByteArray roots = systemRoots();
    QByteArray bundle = roots;
    QFile extra(caFile);
    if (!caFile.isEmpty() && extra.open(QIODevice::ReadOnly))
        bundle += extra.readAll() + '\n';
    return bundles.insert(caFile, bundle).value();
}

} // namespace Module1::detail
