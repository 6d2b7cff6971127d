#include "TuvoClientObjectInfo.h"

#include "TuvoClientNames.h"

QString TuvoClientObjectInfo::objectPath() const
{
    switch (kind) {
    case Plugin:
        return TuvoClientNames::pluginObjectPath(name);
    case Source:
        return TuvoClientNames::sourceObjectPath(name);
    case Renderer:
        return TuvoClientNames::rendererObjectPath(name);
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
