#include "main_window.h"
#include "profile_site.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTextStream>

#include <cstring>

namespace {
// --tls CERT KEY (PEM files): the site over HTTPS. False when they cannot serve.
bool useTls(const QStringList &args, ProfileSite &site)
{
    const qsizetype at = args.indexOf(QStringLiteral("--tls"));
    if (at < 0)
        return true;
    QFile certificate(args.value(at + 1)), key(args.value(at + 2));
    if (certificate.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly)
        && site.server().useTls(certificate.readAll(), key.readAll()))
        return true;
    QTextStream(stderr) << "vqlirra-demo: --tls takes a certificate and a key, PEM files, and TLS to serve them\n";
    return false;
}

// --serve [--port N] [--delay MS] [--page-bytes N] [--tls CERT KEY]: the site alone, for the
// command line; prints its base URL.
int serveOnly(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    quint16 port = 0;
    int delay = 0;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--port")); at >= 0) {
        bool ok = false;
        port = args.value(at + 1).toUShort(&ok);
        if (!ok) {
            QTextStream(stderr) << "vqlirra-demo: --port takes a port number from 1 to 65535\n";
            return 2;
        }
    }
    if (const qsizetype at = args.indexOf(QStringLiteral("--delay")); at >= 0) {
        bool ok = false;
        delay = args.value(at + 1).toInt(&ok);
        if (!ok || delay < 0 || delay > 60000) {
            QTextStream(stderr) << "vqlirra-demo: --delay takes milliseconds from 0 to 60000\n";
            return 2;
        }
    }
    if (const qsizetype at = args.indexOf(QStringLiteral("--page-bytes")); at >= 0) {
        bool ok = false;
        const int bytes = args.value(at + 1).toInt(&ok);
        if (!ok || bytes < 0 || bytes > 1000000) {
            QTextStream(stderr) << "vqlirra-demo: --page-bytes takes a size from 0 to 1000000\n";
            return 2;
        }
        ProfileSite::setPageBytes(bytes);
    }
    ProfileSite site;
    site.setDelayMs(delay);
    if (!useTls(args, site))
        return 2;
    if (!site.listen(port)) {
        QTextStream(stderr) << "vqlirra-demo: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    QTextStream(stdout) << site.profileBaseUrl() << Qt::endl;
    return app.exec();
}
} // namespace

// The harvester pointed at a local profile site, so a harvest can be seen without the
// real site; with --serve, only the site.
int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--serve") == 0)
            return serveOnly(argc, argv);
    }
    QApplication app(argc, argv);
    ProfileSite site;
    if (!site.listen()) {
        QMessageBox::critical(nullptr, frmMain::kTitle, QStringLiteral("演示站点无法启动"));
        return 1;
    }
    frmMain window(site.profileBaseUrl());
    window.show();
    return app.exec();
}
