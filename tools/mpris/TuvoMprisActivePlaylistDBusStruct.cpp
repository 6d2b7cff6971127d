#include "TuvoMprisActivePlaylistDBusStruct.h"

#include <QDBusArgument>

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoMprisActivePlaylistDBusStruct &active)
{
    argument.beginStructure();
    argument << active.valid << active.playlist;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoMprisActivePlaylistDBusStruct &active)
{
    argument.beginStructure();
    argument >> active.valid >> active.playlist;
    argument.endStructure();
    return argument;
}
