#include "GstRendererConfig.h"

#include <QFile>
#include <QStandardPaths>

QString GstRendererConfig::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/tuvo/gstreamer-plugin.conf");
}

GstRendererConfig GstRendererConfig::parse(const QByteArray &text, QStringList *warnings)
{
    GstRendererConfig config;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int equals = int(line.indexOf(QLatin1Char('=')));
        const QString key = equals < 0 ? line : line.left(equals).trimmed();
        const QString value = equals < 0 ? QString() : line.mid(equals + 1).trimmed();
        if (key == QLatin1String("audio_sink"))
            config.audioSink = value;
        else if (key == QLatin1String("video_sink"))
            config.videoSink = value;
        else if (warnings)
            warnings->append(QStringLiteral("line %1: unknown setting \"%2\"").arg(i + 1).arg(key));
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
