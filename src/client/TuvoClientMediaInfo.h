#ifndef TUVOCLIENTMEDIAINFO_H
#define TUVOCLIENTMEDIAINFO_H

#include "TuvoClientGlobal.h"

#include <QMap>
#include <QMetaType>
#include <QString>
#include <QVariantList>

class QDBusArgument;

/*!
 * A renderer's media info, D-Bus (sa{sav}): the item's id and, per metadata key, its
 * values, each in the type it was sent as.
 */
struct TUVO_CLIENT_EXPORT TuvoClientMediaInfo
{
    QString uuid;
    QMap<QString, QVariantList> metadata;

    /*!
     * Reads a reply argument; false (and why in \a error) when it is not a media
     * info structure.
     */
    static bool fromReplyArgument(const QVariant &argument, TuvoClientMediaInfo *info,
                                  QString *error = nullptr);
    static void registerMetaType();

    bool operator==(const TuvoClientMediaInfo &other) const
    {
        return uuid == other.uuid && metadata == other.metadata;
    }
};

TUVO_CLIENT_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const TuvoClientMediaInfo &info);
TUVO_CLIENT_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoClientMediaInfo &info);

Q_DECLARE_METATYPE(TuvoClientMediaInfo)

#endif
