#include "GstRendererConfig.h"

#include <TuvoConfigFile.h>

#include <QFile>

QString GstRendererConfig::defaultPath()
{
    return TuvoConfigFile::userPath(QStringLiteral("gstreamer-plugin.conf"));
}

GstRendererConfig GstRendererConfig::parse(const QByteArray &text, QStringList *warnings)
{
    GstRendererConfig config;
    const QList<TuvoConfigFile::Setting> settings = TuvoConfigFile::parse(text);
    for (const TuvoConfigFile::Setting &setting : settings) {
        if (setting.key == QLatin1String("audio_sink"))
            config.audioSink = setting.value;
        else if (setting.key == QLatin1String("video_sink"))
            config.videoSink = setting.value;
        else if (warnings)
            warnings->append(TuvoConfigFile::lineMessage(
                setting, QStringLiteral("unknown setting \"%1\"").arg(setting.key)));
    }
    return config;
}

GstRendererConfig GstRendererConfig::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return GstRendererConfig();
    QStringList warnings;
    const GstRendererConfig config = parse(file.readAll(), &warnings);
    for (const QString &warning : qAsConst(warnings))
        qWarning("%s: %s", qPrintable(path), qPrintable(warning));
    return config;
}
