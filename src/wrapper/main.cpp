#include "TuvoBusNames.h"
#include "TuvoBuildInfo.h"
#include "TuvoDBusWrapper.h"
#include "TuvoQuitSignals.h"

#include <TuvoMessageHandler.h>

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <glib.h>

namespace {
const char *const DebugMarkerFile = "/tmp/enable-tuvo-plugins-debug";
}

int main(int argc, char *argv[])
{
    g_setenv("TEMP", "/var/tmp", TRUE);

    if (argc < 2) {
        qCritical() << "use: tuvo-dbus-wrapper <PLUGIN>";
        return 1;
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

    qDebug() << "\n\nStarting new plugin: " << argv[1] << "\n";

    if (!wrapper->initialize(QString::fromLatin1(argv[1])))
        return 1;

    qDebug() << "tuvo-dbus-wrapper revision:" << TuvoBuildInfo::Revision;
    qDebug() << "tuvo-dbus-wrapper builtime:" << TuvoBuildInfo::BuildTime;

    TuvoQuitSignals quitSignals;
    return app.exec();
}
