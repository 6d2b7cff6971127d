#ifndef TUVOMPRISPLAYLISTDBUSSTRUCT_H
#define TUVOMPRISPLAYLISTDBUSSTRUCT_H

#include <QDBusObjectPath>
#include <QList>
#include <QMetaType>
#include <QString>

class QDBusArgument;

/*! A playlist as org.mpris.MediaPlayer2.Playlists gives it, D-Bus (oss): path, name, icon. */
struct TuvoMprisPlaylistDBusStruct
{
    QDBusObjectPath id{QStringLiteral("/")};
    QString name;
    QString icon;

    /*! Registers this type, its list and TuvoMprisActivePlaylistDBusStruct with Qt D-Bus. */
    static void registerMetaTypes();
};

using TuvoMprisPlaylistDBusList = QList<TuvoMprisPlaylistDBusStruct>;

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoMprisPlaylistDBusStruct &playlist);
const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoMprisPlaylistDBusStruct &playlist);

Q_DECLARE_METATYPE(TuvoMprisPlaylistDBusStruct)

#endif
