#include "TuvoBusNames.h"

#include <QStringList>

const char *const TuvoBusNames::PluginService = "com.oxbel.tuvo.plugin";
const char *const TuvoBusNames::PluginPath = "/com/oxbel/tuvo/plugin";
const char *const TuvoBusNames::PluginInterface = "com.oxbel.tuvo.plugin";
const char *const TuvoBusNames::RegistryPath = "/com/oxbel/tuvo/registry";
const char *const TuvoBusNames::RegistryInterface = "com.oxbel.tuvo.registry";
const char *const TuvoBusNames::SourceService = "com.oxbel.tuvo.source";
const char *const TuvoBusNames::SourcePath = "/com/oxbel/tuvo/source";
const char *const TuvoBusNames::RendererService = "com.oxbel.tuvo.renderer";
const char *const TuvoBusNames::RendererPath = "/com/oxbel/tuvo/renderer";

QString TuvoBusNames::lastPathPiece(const QString &pluginArgument)
{
    // Empty pieces count: an argument ending in "/" has an empty file name.
    return pluginArgument.split(QLatin1Char('/')).last();
}

QString TuvoBusNames::pluginName(const QString &pluginArgument)
{
    QString name = lastPathPiece(pluginArgument);
    name.remove(QStringLiteral(".so"), Qt::CaseSensitive);
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    return name;
}

QString TuvoBusNames::logFilePath(const QString &pluginArgument, const QString &homePath)
{
    QString name = lastPathPiece(pluginArgument);
    name.remove(QStringLiteral(".so"), Qt::CaseSensitive);
    return homePath + QLatin1Char('/') + name + QStringLiteral(".log");
}

QString TuvoBusNames::pluginServiceName(const QString &pluginName)
{
    return QLatin1String(PluginService) + QLatin1Char('.') + pluginName;
}

QString TuvoBusNames::pluginObjectPath(const QString &pluginName)
{
    return QLatin1String(PluginPath) + QLatin1Char('/') + pluginName;
}

QString TuvoBusNames::pluginPart(const QString &objectPluginName)
{
    QString part = objectPluginName;
    part.replace(QLatin1Char(' '), QLatin1Char('-'));
    return part;
}

QString TuvoBusNames::sourceServiceName(const QString &objectPluginName, const QString &uuid)
{
    return QLatin1String(SourceService) + QLatin1Char('.') + pluginPart(objectPluginName)
           + QLatin1Char('.') + uuid;
}

QString TuvoBusNames::sourceObjectPath(const QString &uuid)
{
    return QLatin1String(SourcePath) + QLatin1Char('/') + uuid;
}

QString TuvoBusNames::rendererServiceName(const QString &objectPluginName, const QString &uuid)
{
    return QLatin1String(RendererService) + QLatin1Char('.') + pluginPart(objectPluginName)
           + QLatin1Char('.') + uuid;
}

QString TuvoBusNames::rendererObjectPath(const QString &uuid)
{
    return QLatin1String(RendererPath) + QLatin1Char('/') + uuid;
}
