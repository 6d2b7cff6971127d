#ifndef TUVOQUERYRESULTDBUSSTRUCT_H
#define TUVOQUERYRESULTDBUSSTRUCT_H

#include "TuvoWireGlobal.h"

#include <QList>
#include <QMetaType>
#include <QStringList>

class QDBusArgument;

/*!
 * One query result row as it travels in a "query_result" call: D-Bus (uas). Query
 * errors are not records; they travel as arguments of the call.
 */
struct TUVO_WIRE_EXPORT TuvoQueryResultDBusStruct
{
    /*! The D-Bus signature of one record. */
    static const char *const Signature; // "(uas)"
    /*!
     * The signature of a "query_result" call: the query id, the remaining count, a batch of
     * rows, the error code and the error message.
     */
    static const char *const CallSignature; // "uia(uas)is"

    uint index = 0;
    QStringList resultRow; //!< the row's values exactly as the source delivered them

    bool operator==(const TuvoQueryResultDBusStruct &other) const
    {
        return index == other.index && resultRow == other.resultRow;
    }
    bool operator!=(const TuvoQueryResultDBusStruct &other) const { return !(*this == other); }

    /*!
     * Registers the record, then QList<TuvoQueryResultDBusStruct>, with Qt D-Bus and
     * returns the meta-type id of the list. Repeated calls return the same id.
     */
    static int registerDBusTypes();
};

Q_DECLARE_METATYPE(TuvoQueryResultDBusStruct)

TUVO_WIRE_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const TuvoQueryResultDBusStruct &record);
TUVO_WIRE_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoQueryResultDBusStruct &record);

#endif
