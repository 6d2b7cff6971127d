#include "TuvoBusNames.h"

#include <QStringList>

const char *const TuvoBusNames::PluginService = TUVO_PLUGIN_INTERFACE;
const char *const TuvoBusNames::PluginPath = "/com/oxbel/tuvo/plugin";
const char *const TuvoBusNames::PluginInterface = TUVO_PLUGIN_INTERFACE;
const char *const TuvoBusNames::RegistryPath = "/com/oxbel/tuvo/registry";
const char *const TuvoBusNames::RegistryInterface = TUVO_REGISTRY_INTERFACE;
const char *const TuvoBusNames::SourceService = TUVO_SOURCE_INTERFACE;
const char *const TuvoBusNames::SourcePath = "/com/oxbel/tuvo/source";
const char *const TuvoBusNames::SourceInterface = TUVO_SOURCE_INTERFACE;
const char *const TuvoBusNames::ProxySourcePath = "/com/oxbel/tuvo/proxy_source";
const char *const TuvoBusNames::ProxySourceInterface = TUVO_PROXY_SOURCE_INTERFACE;
const char *const TuvoBusNames::RendererService = TUVO_RENDERER_INTERFACE;
const char *const TuvoBusNames::RendererPath = "/com/oxbel/tuvo/renderer";
const char *const TuvoBusNames::RendererInterface = TUVO_RENDERER_INTERFACE;
const char *const TuvoBusNames::ExtensionInterface = TUVO_EXTENSION_INTERFACE;

namespace {
// Empty pieces count: an argument ending in "/" has an empty file name.
QString fileNameWithoutSo(const QString &pluginArgument)
{
    QString name = pluginArgument.split(QLatin1Char('/')).last();
    name.remove(QStringLiteral(".so"), Qt::CaseSensitive);
    return name;
}

QString child(const char *parent, const QString &name)
{
    return QLatin1String(parent) + QLatin1Char('/') + name;
}

QString objectServiceName(const char *service, const QString &objectPluginName, const QString &uuid)
{
    QString part = objectPluginName;
    part.replace(QLatin1Char(' '), QLatin1Char('-'));
    return QLatin1String(service) + QLatin1Char('.') + part + QLatin1Char('.') + uuid;
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

// The rest of \a text after "<prefix>." or "<prefix>/", or a null string.
QString after(const QString &text, const char *prefix, QChar separator)
{
    const QLatin1String head(prefix);
    if (!text.startsWith(head) || text.size() <= head.size() || text.at(head.size()) != separator)
        return QString();
    return text.mid(head.size() + 1);
}
} // namespace

QString TuvoBusNames::pluginName(const QString &pluginArgument)
{
    QString name = fileNameWithoutSo(pluginArgument);
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    return name;
}

QString TuvoBusNames::shortPluginName(const QString &pluginName)
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

QString TuvoBusNames::logFilePath(const QString &pluginArgument, const QString &homePath)
{
    return homePath + QLatin1Char('/') + fileNameWithoutSo(pluginArgument) + QStringLiteral(".log");
}

QString TuvoBusNames::pluginServiceName(const QString &pluginName)
{
    return QLatin1String(PluginService) + QLatin1Char('.') + pluginName;
}

QString TuvoBusNames::pluginObjectPath(const QString &pluginName)
{
    return child(PluginPath, pluginName);
}

QString TuvoBusNames::sourceServiceName(const QString &objectPluginName, const QString &uuid)
{
    return objectServiceName(SourceService, objectPluginName, uuid);
}

QString TuvoBusNames::sourceObjectPath(const QString &uuid)
{
    return child(SourcePath, uuid);
}

QString TuvoBusNames::rendererServiceName(const QString &objectPluginName, const QString &uuid)
{
    return objectServiceName(RendererService, objectPluginName, uuid);
}

QString TuvoBusNames::rendererObjectPath(const QString &uuid)
{
    return child(RendererPath, uuid);
}

QString TuvoBusNames::proxySourceObjectPath(const QString &sourceUuid)
{
    return child(ProxySourcePath, sourceUuid);
}

TuvoBusObjectName TuvoBusNames::parseServiceName(const QString &busName)
{
    TuvoBusObjectName parsed;
    const QString pluginRest = after(busName, PluginService, QLatin1Char('.'));
    if (!pluginRest.isEmpty()) {
        if (pluginRest.contains(QLatin1Char('.')))
            return parsed;
        parsed.kind = TuvoBusObjectName::Plugin;
        parsed.name = pluginRest;
        parsed.busName = busName;
        return parsed;
    }
    TuvoBusObjectName::Kind kind = TuvoBusObjectName::Source;
    QString rest = after(busName, SourceService, QLatin1Char('.'));
    if (rest.isEmpty()) {
        kind = TuvoBusObjectName::Renderer;
        rest = after(busName, RendererService, QLatin1Char('.'));
    }
    // The plugin part may itself hold dots; the uuid never does, so it is the last element.
    const int dot = rest.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || !isPathElement(rest.mid(dot + 1)))
        return parsed;
    parsed.kind = kind;
    parsed.name = rest.mid(dot + 1);
    parsed.busName = busName;
    return parsed;
}

TuvoBusObjectName TuvoBusNames::parseObjectPath(const QString &path)
{
    TuvoBusObjectName parsed;
    QString uuid = after(path, SourcePath, QLatin1Char('/'));
    TuvoBusObjectName::Kind kind = TuvoBusObjectName::Source;
    if (uuid.isEmpty()) {
        uuid = after(path, RendererPath, QLatin1Char('/'));
        kind = TuvoBusObjectName::Renderer;
    }
    if (isPathElement(uuid)) {
        parsed.kind = kind;
        parsed.name = uuid;
    }
    return parsed;
}
