#include "main_window.h"
#include "profile_site.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QMessageBox>
#include <QTextStream>

#include <optional>

namespace {
struct DemoOptions
{
    bool serve = false;
    int port = 0, delay = 0, bytes = 40000, week = 0;
    QString certificate, key; // --tls CERT KEY
};

// The number of the option name, from low to high: false (said) when it is not one.
bool numberOption(const QCommandLineParser &parser, const char *name, int low, int high, int &value)
{
    if (!parser.isSet(QLatin1String(name)))
        return true;
    bool ok = false;
    value = parser.value(QLatin1String(name)).toInt(&ok);
    if (ok && value >= low && value <= high)
        return true;
    QTextStream(stderr) << "vqlirra-demo: --" << name << " takes a number from " << low << " to " << high << "\n";
    return false;
}

// The options, read before any window exists, so that --help and a mistake need no display.
// Nothing: the program ends with exitCode.
std::optional<DemoOptions> readOptions(const QStringList &args, int &exitCode)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The harvester on a built-in profile site on 127.0.0.1, so that a harvest can be tried without the real site."));
    const auto option = [&](const char *name, const char *help, const char *value = nullptr) {
        parser.addOption(value ? QCommandLineOption(QLatin1String(name), QLatin1String(help), QLatin1String(value))
                               : QCommandLineOption(QLatin1String(name), QLatin1String(help)));
    };
    option("serve", "Only the site, for the command line: prints its base URL and serves until stopped.");
    option("week", "The site N weeks on (0 to 520): counters grown, some grades changed, some profiles gone and new "
                   "ones. Harvest, then start again with --week 1 and harvest, to see the changes.", "N");
    option("port", "With --serve, the port to listen on (default: any free one).", "N");
    option("delay", "Each page answered MS milliseconds late.", "MS");
    option("page-bytes", "The size of a profile page in bytes (default 40000).", "N");
    option("tls", "With --serve, HTTPS with the certificate CERT and the key given after it (PEM files).", "CERT");
    parser.addPositionalArgument(QStringLiteral("KEY"), QStringLiteral("The key of --tls."), QStringLiteral("[KEY]"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Prints these options."));
    parser.addOption(help);
    DemoOptions options;
    exitCode = 2;
    if (!parser.parse(args)) {
        QTextStream(stderr) << "vqlirra-demo: " << parser.errorText() << " (see --help)\n";
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        // Without an application object yet, the text cannot know the program's name.
        QTextStream(stdout) << parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("vqlirra-demo"));
        exitCode = 0;
        return std::nullopt;
    }
    const QStringList rest = parser.positionalArguments();
    options.certificate = parser.value(QStringLiteral("tls"));
    options.key = rest.value(0);
    if (rest.size() > (parser.isSet(QStringLiteral("tls")) ? 1 : 0)) {
        QTextStream(stderr) << "vqlirra-demo: unexpected argument '" << rest.last() << "' (see --help)\n";
        return std::nullopt;
    }
    options.serve = parser.isSet(QStringLiteral("serve"));
    if (!numberOption(parser, "port", 0, 65535, options.port) || !numberOption(parser, "delay", 0, 60000, options.delay)
        || !numberOption(parser, "page-bytes", 0, 1000000, options.bytes) || !numberOption(parser, "week", 0, 520, options.week))
        return std::nullopt;
    return options;
}

// --tls CERT KEY: the site over HTTPS. False when they cannot serve.
bool useTls(const DemoOptions &options, ProfileSite &site)
{
    if (options.certificate.isEmpty())
        return true;
    QFile certificate(options.certificate), key(options.key);
    if (certificate.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly)
        && site.server().useTls(certificate.readAll(), key.readAll()))
        return true;
    QTextStream(stderr) << "vqlirra-demo: --tls takes a certificate and a key, PEM files, and TLS to serve them\n";
    return false;
}

// The site alone, for the command line; prints its base URL.
int serveOnly(int argc, char *argv[], const DemoOptions &options)
{
    QCoreApplication app(argc, argv);
    ProfileSite site;
    site.setDelayMs(options.delay);
    if (!useTls(options, site))
        return 2;
    if (!site.listen(quint16(options.port))) {
        QTextStream(stderr) << "vqlirra-demo: cannot listen on 127.0.0.1:" << options.port << "\n";
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
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    int exitCode = 0;
    const std::optional<DemoOptions> options = readOptions(args, exitCode);
    if (!options)
        return exitCode;
    ProfileSite::setPageBytes(options->bytes);
    ProfileSite::setWeek(options->week);
    if (options->serve)
        return serveOnly(argc, argv, *options);
    QApplication app(argc, argv);
    ProfileSite site;
    site.setDelayMs(options->delay);
    if (!site.listen()) {
        QMessageBox::critical(nullptr, frmMain::kTitle, QStringLiteral("演示站点无法启动"));
        return 1;
    }
    frmMain window(site.profileBaseUrl());
    window.show();
    return app.exec();
}
