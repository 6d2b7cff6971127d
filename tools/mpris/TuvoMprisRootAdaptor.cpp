#include "TuvoMprisRootAdaptor.h"

#include "TuvoMprisPlayer.h"

TuvoMprisRootAdaptor::TuvoMprisRootAdaptor(TuvoMprisPlayer *player)
    : QDBusAbstractAdaptor(player)
    , m_player(player)
{
}

QString TuvoMprisRootAdaptor::identity() const
{
    return m_player->identity();
}

QStringList TuvoMprisRootAdaptor::supportedUriSchemes() const
{
    return {QStringLiteral("file")};
}
