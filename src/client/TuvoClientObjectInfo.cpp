#include "TuvoClientObjectInfo.h"

#include <TuvoBusNames.h>

namespace {
TuvoClientObjectInfo fromWire(const TuvoBusObjectName &parsed)
{
    TuvoClientObjectInfo info;
    switch (parsed.kind) {
    case TuvoBusObjectName::None:
        return info;
    case TuvoBusObjectName::Plugin:
        info.kind = TuvoClientObjectInfo::Plugin;
        info.plugin = parsed.name;
        break;
    case TuvoBusObjectName::Source:
        info.kind = TuvoClientObjectInfo::Source;
        break;
    case TuvoBusObjectName::Renderer:
        info.kind = TuvoClientObjectInfo::Renderer;
        break;
    }
    info.name = parsed.name;
    info.busName = parsed.busName;
    return info;
}
} // namespace

TuvoClientObjectInfo TuvoClientObjectInfo::fromBusName(const QString &busName)
{
    return fromWire(TuvoBusNames::parseServiceName(busName));
}

TuvoClientObjectInfo TuvoClientObjectInfo::fromObjectPath(const QString &path)
{
    return fromWire(TuvoBusNames::parseObjectPath(path));
}

QString TuvoClientObjectInfo::objectPath() const
{
    switch (kind) {
    case Plugin:
        return TuvoBusNames::pluginObjectPath(name);
    case Source:
        return TuvoBusNames::sourceObjectPath(name);
    case Renderer:
        return TuvoBusNames::rendererObjectPath(name);
    }
    return QString();
}

QString TuvoClientObjectInfo::kindName(Kind kind)
{
    switch (kind) {
    case Plugin:
        return QStringLiteral("plugin");
    case Source:
        return QStringLiteral("source");
    case Renderer:
        return QStringLiteral("renderer");
    }
    return QString();
}

bool TuvoClientObjectInfo::kindFromName(const QString &text, Kind *kind)
{
    for (Kind candidate : {Plugin, Source, Renderer}) {
        if (text == kindName(candidate)) {
            *kind = candidate;
            return true;
        }
    }
    return false;
}

bool TuvoClientObjectInfo::operator==(const TuvoClientObjectInfo &other) const
{
    return kind == other.kind && name == other.name && busName == other.busName
           && owner == other.owner && title == other.title && pluginName == other.pluginName
           && plugin == other.plugin;
}
