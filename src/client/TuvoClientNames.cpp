#include "TuvoClientNames.h"

#include <QStringList>

const char *const TuvoClientNames::PluginServicePrefix = "com.oxbel.tuvo.plugin.";
const char *const TuvoClientNames::SourceServicePrefix = "com.oxbel.tuvo.source.";
const char *const TuvoClientNames::RendererServicePrefix = "com.oxbel.tuvo.renderer.";
const char *const TuvoClientNames::PluginPath = "/com/oxbel/tuvo/plugin";
const char *const TuvoClientNames::SourcePath = "/com/oxbel/tuvo/source";
const char *const TuvoClientNames::RendererPath = "/com/oxbel/tuvo/renderer";
const char *const TuvoClientNames::ProxySourcePath = "/com/oxbel/tuvo/proxy_source";
const char *const TuvoClientNames::RegistryPath = "/com/oxbel/tuvo/registry";
const char *const TuvoClientNames::PluginInterface = "com.oxbel.tuvo.plugin";
const char *const TuvoClientNames::RegistryInterface = "com.oxbel.tuvo.registry";
const char *const TuvoClientNames::SourceInterface = "com.oxbel.tuvo.source";
const char *const TuvoClientNames::ProxySourceInterface = "com.oxbel.tuvo.proxy_source";
const char *const TuvoClientNames::RendererInterface = "com.oxbel.tuvo.renderer";
const char *const TuvoClientNames::ExtensionInterface = "com.oxbel.tuvo.extension";

namespace {
QString objectServiceName(const char *prefix, const QString &pluginName, const QString &uuid)
{
    QString part = pluginName;
    part.replace(QLatin1Char(' '), QLatin1Char('-'));
    return QLatin1String(prefix) + part + QLatin1Char('.') + uuid;
}

// Letters, digits and "_": what a uuid may hold to become a path element.
bool isPathElement(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_'))
            return false;
    }
    return true;
}
} // namespace

QString TuvoClientNames::pluginNameFromFile(const QString &pluginArgument)
{
    QString name = pluginArgument.split(QLatin1Char('/')).last();
    name.remove(QStringLiteral(".so"), Qt::CaseSensitive);
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    return name;
}

QString TuvoClientNames::shortPluginName(const QString &pluginName)
{
    QString name = pluginName;
    if (name.startsWith(QLatin1String("lib")))
        name.remove(0, 3);
    if (name.startsWith(QLatin1String("tuvo_")))
        name.remove(0, 5);
    if (name.endsWith(QLatin1String("_plugin")))
        name.chop(7);
    return name.isEmpty() ? pluginName : name;
}

QString TuvoClientNames::pluginServiceName(const QString &pluginName)
{
    return QLatin1String(PluginServicePrefix) + pluginName;
}

QString TuvoClientNames::pluginObjectPath(const QString &pluginName)
{
    return QLatin1String(PluginPath) + QLatin1Char('/') + pluginName;
}

QString TuvoClientNames::sourceServiceName(const QString &pluginName, const QString &uuid)
{
    return objectServiceName(SourceServicePrefix, pluginName, uuid);
}

QString TuvoClientNames::rendererServiceName(const QString &pluginName, const QString &uuid)
{
    return objectServiceName(RendererServicePrefix, pluginName, uuid);
}

QString TuvoClientNames::sourceObjectPath(const QString &uuid)
{
    return QLatin1String(SourcePath) + QLatin1Char('/') + uuid;
}

QString TuvoClientNames::rendererObjectPath(const QString &uuid)
{
    return QLatin1String(RendererPath) + QLatin1Char('/') + uuid;
}

QString TuvoClientNames::proxySourceObjectPath(const QString &sourceUuid)
{
    return QLatin1String(ProxySourcePath) + QLatin1Char('/') + sourceUuid;
}

TuvoClientObjectInfo TuvoClientNames::parseServiceName(const QString &busName)
{
    TuvoClientObjectInfo info;
    if (busName.startsWith(QLatin1String(PluginServicePrefix))) {
        const QString name = busName.mid(int(qstrlen(PluginServicePrefix)));
        if (name.isEmpty() || name.contains(QLatin1Char('.')))
            return info;
        info.kind = TuvoClientObjectInfo::Plugin;
        info.name = name;
        info.plugin = name;
        info.busName = busName;
        return info;
    }
    const char *prefix = nullptr;
    if (busName.startsWith(QLatin1String(SourceServicePrefix))) {
        prefix = SourceServicePrefix;
        info.kind = TuvoClientObjectInfo::Source;
    } else if (busName.startsWith(QLatin1String(RendererServicePrefix))) {
        prefix = RendererServicePrefix;
        info.kind = TuvoClientObjectInfo::Renderer;
    } else {
        return TuvoClientObjectInfo();
    }
    // The plugin part may itself hold dots; the uuid never does, so it is the last element.
    const QString rest = busName.mid(int(qstrlen(prefix)));
    const int dot = rest.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || !isPathElement(rest.mid(dot + 1)))
        return TuvoClientObjectInfo();
    info.name = rest.mid(dot + 1);
    info.busName = busName;
    return info;
}

TuvoClientObjectInfo TuvoClientNames::parseObjectPath(const QString &path)
{
    TuvoClientObjectInfo info;
    const QString sourcePrefix = QLatin1String(SourcePath) + QLatin1Char('/');
    const QString rendererPrefix = QLatin1String(RendererPath) + QLatin1Char('/');
    if (path.startsWith(sourcePrefix)) {
        info.kind = TuvoClientObjectInfo::Source;
        info.name = path.mid(sourcePrefix.size());
    } else if (path.startsWith(rendererPrefix)) {
        info.kind = TuvoClientObjectInfo::Renderer;
        info.name = path.mid(rendererPrefix.size());
    }
    if (!isPathElement(info.name))
        return TuvoClientObjectInfo();
    // Only the kind and uuid are known from a path; busName stays empty.
    return info;
}
