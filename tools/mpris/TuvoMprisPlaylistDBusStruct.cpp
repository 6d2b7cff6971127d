#include "TuvoMprisPlaylistDBusStruct.h"

#include "TuvoMprisActivePlaylistDBusStruct.h"

#include <QDBusArgument>
#include <QDBusMetaType>

void TuvoMprisPlaylistDBusStruct::registerMetaTypes()
{
    qDBusRegisterMetaType<TuvoMprisPlaylistDBusStruct>();
    qDBusRegisterMetaType<TuvoMprisPlaylistDBusList>();
    qDBusRegisterMetaType<TuvoMprisActivePlaylistDBusStruct>();
}

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoMprisPlaylistDBusStruct &playlist)
{
    argument.beginStructure();
    argument << playlist.id << playlist.name << playlist.icon;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoMprisPlaylistDBusStruct &playlist)
{
    argument.beginStructure();
    argument >> playlist.id >> playlist.name >> playlist.icon;
    argument.endStructure();
    return argument;
}
