#ifndef TUVOMEDIAINFODBUSSTRUCT_H
#define TUVOMEDIAINFODBUSSTRUCT_H

#include "TuvoWireGlobal.h"

#include <QMap>
#include <QMetaType>
#include <QString>
#include <QVariantList>

class QDBusArgument;

/*!
 * A renderer's media info on the wire, D-Bus (sa{sav}): the item's id followed by one
 * dictionary entry per metadata key, in ascending key order, each value a variant
 * carrying its own D-Bus type.
 *
 * Read back, values come without D-Bus wrappers (see TuvoDBusValue), and a key that
 * occurs more than once keeps the values of all its entries, in wire order.
 */
struct TUVO_WIRE_EXPORT TuvoMediaInfoDBusStruct
{
    static const char *const Signature; // "(sa{sav})"

    QString uuid;
    QMap<QString, QVariantList> metadata;

    /*! Makes the structure known to Qt D-Bus; registering again changes nothing. */
    static void registerMetaType();

    /*!
     * Reads a reply argument; false (and why in \a error) when it is not a media info
     * structure.
     */
    static bool fromReplyArgument(const QVariant &argument, TuvoMediaInfoDBusStruct *info,
                                  QString *error = nullptr);

    bool operator==(const TuvoMediaInfoDBusStruct &other) const
    {
        return uuid == other.uuid && metadata == other.metadata;
    }
};

TUVO_WIRE_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const TuvoMediaInfoDBusStruct &info);
TUVO_WIRE_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoMediaInfoDBusStruct &info);

Q_DECLARE_METATYPE(TuvoMediaInfoDBusStruct)

#endif
