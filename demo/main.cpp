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

// The number after name in args, from low to high: false (said) when it is not one.
bool numberOption(const QStringList &args, const char *name, int low, int high, int &value)
{
    const qsizetype at = args.indexOf(QLatin1String(name));
    if (at < 0)
        return true;
    bool ok = false;
    value = args.value(at + 1).toInt(&ok);
    if (ok && value >= low && value <= high)
        return true;
    QTextStream(stderr) << "vqlirra-demo: " << name << " takes a number from " << low << " to " << high << "\n";
    return false;
}

// --serve [--port N] [--delay MS] [--page-bytes N] [--week N] [--tls CERT KEY]: the site alone,
// for the command line; prints its base URL. --week N shows the site N weeks on: counters
// grown, some grades changed, some profiles gone and new ones.
int serveOnly(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int port = 0, delay = 0, bytes = 40000, week = 0;
    const QStringList args = app.arguments();
    if (!numberOption(args, "--port", 0, 65535, port) || !numberOption(args, "--delay", 0, 60000, delay)
        || !numberOption(args, "--page-bytes", 0, 1000000, bytes) || !numberOption(args, "--week", 0, 520, week))
        return 2;
    ProfileSite::setPageBytes(bytes);
    ProfileSite::setWeek(week);
    ProfileSite site;
    site.setDelayMs(delay);
    if (!useTls(args, site))
        return 2;
    if (!site.listen(quint16(port))) {
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
