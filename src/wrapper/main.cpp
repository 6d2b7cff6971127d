#include "TuvoBusNames.h"
#include "TuvoBuildInfo.h"
#include "TuvoDBusWrapper.h"
#include "TuvoPluginLocator.h"
#include "TuvoQuitSignals.h"

#include <TuvoMessageHandler.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <glib.h>

#include <cstdio>
#include <cstring>

namespace {
const char *const DebugMarkerFile = "/tmp/enable-tuvo-plugins-debug";

const char *const HelpText =
    "use: tuvo-dbus-wrapper <PLUGIN>\n"
    "\n"
    "Hosts one media-framework plugin and publishes its sources and renderers on the\n"
    "D-Bus session bus as com.oxbel.tuvo.plugin.<name> (the file name without \".so\",\n"
    "\"-\" as \"_\"). The plugin is loaded while a client keeps it activated.\n"
    "\n"
    "PLUGIN is a path to the plugin library, or a file name looked up in the folders of\n"
    "TUVO_PLUGIN_PATH (colon-separated), then in the installed plugin folder.\n"
    "\n"
    "  -h, --help     show this text\n"
    "  --version      show the version\n"
    "\n"
    "Exit status: 0 after an orderly end (SIGTERM, SIGINT, or idle after its last\n"
    "client), 1 when it could not start, activate or publish, or lost its bus. See tuvo-dbus-wrapper(1).\n";

constexpr int BusWatchIntervalMs = 500;

// The plugin folder of this installation, wherever it was installed or moved to.
QStringList installedPluginFolders()
{
    return {QCoreApplication::applicationDirPath() + QLatin1Char('/')
                + QLatin1String(TuvoBuildInfo::PluginDirFromBin),
            QLatin1String(TuvoBuildInfo::PluginDir)};
}
} // namespace

int main(int argc, char *argv[])
{
    g_setenv("TEMP", "/var/tmp", TRUE);

    if (argc < 2) {
        qCritical() << "use: tuvo-dbus-wrapper <PLUGIN>";
        return 1;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(HelpText, stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("tuvo-dbus-wrapper %s\n", TuvoBuildInfo::Version);
        return 0;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLocal8Bit(argv[0]));

    auto *wrapper = new TuvoDBusWrapper;

    QTextStream *logStream = nullptr;
    if (QFile::exists(QLatin1String(DebugMarkerFile))) {
        const QString path =
            TuvoBusNames::logFilePath(QString::fromLocal8Bit(argv[1]), QDir::homePath());
        auto *logFile = new QFile(path, wrapper);
        logFile->open(QIODevice::WriteOnly | QIODevice::Append);
        logStream = new QTextStream(logFile);
    }
    TuvoMessageHandler::initTuvoLogging(true, logStream);
    const QString argument = QString::fromLocal8Bit(argv[1]);
    TuvoMessageHandler::setProcessName(TuvoBusNames::pluginName(argument));

    qDebug() << "\n\nStarting new plugin: " << argv[1] << "\n";

    // Only a quick look at the file: the plugin itself is loaded on activation.
    const TuvoPluginLocator locator(qEnvironmentVariable("TUVO_PLUGIN_PATH"),
                                    installedPluginFolders());
    const QString pluginFile = locator.locate(argument);
    if (pluginFile.isEmpty()) {
        qCritical().noquote() << "No plugin file" << argument << "found; tried:"
                              << locator.candidates(argument).join(QStringLiteral(", "));
        return 1;
    }

    if (!wrapper->initialize(pluginFile))
        return 1;

    qDebug() << "tuvo-dbus-wrapper revision:" << TuvoBuildInfo::Revision;
    qDebug() << "tuvo-dbus-wrapper builtime:" << TuvoBuildInfo::BuildTime;

    // Off the bus the wrapper can serve nobody, be deactivated by nobody, and would never
    // go idle: it says so and ends.
    QTimer busWatch;
    QObject::connect(&busWatch, &QTimer::timeout, &app, [] {
        if (QDBusConnection::sessionBus().isConnected())
            return;
        qCritical() << "Lost the connection to the session bus, exiting";
        QCoreApplication::exit(1);
    });
    busWatch.start(BusWatchIntervalMs);

    TuvoQuitSignals quitSignals;
    return app.exec();
}
