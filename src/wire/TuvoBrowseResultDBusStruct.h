#ifndef TUVOBROWSERESULTDBUSSTRUCT_H
#define TUVOBROWSERESULTDBUSSTRUCT_H

#include <QByteArray>
#include "TuvoWireGlobal.h"

#include <QList>
#include <QMetaType>
#include <QString>

class QDBusArgument;

/*!
 * One browse result, or one browse error, as it travels in a "browse_result" call:
 * D-Bus (iusaysus). The field order is the wire order; note that the signed remaining
 * count comes before the unsigned index.
 *
 * A result record carries errorCode 0 and an empty errorMessage; an error record
 * carries only errorCode and errorMessage. reserved is always empty.
 */
struct TUVO_WIRE_EXPORT TuvoBrowseResultDBusStruct
{
    /*! The D-Bus signature of one record. */
    static const char *const Signature; // "(iusaysus)"
    /*! The signature of a "browse_result" call: the browse id and a batch of records. */
    static const char *const CallSignature; // "ua(iusaysus)"

    int remainingCount = 0;
    uint index = 0;
    QString objectId;
    QByteArray metadata; //!< the metadata blob, see TuvoMetadataEncoder
    QString reserved;
    uint errorCode = 0;
    QString errorMessage;

    bool operator==(const TuvoBrowseResultDBusStruct &other) const;
    bool operator!=(const TuvoBrowseResultDBusStruct &other) const { return !(*this == other); }

    /*!
     * Registers the record, then QList<TuvoBrowseResultDBusStruct>, with Qt D-Bus and
     * returns the meta-type id of the list. Repeated calls return the same id.
     */
    static int registerDBusTypes();
};

Q_DECLARE_METATYPE(TuvoBrowseResultDBusStruct)

TUVO_WIRE_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const TuvoBrowseResultDBusStruct &record);
TUVO_WIRE_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoBrowseResultDBusStruct &record);

#endif
